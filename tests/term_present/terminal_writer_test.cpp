#include "term/terminal_writer.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

#include "presenter_harness.h"

namespace vistamere::term::testing {
namespace {

constexpr std::string_view kEraseDisplay = "\x1b[2J";

void ExpectTerminalShowsFrame(const PresenterHarness& harness) {
  EXPECT_EQ(harness.terminal.MismatchesWith(harness.frame), "");
  EXPECT_EQ(harness.terminal.cursor_visible(), harness.frame.cursor.visible);
  if (harness.frame.cursor.visible) {
    EXPECT_EQ(harness.terminal.cursor_column(), harness.frame.cursor.column);
    EXPECT_EQ(harness.terminal.cursor_row(), harness.frame.cursor.row);
  }
}

// A label as the program shows it: its text written into the console and a
// hole opened over it so that it shows through the picture.
void ShowLabel(PresenterHarness& harness, int number, int column, int row, std::string_view text) {
  WriteText(harness.buffer, column, row, text);
  harness.window.holes[number] =
      HoleRect{column + 1, row + 1, column + static_cast<int>(text.size()), row + 1};
}

void HideLabel(PresenterHarness& harness, int number) {
  const HoleRect rect = harness.window.holes.at(number);
  harness.buffer.FillOutputCharacter(' ', rect.right - rect.left + 1, rect.left - 1, rect.top - 1);
  harness.window.holes.erase(number);
}

constexpr std::string_view kFielders[9] = {"Pitcher", "Catcher", "First",  "Second", "Third",
                                           "Short",   "Left",    "Centre", "Right"};

void ShowNineLabels(PresenterHarness& harness, int shift) {
  for (int i = 0; i < 9; ++i) {
    ShowLabel(harness, i + 1, 5 + i * 10 + shift, 3 + i * 3, kFielders[i]);
  }
}

TEST(TerminalWriterTest, FullRepaintShowsTheFrameAndNothingStaleAround) {
  PresenterHarness harness;
  harness.terminal.Feed("stale text everywhere\x1b[42;100Hmore stale");
  harness.ShowPictureScreen();
  ShowNineLabels(harness, 0);

  const std::string bytes = harness.Present();

  EXPECT_NE(bytes.find(kEraseDisplay), std::string::npos);
  EXPECT_EQ(bytes.rfind("\x1b[?2026h", 0), 0u) << "the update starts synchronized output";
  EXPECT_TRUE(bytes.ends_with("\x1b[?2026l"));
  ExpectTerminalShowsFrame(harness);
  EXPECT_EQ(harness.terminal.GlyphAt(100, 41), U' ');
  EXPECT_EQ(harness.terminal.GlyphAt(0, 0), harness.frame.At(0, 0).glyph);
}

TEST(TerminalWriterTest, UnchangedFrameWritesNothing) {
  PresenterHarness harness;
  harness.ShowPictureScreen();
  harness.Present();
  EXPECT_EQ(harness.Present(), "");

  harness.buffer.SetCursorInfo(CursorInfo{25, false});
  EXPECT_NE(harness.Present(), "");
  EXPECT_EQ(harness.Present(), "");
}

TEST(TerminalWriterTest, OneCellChangeWritesAHandfulOfBytes) {
  PresenterHarness harness;
  harness.ShowPictureScreen();
  harness.Present();

  WriteText(harness.buffer, 10, 37, "X");
  const std::string bytes = harness.Present();

  // Synchronized output, cursor hidden, one move, the glyph, cursor back and shown.
  EXPECT_LE(bytes.size(), 48u) << bytes;
  ExpectTerminalShowsFrame(harness);
}

TEST(TerminalWriterTest, OnlyWrittenCellsAreDrawnUntilEveryCellIsKnown) {
  PresenterHarness harness;
  harness.terminal.Feed("user@host:~$ vistamere\r\n");

  WriteText(harness.buffer, 0, 5, "Loading...");
  const std::string first = harness.Present();

  EXPECT_EQ(first.find(kEraseDisplay), std::string::npos);
  EXPECT_EQ(harness.terminal.GlyphAt(0, 0), U'u') << "the shell's text stays";
  EXPECT_EQ(harness.terminal.GlyphAt(4, 0), U'@');
  EXPECT_EQ(harness.terminal.MismatchesWith(harness.frame), "");

  ClearBuffer(harness.buffer);
  const std::string cleared = harness.Present();
  EXPECT_NE(cleared.find(kEraseDisplay), std::string::npos);
  EXPECT_EQ(harness.terminal.GlyphAt(0, 0), U' ');
  ExpectTerminalShowsFrame(harness);

  WriteText(harness.buffer, 0, 0, "Hello");
  EXPECT_EQ(harness.Present().find(kEraseDisplay), std::string::npos)
      << "the screen is cleared once";
  ExpectTerminalShowsFrame(harness);
}

TEST(TerminalWriterTest, InvalidateRedrawsEverythingOverForeignOutput) {
  PresenterHarness harness;
  harness.ShowPictureScreen();
  harness.Present();

  harness.terminal.Feed("\x1b[0m\x1b[2J\x1b[5;5H\x1b[31mnotice of some other kind");
  harness.writer.Invalidate();
  const std::string bytes = harness.Present();

  EXPECT_NE(bytes.find(kEraseDisplay), std::string::npos);
  ExpectTerminalShowsFrame(harness);
}

TEST(TerminalWriterTest, ScreenOfAnotherSizeIsDrawnAfresh) {
  PresenterHarness harness;
  harness.ShowPictureScreen();
  harness.Present();

  harness.buffer.SetScreenBufferSize(80, 25);
  ClearBuffer(harness.buffer);
  WriteText(harness.buffer, 70, 24, "bottom right");
  harness.Present();

  ExpectTerminalShowsFrame(harness);
  EXPECT_EQ(harness.terminal.GlyphAt(90, 30), U' ');
}

struct UpdateScenario {
  const char* name;
  std::function<void(PresenterHarness&)> change;
  std::size_t max_bytes;

