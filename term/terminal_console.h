// The console device of a terminal. It keeps the screen model the console
// writes into and runs the one loop of a key wait: show the composed screen,
// wait for the terminal, decode what it sent into key events. It also does
// what the tool libraries ask of the platform (title, load progress).
#pragma once

#include <chrono>
#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "console/console_device.h"
#include "console/screen_buffer_device.h"
#include "term/colour.h"
#include "term/frame.h"
#include "term/frame_compose.h"
#include "term/graphics_mode.h"
#include "term/key_decoder.h"
#include "term/picture_cells.h"
#include "term/terminal_port.h"
#include "term/terminal_writer.h"
#include "toollibs/graphics_window.h"
#include "toollibs/tool_host.h"

namespace vistamere::term {

// The terminal has gone away (hung up, closed): nobody is left to type a key.
class TerminalLost : public std::runtime_error {
 public:
  TerminalLost() : std::runtime_error("the terminal has gone away") {}
};

// The user asked to end the program at once (Ctrl+Backslash, the terminal's
// counterpart of a console's Ctrl+Break).
class EndRequested : public std::runtime_error {
 public:
  EndRequested() : std::runtime_error("the user asked to end the program") {}
};

class TerminalConsole final : public ScreenBufferDevice, public ToolHost {
 public:
  // A lone Esc waits this long for more bytes before it counts as the Esc
  // key (and a sequence cut short, before it is dropped).
  static constexpr std::chrono::milliseconds kEscapeTimeout{40};
  // How long start-up waits for the terminal to answer its queries. The
  // wait ends at the device attributes answer, which every terminal gives,
  // so only one that never answers waits all of it; a terminal over a slow
  // link or on a busy machine may take hundreds of milliseconds.
  static constexpr std::chrono::milliseconds kQueryTimeout{1000};
  // A load shorter than this shows no progress at all.
  static constexpr std::chrono::milliseconds kProgressDelay{150};

  // The screen starts at the terminal's size. The picture's colours are
  // the ones `colours` settle, else what Start() finds the terminal takes;
  // it is drawn in pixels where `graphics` and the terminal allow.
  TerminalConsole(TerminalPort& port, GraphicsWindow& window, const ColourSettings& colours,
                  const GraphicsSettings& graphics = {});
  ~TerminalConsole() override;
  TerminalConsole(const TerminalConsole&) = delete;
  TerminalConsole& operator=(const TerminalConsole&) = delete;

  // Queues the keys that type `utf8` and Enter, as if the user typed them
  // before anything else.
  void TypeAhead(std::string_view utf8);

  // Asks the terminal where its cursor stands, which keyboard protocol it
  // speaks and, unless the settings decide it, whether it shows 24-bit
  // colour; places the screen's cursor there. Keys typed meanwhile are
  // kept. Throws TerminalLost.
  void Start();

  // The picture's colours: 256 until Start() has settled them.
  ColourMode colour_mode() const { return colour_mode_.value_or(ColourMode::kIndexed256); }
  // What Start() found: whether the terminal answered at all, and its
  // keyboard protocol.
  bool answered() const { return answered_; }
  bool kitty_keyboard() const { return kitty_keyboard_; }
  const TerminalGraphics& terminal_graphics() const { return terminal_graphics_; }
  // How the picture is drawn in an area of columns x rows cells at the
  // terminal's present size, and why.
  GraphicsDecision Graphics(int columns, int rows);

  // With no input queued, shows the screen and waits for the terminal until
  // a key event comes. Throws TerminalLost, and EndRequested for
  // Ctrl+Backslash.
  bool PeekInput(InputRecord& record) override;
  bool ReadInput(InputRecord& record) override;
  void Sleep(int milliseconds) override;

  void SetTitle(const std::string& title) override;
  // Shows a load's progress once it has taken a while; from then on Esc or
  // Ctrl+C stops it (false), and other keys wait in the queue.
  bool ShowLoadProgress(const std::string& name, int percent) override;

 private:
  struct LoadProgress {
    std::string name;
    int percent = 0;
  };

  void WaitForInput();
  // Takes the keys typed during a load: whether one of them stops it.
  bool LoadStopRequested();
  // Reads and decodes what the terminal has sent already, without waiting.
  void TakeWaitingInput();
  // The same once the terminal has something to read.
  void TakeInput();
  void TakeNews();
  // Shows the screen, or the too-small notice when the terminal is smaller.
  // `render_picture`: picture cells are made afresh when the picture changed.
  void Present(bool render_picture);
  void ReadTerminal();
  void DrainDecodedInput();
  void Write(std::string_view bytes);
  void ThrowIfLost() const;
  // The cell renderer gets ready while the user types the file name.
  void PrepareCellsWhileWaiting();
  // Whether the picture is shown in pixels at this terminal size; makes the
  // images afresh when the picture or the cell size changed (and
  // `render_picture` allows) and hands them to the writer.
  // Readies the picture of the next frame: its images in pixels (true) or
  // its cells.
  bool PreparePicture(bool render_picture);
  bool UsePixelPicture(bool render_picture);

  TerminalPort& port_;
  GraphicsWindow& window_;
  std::optional<ColourMode> colour_mode_;  // none: the terminal is to be asked
  KeyDecoder decoder_;
  TerminalWriter writer_;
  FrameComposer composer_;
  Frame frame_;
  std::string restore_bytes_;
  bool lost_ = false;
  bool end_requested_ = false;  // Ctrl+Backslash came during a load
  bool too_small_ = false;
  bool kitty_keyboard_ = false;  // the terminal speaks the kitty keyboard protocol
  TerminalPort::Clock::time_point escape_deadline_{};
  // What the program's sleeps add up to since the screen was last shown.
  std::chrono::milliseconds owed_sleep_{0};

  GraphicsSettings graphics_;
  TerminalGraphics terminal_graphics_;
  bool answered_ = false;
  bool colour_registers_set_ = false;
  std::unique_ptr<SixelPicture> sixel_;
  std::unique_ptr<KittyPicture> kitty_;
  std::uint64_t pixels_version_ = 0;  // the picture the images show

  bool cells_preparing_ = false;
  std::future<void> cells_prepared_;
  PictureCellGrid picture_;
  std::uint64_t picture_version_ = ~std::uint64_t{0};

  std::optional<TerminalPort::Clock::time_point> load_started_;
  std::optional<LoadProgress> progress_;
};

}  // namespace vistamere::term
