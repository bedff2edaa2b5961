#include "win32/windows_console.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <stdexcept>

#include "console/code_page_437.h"
#include "console/us_keyboard.h"
#include "console/utf8.h"
#include "term/frame_compose.h"
#include "term/load_progress.h"
#include "term/too_small_notice.h"
#include "win32/wide_text.h"

namespace vistamere::win32 {
namespace {

constexpr std::uint8_t kEnterByte = 0x0D;
constexpr std::size_t kRecordsPerRead = 128;
constexpr int kFallbackColumns = 80;
constexpr int kFallbackRows = 25;
constexpr WORD kDefaultAttribute = 0x07;
// While the console is too small, how often its size is looked at again:
// growing a window that is smaller than its buffer sends no event.
constexpr int kTooSmallRecheckMilliseconds = 250;
// Esc and Ctrl+C stop a load.
constexpr std::uint8_t kEscByte = 0x1B;
constexpr std::uint8_t kInterruptKey = 0x03;

bool IsStopKey(const KeyEventRecord& key) {
  // Some consoles (wine's) give Esc as its key alone, with no character.
  const bool esc = key.character == kEscByte || (key.character == 0 && key.scan_code == scan::kEsc);
  return (esc || key.character == kInterruptKey) &&
         (key.control_state & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) == 0;
}

ScreenBufferInfo ConsoleSize(HANDLE output) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(output, &info)) return {kFallbackColumns, kFallbackRows, 0, 0};
  return {std::max<int>(info.srWindow.Right - info.srWindow.Left + 1, 1),
          std::max<int>(info.srWindow.Bottom - info.srWindow.Top + 1, 1), 0, 0};
}

// The console's own colours, where it tells them.
ConsolePalette PaletteOf(HANDLE output) {
  CONSOLE_SCREEN_BUFFER_INFOEX info{};
  info.cbSize = sizeof info;
  ConsolePalette palette = kStandardConsolePalette;
  if (!GetConsoleScreenBufferInfoEx(output, &info)) return palette;
  // A host that keeps the colours to itself (wine) answers with one colour
  // sixteen times.
  if (std::all_of(std::begin(info.ColorTable), std::end(info.ColorTable),
                  [&](COLORREF c) { return c == info.ColorTable[0]; })) {
    return palette;
  }
  for (std::size_t i = 0; i < palette.size(); ++i) {
    const COLORREF c = info.ColorTable[i];  // 0x00BBGGRR
    palette[i] = (static_cast<std::uint32_t>(GetRValue(c)) << 16) |
                 (static_cast<std::uint32_t>(GetGValue(c)) << 8) | GetBValue(c);
  }
  return palette;
}

// Whether the console draws 24-bit colours written as VT sequences (Windows
// 10 and later): VT processing is switched on, one coloured blank written
// at the top-left and read back. A console that takes the mode but not the
// sequences (wine's) stores them as text; the mode is switched off again
// then. The cells written are blanked either way.
bool TakesVtColour(HANDLE output) {
  DWORD mode = 0;
  if (!GetConsoleMode(output, &mode)) return false;
  if (!SetConsoleMode(output,
                      mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING)) {
    return false;
  }
  static constexpr wchar_t kProbe[] = L"\x1b[48;2;1;2;3m \x1b[0m";
  constexpr DWORD kProbeLength = static_cast<DWORD>(std::size(kProbe) - 1);
  const COORD origin{0, 0};
  SetConsoleCursorPosition(output, origin);
  DWORD count = 0;
  bool takes = false;
  if (WriteConsoleW(output, kProbe, kProbeLength, &count, nullptr)) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    wchar_t first = 0;
    takes = GetConsoleScreenBufferInfo(output, &info) && info.dwCursorPosition.X == 1 &&
            info.dwCursorPosition.Y == 0 &&
            ReadConsoleOutputCharacterW(output, &first, 1, origin, &count) && count == 1 &&
            first == L' ';
  }
  FillConsoleOutputCharacterW(output, L' ', kProbeLength, origin, &count);
  FillConsoleOutputAttribute(output, kDefaultAttribute, kProbeLength, origin, &count);
  SetConsoleCursorPosition(output, origin);
  if (!takes) SetConsoleMode(output, mode);
  return takes;
}

