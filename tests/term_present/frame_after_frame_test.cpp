// Frame after frame as the program makes them: composed into one frame by a
// FrameComposer (which visits only what changed) and written by one writer
// (which passes over rows that did not change). Whatever changes between
// two frames, the frame must be the one composed afresh, and the terminal
// must show it.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>

#include "presenter_harness.h"
#include "term/load_progress.h"

namespace vistamere::term::testing {
namespace {

// Where two frames differ (known cells, their contents, the cursor); empty
// when they are the same.
std::string Differences(const Frame& got, const Frame& expected) {
  if (got.columns() != expected.columns() || got.rows() != expected.rows()) return "size";
  std::ostringstream report;
  for (int row = 0; row < got.rows(); ++row) {
    for (int column = 0; column < got.columns(); ++column) {
      const bool known = expected.Known(column, row);
      if (got.Known(column, row) != known ||
          (known && !(got.At(column, row) == expected.At(column, row)))) {
        report << "cell " << column << "," << row << " ";
      }
    }
  }
  if (!(got.cursor == expected.cursor)) report << "cursor";
  return report.str();
}

TEST(FrameAfterFrameTest, EachFrameIsTheWholeFrameComposedAfreshAndTheTerminalShowsIt) {
  PresenterHarness harness(kColumns + 3, kRows + 3);
  harness.ShowPictureScreen();
  FrameComposer composer;
  Frame afresh;
  std::mt19937 random(20261209);
  auto pick = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  auto one_in = [&](int n) { return pick(1, n) == 1; };

  for (int round = 0; round < 400; ++round) {
    SCOPED_TRACE(round);
    // Labels and the status panel: text written, holes opened, moved, closed.
    for (int i = pick(0, 10); i > 0; --i) {
      std::string text(static_cast<std::size_t>(pick(1, 8)), ' ');
      for (char& c : text) c = static_cast<char>(pick(0, 255));
      WriteText(harness.buffer, pick(0, kColumns - 1), pick(0, kRows - 1), text,
                static_cast<std::uint8_t>(one_in(4) ? pick(0, 255) : 0x07));
    }
    for (int i = pick(0, 3); i > 0; --i) {
      const int number = pick(1, 9);
      const int left = pick(1, kColumns - 8);
      const int top = pick(1, 34);
      if (one_in(3)) {
        harness.window.holes.erase(number);
      } else {
        harness.window.holes[number] = HoleRect{left, top, left + pick(0, 9), top + pick(0, 1)};
      }
    }
    if (one_in(4)) harness.buffer.SetCursorPosition(pick(0, kColumns - 1), pick(0, kRows - 1));
    if (one_in(12)) harness.buffer.SetCursorInfo({25, one_in(2)});
    // Now and then what changes much or all of it.
    if (one_in(25)) harness.window.shown = !harness.window.shown;
    if (one_in(30)) harness.window.area = HoleRect{pick(1, 4), pick(1, 4), kColumns, pick(30, 36)};
    if (one_in(30)) {
      harness.picture = GradientPicture(kColumns, 34, ColourMode::kTrueColor, round);
      composer.Invalidate();
    }
    if (one_in(30)) {
      harness.window.notice = harness.window.notice.empty() ? "Cannot show \"x.png\"" : "";
    }
    if (one_in(40)) {
      // Cells the program has not written yet come back unknown.
      harness.buffer.SetScreenBufferSize(kColumns - pick(0, 1), kRows - pick(0, 2));
      harness.buffer.SetScreenBufferSize(kColumns, kRows);
    }
    const bool pixels = one_in(15);
    const bool progress = one_in(15);

    composer.Compose(harness.buffer, harness.window, &harness.picture, harness.frame, pixels);
    ComposeFrame(harness.buffer, harness.window, &harness.picture, afresh, pixels);
    if (progress) {
      DrawLoadProgress("x.png", round % 100, harness.buffer.cursor_row(), harness.frame);
      DrawLoadProgress("x.png", round % 100, harness.buffer.cursor_row(), afresh);
    }
    ASSERT_EQ(Differences(harness.frame, afresh), "");
    // Pixel-picture cells are the pixel picture's to draw; this writer has none.
    if (pixels) continue;
    harness.terminal.Feed(harness.writer.Update(harness.frame));
    ASSERT_EQ(harness.terminal.MismatchesWith(harness.frame), "");
    ASSERT_EQ(harness.terminal.cursor_visible(), harness.frame.cursor.visible);
  }
}

}  // namespace
}  // namespace vistamere::term::testing
