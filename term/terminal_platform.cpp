#include "term/terminal_platform.h"

#include <system_error>

#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "term/frame_compose.h"
#include "term/too_small_notice.h"

namespace vistamere::term {
namespace {

// How long a lone Esc waits for the rest of a sequence before it counts as
// the Esc key.
constexpr int kEscapeTimeoutMs = 40;
// How long start-up waits for the terminal to answer its queries.
constexpr int kQueryTimeoutMs = 300;
// A load shorter than this shows no progress at all.
constexpr auto kProgressDelay = std::chrono::milliseconds(150);
// Keyboard protocol flags: disambiguate, report releases, alternate keys,
// all keys as escape codes.
constexpr int kKeyboardFlags = 1 | 2 | 4 | 8;

void SleepMilliseconds(int milliseconds) {
  if (milliseconds <= 0) return;
  timespec duration{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
  while (::nanosleep(&duration, &duration) != 0 && errno == EINTR) {
  }
}

// Cuts UTF-8 text to at most `limit` bytes without splitting a character.
std::string CutUtf8(const std::string& text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end) + "...";
}

}  // namespace

TerminalPlatform::TerminalPlatform(TtySession& tty, ScreenBuffer& screen, GraphicsWindow& window,
                                   ColourMode colour_mode)
    : tty_(tty), screen_(screen), window_(window), colour_mode_(colour_mode) {
  screen_.on_input_empty = [this] { return WaitForInput(); };
  screen_.on_sleep = SleepMilliseconds;
}

void TerminalPlatform::PrepareCellsWhileWaiting() {
  if (cells_preparing_) return;
  cells_preparing_ = true;
  try {
    cells_prepared_ = std::async(std::launch::async, PreparePictureCells);
  } catch (const std::system_error&) {
    // No thread to spare: the first picture takes a little longer.
  }
}

void TerminalPlatform::Start() {
  // Cursor position, keyboard protocol flags, then primary device
  // attributes, which every terminal answers: its answer ends the wait.
  decoder_.ExpectCursorReport(true);
  tty_.Write("\x1b[6n\x1b[?u\x1b[c");
  bool kitty_keyboard = false;
  bool answered = false;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kQueryTimeoutMs);
  while (!answered) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !ReadTerminal(static_cast<int>(left.count()))) break;
    while (auto reply = decoder_.NextReply()) {
      switch (reply->kind) {
        case TerminalReply::Kind::kCursorPosition:
          screen_.PlaceCursor(reply->second - 1, reply->first - 1);
          break;
        case TerminalReply::Kind::kKittyKeyboardFlags:
          kitty_keyboard = true;
          break;
        case TerminalReply::Kind::kPrimaryDeviceAttributes:
          answered = true;
          break;
      }
    }
    DrainDecodedInput();
  }
  decoder_.ExpectCursorReport(false);
  if (kitty_keyboard) tty_.PushKeyboardFlags(kKeyboardFlags);
}

void TerminalPlatform::SetTitle(const std::string& title) {
  std::string safe;
  for (const char c : title) {
    const auto byte = static_cast<unsigned char>(c);
    safe.push_back(byte < 0x20 || byte == 0x7F ? '?' : c);
  }
  tty_.Write("\x1b]0;" + safe + "\x07");
}

void TerminalPlatform::ShowLoadProgress(const std::string& name, int percent) {
  const auto now = std::chrono::steady_clock::now();
  if (percent < 0) {
    if (load_progress_visible_) writer_.Invalidate();
    load_progress_visible_ = false;
    load_percent_shown_ = -1;
    load_started_ = {};
    return;
  }
  if (load_started_ == std::chrono::steady_clock::time_point{}) load_started_ = now;
  if (now - load_started_ < kProgressDelay || percent == load_percent_shown_) return;
  if (too_small_) return;
  load_percent_shown_ = percent;
  load_progress_visible_ = true;
  // Drawn over the screen on the cursor's row, outside the console's cells.
  const int row = screen_.cursor_row() + 1;
  tty_.Write("\x1b[" + std::to_string(row) + ";1H\x1b[0m\x1b[7m Loading " + CutUtf8(name, 60) +
             " ... " + std::to_string(percent) + "% \x1b[0m\x1b[K");
}

