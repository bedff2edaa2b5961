#include "x_display.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;  // NOLINT: the process's environment, for the children

namespace vistamere::testing {
namespace {

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// A binary PPM (P6, 8 bits) as ImageMagick writes it.
Screenshot ParsePpm(const std::string& data) {
  std::istringstream in(data);
  std::string magic;
  int width = 0;
  int height = 0;
  int maximum = 0;
  in >> magic >> width >> height >> maximum;
  in.get();  // the one blank after the header
  Screenshot shot;
  const std::size_t size = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3;
  if (magic != "P6" || maximum != 255 || width <= 0 || height <= 0) return shot;
  const auto offset = static_cast<std::size_t>(in.tellg());
  if (data.size() < offset + size) return shot;
  shot.width = width;
  shot.height = height;
  shot.rgb.assign(data.begin() + static_cast<std::ptrdiff_t>(offset),
                  data.begin() + static_cast<std::ptrdiff_t>(offset + size));
  return shot;
}

bool Reap(pid_t pid, std::chrono::milliseconds within) {
  const auto deadline = std::chrono::steady_clock::now() + within;
  while (std::chrono::steady_clock::now() < deadline) {
    if (::waitpid(pid, nullptr, WNOHANG) != 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

}  // namespace

XDisplay::XDisplay(int width, int height, const std::string& log_path) : log_path_(log_path) {
  std::ofstream(log_path, std::ios::trunc).flush();  // this run's messages only
  std::array<int, 2> fds{};
  if (::pipe(fds.data()) != 0) throw std::runtime_error("pipe failed");
  // Xvfb picks a free display number and writes it to the pipe once it
  // takes clients.
  const pid_t server =
      Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
             std::to_string(width) + "x" + std::to_string(height) + "x24", "-nolisten", "tcp"});
  ::close(fds[1]);
  children_.push_back(server);
  std::string number;
  pollfd ready{fds[0], POLLIN, 0};
  char c = 0;
  while (::poll(&ready, 1, 10000) == 1 && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  ::close(fds[0]);
  if (number.empty()) throw std::runtime_error("Xvfb did not start (see " + log_path + ")");
  name_ = ":" + number;
}

XDisplay::~XDisplay() {
  // The terminals first (each hangs up its program), the server last.
  for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
    ::kill(*it, SIGTERM);
    if (!Reap(*it, std::chrono::milliseconds(3000))) {
      ::kill(*it, SIGKILL);
      ::waitpid(*it, nullptr, 0);
    }
  }
}

pid_t XDisplay::Spawn(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  // The children's environment: ours, on this display, in a UTF-8 locale.
  std::vector<std::string> settings;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string setting = *entry;
    if (!setting.starts_with("DISPLAY=") && !setting.starts_with("LC_ALL=")) {
      settings.push_back(setting);
    }
  }
  settings.push_back("DISPLAY=" + name_);
  settings.push_back("LC_ALL=C.UTF-8");
  std::vector<char*> env;
  for (std::string& setting : settings) env.push_back(setting.data());
  env.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, log_path_.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                   0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = 0;
  const int error = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) throw std::runtime_error(argv[0] + ": " + std::strerror(error));
  return pid;
}

std::string XDisplay::Run(const std::string& command) {
  std::string output;
  FILE* pipe =
      ::popen(("(DISPLAY=" + name_ + " " + command + ") 2>>" + Quoted(log_path_)).c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("cannot run: " + command);
  std::array<char, 65536> buffer{};
  std::size_t n = 0;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    output.append(buffer.data(), n);
  ::pclose(pipe);
  return output;
}

void XDisplay::StartXterm(const std::string& title, const std::vector<std::string>& arguments) {
  std::vector<std::string> argv = {"xterm", "-T", title, "-xrm", "XTerm*allowTitleOps: false"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  children_.push_back(Spawn(argv));
}

void XDisplay::Type(const std::string& title, const std::string& text) {
  const std::string window = Run("xdotool search --name " + Quoted("^" + title + "$"));
  const std::string id = window.substr(0, window.find('\n'));
  if (id.empty()) throw std::runtime_error("no window named " + title);
  // Typed through the XTEST extension into the focused window: xterm
  // ignores key events sent to it by other clients.
  Run("xdotool windowfocus --sync " + id + " type --delay 5 " + Quoted(text));
  Run("xdotool key Return");
}

Screenshot XDisplay::Shot(const std::string& title) {
  return ParsePpm(Run("xwd -display " + name_ + " -name " + Quoted(title) +
                      " -silent | convert xwd:- -strip ppm:-"));
}

}  // namespace vistamere::testing
