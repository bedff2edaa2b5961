#include "term/colour.h"

#include <gtest/gtest.h>

namespace vistamere::term {
namespace {

TEST(ColourModeTest, TheEnvironmentSettlesOnlyWhatItSaysPlainly) {
  constexpr std::optional<ColourMode> kAsk;
  const struct {
    const char* colorterm;
    const char* term;
    std::optional<ColourMode> mode;
  } kCases[] = {
      {"truecolor", "xterm-256color", ColourMode::kTrueColor},
      {"24bit", "", ColourMode::kTrueColor},
      {"", "xterm-direct", ColourMode::kTrueColor},
      {"", "tmux-direct", ColourMode::kTrueColor},
      {"truecolor", "linux", ColourMode::kTrueColor},
      {"", "linux", ColourMode::kIndexed16},
      {"", "", kAsk},
      {"", "xterm-256color", kAsk},
      {"yes", "xterm", kAsk},
      {"truecolour", "xterm", kAsk},
      {"", "linux-16color", kAsk},
      {"", "direct", kAsk},
  };
  for (const auto& [colorterm, term, mode] : kCases) {
    EXPECT_EQ(SettledColourMode({std::nullopt, colorterm, term}), mode)
        << "COLORTERM=" << colorterm << " TERM=" << term;
    // The user's choice outweighs the environment.
    EXPECT_EQ(SettledColourMode({ColourMode::kIndexed16, colorterm, term}), ColourMode::kIndexed16);
  }
}

}  // namespace
}  // namespace vistamere::term
