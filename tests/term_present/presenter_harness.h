// The presenter end to end: screen buffer and graphics window composed into
// a frame, written, and fed into an emulated terminal larger than the screen.
#pragma once

#include <string>

#include "console/screen_buffer.h"
#include "screen_setup.h"
#include "term/frame.h"
#include "term/frame_compose.h"
#include "term/terminal_writer.h"
#include "tests/support/terminal_screen.h"
#include "toollibs/graphics_window.h"

namespace vistamere::term::testing {

struct PresenterHarness {
  // By default the terminal is larger than the screen, to see what is left around it.
  explicit PresenterHarness(int terminal_columns = kColumns + 8, int terminal_rows = kRows + 4)
      : terminal(terminal_columns, terminal_rows) {}

  ScreenBuffer buffer{kColumns, kRows};
  GraphicsWindow window;
  PictureCellGrid picture = GradientPicture(kColumns, 34, ColourMode::kTrueColor);
  Frame frame;
  TerminalWriter writer;
  TerminalScreen terminal;

  // Composes, writes and feeds the terminal; returns the bytes written.
  std::string Present() {
    ComposeFrame(buffer, window, &picture, frame);
    std::string bytes = writer.Update(frame);
    terminal.Feed(bytes);
    return bytes;
  }

  // The program's start: screen cleared, picture shown over the top 34 rows.
  void ShowPictureScreen() {
    ClearBuffer(buffer);
    window.area = HoleRect{1, 1, kColumns, 34};
    window.shown = true;
    WriteText(buffer, 0, 36, "Viewpoint: behind home plate");
    buffer.SetCursorPosition(0, 38);
  }
};

}  // namespace vistamere::term::testing
