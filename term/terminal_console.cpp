#include "term/terminal_console.h"

#include <algorithm>
#include <array>
#include <system_error>
#include <utility>

#include "console/utf8.h"
#include "term/frame_compose.h"
#include "term/key_records.h"
#include "term/load_progress.h"
#include "term/too_small_notice.h"

namespace vistamere::term {
namespace {

// Keyboard protocol flags: disambiguate, report releases, alternate keys,
// all keys as escape codes.
constexpr int kKeyboardFlags = 1 | 2 | 4 | 8;
constexpr std::uint8_t kEnterByte = 0x0D;
// Ctrl+L, which terminal programs take as a request to draw the screen anew.
constexpr std::uint8_t kRedrawKey = 0x0C;

// Ctrl+Backslash, which ends the program at once.
constexpr std::uint8_t kEndKey = 0x1C;
// Esc and Ctrl+C stop a load.
constexpr std::uint8_t kEscByte = 0x1B;
constexpr std::uint8_t kInterruptKey = 0x03;

bool IsControlKey(const InputRecord& record, std::uint8_t character) {
  return record.type == InputEventType::kKey && record.key.key_down &&
         record.key.character == character &&
         (record.key.control_state & (kLeftAltPressed | kRightAltPressed)) == 0;
}

}  // namespace

TerminalConsole::TerminalConsole(TerminalPort& port, GraphicsWindow& window,
                                 const ColourSettings& colours, const GraphicsSettings& graphics)
    : ScreenBufferDevice(port.Size().columns, port.Size().rows),
      port_(port),
      window_(window),
      colour_mode_(SettledColourMode(colours)),
      graphics_(graphics) {}

TerminalConsole::~TerminalConsole() {
  if (cells_prepared_.valid()) cells_prepared_.wait();
}

void TerminalConsole::TypeAhead(std::string_view utf8) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(utf8.data());
  for (std::size_t at = 0; at < utf8.size();) {
    const Utf8Char read = DecodeUtf8(std::span(bytes + at, utf8.size() - at));
    const char32_t character = read.status == Utf8Status::kValid ? read.code_point : U'?';
    at += std::max<std::size_t>(read.length, 1);
    InputRecord record;
    // Printable ASCII as its key (scan code and Shift); anything else as a
    // typed character, never as a control.
    record.key = character >= 0x20 && character < 0x7F
                     ? KeyOfByte(static_cast<std::uint8_t>(character))
                     : KeyOfCharacter(character);
    screen_.PushInput(record);
  }
  InputRecord enter;
  enter.key = KeyOfByte(kEnterByte);
  screen_.PushInput(enter);
}

void TerminalConsole::Start() {
  decoder_.ExpectCursorReport(true);
  const bool ask_colours = !colour_mode_;
  const bool ask_graphics = graphics_.choice == GraphicsChoice::kAuto && !graphics_.multiplexer;
  Write(writer_.StartupQueries(ask_colours, ask_graphics));
  bool kitty_keyboard = false;
  // The pen's colour as the terminal reports it back; a terminal that does
  // not say may still name the capability.
  std::optional<int> reported_foreground;
  bool true_colour_capability = false;
  bool answered = false;
  const auto deadline = port_.Now() + kQueryTimeout;
  while (!answered && !lost_) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - port_.Now());
    if (left.count() <= 0 || !port_.Wait(left)) break;
    TakeNews();
    ReadTerminal();
    while (auto reply = decoder_.NextReply()) {
      switch (reply->kind) {
        case TerminalReply::Kind::kCursorPosition:
          screen_.PlaceCursor(reply->second - 1, reply->first - 1);
          break;
        case TerminalReply::Kind::kKittyKeyboardFlags:
          kitty_keyboard = true;
          break;
        case TerminalReply::Kind::kPrimaryDeviceAttributes:
          terminal_graphics_.sixel = reply->second != 0;
          answered = true;
          break;
        case TerminalReply::Kind::kKittyGraphics:
          terminal_graphics_.kitty = reply->first != 0;
          break;
        case TerminalReply::Kind::kGraphicRendition:
          reported_foreground = reply->first;
          break;
        case TerminalReply::Kind::kTrueColourCapability:
          true_colour_capability = true;
          break;
      }
    }
    DrainDecodedInput();
  }
  decoder_.ExpectCursorReport(false);
  if (ask_colours) {
    // What the terminal did with the colour outweighs what its capabilities
    // say: they describe the terminal type, not this terminal's settings.
    const bool true_colour =
        reported_foreground ? *reported_foreground == static_cast<int>(TerminalWriter::kProbeColour)
                            : true_colour_capability;
    colour_mode_ = true_colour ? ColourMode::kTrueColor : ColourMode::kIndexed256;
  }
  kitty_keyboard_ = kitty_keyboard;
  answered_ = answered;
  if (kitty_keyboard_) Write(writer_.PushKeyboardFlags(kKeyboardFlags));
  ThrowIfLost();
}

