#include "guarded_load.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>

#include "picture/canvas.h"
#include "picture/load_picture_file.h"

namespace vistamere::picture::testing {
namespace {

// The child's current address space in bytes (VmSize), 0 if unknown.
long AddressSpaceInUse() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmSize:", 0) == 0) return std::stol(line.substr(7)) * 1024;
  }
  return 0;
}

void WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) _exit(3);
    done += static_cast<std::size_t>(n);
  }
}

[[noreturn]] void RunChild(const std::string& path, int out) {
  // Relative to what is mapped already: a sanitizer's shadow memory is
  // reserved address space too.
  const rlim_t limit = static_cast<rlim_t>(AddressSpaceInUse() + kLoadMemoryBudget);
  const rlimit memory{limit, limit};
  if (::setrlimit(RLIMIT_AS, &memory) != 0) _exit(4);
  ::alarm(kLoadAlarmSeconds);
  Canvas canvas;
  const LoadOutcome outcome = LoadPictureFile(path, kCanvasWidth, kCanvasHeight, canvas);
  WriteAll(out, std::to_string(static_cast<int>(outcome.status)) + "\n" + outcome.reason);
  _exit(0);
}

}  // namespace

GuardedLoad LoadGuarded(const std::string& path) {
  GuardedLoad load;
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) {
    load.how = "no pipe";
    return load;
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipe_fds[0]);
    RunChild(path, pipe_fds[1]);
  }
  ::close(pipe_fds[1]);
  std::string report;
  char buffer[512];
  ssize_t n = 0;
  while ((n = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0) {
    report.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(pipe_fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  load.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  if (WIFSIGNALED(status)) {
    load.how = "killed by signal " + std::to_string(WTERMSIG(status)) + " (" +
               strsignal(WTERMSIG(status)) + ")";
  } else if (WEXITSTATUS(status) != 0) {
    load.how = "exit status " + std::to_string(WEXITSTATUS(status));
  } else if (const std::size_t newline = report.find('\n'); newline == std::string::npos) {
    load.how = "no report from the child";
  } else {
    load.ended_cleanly = true;
    load.how = "clean";
    load.status = static_cast<DecodeStatus>(std::stoi(report.substr(0, newline)));
    load.reason = report.substr(newline + 1);
  }
  return load;
}

std::string Describe(const GuardedLoad& load) {
  static const char* const kNames[] = {"ok", "truncated", "failed"};
  return load.how + ", " + kNames[static_cast<int>(load.status)] + ": '" + load.reason + "'";
}

}  // namespace vistamere::picture::testing
