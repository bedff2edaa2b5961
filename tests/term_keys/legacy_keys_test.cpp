// Keys as terminals send them without the kitty protocol: typed bytes,
// ESC-prefixed Alt, and the xterm, VT220, rxvt and Linux console sequences.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "key_decoder_test_support.h"

namespace vistamere::term {
namespace {

using testing::DecodeWhole;
using testing::KeyStrings;
using testing::SplitDifference;
using namespace std::string_literals;

struct KeyStringCase {
  const char* name;
  std::string bytes;
  std::string expected;  // key strings as testing::KeyStrings writes them
};

const std::vector<KeyStringCase> kKeyStringCases = {
    // Typed characters and control codes.
    {"letters", "abC", "a|b|C"},
    {"digits and punctuation", "1!~ ", "1|!|~|<20>"},
    {"enter", "\r", "<0D>"},
    {"backspace as DEL", "\x7f", "<08>"},
    {"backspace as BS", "\b", "<08>"},
    {"tab", "\t", "<09>"},
    {"ctrl+c is a key", "\x03", "<03>"},
    {"ctrl+j", "\n", "<0A>"},
    {"ctrl+space", "\0"s, "<00><03>"},
    {"ctrl+backslash ... ctrl+underscore", "\x1c\x1d\x1e\x1f", "<1C>|<1D>|<1E>|<1F>"},
    {"utf-8 e acute", "\xc3\xa9", "<82>"},
    {"utf-8 u umlaut and pound", "\xc3\xbc\xc2\xa3", "<81>|<9C>"},
    {"utf-8 not in code page 437", "\xe2\x82\xac", "?"},
    {"utf-8 four bytes", "\xf0\x9f\x98\x80", "?"},
    {"stray continuation byte", "\x80z", "?|z"},
    {"lead byte cut short", "\xc3(", "?|("},
    {"overlong encoding", "\xc0\xaf", "?|?"},
    {"surrogate", "\xed\xa0\x80", "?"},
    {"three-byte overlong taken whole", "\xe0\x80\xafz", "?|z"},
    {"past U+10FFFF taken whole", "\xf4\x90\x80\x80z", "?|z"},
    {"lead byte that begins nothing", "\xf5\x80", "?|?"},
    // Alt as an ESC prefix.
    {"alt+x", "\033x", "<00><2D>"},
    {"alt+shift+x", "\033X", "<00><2D>"},
    {"alt+1", "\0331", "1"},
    {"alt+enter", "\033\r", "<0D>"},
    {"alt+ctrl+a", "\033\x01", "<00><1E>"},
    {"alt+e acute", "\033\xc3\xa9", "<82>"},
    {"lone esc", "\033", "<1B>"},
    {"alt+esc", "\033\033", "<1B>"},
    {"alt+esc then x", "\033\033x", "<1B>|x"},
    // xterm cursor and editing keys.
    {"arrows", "\033[A\033[B\033[C\033[D", "<00><48>|<00><50>|<00><4D>|<00><4B>"},
    {"application arrows", "\033OA\033OB\033OC\033OD", "<00><48>|<00><50>|<00><4D>|<00><4B>"},
    {"home end", "\033[H\033[F\033OH\033OF", "<00><47>|<00><4F>|<00><47>|<00><4F>"},
    {"ins del pgup pgdn", "\033[2~\033[3~\033[5~\033[6~", "<00><52>|<00><53>|<00><49>|<00><51>"},
    {"ctrl+up", "\033[1;5A", "<00><48>"},
    {"alt+delete", "\033[3;3~", "<00><53>"},
    {"keypad 5", "\033[E\033[G", "<00><4C>|<00><4C>"},
    {"back tab", "\033[Z", "<09>"},
    // Function keys.
    {"f1-f4 ss3", "\033OP\033OQ\033OR\033OS", "<00><3B>|<00><3C>|<00><3D>|<00><3E>"},
    {"f1-f4 csi with modifiers", "\033[1;2P\033[1;5Q\033[1;3R\033[1;6S",
     "<00><3B>|<00><3C>|<00><3D>|<00><3E>"},
    {"f5-f12", "\033[15~\033[17~\033[18~\033[19~\033[20~\033[21~\033[23~\033[24~",
     "<00><3F>|<00><40>|<00><41>|<00><42>|<00><43>|<00><44>|<00><57>|<00><58>"},
    {"f12 with ctrl", "\033[24;5~", "<00><58>"},
    {"old xterm modifier in ss3", "\033O5P", "<00><3B>"},
    // VT220.
    {"vt220 home end f1-f4", "\033[1~\033[4~\033[11~\033[12~\033[13~\033[14~",
     "<00><47>|<00><4F>|<00><3B>|<00><3C>|<00><3D>|<00><3E>"},
    // rxvt.
    {"rxvt home end", "\033[7~\033[8~", "<00><47>|<00><4F>"},
    {"rxvt shift arrows", "\033[a\033[b\033[c\033[d", "<00><48>|<00><50>|<00><4D>|<00><4B>"},
    {"rxvt ctrl arrows", "\033Oa\033Ob\033Oc\033Od", "<00><48>|<00><50>|<00><4D>|<00><4B>"},
    {"rxvt shift, ctrl, ctrl+shift insert", "\033[2$\033[2^\033[2@", "<00><52>|<00><52>|<00><52>"},
    {"rxvt shift insert then a key", "\033[2$a", "<00><52>|a"},
    {"rxvt shifted f3 and f10", "\033[25~\033[34~", "<00><3D>|<00><44>"},
    {"rxvt alt+up", "\033\033[A", "<00><48>"},
    // Linux console.
    {"linux f1-f5", "\033[[A\033[[B\033[[C\033[[D\033[[E",
     "<00><3B>|<00><3C>|<00><3D>|<00><3E>|<00><3F>"},
    // Keypad in application mode.
    {"keypad digits", "\033Op\033Oq\033Ow\033Oy", "0|1|7|9"},
    {"keypad operators", "\033Oj\033Ok\033Om\033On\033Oo\033OX", "*|+|-|.|/|="},
    {"keypad enter", "\033OM", "<0D>"},
    // xterm modifyOtherKeys and the CSI u form.
    {"modify other keys ctrl+a", "\033[27;5;97~", "<01>"},
    {"modify other keys alt+x", "\033[27;3;120~", "<00><2D>"},
    {"modify other keys shift+a", "\033[27;2;65~", "A"},
    {"csi u ctrl+a", "\033[97;5u", "<01>"},
};

class LegacyKeyStrings : public ::testing::TestWithParam<KeyStringCase> {};

TEST_P(LegacyKeyStrings, DecodeToTheConsoleKeyStrings) {
  const KeyStringCase& c = GetParam();
  EXPECT_EQ(KeyStrings(DecodeWhole(c.bytes).records), c.expected);
}

TEST_P(LegacyKeyStrings, DecodeTheSameWhenSplitAnywhere) {
  EXPECT_EQ(SplitDifference(GetParam().bytes), "");
}

INSTANTIATE_TEST_SUITE_P(Table, LegacyKeyStrings, ::testing::ValuesIn(kKeyStringCases),
                         [](const auto& test_param) {
                           return testing::TestName(test_param.param.name);
                         });

KeyEventRecord Key(std::uint16_t scan_code, std::uint8_t character, std::uint32_t state) {
  return {.key_down = true,
          .repeat_count = 1,
          .scan_code = scan_code,
          .character = character,
          .control_state = state};
}

struct RecordCase {
  std::string bytes;
  KeyEventRecord expected;
};

TEST(LegacyKeyRecords, CarryScanCodeCharacterAndModifiers) {
  const std::vector<RecordCase> cases = {
      {"a", Key(0x1E, 'a', 0)},
      {"Z", Key(0x2C, 'Z', kShiftPressed)},
      {"p", Key(0x19, 'p', 0)},
      {"m", Key(0x32, 'm', 0)},
      {"?", Key(0x35, '?', kShiftPressed)},
      {"0", Key(0x0B, '0', 0)},
      {"\"", Key(0x28, '"', kShiftPressed)},
      {" ", Key(0x39, ' ', 0)},
      {"\x01", Key(0x1E, 0x01, kLeftCtrlPressed)},
      {"\x1a", Key(0x2C, 0x1A, kLeftCtrlPressed)},
      {"\r", Key(0x1C, 0x0D, 0)},
      {"\x7f", Key(0x0E, 0x08, 0)},
      {"\0"s, Key(0x03, 0x00, kLeftCtrlPressed)},
      {"\033", Key(0x01, 0x1B, 0)},
      {"\033x", Key(0x2D, 'x', kLeftAltPressed)},
      {"\033[1;6A", Key(0x48, 0, kShiftPressed | kLeftCtrlPressed)},
      {"\033[1;8B", Key(0x50, 0, kShiftPressed | kLeftCtrlPressed | kLeftAltPressed)},
      {"\033[3;3~", Key(0x53, 0, kLeftAltPressed)},
      {"\033[15;5~", Key(0x3F, 0, kLeftCtrlPressed)},
      {"\033[c", Key(0x4D, 0, kShiftPressed)},
      {"\033Od", Key(0x4B, 0, kLeftCtrlPressed)},
      {"\033[23$", Key(0x57, 0, kShiftPressed)},
      {"\033[11@", Key(0x3B, 0, kShiftPressed | kLeftCtrlPressed)},
      {"\033[26^", Key(0x3E, 0, kShiftPressed | kLeftCtrlPressed)},
      {"\033\033[5~", Key(0x49, 0, kLeftAltPressed)},
      {"\033[Z", Key(0x0F, 0x09, kShiftPressed)},
      {"\033Ox", Key(0x48, '8', 0)},
      {"\033OM", Key(0x1C, 0x0D, 0)},
      {"\xc3\xa9", Key(0, 0x82, 0)},
  };
  for (const RecordCase& c : cases) {
    const auto decoded = DecodeWhole(c.bytes);
    ASSERT_EQ(decoded.records.size(), 1u) << c.bytes;
    EXPECT_EQ(decoded.records[0].type, InputEventType::kKey);
    EXPECT_EQ(testing::ConsoleFields(decoded.records[0].key), c.expected) << c.bytes;
  }
}

TEST(LegacyKeyRecords, KeepTheCharacterAsTyped) {
  const struct {
    const char* bytes;
    std::uint8_t character;
    char32_t typed;
  } cases[] = {
      {"a", 'a', U'a'},
      {"\xc3\xa9", 0x82, U'\u00e9'},
      {"\xe7\x8c\xab", '?', U'\u732b'},  // no such glyph in the code page
      {"\033[97u", 'a', U'a'},           // kitty keyboard protocol
      {"\033[8364u", '?', U'\u20ac'},
      {"\033[97;5u", 0x01, 0},  // Ctrl+A types no character
      {"\x01", 0x01, 0},
      {"\033[A", 0, 0},
  };
  for (const auto& c : cases) {
    const auto decoded = DecodeWhole(c.bytes);
    ASSERT_EQ(decoded.records.size(), 1u) << c.bytes;
    EXPECT_EQ(decoded.records[0].key.character, c.character) << c.bytes;
    EXPECT_EQ(decoded.records[0].key.unicode, c.typed) << c.bytes;
  }
}

}  // namespace
}  // namespace vistamere::term
