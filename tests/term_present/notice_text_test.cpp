#include "term/notice_text.h"

#include <gtest/gtest.h>

namespace vistamere::term {
namespace {

TEST(DisplayableTextTest, KeepsConsoleCharactersAndReplacesTheRest) {
  const struct {
    std::string_view utf8;
    std::u32string_view shown;
  } kCases[] = {
      {"plain.bmp", U"plain.bmp"},
      {"caf\xC3\xA9 \xE2\x98\xBA \xE2\x96\x91", U"caf\u00E9 \u263A \u2591"},
      {"bell\x07 esc\x1b del\x7F", U"bell? esc? del?"},
      {"c1 \xC2\x9B csi", U"c1 ? csi"},
      {"wide \xE6\x97\xA5", U"wide ?"},              // not a console glyph
      {"cut \xE2\x98", U"cut ??"},                   // truncated sequence
      {"overlong \xC0\xAF", U"overlong ??"},         // overlong '/'
      {"surrogate \xED\xA0\x80", U"surrogate ???"},  // U+D800
      {"stray \x80\xFF", U"stray ??"},
      {"tab\there\r", U"tab here "},
      {"two\nlines", U"two\nlines"},
  };
  for (const auto& [utf8, shown] : kCases) {
    EXPECT_EQ(DisplayableText(utf8), shown) << utf8;
  }
}

TEST(WrapTextTest, BreaksAtSpacesInsideLongWordsAndAtLineFeeds) {
  const struct {
    std::u32string_view text;
    int width;
    std::vector<std::u32string> lines;
  } kCases[] = {
      {U"fits exactly", 12, {U"fits exactly"}},
      {U"hello world foo", 10, {U"hello", U"world foo"}},
      {U"abcdefghijkl", 5, {U"abcde", U"fghij", U"kl"}},
      {U"a\nb", 10, {U"a", U"b"}},
      {U"one two", 3, {U"one", U"two"}},
      {U"spaced   out words", 8, {U"spaced", U"out", U"words"}},
      {U"x", 0, {}},
  };
  for (const auto& [text, width, lines] : kCases) {
    EXPECT_EQ(WrapText(text, width), lines) << width;
  }
}

}  // namespace
}  // namespace vistamere::term
