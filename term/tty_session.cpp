#include "term/tty_session.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

namespace vistamere::term {
namespace {

// Everything a signal handler needs to give the terminal back. Plain data,
// written before the handlers are installed, read with async-signal-safe
// calls only.
struct RestoreState {
  volatile sig_atomic_t active = 0;
  int input_fd = -1;
  int output_fd = -1;
  termios saved{};
  termios raw{};
  char bytes[128] = {};
  volatile sig_atomic_t length = 0;
  int wake_pipe[2] = {-1, -1};
  volatile sig_atomic_t redraw = 0;
};

RestoreState g_restore;

// Leaves the screen as it is, ends any half-written update, resets the
// colours, shows the cursor, and puts it on a fresh line below what the
// program drew.
constexpr char kRestoreBase[] = "\x1b[?2026l\x1b[0m\x1b[?25h";
constexpr char kPopKeyboardFlags[] = "\x1b[<u";
bool g_keyboard_flags_pushed = false;
int g_last_drawn_row = 1;

void WriteAll(int fd, const char* bytes, std::size_t length) {
  while (length > 0) {
    const ssize_t n = ::write(fd, bytes, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    bytes += n;
    length -= static_cast<std::size_t>(n);
  }
}

void RestoreTerminalNow() {
  if (!g_restore.active) return;
  g_restore.active = 0;
  WriteAll(g_restore.output_fd, g_restore.bytes, static_cast<std::size_t>(g_restore.length));
  ::tcsetattr(g_restore.input_fd, TCSAFLUSH, &g_restore.saved);
}

void Wake() {
  const char byte = 1;
  const int saved_errno = errno;
  [[maybe_unused]] const ssize_t n = ::write(g_restore.wake_pipe[1], &byte, 1);
  errno = saved_errno;
}

void OnEndingSignal(int signal_number) {
  RestoreTerminalNow();
  // Quit would leave a core dump behind; the user only asked us to stop.
  if (signal_number == SIGQUIT) ::_exit(128 + SIGQUIT);
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
}

void OnResize(int) {
  g_restore.redraw = 1;
  Wake();
}

void OnSuspend(int) {
  const int saved_errno = errno;
  const bool was_active = g_restore.active != 0;
  RestoreTerminalNow();
  ::signal(SIGTSTP, SIG_DFL);
  ::raise(SIGTSTP);
  // Continued: take the terminal again and draw everything afresh.
  ::signal(SIGTSTP, OnSuspend);
  if (was_active) {
    ::tcsetattr(g_restore.input_fd, TCSAFLUSH, &g_restore.raw);
    g_restore.active = 1;
  }
  g_restore.redraw = 1;
  Wake();
  errno = saved_errno;
}

void Install(int signal_number, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(signal_number, &action, nullptr);
}

// Rebuilds the bytes a handler writes. A signal arriving meanwhile finds a
// length of 0 and only gives the settings back.
void UpdateRestoreBytes() {
  std::string bytes = g_keyboard_flags_pushed ? kPopKeyboardFlags : "";
  bytes += kRestoreBase;
  bytes += "\x1b[" + std::to_string(g_last_drawn_row) + ";1H\r\n";
  if (bytes.size() > sizeof g_restore.bytes) return;
  g_restore.length = 0;
  std::memcpy(g_restore.bytes, bytes.data(), bytes.size());
  g_restore.length = static_cast<sig_atomic_t>(bytes.size());
}

}  // namespace

std::unique_ptr<TtySession> TtySession::Open(std::string& error) {
  const int input = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (input < 0) {
    error = "no terminal to run in (/dev/tty: " + std::string(std::strerror(errno)) + ")";
    return nullptr;
  }
  termios saved{};
  if (::tcgetattr(input, &saved) != 0) {
    error = "cannot read the terminal's settings: " + std::string(std::strerror(errno));
    ::close(input);
    return nullptr;
  }
  std::unique_ptr<TtySession> session(new TtySession());
  session->input_fd_ = input;
  // Output goes where the user sees it: standard output if it is the
  // terminal, else standard error, else the terminal itself.
  if (::isatty(STDOUT_FILENO)) {
    session->output_fd_ = STDOUT_FILENO;
  } else if (::isatty(STDERR_FILENO)) {
    session->output_fd_ = STDERR_FILENO;
  } else {
    session->output_fd_ = input;
  }

  termios raw = saved;
  // No line editing, no echo, no signals from keys (Ctrl+C is a key), no
  // flow control, no translation of Enter: every key reaches the program.
  raw.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF);
  raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  raw.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
  raw.c_cflag |= CS8;
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;

  g_restore.input_fd = input;
  g_restore.output_fd = session->output_fd_;
  g_restore.saved = saved;
  g_restore.raw = raw;
  UpdateRestoreBytes();
  if (g_restore.wake_pipe[0] < 0 && ::pipe2(g_restore.wake_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    error = "cannot create a pipe: " + std::string(std::strerror(errno));
    return nullptr;
  }
  g_restore.active = 1;
  for (const int signal_number :
       {SIGTERM, SIGHUP, SIGINT, SIGQUIT, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) {
    Install(signal_number, OnEndingSignal);
  }
  Install(SIGWINCH, OnResize);
  Install(SIGTSTP, OnSuspend);
  // A write to a terminal that has gone away must not kill us silently.
  ::signal(SIGPIPE, SIG_IGN);
  ::tcsetattr(input, TCSAFLUSH, &raw);
  return session;
}

TtySession::~TtySession() {
  Restore();
  ::close(input_fd_);
}

void TtySession::Restore() {
  RestoreTerminalNow();
}

int TtySession::wake_fd() const {
  return g_restore.wake_pipe[0];
}

bool TtySession::TakeRedrawRequest() {
  char drain[64];
  while (::read(g_restore.wake_pipe[0], drain, sizeof drain) > 0) {
  }
  const bool redraw = g_restore.redraw != 0;
  g_restore.redraw = 0;
  return redraw;
}

bool TtySession::Write(std::string_view bytes) {
  const char* data = bytes.data();
  std::size_t length = bytes.size();
  while (length > 0) {
    const ssize_t n = ::write(output_fd_, data, length);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      ::usleep(1000);
      continue;
    }
    if (n <= 0) return false;
    data += n;
    length -= static_cast<std::size_t>(n);
  }
  return true;
}

TerminalSize TtySession::Size() const {
  winsize size{};
  if (::ioctl(output_fd_, TIOCGWINSZ, &size) != 0 && ::ioctl(input_fd_, TIOCGWINSZ, &size) != 0) {
    return {};
  }
  return {size.ws_col, size.ws_row};
}

void TtySession::PushKeyboardFlags(int flags) {
  Write("\x1b[>" + std::to_string(flags) + "u");
  g_keyboard_flags_pushed = true;
  UpdateRestoreBytes();
}

void TtySession::SetLastDrawnRow(int row) {
  if (row == g_last_drawn_row || row < 1) return;
  g_last_drawn_row = row;
  UpdateRestoreBytes();
}

}  // namespace vistamere::term