// The SGR parameters of a colour as the foreground (30) or background (40).
void AppendVtColour(std::wstring& out, const term::Colour& colour, int base) {
  const auto number = [&](std::uint32_t n) { out += std::to_wstring(n); };
  switch (colour.kind) {
    case term::Colour::Kind::kRgb:
      number(static_cast<std::uint32_t>(base) + 8);
      out += L";2;";
      number((colour.value >> 16) & 0xFF);
      out += L';';
      number((colour.value >> 8) & 0xFF);
      out += L';';
      number(colour.value & 0xFF);
      return;
    case term::Colour::Kind::kAnsi:
      number(static_cast<std::uint32_t>(base) + (colour.value & 7) + (colour.value >= 8 ? 60 : 0));
      return;
    case term::Colour::Kind::kIndexed:
      number(static_cast<std::uint32_t>(base) + 8);
      out += L";5;";
      number(colour.value);
      return;
    case term::Colour::Kind::kDefault:
      number(static_cast<std::uint32_t>(base) + 9);
      return;
  }
}

void AppendUtf16(std::wstring& out, char32_t c) {
  if (c < 0x10000) {
    out += static_cast<wchar_t>(c);
    return;
  }
  c -= 0x10000;
  out += static_cast<wchar_t>(0xD800 + (c >> 10));
  out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
}

bool IsRgbCell(const term::TermCell& cell) {
  return cell.fg.kind == term::Colour::Kind::kRgb || cell.bg.kind == term::Colour::Kind::kRgb;
}

}  // namespace

KeyEventRecord KeyOfConsoleEvent(const KEY_EVENT_RECORD& event) {
  KeyEventRecord key;
  key.key_down = event.bKeyDown != FALSE;
  key.repeat_count = event.wRepeatCount;
  key.scan_code = event.wVirtualScanCode;
  key.control_state = event.dwControlKeyState;
  const auto unit = static_cast<char32_t>(event.uChar.UnicodeChar);
  const bool surrogate = unit >= 0xD800 && unit <= 0xDFFF;
  key.unicode = surrogate ? 0 : unit;
  if (unit == 0) {
    key.character = 0;
  } else if (unit < 0x80) {
    key.character = static_cast<std::uint8_t>(unit);
  } else {
    key.character = surrogate ? static_cast<std::uint8_t>('?') : UnicodeToCp437(unit);
  }
  return key;
}

WindowsConsole::WindowsConsole(ConsoleSession& session, GraphicsWindow& window)
    : ScreenBufferDevice(ConsoleSize(session.output()).columns, ConsoleSize(session.output()).rows),
      session_(session),
      window_(window),
      palette_(PaletteOf(session.output())),
      vt_colour_(TakesVtColour(session.output())) {}

void WindowsConsole::TypeAhead(std::string_view utf8) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(utf8.data());
  for (std::size_t at = 0; at < utf8.size();) {
    const Utf8Char read = DecodeUtf8(std::span(bytes + at, utf8.size() - at));
    const char32_t character = read.status == Utf8Status::kValid ? read.code_point : U'?';
    at += std::max<std::size_t>(read.length, 1);
    InputRecord record;
    record.key.unicode = character;
    record.key.character =
        character < 0x80 ? static_cast<std::uint8_t>(character) : UnicodeToCp437(character);
    screen_.PushInput(record);
  }
  InputRecord enter;
  enter.key.scan_code = scan::kEnter;
  enter.key.character = kEnterByte;
  screen_.PushInput(enter);
}

bool WindowsConsole::SetScreenBufferSize(int columns, int rows) {
  const bool done = screen_.SetScreenBufferSize(columns, rows);
  if (done) FitConsole();
  return done;
}

bool WindowsConsole::PeekInput(InputRecord& record) {
  while (screen_.pending_input() == 0) {
    // Keys that have come already are taken before anything is shown: the
    // screen is shown when the program would otherwise wait.
    TakeInput(0);
    if (screen_.pending_input() > 0) break;
    Present();
    TakeInput(too_small_ ? kTooSmallRecheckMilliseconds : -1);
  }
  return screen_.PeekInput(record);
}

bool WindowsConsole::ReadInput(InputRecord& record) {
  return screen_.ReadInput(record);
}

void WindowsConsole::Sleep(int milliseconds) {
  if (milliseconds <= 0) return;
  TakeInput(0);
  if (screen_.pending_input() == 0) TakeInput(milliseconds);
}

void WindowsConsole::SetTitle(const std::string& title) {
  SetConsoleTitleW(WideOf(title).c_str());
}

bool WindowsConsole::SetIcon(int icon) {
  return session_.window().SetIcon(icon);
}

void WindowsConsole::SetWindowState(int state) {
  session_.window().Show(state);
}

bool WindowsConsole::ShowLoadProgress(const std::string& name, int percent) {
  if (percent < 0) {
    load_started_.reset();
    progress_.reset();
    return true;
  }
  const auto now = std::chrono::steady_clock::now();
  if (!load_started_) load_started_ = now;
  if (now - *load_started_ < kProgressDelay) return true;
  // A load that shows its progress can be stopped.
  if (LoadStopRequested()) {
    progress_.reset();
    return false;
  }
  if (progress_ && progress_->second == percent) return true;
  progress_ = std::make_pair(name, percent);
  Present();
  return true;
}

