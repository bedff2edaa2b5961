#include "term/colour.h"

#include <gtest/gtest.h>

namespace vistamere::term {
namespace {

TEST(ColourModeTest, OnlyTruecolorOr24bitMeanTrueColour) {
  const struct {
    const char* colorterm;
    ColourMode mode;
  } kCases[] = {
      {"truecolor", ColourMode::kTrueColor}, {"24bit", ColourMode::kTrueColor},
      {nullptr, ColourMode::kIndexed256},    {"", ColourMode::kIndexed256},
      {"yes", ColourMode::kIndexed256},      {"truecolour", ColourMode::kIndexed256},
  };
  for (const auto& [colorterm, mode] : kCases) {
    EXPECT_EQ(DetectColourMode(colorterm), mode) << (colorterm ? colorterm : "(unset)");
  }
}

}  // namespace
}  // namespace vistamere::term
