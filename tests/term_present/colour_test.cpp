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

TEST(SgrParametersTest, SelectsEachKindOfColour) {
  const struct {
    Colour colour;
    bool foreground;
    std::string_view parameters;
  } kCases[] = {
      {Colour::Default(), true, "39"},
      {Colour::Default(), false, "49"},
      {Colour::Ansi(0), true, "30"},
      {Colour::Ansi(7), false, "47"},
      {Colour::Ansi(8), true, "90"},
      {Colour::Ansi(15), false, "107"},
      {Colour::Indexed(208), true, "38;5;208"},
      {Colour::Indexed(16), false, "48;5;16"},
      {Colour::Rgb(0xFF0080), true, "38;2;255;0;128"},
      {Colour::Rgb(0), false, "48;2;0;0;0"},
  };
  for (const auto& [colour, foreground, parameters] : kCases) {
    std::string out;
    AppendSgrParameters(colour, foreground, out);
    EXPECT_EQ(out, parameters);
  }
}

}  // namespace
}  // namespace vistamere::term
