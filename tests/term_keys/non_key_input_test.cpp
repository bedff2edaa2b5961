// Input that is no key: the terminal's answers to queries, mouse and focus
// reports, paste markers, strings and unknown sequences; and what a pending
// incomplete sequence becomes when no more bytes come.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "key_decoder_test_support.h"

namespace vistamere::term {
namespace {

using testing::DecodeWhole;
using testing::KeyStrings;
using testing::SplitDifference;

struct SwallowCase {
  const char* name;
  std::string bytes;
  const char* expected;  // key strings of the keys around the swallowed input
};

const std::vector<SwallowCase> kSwallowCases = {
    {"x10 mouse", "a\033[M !!b", "a|b"},
    {"x10 mouse with high bytes",
     "\033[M\xff\xfe\xfd"
     "b",
     "b"},
    {"sgr mouse press and release", "\033[<0;10;5M\033[<0;10;5mb", "b"},
    {"urxvt mouse", "\033[32;10;5Mb", "b"},
    {"focus in and out", "\033[I\033[Ob", "b"},
    {"bracketed paste", "\033[200~hi\033[201~", "h|i"},
    {"osc ended by bel", "\033]11;rgb:0000/0000/0000\007b", "b"},
    {"osc ended by st", "\033]0;title\033\\b", "b"},
    {"dcs", "\033P1$r2 q\033\\b", "b"},
    {"dcs answers the program does not use",
     "\033P0$r\033\\\033P0+r5463\033\\\033P1+r636f6c6f7273=323536\033\\"
     "\033P1+r524742=2D31\033\\\033P>|XTerm(379)\033\\b",
     "b"},
    {"dcs answer longer than a sequence", "\033P1$r" + std::string(300, '0') + "m\033\\b", "b"},
    {"apc", "\033_Gi=1;OK\033\\b", "b"},
    {"sos and pm", "\033Xabc\033\\\033^abc\033\\b", "b"},
    {"string cut short by a sequence", "\033]0;ti\033[A", "<00><48>"},
    {"unknown csi", "\033[?1049h\033[6n\033[>1;2c\033[1 qb", "b"},
    {"unknown tilde code", "\033[99~\033[16~b", "b"},
    {"unknown ss3", "\033Ozb", "b"},
    {"csi u without a key code", "\033[u\033[;5u\033[27;5~b", "b"},
    {"decrqm answer", "\033[?2026;2$yb", "b"},
    {"csi broken by a control byte", "\033[12\rb", "<0D>|b"},
    {"unsolicited cursor report", "\033[12;40Rb", "b"},
};

class SwallowedInput : public ::testing::TestWithParam<SwallowCase> {};

TEST_P(SwallowedInput, YieldsNoKey) {
  const auto decoded = DecodeWhole(GetParam().bytes);
  EXPECT_EQ(KeyStrings(decoded.records), GetParam().expected);
  EXPECT_TRUE(decoded.replies.empty());
  EXPECT_FALSE(decoded.incomplete_before_flush);
}

TEST_P(SwallowedInput, DecodesTheSameWhenSplitAnywhere) {
  EXPECT_EQ(SplitDifference(GetParam().bytes), "");
}

INSTANTIATE_TEST_SUITE_P(Table, SwallowedInput, ::testing::ValuesIn(kSwallowCases),
                         [](const auto& test_param) {
                           return testing::TestName(test_param.param.name);
                         });

struct ReplyCase {
  std::string bytes;
  bool expect_cursor_report;
  std::vector<TerminalReply> replies;
  const char* keys;
};

TEST(TerminalReplies, AreTakenOutOfTheKeyStream) {
  using Kind = TerminalReply::Kind;
  const std::vector<ReplyCase> cases = {
      {"a\033[?15ub", false, {{Kind::kKittyKeyboardFlags, 15, 0}}, "a|b"},
      {"\033[?0u", false, {{Kind::kKittyKeyboardFlags, 0, 0}}, ""},
      {"\033[?62;22c", false, {{Kind::kPrimaryDeviceAttributes, 62, 0}}, ""},
      // xterm -ti vt340, mlterm and foot list sixel graphics (4).
      {"\033[?63;1;2;4;6;9;15;16;22;28c", false, {{Kind::kPrimaryDeviceAttributes, 63, 1}}, ""},
      {"\033[?62;4;22c", false, {{Kind::kPrimaryDeviceAttributes, 62, 1}}, ""},
      // kitty's answers to the graphics query: taken, and refused.
      {"a\033_Gi=31;OK\033\\b", false, {{Kind::kKittyGraphics, 1, 0}}, "a|b"},
      {"\033_Gi=31;ENOTSUPPORTED:no\033\\", false, {{Kind::kKittyGraphics, 0, 0}}, ""},
      {"\033[12;40R", true, {{Kind::kCursorPosition, 12, 40}}, ""},
      {"\033[1;5R", true, {{Kind::kCursorPosition, 1, 5}}, ""},
      {"\033[1;5R", false, {}, "<00><3D>"},
      // Only one cursor report is expected: the same shape again is F3.
      {"\033[3;7R\033[1;2R", true, {{Kind::kCursorPosition, 3, 7}}, "<00><3D>"},
      // The pen's colour read back as xterm, libvterm and others write it.
      {"a\033P1$r0;38:2::18:52:86m\033\\b", false, {{Kind::kGraphicRendition, 0x123456, 0}}, "a|b"},
      {"\033P1$r38:2:18:52:86m\033\\", false, {{Kind::kGraphicRendition, 0x123456, 0}}, ""},
      {"\033P1$r0;48;2;1;2;3;38;2;18;52;86m\007",
       false,
       {{Kind::kGraphicRendition, 0x123456, 0}},
       ""},
      {"\033P1$r0;38:5:233m\033\\", false, {{Kind::kGraphicRendition, -1, 0}}, ""},
      {"\033P1+r524742=38\033\\", false, {{Kind::kTrueColourCapability, 1, 0}}, ""},
      {"\033P1+r5463\033\\", false, {{Kind::kTrueColourCapability, 1, 0}}, ""},
      {"\033[?1u\033[?62c\033[5;9R",
       true,
       {{Kind::kKittyKeyboardFlags, 1, 0},
        {Kind::kPrimaryDeviceAttributes, 62, 0},
        {Kind::kCursorPosition, 5, 9}},
       ""},
  };
  for (const ReplyCase& c : cases) {
    const auto decoded = DecodeWhole(c.bytes, c.expect_cursor_report);
    EXPECT_EQ(decoded.replies, c.replies) << c.bytes;
    EXPECT_EQ(KeyStrings(decoded.records), c.keys) << c.bytes;
    EXPECT_EQ(SplitDifference(c.bytes, c.expect_cursor_report), "") << c.bytes;
  }
}

struct FlushCase {
  std::string bytes;
  const char* keys_after_flush;
};

TEST(PendingInput, BecomesKeysOrIsDroppedAfterTheTimeout) {
  const std::vector<FlushCase> cases = {
      {"\033", "<1B>"},
      {"\033\033", "<1B>"},
      {"\033[", "["},
      {"\033O", "<00><18>"},
      {"\033]", "]"},
      {"\033P", "<00><19>"},
      {"\xc3", "?"},
      {"\033\xc3", "?"},
      {"\033[1;", ""},
      {"\033\033[", ""},
      {"\033[[", ""},
      {"\033]0;half a title", ""},
      {"\033]0;half a title\033", ""},
      {"\033P1$r0;38:2::18", ""},
  };
  for (const FlushCase& c : cases) {
    const auto decoded = DecodeWhole(c.bytes);
    EXPECT_TRUE(decoded.incomplete_before_flush) << c.bytes;
    EXPECT_EQ(KeyStrings(decoded.records), c.keys_after_flush) << c.bytes;
  }
}

TEST(PendingInput, DecodingGoesOnAfterAFlush) {
  KeyDecoder decoder;
  const std::string cut = "\033]0;title";
  decoder.Feed(reinterpret_cast<const std::uint8_t*>(cut.data()), cut.size());
  decoder.FlushPending();
  EXPECT_FALSE(decoder.HasIncompleteSequence());
  const std::string next = "x\033[A";
  decoder.Feed(reinterpret_cast<const std::uint8_t*>(next.data()), next.size());
  InputRecord record;
  ASSERT_TRUE(decoder.Next(record));
  EXPECT_EQ(record.key.character, 'x');
  ASSERT_TRUE(decoder.Next(record));
  EXPECT_EQ(record.key.scan_code, 0x48);
  EXPECT_FALSE(decoder.Next(record));
}

TEST(PendingInput, OverlongSequenceIsDroppedWhole) {
  const std::string overlong = "\033[" + std::string(1000, '1') + ";2Ax";
  EXPECT_EQ(KeyStrings(DecodeWhole(overlong).records), "x");
  EXPECT_EQ(SplitDifference(overlong), "");

  KeyDecoder decoder;
  for (const char c : overlong) {
    decoder.Feed(reinterpret_cast<const std::uint8_t*>(&c), 1);
    EXPECT_LE(decoder.pending_size(), KeyDecoder::kMaxPendingBytes);
  }
}

}  // namespace
}  // namespace vistamere::term