  friend void PrintTo(const UpdateScenario& scenario, std::ostream* out) { *out << scenario.name; }
};

class TerminalWriterScenarioTest : public ::testing::TestWithParam<UpdateScenario> {};

TEST_P(TerminalWriterScenarioTest, TerminalShowsTheNewFrame) {
  PresenterHarness harness;
  harness.ShowPictureScreen();
  ShowNineLabels(harness, 0);
  harness.Present();

  GetParam().change(harness);
  const std::string bytes = harness.Present();

  RecordProperty("bytes", static_cast<int>(bytes.size()));
  ExpectTerminalShowsFrame(harness);
  EXPECT_LE(bytes.size(), GetParam().max_bytes);
  EXPECT_EQ(bytes.find(kEraseDisplay), std::string::npos) << "an update is never a repaint";
}

const UpdateScenario kScenarios[] = {
    {"NineLabelsMoveOneColumn",
     [](PresenterHarness& h) {
       for (int i = 1; i <= 9; ++i) HideLabel(h, i);
       ShowNineLabels(h, 1);
     },
     900},
    {"NineLabelsMoveOneRow",
     [](PresenterHarness& h) {
       for (int i = 1; i <= 9; ++i) HideLabel(h, i);
       for (int i = 0; i < 9; ++i) ShowLabel(h, i + 1, 5 + i * 10, 4 + i * 3, kFielders[i]);
     },
     3000},
    {"HoleCloses", [](PresenterHarness& h) { HideLabel(h, 4); }, 400},
    {"HoleOpensOverText", [](PresenterHarness& h) { ShowLabel(h, 12, 60, 20, "Umpire"); }, 200},
    {"NoticeAppears",
     [](PresenterHarness& h) {
       h.window.notice = "Cannot show \"ballpark.bmp\": not a picture file";
     },
     6000},
    {"CursorHides",
     [](PresenterHarness& h) {
       h.buffer.SetCursorInfo({25, false});
     },
     40},
    {"CursorMoves", [](PresenterHarness& h) { h.buffer.SetCursorPosition(30, 39); }, 40},
    {"CursorMovesUnderThePicture", [](PresenterHarness& h) { h.buffer.SetCursorPosition(30, 10); },
     40},
    {"ColouredText",
     [](PresenterHarness& h) {
       WriteText(h.buffer, 0, 35, "warning", 0x4E);
       WriteText(h.buffer, 8, 35, "info", 0x1F);
       WriteText(h.buffer, 13, 35, "plain", 0x07);
     },
     120},
    {"WindowHidden", [](PresenterHarness& h) { h.window.shown = false; }, 20000},
    {"PictureChanges",
     [](PresenterHarness& h) {
       h.picture = GradientPicture(kColumns, 34, ColourMode::kTrueColor, 17);
     },
     200000},
    {"PictureInIndexedColours",
     [](PresenterHarness& h) {
       h.picture = GradientPicture(kColumns, 34, ColourMode::kIndexed256, 3);
     },
     200000},
};

INSTANTIATE_TEST_SUITE_P(Scenarios, TerminalWriterScenarioTest, ::testing::ValuesIn(kScenarios),
                         [](const auto& p) { return std::string(p.param.name); });

class TerminalWriterRandomTest : public ::testing::TestWithParam<int> {};

// Parameter: how many columns and rows the terminal has beyond the screen;
// at zero, writing the last column leaves the terminal waiting to wrap.
TEST_P(TerminalWriterRandomTest, TerminalKeepsShowingTheFrame) {
  PresenterHarness harness(kColumns + GetParam(), kRows + GetParam());
  harness.ShowPictureScreen();
  harness.Present();
  std::mt19937 random(20240607);
  auto pick = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };

