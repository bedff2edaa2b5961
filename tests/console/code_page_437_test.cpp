#include "console/code_page_437.h"

#include <gtest/gtest.h>

#include <string_view>

namespace vistamere {
namespace {

using namespace std::string_view_literals;

TEST(Cp437ToUtf8Test, HighBytesAlwaysAsGlyphsLowBytesAsAskedFor) {
  const struct {
    std::string_view bytes;
    std::string_view as_glyphs;
    std::string_view as_ascii;
  } kCases[] = {
      {"caf\x82 \x81\x9c", "caf\xC3\xA9 \xC3\xBC\xC2\xA3", "caf\xC3\xA9 \xC3\xBC\xC2\xA3"},
      {"\x1b[2J", "\xE2\x86\x90[2J", "\x1b[2J"},             // U+2190 for ESC
      {"\x01\x7f", "\xE2\x98\xBA\xE2\x8C\x82", "\x01\x7f"},  // U+263A, U+2302
      {"a\0b"sv, "a b", "a\0b"sv},
      {"\xB0\xFF", "\xE2\x96\x91\xC2\xA0", "\xE2\x96\x91\xC2\xA0"},  // U+2591, U+00A0
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(Cp437ToUtf8(c.bytes, LowBytes::kGlyphs), c.as_glyphs) << c.bytes;
    EXPECT_EQ(Cp437ToUtf8(c.bytes, LowBytes::kAscii), c.as_ascii) << c.bytes;
  }
}

}  // namespace
}  // namespace vistamere
