// No byte of the program's screen, of a file name or of a notice may reach
// the terminal as a control code: every C0 byte and DEL in the output must
// belong to an escape sequence the writer made, and there are no C1 controls.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "presenter_harness.h"
#include "term/too_small_notice.h"

namespace vistamere::term::testing {
namespace {

// Returns a description of the first fault in `bytes`, or "" when every
// control is ESC [ parameters final with a final the writer uses, and all
// other bytes are well-formed UTF-8 of characters outside the C1 range.
std::string FirstOutputFault(std::string_view bytes) {
  constexpr std::string_view kFinals = "HmJCKhl";
  std::size_t at = 0;
  while (at < bytes.size()) {
    const auto byte = static_cast<unsigned char>(bytes[at]);
    if (byte == 0x1B) {
      if (at + 1 >= bytes.size() || bytes[at + 1] != '[') {
        return "ESC not starting a CSI at " + std::to_string(at);
      }
      std::size_t end = at + 2;
      while (end < bytes.size() && bytes[end] >= 0x30 && bytes[end] <= 0x3F) ++end;
      if (end >= bytes.size() || kFinals.find(bytes[end]) == std::string_view::npos) {
        return "malformed CSI at " + std::to_string(at);
      }
      at = end + 1;
    } else if (byte < 0x20 || byte == 0x7F) {
      return "control byte " + std::to_string(byte) + " at " + std::to_string(at);
    } else if (byte < 0x80) {
      ++at;
    } else {
      const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC2 ? 2 : 0;
      if (length == 0 || byte > 0xF4 || at + length > bytes.size()) {
        return "bad UTF-8 lead " + std::to_string(byte) + " at " + std::to_string(at);
      }
      char32_t code_point = byte & (0x7F >> length);
      for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(bytes[at + i]);
        if ((next & 0xC0) != 0x80) return "bad UTF-8 continuation at " + std::to_string(at + i);
        code_point = (code_point << 6) | (next & 0x3F);
      }
      if (code_point >= 0x80 && code_point <= 0x9F) {
        return "C1 control encoded at " + std::to_string(at);
      }
      at += length;
    }
  }
  return "";
}

TEST(OutputSafetyTest, EveryScreenByteShowsAsItsGlyph) {
  PresenterHarness harness;
  ClearBuffer(harness.buffer);
  // Rows 0-2: all 256 bytes in the plain attribute; rows 4-6: each byte also
  // as its own attribute.
  for (int value = 0; value < 256; ++value) {
    const Cell plain{static_cast<std::uint8_t>(value), 0x07};
    const Cell coloured{static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value)};
    harness.buffer.WriteOutput(value % 100, value / 100, std::span(&plain, 1));
    harness.buffer.WriteOutput(value % 100, 4 + value / 100, std::span(&coloured, 1));
  }

  const std::string bytes = harness.Present();

  EXPECT_EQ(FirstOutputFault(bytes), "");
  EXPECT_EQ(harness.terminal.MismatchesWith(harness.frame), "");
  const struct {
    int byte;
    char32_t glyph;
  } kGlyphs[] = {{0x00, U' '},      {0x01, U'\u263A'}, {0x07, U'\u2022'}, {0x0A, U'\u25D9'},
                 {0x0D, U'\u266A'}, {0x1B, U'\u2190'}, {0x41, U'A'},      {0x7F, U'\u2302'},
                 {0x9B, U'\u00A2'}, {0xB0, U'\u2591'}, {0xFF, U'\u00A0'}};
  for (const auto& [byte, glyph] : kGlyphs) {
    EXPECT_EQ(harness.terminal.GlyphAt(byte % 100, byte / 100), glyph) << "byte " << byte;
    EXPECT_EQ(harness.terminal.GlyphAt(byte % 100, 4 + byte / 100), glyph) << "byte " << byte;
  }
}

TEST(OutputSafetyTest, NoticeWithHostileNameStaysText) {
  PresenterHarness harness;
  harness.ShowPictureScreen();
  harness.window.notice =
      "Cannot open \"evil\x1b]0;owned\x07\x9b"
      "31m\xC2\x9B"
      "2J\r\n\x7F\xFF\xE2\x98.bmp\"";

  const std::string bytes = harness.Present();

  EXPECT_EQ(FirstOutputFault(bytes), "");
  EXPECT_EQ(harness.terminal.MismatchesWith(harness.frame), "");
}

TEST(OutputSafetyTest, ControlGlyphsPlacedInAFrameAreReplaced) {
  const char32_t kHostile[] = {0x00, 0x07, 0x0A, 0x1B, 0x7F, 0x85, 0x9B, 0xD800, 0x110000};
  Frame frame(12, 1);
  for (int column = 0; column < 9; ++column) {
    frame.Set(column, 0, TermCell{kHostile[column], Colour::Default(), Colour::Default()});
  }
  frame.Set(9, 0, TermCell{U'a', {}, {}});
  frame.Set(10, 0, TermCell{U'b', {}, {}});
  frame.Set(11, 0, TermCell{U'c', {}, {}});
  TerminalWriter writer;

  const std::string bytes = writer.Update(frame);

  EXPECT_EQ(FirstOutputFault(bytes), "");
  TerminalScreen terminal(20, 3);
  terminal.Feed(bytes);
  EXPECT_EQ(terminal.GlyphAt(0, 0), U' ');
  for (int column = 1; column < 9; ++column) EXPECT_EQ(terminal.GlyphAt(column, 0), U'?');
  EXPECT_EQ(terminal.GlyphAt(9, 0), U'a') << "nothing moved the cursor";
  EXPECT_EQ(terminal.GlyphAt(11, 0), U'c');
}

TEST(OutputSafetyTest, TooSmallNoticeIsClean) {
  Frame frame;
  ComposeTooSmallNotice(80, 24, 102, 40, frame);
  TerminalWriter writer;
  EXPECT_EQ(FirstOutputFault(writer.Update(frame)), "");
}

TEST(OutputSafetyTest, FaultFinderRejectsWhatItMust) {
  const struct {
    std::string_view bytes;
    bool clean;
  } kCases[] = {
      {"plain \xE2\x98\xBA text", true},
      {"\x1b[12;40H\x1b[38;2;1;2;3m", true},
      {"line\nfeed", false},
      {"bell\x07", false},
      {"\x1b]0;title\x07", false},
      {"\x9b"
       "31m",
       false},
      {"\xC2\x9B"
       "31m",
       false},
      {"del\x7F", false},
  };
  for (const auto& [bytes, clean] : kCases) {
    EXPECT_EQ(FirstOutputFault(bytes).empty(), clean) << bytes;
  }
}

}  // namespace
}  // namespace vistamere::term::testing
