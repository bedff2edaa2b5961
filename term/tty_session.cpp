#include "term/tty_session.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace vistamere::term {
namespace {

// Longest restore bytes a handler can write.
constexpr std::size_t kMaxRestoreBytes = 128;

// Everything a signal handler reads or writes. Filled in before any handler
// is installed; afterwards only the atomics and the restore slot that is not
// published change. Handlers use async-signal-safe calls only.
struct SignalBlock {
  struct RestoreSlot {
    char bytes[kMaxRestoreBytes] = {};
    std::size_t length = 0;
  };

  pthread_t main_thread{};
  int input_fd = -1;
  // The terminal's output opened anew and non-blocking: a handler's write
  // never waits for a terminal that does not read (-1: the output itself).
  int restore_fd = -1;
  termios saved{};  // the terminal's modes as we found them
  termios raw{};    // ours
  int wake_pipe[2] = {-1, -1};
  // Two slots, so that new restore bytes are written while a handler may
  // read the published ones.
  RestoreSlot slots[2];
  std::atomic<int> published_slot{0};
  // The program runs and wants the terminal in its modes.
  std::atomic<bool> wanted{false};
  // The terminal is in our modes now; taken atomically so that it is given
  // back exactly once.
  std::atomic<bool> ours{false};
  std::atomic<bool> resized{false};
  std::atomic<bool> continued{false};
  std::atomic<bool> given_back{false};
  // Set after each write to the wake pipe: the pipe has something to drain.
  std::atomic<bool> woken{false};
  // The terminal's size may have changed since it was last asked.
  std::atomic<bool> size_stale{true};
};

static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "signal handlers need lock-free atomics");

SignalBlock g_signals;

// How long a handler waits, in all, for a terminal that takes no output.
constexpr int kRestoreWriteWaitMs = 300;
constexpr int kRestoreWriteTries = 3;

// Writes what the terminal takes within a bounded time.
void WriteBounded(int fd, const char* bytes, std::size_t length) {
  int tries = 0;
  while (length > 0) {
    const ssize_t n = ::write(fd, bytes, length);
    if (n > 0) {
      bytes += n;
      length -= static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN && tries++ < kRestoreWriteTries) {
      pollfd output{fd, POLLOUT, 0};
      ::poll(&output, 1, kRestoreWriteWaitMs / kRestoreWriteTries);
      continue;
    }
    return;
  }
}

// Writes the restore bytes and gives back the modes, once.
void GiveTerminalBack() {
  if (!g_signals.ours.exchange(false)) return;
  const SignalBlock::RestoreSlot& slot =
      g_signals.slots[g_signals.published_slot.load(std::memory_order_acquire)];
  const int saved_errno = errno;
  WriteBounded(g_signals.restore_fd, slot.bytes, slot.length);
  errno = saved_errno;
  // Keys typed at the program are not the shell's.
  ::tcflush(g_signals.input_fd, TCIFLUSH);
  ::tcsetattr(g_signals.input_fd, TCSANOW, &g_signals.saved);
}

// Puts the terminal in our modes again (the shell may have changed them
// while the program was stopped), if the program wants it and runs in the
// foreground: a job continued in the background leaves it to the shell.
void TakeTerminal() {
  if (!g_signals.wanted.load()) return;
  if (::tcgetpgrp(g_signals.input_fd) != ::getpgrp()) return;
  if (!g_signals.ours.exchange(true)) g_signals.given_back.store(true);
  ::tcsetattr(g_signals.input_fd, TCSANOW, &g_signals.raw);
}

void Wake() {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(g_signals.wake_pipe[1], &byte, 1);
  g_signals.woken.store(true);
}