  for (int round = 0; round < 200; ++round) {
    const int changes = pick(0, 12);
    for (int i = 0; i < changes; ++i) {
      const int column = pick(0, kColumns - 1);
      const int row = pick(0, kRows - 1);
      const auto attribute = static_cast<std::uint8_t>(pick(0, 3) == 0 ? pick(0, 255) : 0x07);
      std::string text(static_cast<std::size_t>(pick(1, 6)), ' ');
      for (char& c : text) c = static_cast<char>(pick(0, 255));
      WriteText(harness.buffer, column, row, text, attribute);
    }
    if (pick(0, 4) == 0) {
      const int number = pick(1, 6);
      if (harness.window.holes.contains(number)) {
        harness.window.holes.erase(number);
      } else {
        const int left = pick(1, kColumns - 8);
        const int top = pick(1, 34);
        harness.window.holes[number] = HoleRect{left, top, left + pick(0, 7), top + pick(0, 1)};
      }
    }
    if (pick(0, 9) == 0) harness.window.shown = !harness.window.shown;
    if (pick(0, 3) == 0)
      harness.buffer.SetCursorPosition(pick(0, kColumns - 1), pick(0, kRows - 1));
    if (pick(0, 9) == 0) harness.buffer.SetCursorInfo({25, pick(0, 1) == 1});

    harness.Present();
    ASSERT_EQ(harness.terminal.MismatchesWith(harness.frame), "") << "round " << round;
    ASSERT_EQ(harness.terminal.cursor_visible(), harness.frame.cursor.visible) << "round " << round;
    if (harness.frame.cursor.visible) {
      ASSERT_EQ(harness.terminal.cursor_column(), harness.frame.cursor.column) << "round " << round;
      ASSERT_EQ(harness.terminal.cursor_row(), harness.frame.cursor.row) << "round " << round;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(TerminalMargins, TerminalWriterRandomTest, ::testing::Values(0, 3));

}  // namespace
}  // namespace vistamere::term::testing