bool TerminalConsole::PeekInput(InputRecord& record) {
  if (screen_.pending_input() == 0) WaitForInput();
  return screen_.PeekInput(record);
}

bool TerminalConsole::ReadInput(InputRecord& record) {
  return screen_.ReadInput(record);
}

void TerminalConsole::Sleep(int milliseconds) {
  // The waits keep a polling program from spinning and pace its drawing;
  // with keys already there they have nothing to wait for, and a burst of
  // keys goes at full speed. Nothing the program draws shows before it
  // waits for a key, so its sleeps since the screen was last shown are
  // slept there, in one go, before the screen is shown (WaitForInput).
  if (milliseconds <= 0 || screen_.pending_input() > 0) return;
  owed_sleep_ += std::chrono::milliseconds(milliseconds);
}

void TerminalConsole::SetTitle(const std::string& title) {
  Write(writer_.Title(title));
}

bool TerminalConsole::ShowLoadProgress(const std::string& name, int percent) {
  if (percent < 0) {
    // The next screen shown no longer has the line.
    load_started_.reset();
    progress_.reset();
    return true;
  }
  const auto now = port_.Now();
  if (!load_started_) load_started_ = now;
  if (now - *load_started_ < kProgressDelay) return true;
  // A load that shows its progress can be stopped.
  if (LoadStopRequested()) {
    progress_.reset();
    return false;
  }
  if (progress_ && progress_->percent == percent) return true;
  progress_ = LoadProgress{name, percent};
  // Called from inside a decoder: a lost terminal is only noted here.
  Present(false);
  return true;
}

bool TerminalConsole::LoadStopRequested() {
  if (lost_) return true;
  if (port_.Wait(std::chrono::milliseconds(0))) ReadTerminal();
  if (decoder_.HasIncompleteSequence() && port_.Now() >= escape_deadline_) {
    decoder_.FlushPending();
  }
  while (decoder_.NextReply()) {
  }
  // Nothing is thrown from here (a decoder is running): Ctrl+Backslash stops
  // the load and ends the program at the next wait.
  bool stop = false;
  InputRecord record;
  while (decoder_.Next(record)) {
    if (IsControlKey(record, kEndKey)) end_requested_ = true;
    if (IsControlKey(record, kEndKey) || IsControlKey(record, kEscByte) ||
        IsControlKey(record, kInterruptKey)) {
      stop = true;
      continue;
    }
    if (IsControlKey(record, kRedrawKey)) writer_.Repaint();
    screen_.PushInput(record);
  }
  return stop || lost_;
}

void TerminalConsole::TakeWaitingInput() {
  if (screen_.pending_input() > 0 || !port_.Wait(std::chrono::milliseconds(0))) return;
  TakeInput();
}

void TerminalConsole::TakeInput() {
  ReadTerminal();
  while (decoder_.NextReply()) {
    // Late answers to start-up queries carry nothing we still need.
  }
  DrainDecodedInput();
}

