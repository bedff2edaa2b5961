// The console device of a Windows console. Like the terminal's, it keeps
// the screen the program writes in a model and shows it, with the graphics
// window's picture over it, whenever the program waits for a key: composed
// into console cells and written row by row where they changed. Keys come
// as the console's own key records.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/console_device.h"
#include "console/screen_buffer_device.h"
#include "term/frame.h"
#include "term/picture_cells.h"
#include "toollibs/graphics_window.h"
#include "toollibs/tool_host.h"
#include "win32/block_picture.h"
#include "win32/console_cells.h"
#include "win32/console_session.h"

namespace vistamere::win32 {

// The program's key record of a console key event: its character in code
// page 437 ('?' where the code page lacks it), scan code and control-key
// state as the console reported them.
[[nodiscard]] KeyEventRecord KeyOfConsoleEvent(const KEY_EVENT_RECORD& event);

class WindowsConsole final : public ScreenBufferDevice, public ToolHost {
 public:
  // A load shorter than this shows no progress at all.
  static constexpr std::chrono::milliseconds kProgressDelay{150};

  WindowsConsole(ConsoleSession& session, GraphicsWindow& window);

  // Queues the keys that type `utf8` and Enter, as if the user typed them
  // before anything else.
  void TypeAhead(std::string_view utf8);

  // The console's own buffer and window follow the model's size.
  bool SetScreenBufferSize(int columns, int rows) override;
  // With no input queued, shows the screen and waits on the console's input
  // until a key event comes.
  bool PeekInput(InputRecord& record) override;
  bool ReadInput(InputRecord& record) override;
  void Sleep(int milliseconds) override;

  void SetTitle(const std::string& title) override;
  bool ShowLoadProgress(const std::string& name, int percent) override;
  bool SetIcon(int icon) override;
  void SetWindowState(int state) override;

 private:
  // Takes what the console has queued, waiting up to `milliseconds` (-1:
  // without end) for the first event.
  void TakeInput(int milliseconds);
  // TakeInput, but false when the console has gone; with `stop`, Esc and
  // Ctrl+C are taken out of the keys and set it.
  bool ReadEvents(int milliseconds, bool* stop);
  // Whether the user pressed a key that stops the load under way.
  bool LoadStopRequested();
  void Present();
  // Writes the frame's 24-bit cells from `column` on in `row` as VT
  // sequences; returns the column after them.
  int WriteRgbRun(int column, int row, COORD origin);
  // Makes the console's own buffer and window the model's size, where the
  // console lets it.
  void FitConsole();

  ConsoleSession& session_;
  GraphicsWindow& window_;
  ConsolePalette palette_ = kStandardConsolePalette;
  term::Frame frame_;
  std::vector<ConsoleCell> shown_;  // what the console shows, as far as known
  std::vector<bool> shown_known_;
  std::vector<term::TermCell> shown_rgb_;  // 24-bit cells as shown
  bool vt_colour_ = false;                 // the console draws 24-bit VT colours
  std::optional<CursorInfo> shown_cursor_;
  std::optional<COORD> shown_cursor_at_;
  term::PictureCellGrid picture_;
  std::uint64_t picture_version_ = ~std::uint64_t{0};
  std::optional<std::chrono::steady_clock::time_point> load_started_;
  std::optional<std::pair<std::string, int>> progress_;  // name and percent shown
  bool too_small_ = false;  // the console's window is smaller than the screen
};

}  // namespace vistamere::win32