void TerminalPlatform::Present() {
  const TerminalSize size = tty_.Size();
  const bool fits =
      size.columns == 0 || (size.columns >= screen_.columns() && size.rows >= screen_.rows());
  if (!fits) {
    if (!too_small_ || size.columns != shown_too_small_.columns ||
        size.rows != shown_too_small_.rows) {
      // Ask the terminal to grow (xterm's window operation; many terminals
      // ignore it, and the notice tells the user what to do then).
      if (!too_small_) {
        tty_.Write("\x1b[8;" + std::to_string(screen_.rows()) + ";" +
                   std::to_string(screen_.columns()) + "t");
      }
      tty_.Write(TooSmallNotice(size.columns, size.rows, screen_.columns(), screen_.rows()));
      shown_too_small_ = size;
    }
    too_small_ = true;
    writer_.Invalidate();
    return;
  }
  too_small_ = false;

  if (window_.area && window_.picture_version != picture_version_ && window_.canvas.width > 0) {
    if (cells_prepared_.valid()) cells_prepared_.wait();
    picture_ = RenderPictureCells(window_.canvas, window_.area->right - window_.area->left + 1,
                                  window_.area->bottom - window_.area->top + 1, colour_mode_);
    picture_version_ = window_.picture_version;
  }
  ComposeFrame(screen_, window_, picture_.cells.empty() ? nullptr : &picture_, frame_);
  const std::string bytes = writer_.Update(frame_);
  if (!bytes.empty()) tty_.Write(bytes);

  int last_row = frame_.cursor.row + 1;
  for (int row = frame_.rows() - 1; row >= last_row; --row) {
    bool known = false;
    for (int column = 0; column < frame_.columns() && !known; ++column) {
      known = frame_.Known(column, row);
    }
    if (known) {
      last_row = row + 1;
      break;
    }
  }
  tty_.SetLastDrawnRow(last_row);
}

bool TerminalPlatform::WaitForInput() {
  for (;;) {
    if (tty_.TakeRedrawRequest()) writer_.Invalidate();
    Present();
    // The first wait is at the file prompt, now on the screen.
    PrepareCellsWhileWaiting();
    const int timeout = decoder_.HasIncompleteSequence() ? kEscapeTimeoutMs : -1;
    if (!ReadTerminal(timeout) && decoder_.HasIncompleteSequence()) decoder_.FlushPending();
    while (decoder_.NextReply()) {
      // Late answers to start-up queries carry nothing we still need.
    }
    const std::size_t before = screen_.pending_input();
    DrainDecodedInput();
    if (screen_.pending_input() > before) return true;
  }
}

bool TerminalPlatform::ReadTerminal(int timeout_ms) {
  pollfd fds[2] = {{tty_.input_fd(), POLLIN, 0}, {tty_.wake_fd(), POLLIN, 0}};
  const int ready = ::poll(fds, 2, timeout_ms);
  if (ready < 0) return errno == EINTR;
  if (ready == 0) return false;
  if ((fds[0].revents & POLLIN) != 0) {
    std::uint8_t bytes[4096];
    const ssize_t n = ::read(tty_.input_fd(), bytes, sizeof bytes);
    if (n > 0) {
      decoder_.Feed(bytes, static_cast<std::size_t>(n));
    } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
      TerminalGone();
    }
  } else if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
    TerminalGone();
  }
  return true;
}

void TerminalPlatform::DrainDecodedInput() {
  InputRecord record;
  while (decoder_.Next(record)) screen_.PushInput(record);
}

void TerminalPlatform::TerminalGone() {
  // Nobody is left to type a key: give the terminal back and stop.
  tty_.Restore();
  ::_exit(1);
}

}  // namespace vistamere::term