bool WindowsConsole::LoadStopRequested() {
  // Nothing is thrown from here (a decoder is running): a console that has
  // gone stops the load, and the next wait finds it gone.
  bool stop = false;
  return !ReadEvents(0, &stop) || stop;
}

void WindowsConsole::TakeInput(int milliseconds) {
  if (!ReadEvents(milliseconds, nullptr)) throw std::runtime_error("the console has gone away");
}

bool WindowsConsole::ReadEvents(int milliseconds, bool* stop) {
  const DWORD wait = WaitForSingleObject(
      session_.input(), milliseconds < 0 ? INFINITE : static_cast<DWORD>(milliseconds));
  if (wait == WAIT_FAILED) return false;
  if (wait != WAIT_OBJECT_0) return true;
  DWORD waiting = 0;
  if (!GetNumberOfConsoleInputEvents(session_.input(), &waiting) || waiting == 0) return true;
  std::array<INPUT_RECORD, kRecordsPerRead> records{};
  DWORD count = 0;
  const DWORD wanted = std::min<DWORD>(waiting, static_cast<DWORD>(records.size()));
  if (!ReadConsoleInputW(session_.input(), records.data(), wanted, &count)) return false;
  for (DWORD i = 0; i < count; ++i) {
    const INPUT_RECORD& record = records[i];
    if (record.EventType == KEY_EVENT) {
      InputRecord key;
      key.key = KeyOfConsoleEvent(record.Event.KeyEvent);
      // A stop key's press and release both go with the load it stops.
      if (stop != nullptr && IsStopKey(key.key)) {
        if (key.key.key_down) *stop = true;
        continue;
      }
      screen_.PushInput(key);
    } else if (record.EventType == WINDOW_BUFFER_SIZE_EVENT) {
      // The user changed the window: show everything afresh.
      std::fill(shown_known_.begin(), shown_known_.end(), false);
    }
  }
  return true;
}

void WindowsConsole::FitConsole() {
  const HANDLE output = session_.output();
  const int columns = screen_.columns();
  const int rows = screen_.rows();
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (GetConsoleScreenBufferInfo(output, &info)) {
    // The window must fit the buffer at every step: shrink it first.
    const SHORT width =
        std::min<SHORT>(static_cast<SHORT>(info.srWindow.Right - info.srWindow.Left + 1),
                        static_cast<SHORT>(columns));
    const SHORT height = std::min<SHORT>(
        static_cast<SHORT>(info.srWindow.Bottom - info.srWindow.Top + 1), static_cast<SHORT>(rows));
    const SMALL_RECT smaller{0, 0, static_cast<SHORT>(width - 1), static_cast<SHORT>(height - 1)};
    SetConsoleWindowInfo(output, TRUE, &smaller);
  }
  // Hosts may refuse either (a window larger than the screen, a terminal
  // that keeps its own size): the program runs on in what there is.
  SetConsoleScreenBufferSize(output, COORD{static_cast<SHORT>(columns), static_cast<SHORT>(rows)});
  const SMALL_RECT whole{0, 0, static_cast<SHORT>(columns - 1), static_cast<SHORT>(rows - 1)};
  SetConsoleWindowInfo(output, TRUE, &whole);
  shown_.clear();
  shown_known_.clear();
}

