// Keys as the kitty keyboard protocol reports them (flags 1|2|4|8):
// presses, repeats and releases, bare modifier keys, Shift and Caps Lock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "key_decoder_test_support.h"

namespace vistamere::term {
namespace {

using testing::DecodeWhole;
using testing::KeyStrings;
using testing::SplitDifference;

KeyEventRecord Press(std::uint16_t scan_code, std::uint8_t character, std::uint32_t state) {
  return {.key_down = true,
          .repeat_count = 1,
          .scan_code = scan_code,
          .character = character,
          .control_state = state};
}

KeyEventRecord Release(std::uint16_t scan_code, std::uint8_t character, std::uint32_t state) {
  KeyEventRecord key = Press(scan_code, character, state);
  key.key_down = false;
  return key;
}

struct KittyCase {
  const char* bytes;
  KeyEventRecord expected;
  const char* key_string;  // as testing::KeyStrings writes it, "" for none
};

const std::vector<KittyCase> kKittyCases = {
    // Text keys: Shift takes the reported shifted key, Caps Lock turns letters only.
    {"\033[97u", Press(0x1E, 'a', 0), "a"},
    {"\033[97;1:1u", Press(0x1E, 'a', 0), "a"},
    {"\033[97;1:2u", Press(0x1E, 'a', 0), "a"},
    {"\033[97;1:3u", Release(0x1E, 'a', 0), ""},
    {"\033[97:65;2u", Press(0x1E, 'A', kShiftPressed), "A"},
    {"\033[97;65u", Press(0x1E, 'A', kCapsLockOn), "A"},
    {"\033[97:65;66u", Press(0x1E, 'a', kShiftPressed | kCapsLockOn), "a"},
    {"\033[49;65u", Press(0x02, '1', kCapsLockOn), "1"},
    {"\033[49:33;66u", Press(0x02, '!', kShiftPressed | kCapsLockOn), "!"},
    {"\033[49;2u", Press(0x02, '!', kShiftPressed), "!"},
    {"\033[59:58;2u", Press(0x27, ':', kShiftPressed), ":"},
    {"\033[32u", Press(0x39, ' ', 0), "<20>"},
    {"\033[233u", Press(0, 0x82, 0), "<82>"},
    {"\033[97;129u", Press(0x1E, 'a', kNumLockOn), "a"},
    // Ctrl and Alt.
    {"\033[99;5u", Press(0x2E, 0x03, kLeftCtrlPressed), "<03>"},
    {"\033[99:67;6u", Press(0x2E, 0x03, kLeftCtrlPressed | kShiftPressed), "<03>"},
    {"\033[50;5u", Press(0x03, 0x00, kLeftCtrlPressed), "<00><03>"},
    {"\033[120;3u", Press(0x2D, 'x', kLeftAltPressed), "<00><2D>"},
    {"\033[49;3u", Press(0x02, '1', kLeftAltPressed), "1"},
    // A non-US layout: the base-layout key gives the scan code.
    {"\033[1092::97;5u", Press(0x1E, 0x01, kLeftCtrlPressed), "<01>"},
    {"\033[1092::97;3u", Press(0x1E, '?', kLeftAltPressed), "<00><1E>"},
    // Keys with control codes of their own.
    {"\033[27u", Press(0x01, 0x1B, 0), "<1B>"},
    {"\033[13u", Press(0x1C, 0x0D, 0), "<0D>"},
    {"\033[9;2u", Press(0x0F, 0x09, kShiftPressed), "<09>"},
    {"\033[127u", Press(0x0E, 0x08, 0), "<08>"},
    {"\033[13;1:3u", Release(0x1C, 0x0D, 0), ""},
    // Bare modifier and lock keys never give a key string.
    {"\033[57441;2u", Press(0x2A, 0, kShiftPressed), ""},
    {"\033[57441;1:3u", Release(0x2A, 0, 0), ""},
    {"\033[57442;5u", Press(0x1D, 0, kLeftCtrlPressed), ""},
    {"\033[57443;3u", Press(0x38, 0, kLeftAltPressed), ""},
    {"\033[57447;2u", Press(0x36, 0, kShiftPressed), ""},
    {"\033[57448;5u", Press(0x1D, 0, kLeftCtrlPressed), ""},
    {"\033[57449;3u", Press(0x38, 0, kLeftAltPressed), ""},
    {"\033[57358;65u", Press(0x3A, 0, kCapsLockOn), ""},
    {"\033[57360;129u", Press(0x45, 0, kNumLockOn), ""},
    {"\033[57359u", Press(0x46, 0, 0), ""},
    // Functional keys in their legacy shapes, with event types.
    {"\033[A", Press(0x48, 0, 0), "<00><48>"},
    {"\033[1;1:3A", Release(0x48, 0, 0), ""},
    {"\033[1;5:2D", Press(0x4B, 0, kLeftCtrlPressed), "<00><4B>"},
    {"\033[5;1:3~", Release(0x49, 0, 0), ""},
    {"\033[P", Press(0x3B, 0, 0), "<00><3B>"},
    {"\033[13~", Press(0x3D, 0, 0), "<00><3D>"},
    {"\033[24;2~", Press(0x58, 0, kShiftPressed), "<00><58>"},
    // Keypad.
    {"\033[57399;129u", Press(0x52, '0', kNumLockOn), "0"},
    {"\033[57406;129u", Press(0x47, '7', kNumLockOn), "7"},
    {"\033[57411u", Press(0x37, '*', 0), "*"},
    {"\033[57414u", Press(0x1C, 0x0D, 0), "<0D>"},
    {"\033[57417u", Press(0x4B, 0, 0), "<00><4B>"},
    {"\033[57426u", Press(0x53, 0, 0), "<00><53>"},
    {"\033[57427~", Press(0x4C, 0, 0), "<00><4C>"},
};

class KittyKeys : public ::testing::TestWithParam<KittyCase> {};

TEST_P(KittyKeys, DecodeToTheConsoleRecord) {
  const KittyCase& c = GetParam();
  const auto decoded = DecodeWhole(c.bytes);
  ASSERT_EQ(decoded.records.size(), 1u);
  EXPECT_EQ(testing::ConsoleFields(decoded.records[0].key), c.expected);
  EXPECT_EQ(KeyStrings(decoded.records), c.key_string);
  EXPECT_FALSE(decoded.incomplete_before_flush);
}

TEST_P(KittyKeys, DecodeTheSameWhenSplitAnywhere) {
  EXPECT_EQ(SplitDifference(GetParam().bytes), "");
}

INSTANTIATE_TEST_SUITE_P(Table, KittyKeys, ::testing::ValuesIn(kKittyCases));

TEST(KittyKeySequences, ShiftedLetterTypingGivesOneKeyString) {
  // Shift down, A down, A up, Shift up, then Esc down and up.
  const char* bytes =
      "\033[57441;2u\033[97:65;2u\033[97:65;2:3u\033[57441;1:3u\033[27u\033[27;1:3u";
  const auto decoded = DecodeWhole(bytes);
  EXPECT_EQ(decoded.records.size(), 6u);
  EXPECT_EQ(KeyStrings(decoded.records), "A|<1B>");
  EXPECT_FALSE(decoded.incomplete_before_flush);
}

TEST(KittyKeySequences, UnknownKeyCodesAreSwallowed) {
  // F13, left Super, a private-use code nobody assigns, a code beyond Unicode.
  const auto decoded = DecodeWhole("\033[57376u\033[57444;9u\033[63000u\033[1114112ux");
  EXPECT_EQ(KeyStrings(decoded.records), "x");
  EXPECT_EQ(decoded.records.size(), 1u);
}

}  // namespace
}  // namespace vistamere::term