void TerminalConsole::WaitForInput() {
  if (end_requested_) throw EndRequested();
  while (screen_.pending_input() == 0) {
    ThrowIfLost();
    TakeNews();
    // Keys that have come already are taken before anything is shown: the
    // screen is shown when the program would otherwise wait, once a burst
    // of keys is done. The program's sleeps come first; whatever comes
    // from the terminal meanwhile ends them.
    if (owed_sleep_.count() > 0) {
      // A new picture is made ready meanwhile: it shows no sooner for it,
      // but once the sleeps are over.
      if (!too_small_) PreparePicture(true);
      const auto owed = std::exchange(owed_sleep_, std::chrono::milliseconds(0));
      if (port_.Wait(owed)) {
        TakeInput();
        continue;
      }
    } else {
      TakeWaitingInput();
      if (screen_.pending_input() > 0) break;
    }
    Present(true);
    PrepareCellsWhileWaiting();
    if (decoder_.HasIncompleteSequence()) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(escape_deadline_ - port_.Now());
      if (left.count() <= 0 || !port_.Wait(left)) {
        // Nothing more came in time: what is pending is keys of its own.
        decoder_.FlushPending();
        DrainDecodedInput();
        continue;
      }
    } else {
      port_.Wait(std::chrono::milliseconds(-1));
    }
    TakeInput();
  }
  // Keys are there: what the program still meant to sleep has nothing to wait for.
  owed_sleep_ = std::chrono::milliseconds(0);
}

void TerminalConsole::TakeNews() {
  const TerminalNews news = port_.TakeNews();
  // Back from a stop, the terminal was the shell's: anything may be on it.
  if (news.continued) {
    writer_.Repaint();
  } else if (news.resized) {
    writer_.Invalidate();
  }
  if (news.given_back && kitty_keyboard_) Write(writer_.PushKeyboardFlags(kKeyboardFlags));
}

void TerminalConsole::Present(bool render_picture) {
  const TerminalSize size = port_.Size();
  const bool fits =
      size.columns == 0 || (size.columns >= screen_.columns() && size.rows >= screen_.rows());
  if (!fits) {
    // Ask the terminal to grow (many ignore it; the notice tells the user
    // what to do then).
    if (!too_small_) Write(writer_.RequestSize(screen_.columns(), screen_.rows()));
    too_small_ = true;
    ComposeTooSmallNotice(size.columns, size.rows, screen_.columns(), screen_.rows(), frame_);
  } else {
    too_small_ = false;
    const bool pixels = PreparePicture(render_picture);
    composer_.Compose(screen_, window_, picture_.cells.empty() ? nullptr : &picture_, frame_,
                      pixels);
    if (progress_) {
      DrawLoadProgress(progress_->name, progress_->percent, screen_.cursor_row(), frame_);
      frame_.cursor.visible = false;
    }
  }
  const std::string& bytes = writer_.Update(frame_);
  if (!bytes.empty()) Write(bytes);
}

bool TerminalConsole::PreparePicture(bool render_picture) {
  const bool pixels = UsePixelPicture(render_picture);
  if (!pixels && render_picture && window_.area && window_.picture_version != picture_version_ &&
      window_.canvas.width > 0) {
    if (cells_prepared_.valid()) cells_prepared_.wait();
    picture_ = RenderPictureCells(window_.canvas, window_.area->right - window_.area->left + 1,
                                  window_.area->bottom - window_.area->top + 1, colour_mode());
    picture_version_ = window_.picture_version;
    composer_.Invalidate();
  }
  return pixels;
}

GraphicsDecision TerminalConsole::Graphics(int columns, int rows) {
  const TerminalSize size = port_.Size();
  terminal_graphics_.cell = CellSize(size.columns, size.rows, size.pixel_width, size.pixel_height);
  return DecideGraphics(graphics_, terminal_graphics_, columns, rows);
}

