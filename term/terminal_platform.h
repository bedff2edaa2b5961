// Runs the console in a real terminal: shows the composed screen whenever
// the program waits for input, turns the terminal's bytes into key events,
// and answers the tool libraries' needs (title, load progress).
#pragma once

#include <chrono>
#include <cstdint>
#include <future>
#include <string>

#include "console/screen_buffer.h"
#include "term/colour.h"
#include "term/frame.h"
#include "term/frame_writer.h"
#include "term/key_decoder.h"
#include "term/picture_cells.h"
#include "term/tty_session.h"
#include "toollibs/graphics_window.h"
#include "toollibs/tool_host.h"

namespace vistamere::term {

class TerminalPlatform final : public ToolHost {
 public:
  TerminalPlatform(TtySession& tty, ScreenBuffer& screen, GraphicsWindow& window,
                   ColourMode colour_mode);

  // Asks the terminal where its cursor stands and which keyboard protocol
  // it speaks, and places the screen's cursor there. Keys typed meanwhile
  // are kept.
  void Start();

  void SetTitle(const std::string& title) override;
  void ShowLoadProgress(const std::string& name, int percent) override;

  // Draws what changed since the last look, if the terminal is big enough.
  void Present();

 private:
  bool WaitForInput();
  // Reads what the terminal has sent, waiting at most `timeout_ms` (-1:
  // without limit). Returns whether any bytes or signal news came.
  bool ReadTerminal(int timeout_ms);
  void DrainDecodedInput();
  [[noreturn]] void TerminalGone();

  TtySession& tty_;
  ScreenBuffer& screen_;
  GraphicsWindow& window_;
  ColourMode colour_mode_;
  KeyDecoder decoder_;
  FrameWriter writer_;
  Frame frame_;
  // The cell renderer gets ready while the user types the file name.
  void PrepareCellsWhileWaiting();
  bool cells_preparing_ = false;
  std::future<void> cells_prepared_;
  PictureCellGrid picture_;
  std::uint64_t picture_version_ = ~std::uint64_t{0};
  TerminalSize shown_too_small_{};
  bool too_small_ = false;

  std::chrono::steady_clock::time_point load_started_;
  int load_percent_shown_ = -1;
  bool load_progress_visible_ = false;
};

}  // namespace vistamere::term