void SetSignalBlocked(int signal_number, bool blocked) {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal_number);
  ::sigprocmask(blocked ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

void Install(int signal_number, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  // Nothing else runs inside a handler.
  sigfillset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(signal_number, &action, nullptr);
}

void SetDefaultAction(int signal_number) {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  ::sigaction(signal_number, &action, nullptr);
}

// Signals that report a fault of the thread they arrive on.
bool IsFault(int signal_number) {
  return signal_number == SIGSEGV || signal_number == SIGBUS || signal_number == SIGFPE ||
         signal_number == SIGILL || signal_number == SIGABRT || signal_number == SIGTRAP ||
         signal_number == SIGSYS;
}

// Other signals are handled on the main thread, the one that writes to the
// terminal and gives it back at exit: a handler then interrupts a write
// between two bytes, never runs beside one.
bool ForwardedToMainThread(int signal_number) {
  if (IsFault(signal_number) || ::pthread_equal(::pthread_self(), g_signals.main_thread)) {
    return false;
  }
  ::pthread_kill(g_signals.main_thread, signal_number);
  return true;
}

void OnEndingSignal(int signal_number) {
  if (ForwardedToMainThread(signal_number)) return;
  GiveTerminalBack();
  // Quit would leave a core dump behind; the user only asked us to stop.
  if (signal_number == SIGQUIT) ::_exit(128 + SIGQUIT);
  SetDefaultAction(signal_number);
  SetSignalBlocked(signal_number, false);
  ::raise(signal_number);
}

void OnResize(int) {
  const int saved_errno = errno;
  g_signals.size_stale.store(true);
  g_signals.resized.store(true);
  Wake();
  errno = saved_errno;
}

void OnContinue(int signal_number) {
  if (ForwardedToMainThread(signal_number)) return;
  const int saved_errno = errno;
  TakeTerminal();
  g_signals.size_stale.store(true);
  g_signals.continued.store(true);
  Wake();
  errno = saved_errno;
}

void OnSuspend(int signal_number) {
  if (ForwardedToMainThread(signal_number)) return;
  const int saved_errno = errno;
  GiveTerminalBack();
  // Stop now, with the default action and the signal let through.
  SetDefaultAction(SIGTSTP);
  SetSignalBlocked(SIGTSTP, false);
  ::raise(SIGTSTP);
  // Continued.
  SetSignalBlocked(SIGTSTP, true);
  Install(SIGTSTP, OnSuspend);
  TakeTerminal();
  g_signals.size_stale.store(true);
  g_signals.continued.store(true);
  Wake();
  errno = saved_errno;
}

// The output descriptor opened anew, non-blocking, so that changing its
// flags leaves the shell's own descriptor alone; the output itself when that
// cannot be done.
int OpenRestoreOutput(int output_fd) {
  const std::string path = "/proc/self/fd/" + std::to_string(output_fd);
  const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  return fd >= 0 ? fd : output_fd;
}

// Every signal whose default action ends the process (and the real-time
// signals, below).
constexpr int kEndingSignals[] = {SIGTERM,   SIGHUP,  SIGINT,  SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM,
                                  SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ, SIGPWR,  SIGIO,   SIGSTKFLT,
                                  SIGSEGV,   SIGBUS,  SIGFPE,  SIGILL,  SIGABRT, SIGTRAP, SIGSYS};

void InstallHandlers() {
  for (const int signal_number : kEndingSignals) Install(signal_number, OnEndingSignal);
  for (int signal_number = SIGRTMIN; signal_number <= SIGRTMAX; ++signal_number) {
    Install(signal_number, OnEndingSignal);
  }
  Install(SIGWINCH, OnResize);
  Install(SIGCONT, OnContinue);
  Install(SIGTSTP, OnSuspend);
  // A write to a terminal that has gone away must not kill us silently.
  ::signal(SIGPIPE, SIG_IGN);
}

}  // namespace

