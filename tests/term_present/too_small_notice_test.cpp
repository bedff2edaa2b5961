#include "term/too_small_notice.h"

#include <gtest/gtest.h>

#include "term/terminal_writer.h"
#include "tests/support/terminal_screen.h"

namespace vistamere::term::testing {
namespace {

constexpr std::string_view kMessage =
    "Vistamere needs a terminal of at least 102 x 40; this one is ";

// The bytes that show the notice on a terminal of that size.
std::string NoticeBytes(int columns, int rows) {
  Frame frame;
  ComposeTooSmallNotice(columns, rows, 102, 40, frame);
  TerminalWriter writer;
  return writer.Update(frame);
}

// The terminal's text, rows trimmed and joined by single spaces.
std::string ShownText(const TerminalScreen& terminal, int columns, int rows) {
  std::string text;
  for (int row = 0; row < rows; ++row) {
    std::string line;
    for (int column = 0; column < columns; ++column) {
      line.push_back(static_cast<char>(terminal.GlyphAt(column, row)));
    }
    const std::size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos) continue;
    line = line.substr(first, line.find_last_not_of(' ') - first + 1);
    if (!text.empty()) text.push_back(' ');
    text += line;
  }
  return text;
}

TEST(TooSmallNoticeTest, FitsAndReadsWhole) {
  const struct { int columns, rows; } kSizes[] = {{80, 24}, {101, 40}, {40, 10}, {20, 12}};
  for (const auto& [columns, rows] : kSizes) {
    TerminalScreen terminal(columns, rows);
    terminal.Feed("old shell output that must go");

    terminal.Feed(NoticeBytes(columns, rows));

    const std::string expected = std::string(kMessage) + std::to_string(columns) + " x " +
                                 std::to_string(rows) + ". Please enlarge it.";
    EXPECT_EQ(ShownText(terminal, columns, rows), expected) << columns << "x" << rows;
    EXPECT_FALSE(terminal.cursor_visible());
  }
}

TEST(TooSmallNoticeTest, IsCentred) {
  TerminalScreen terminal(80, 24);
  terminal.Feed(NoticeBytes(80, 24));

  int first_row = -1;
  int last_row = -1;
  for (int row = 0; row < 24; ++row) {
    for (int column = 0; column < 80; ++column) {
      if (terminal.GlyphAt(column, row) == U' ') continue;
      if (first_row < 0) first_row = row;
      last_row = row;
    }
  }
  ASSERT_GE(first_row, 0);
  EXPECT_LE(std::abs((first_row + last_row) - 23), 1);
  EXPECT_EQ(terminal.GlyphAt(0, first_row), U' ');
}

TEST(TooSmallNoticeTest, TinyTerminalShowsWhatFits) {
  TerminalScreen terminal(12, 2);
  terminal.Feed(NoticeBytes(12, 2));

  EXPECT_EQ(ShownText(terminal, 12, 2), "Vistamere needs a");
}

}  // namespace
}  // namespace vistamere::term::testing