int WindowsConsole::WriteRgbRun(int column, int row, COORD origin) {
  // The run goes on as far as the cells are 24-bit, whether or not they
  // changed: one cursor move and one write.
  std::wstring out = L"\x1b[" + std::to_wstring(origin.Y + row + 1) + L';' +
                     std::to_wstring(origin.X + column + 1) + L'H';
  std::optional<term::TermCell> last;
  for (; column < frame_.columns(); ++column) {
    const std::size_t at = frame_.IndexOf(column, row);
    const term::TermCell& cell = frame_.At(at);
    if (!frame_.Known(at) || !IsRgbCell(cell)) break;
    if (!last || last->fg != cell.fg || last->bg != cell.bg) {
      out += L"\x1b[";
      AppendVtColour(out, cell.fg, 30);
      out += L';';
      AppendVtColour(out, cell.bg, 40);
      out += L'm';
    }
    AppendUtf16(out, cell.glyph);
    last = cell;
    shown_[at] = ConsoleCellOf(cell, palette_);
    shown_rgb_[at] = cell;
    shown_known_[at] = true;
  }
  out += L"\x1b[0m";
  DWORD written = 0;
  WriteConsoleW(session_.output(), out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
  // The cursor is where the write ended: put it back where the frame has it.
  shown_cursor_at_.reset();
  return column;
}

void WindowsConsole::Present() {
  CONSOLE_SCREEN_BUFFER_INFO buffer{};
  const bool sized = GetConsoleScreenBufferInfo(session_.output(), &buffer) != FALSE;
  const SMALL_RECT& shows = buffer.srWindow;
  const int have_columns = sized ? shows.Right - shows.Left + 1 : screen_.columns();
  const int have_rows = sized ? shows.Bottom - shows.Top + 1 : screen_.rows();
  const bool too_small = have_columns < screen_.columns() || have_rows < screen_.rows();
  if (too_small != too_small_) {
    // The notice and the screen are shown at different places and sizes.
    shown_.clear();
    shown_known_.clear();
    if (too_small) FitConsole();  // once more: the user may have made room
  }
  too_small_ = too_small;
  COORD origin{0, 0};
  if (too_small) {
    // In the part of the buffer the window shows.
    origin = COORD{shows.Left, shows.Top};
    term::ComposeTooSmallNotice(have_columns, have_rows, screen_.columns(), screen_.rows(), frame_,
                                "console");
  } else {
    if (window_.area && window_.picture_version != picture_version_ && window_.canvas.width > 0) {
      const int columns = window_.area->right - window_.area->left + 1;
      const int rows = window_.area->bottom - window_.area->top + 1;
      picture_ = vt_colour_ ? RenderHalfBlockPicture(window_.canvas, columns, rows)
                            : RenderBlockPicture(window_.canvas, columns, rows, palette_);
      picture_version_ = window_.picture_version;
    }
    term::ComposeFrame(screen_, window_, picture_.cells.empty() ? nullptr : &picture_, frame_);
    if (progress_) {
      term::DrawLoadProgress(progress_->first, progress_->second, screen_.cursor_row(), frame_);
      frame_.cursor.visible = false;
    }
  }

  const int columns = frame_.columns();
  const int rows = frame_.rows();
  const std::size_t size = frame_.size();
  if (shown_.size() != size) {
    shown_.assign(size, ConsoleCell{});
    shown_known_.assign(size, false);
    shown_rgb_.assign(size, term::TermCell{});
  }
  const HANDLE output = session_.output();
  std::vector<CHAR_INFO> run;
  for (int row = 0; row < rows; ++row) {
    // Runs of cells to write: known in the frame and not yet shown so.
    int column = 0;
    while (column < columns) {
      const std::size_t index = frame_.IndexOf(column, row);
      const ConsoleCell cell = ConsoleCellOf(frame_.At(index), palette_);
      const bool rgb = vt_colour_ && IsRgbCell(frame_.At(index));
      if (!frame_.Known(index) || (shown_known_[index] && shown_[index] == cell &&
                                   (!rgb || shown_rgb_[index] == frame_.At(index)))) {
        ++column;
        continue;
      }
      if (rgb) {
        column = WriteRgbRun(column, row, origin);
        continue;
      }
      const int first = column;
      run.clear();
      while (column < columns) {
        const std::size_t at = frame_.IndexOf(column, row);
        if (!frame_.Known(at) || (vt_colour_ && IsRgbCell(frame_.At(at)))) break;
        const ConsoleCell next = ConsoleCellOf(frame_.At(at), palette_);
        CHAR_INFO info{};
        info.Char.UnicodeChar = next.glyph;
        info.Attributes = next.attribute;
        run.push_back(info);
        shown_[at] = next;
        shown_rgb_[at] = term::TermCell{};
        shown_known_[at] = true;
        ++column;
      }
      const SHORT y = static_cast<SHORT>(origin.Y + row);
      SMALL_RECT region{static_cast<SHORT>(origin.X + first), y,
                        static_cast<SHORT>(origin.X + column - 1), y};
      WriteConsoleOutputW(output, run.data(), COORD{static_cast<SHORT>(run.size()), 1}, COORD{0, 0},
                          &region);
    }
  }

  const CursorInfo wanted{screen_.cursor_info().size, frame_.cursor.visible};
  if (!shown_cursor_ || shown_cursor_->size != wanted.size ||
      shown_cursor_->visible != wanted.visible) {
    const CONSOLE_CURSOR_INFO info{static_cast<DWORD>(std::clamp(wanted.size, 1, 100)),
                                   wanted.visible ? TRUE : FALSE};
    SetConsoleCursorInfo(output, &info);
    shown_cursor_ = wanted;
  }
  const COORD at{static_cast<SHORT>(origin.X + frame_.cursor.column),
                 static_cast<SHORT>(origin.Y + frame_.cursor.row)};
  if (!shown_cursor_at_ || shown_cursor_at_->X != at.X || shown_cursor_at_->Y != at.Y) {
    SetConsoleCursorPosition(output, at);
    shown_cursor_at_ = at;
  }
}

}  // namespace vistamere::win32