std::unique_ptr<TtySession> TtySession::Open(std::string& error) {
  // Our own open file description: reads that find nothing return at once,
  // and nobody else's descriptor changes.
  const int input = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
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
  if (g_signals.wake_pipe[0] < 0 && ::pipe2(g_signals.wake_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    error = "cannot create a pipe: " + std::string(std::strerror(errno));
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

  g_signals.main_thread = ::pthread_self();
  g_signals.input_fd = input;
  g_signals.restore_fd = OpenRestoreOutput(session->output_fd_);
  g_signals.saved = saved;
  g_signals.raw = raw;
  g_signals.wanted.store(true);
  InstallHandlers();
  g_signals.ours.store(true);
  ::tcsetattr(input, TCSAFLUSH, &raw);
  return session;
}

TtySession::~TtySession() {
  Restore();
  if (g_signals.restore_fd != output_fd_) ::close(g_signals.restore_fd);
  ::close(input_fd_);
}

void TtySession::Restore() {
  g_signals.wanted.store(false);
  GiveTerminalBack();
}

bool TtySession::Write(std::string_view bytes) {
  const char* data = bytes.data();
  std::size_t length = bytes.size();
  while (length > 0) {
    const ssize_t n = ::write(output_fd_, data, length);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      pollfd output{output_fd_, POLLOUT, 0};
      ::poll(&output, 1, -1);
      continue;
    }
    if (n <= 0) return false;
    data += n;
    length -= static_cast<std::size_t>(n);
  }
  return true;
}

bool TtySession::Wait(std::chrono::milliseconds timeout) {
  pollfd fds[2] = {{input_fd_, POLLIN, 0}, {g_signals.wake_pipe[0], POLLIN, 0}};
  const int limit = timeout.count() < 0 ? -1 : static_cast<int>(timeout.count());
  const int ready = ::poll(fds, 2, limit);
  // A signal that broke the wait has news.
  return ready > 0 || (ready < 0 && errno == EINTR);
}

TerminalRead TtySession::Read(std::span<std::uint8_t> buffer) {
  const ssize_t n = ::read(input_fd_, buffer.data(), buffer.size());
  if (n > 0) return {static_cast<std::size_t>(n), false};
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) return {};
  return {0, true};
}

TerminalNews TtySession::TakeNews() {
  // A handler sets `woken` after its byte is in the pipe: a byte not seen
  // here yet is drained the next time, and keeps the wait from blocking
  // meanwhile.
  if (g_signals.woken.exchange(false)) {
    char drain[64];
    while (::read(g_signals.wake_pipe[0], drain, sizeof drain) > 0) {
    }
  }
  return {g_signals.resized.exchange(false), g_signals.continued.exchange(false),
          g_signals.given_back.exchange(false)};
}

TerminalSize TtySession::Size() {
  // Asked again only after a resize (SIGWINCH) or a stop: the terminal
  // sends that signal whenever its size changes.
  if (!g_signals.size_stale.exchange(false)) return size_;
  winsize size{};
  if (::ioctl(output_fd_, TIOCGWINSZ, &size) != 0 && ::ioctl(input_fd_, TIOCGWINSZ, &size) != 0) {
    g_signals.size_stale.store(true);
    size_ = {};
    return size_;
  }
  size_ = {size.ws_col, size.ws_row, size.ws_xpixel, size.ws_ypixel};
  return size_;
}

TerminalPort::Clock::time_point TtySession::Now() {
  return Clock::now();
}

void TtySession::Sleep(std::chrono::milliseconds duration) {
  const auto ms = duration.count();
  timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

void TtySession::SetRestoreBytes(std::string_view bytes) {
  if (bytes.size() > kMaxRestoreBytes) return;
  // No handler runs on this thread while the slot is written, and handlers
  // on other threads read the other slot.
  sigset_t all;
  sigset_t before;
  sigfillset(&all);
  ::pthread_sigmask(SIG_BLOCK, &all, &before);
  const int next = 1 - g_signals.published_slot.load(std::memory_order_relaxed);
  std::memcpy(g_signals.slots[next].bytes, bytes.data(), bytes.size());
  g_signals.slots[next].length = bytes.size();
  g_signals.published_slot.store(next, std::memory_order_release);
  ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

}  // namespace vistamere::term
