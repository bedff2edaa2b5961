#include "bench/keys/pty_session.h"

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <thread>
#include <utility>

namespace vistamere::bench {
namespace {

int MillisecondsLeft(PtySession::Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - PtySession::Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

}  // namespace

PtySession::PtySession(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                       int columns, int rows, int pixel_width, int pixel_height,
                       std::string device_attributes)
    : device_attributes_(std::move(device_attributes)) {
  winsize size{};
  size.ws_col = static_cast<unsigned short>(columns);
  size.ws_row = static_cast<unsigned short>(rows);
  size.ws_xpixel = static_cast<unsigned short>(pixel_width);
  size.ws_ypixel = static_cast<unsigned short>(pixel_height);
  started_ = Clock::now();
  pid_ = ::forkpty(&master_, nullptr, nullptr, &size);
  if (pid_ < 0) throw std::runtime_error("forkpty failed");
  if (pid_ == 0) {
    for (const std::string& entry : env) ::putenv(const_cast<char*>(entry.c_str()));
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
}

PtySession::~PtySession() {
  // Hanging up the terminal ends the program as closing a terminal window
  // would; a program that does not end then is killed.
  if (master_ >= 0) ::close(master_);
  if (reaped_ || pid_ <= 0) return;
  const auto deadline = Clock::now() + std::chrono::seconds(2);
  while (::waitpid(pid_, nullptr, WNOHANG) == 0) {
    if (Clock::now() > deadline) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void PtySession::Write(const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error("write to the pseudo-terminal failed");
    }
    done += static_cast<std::size_t>(n);
  }
}

void PtySession::AnswerQueries(const std::string& chunk) {
  // The program asks for the cursor position and the device attributes; the
  // attributes' answer ends its wait. The keyboard protocol query stays
  // unanswered, as in a terminal without it.
  const std::string text = query_tail_ + chunk;
  std::string answer;
  std::size_t at = 0;
  while ((at = text.find("\x1b[6n", at)) != std::string::npos) {
    answer += "\x1b[1;1R";
    at += 4;
  }
  at = 0;
  while ((at = text.find("\x1b[c", at)) != std::string::npos) {
    answer += device_attributes_;
    at += 3;
  }
  if (!answer.empty()) {
    Write(answer);
    query_tail_.clear();
  } else {
    query_tail_ = text.size() > 3 ? text.substr(text.size() - 3) : text;
  }
}

std::string PtySession::Read(int timeout_ms) {
  pollfd fd{master_, POLLIN, 0};
  const int ready = ::poll(&fd, 1, timeout_ms);
  if (ready <= 0 || (fd.revents & POLLIN) == 0) return {};
  char buffer[65536];
  const ssize_t n = ::read(master_, buffer, sizeof buffer);
  if (n <= 0) return {};
  std::string chunk(buffer, static_cast<std::size_t>(n));
  AnswerQueries(chunk);
  return chunk;
}

bool PtySession::ReadUntil(const std::string& marker, int timeout_ms, std::string& out) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  const std::size_t start = out.size();
  for (;;) {
    if (out.find(marker, start) != std::string::npos) return true;
    const int left = MillisecondsLeft(deadline);
    if (left == 0) return false;
    out += Read(left);
  }
}

std::string PtySession::ReadUntilQuiet(int quiet_ms, int limit_ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(limit_ms);
  std::string out;
  for (;;) {
    const int left = MillisecondsLeft(deadline);
    if (left == 0) return out;
    const std::string chunk = Read(std::min(quiet_ms, left));
    if (chunk.empty()) return out;
    out += chunk;
  }
}

int PtySession::Wait(int timeout_ms, long& max_rss_kib, double& cpu_seconds) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    int status = 0;
    rusage usage{};
    const pid_t done = ::wait4(pid_, &status, WNOHANG, &usage);
    if (done == pid_) {
      reaped_ = true;
      max_rss_kib = usage.ru_maxrss;
      cpu_seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                    static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    if (MillisecondsLeft(deadline) == 0) return -1;
    Read(5);  // keeps the terminal drained while the program ends
  }
}

}  // namespace vistamere::bench
