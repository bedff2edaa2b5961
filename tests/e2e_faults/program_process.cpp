#include "program_process.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

namespace vistamere::testing {
namespace {

bool Before(std::chrono::steady_clock::time_point deadline) {
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  return std::chrono::steady_clock::now() < deadline;
}

std::chrono::steady_clock::time_point After(double seconds) {
  return std::chrono::steady_clock::now() +
         std::chrono::duration_cast<std::chrono::steady_clock::duration>(
             std::chrono::duration<double>(seconds));
}

// The parent pid and state letter from /proc/<pid>/stat; false when the
// process is gone, even while its file was being read (the read then fails
// with ESRCH, which a stream would throw for).
bool ReadStat(int pid, int& parent, char& state) {
  const int fd = ::open(("/proc/" + std::to_string(pid) + "/stat").c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buffer[4096];
  const ssize_t count = ::read(fd, buffer, sizeof buffer);
  ::close(fd);
  if (count <= 0) return false;
  const std::string text(buffer, static_cast<std::size_t>(count));
  const std::size_t close = text.rfind(')');
  if (close == std::string::npos) return false;
  std::istringstream rest(text.substr(close + 1));
  rest >> state >> parent;
  return static_cast<bool>(rest);
}

}  // namespace

int ProgramPid(TmuxSession& tmux, const std::string& binary, double seconds) {
  const int shell = tmux.ShellPid();
  const std::filesystem::path wanted = std::filesystem::weakly_canonical(binary);
  const auto deadline = After(seconds);
  do {
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
      const std::string name = entry.path().filename().string();
      if (name.find_first_not_of("0123456789") != std::string::npos) continue;
      const int pid = std::stoi(name);
      int parent = 0;
      char state = '?';
      if (!ReadStat(pid, parent, state) || parent != shell) continue;
      std::error_code error;
      const auto exe = std::filesystem::read_symlink(entry.path() / "exe", error);
      if (!error && exe == wanted) return pid;
    }
  } while (Before(deadline));
  return -1;
}

bool ProcessGone(int pid, double seconds) {
  const auto deadline = After(seconds);
  do {
    int parent = 0;
    char state = '?';
    if (::kill(pid, 0) != 0 && errno == ESRCH) return true;
    if (ReadStat(pid, parent, state) && state == 'Z') return true;
  } while (Before(deadline));
  return false;
}

}  // namespace vistamere::testing