bool TerminalConsole::UsePixelPicture(bool render_picture) {
  GraphicsDecision::Kind kind = GraphicsDecision::Kind::kCells;
  if (window_.area && window_.canvas.width > 0) {
    const int columns = window_.area->right - window_.area->left + 1;
    const int rows = window_.area->bottom - window_.area->top + 1;
    const GraphicsDecision decision = Graphics(columns, rows);
    kind = decision.kind;
    const bool same_picture = pixels_version_ == window_.picture_version;
    bool current = false;
    if (kind == GraphicsDecision::Kind::kSixel) {
      current = sixel_ && same_picture && sixel_->cell() == decision.cell &&
                sixel_->columns() == columns && sixel_->rows() == rows;
    } else if (kind == GraphicsDecision::Kind::kKitty) {
      current = kitty_ && same_picture && kitty_->columns() == columns && kitty_->rows() == rows;
    }
    if (kind != GraphicsDecision::Kind::kCells && !current) {
      if (!render_picture) {
        kind = GraphicsDecision::Kind::kCells;  // the images are made at the next wait
      } else {
        writer_.SetPixelPicture(nullptr, 0, 0);
        writer_.SetKittyPicture(nullptr, 0, 0);
        sixel_.reset();
        kitty_.reset();
        if (kind == GraphicsDecision::Kind::kSixel) {
          if (!colour_registers_set_) {
            Write(writer_.SetColourRegisters(SixelPicture::kColourRegisters));
            colour_registers_set_ = true;
          }
          sixel_ = std::make_unique<SixelPicture>(window_.canvas, columns, rows, decision.cell);
        } else {
          kitty_ = std::make_unique<KittyPicture>(window_.canvas, columns, rows);
        }
        pixels_version_ = window_.picture_version;
      }
    }
  }
  const int left = window_.area ? window_.area->left - 1 : 0;
  const int top = window_.area ? window_.area->top - 1 : 0;
  writer_.SetPixelPicture(kind == GraphicsDecision::Kind::kSixel ? sixel_.get() : nullptr, left,
                          top);
  writer_.SetKittyPicture(kind == GraphicsDecision::Kind::kKitty ? kitty_.get() : nullptr, left,
                          top);
  return kind != GraphicsDecision::Kind::kCells;
}

void TerminalConsole::ReadTerminal() {
  std::array<std::uint8_t, 4096> buffer;
  for (;;) {
    const TerminalRead read = port_.Read(buffer);
    if (read.gone) {
      lost_ = true;
      return;
    }
    if (read.count == 0) return;
    decoder_.Feed(buffer.data(), read.count);
    // A sequence cut short gets the whole timeout from its last bytes on.
    if (decoder_.HasIncompleteSequence()) escape_deadline_ = port_.Now() + kEscapeTimeout;
    if (read.count < buffer.size()) return;
  }
}

void TerminalConsole::DrainDecodedInput() {
  InputRecord record;
  while (decoder_.Next(record)) {
    if (IsControlKey(record, kEndKey)) throw EndRequested();
    if (IsControlKey(record, kRedrawKey)) writer_.Repaint();
    screen_.PushInput(record);
  }
}

void TerminalConsole::Write(std::string_view bytes) {
  if (lost_) return;
  // The writer's model already has these bytes in it: a signal in the middle
  // of the write gives back the terminal they leave behind.
  std::string restore = writer_.RestoreBytes();
  if (restore != restore_bytes_) {
    restore_bytes_ = std::move(restore);
    port_.SetRestoreBytes(restore_bytes_);
  }
  if (!port_.Write(bytes)) lost_ = true;
}

void TerminalConsole::ThrowIfLost() const {
  if (lost_) throw TerminalLost();
}

void TerminalConsole::PrepareCellsWhileWaiting() {
  if (cells_preparing_) return;
  cells_preparing_ = true;
  try {
    cells_prepared_ = std::async(std::launch::async, PreparePictureCells, colour_mode());
  } catch (const std::system_error&) {
    // No thread to spare: the first picture takes a little longer.
  }
}

}  // namespace vistamere::term
