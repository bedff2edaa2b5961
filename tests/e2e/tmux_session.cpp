#include "tmux_session.h"

#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <thread>

namespace vistamere::testing {
namespace {

std::string Capture(const std::string& command) {
  std::string output;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("cannot run: " + command);
  std::array<char, 4096> buffer{};
  std::size_t n = 0;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    output.append(buffer.data(), n);
  ::pclose(pipe);
  return output;
}

// Splits UTF-8 text into characters.
std::vector<std::string> Characters(const std::string& line) {
  std::vector<std::string> characters;
  for (std::size_t i = 0; i < line.size();) {
    const auto lead = static_cast<unsigned char>(line[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    characters.push_back(line.substr(i, length));
    i += length;
  }
  return characters;
}

}  // namespace

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

TmuxSession::TmuxSession(int columns, int rows) {
  static int counter = 0;
  socket_ = "vistamere-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
  Tmux("-f /dev/null new-session -d -s main -x " + std::to_string(columns) + " -y " +
       std::to_string(rows) + " 'env -i PATH=/usr/bin:/bin HOME=/tmp TERM=tmux-256color " +
       "bash --norc --noprofile'");
  Tmux("set-option -g status off");
  Tmux("set-option -g escape-time 0");
  Tmux("resize-window -t main -x " + std::to_string(columns) + " -y " + std::to_string(rows));
  if (!WaitForText("bash")) throw std::runtime_error("the shell in tmux did not start");
}

TmuxSession::~TmuxSession() {
  Tmux("kill-server");
}

std::string TmuxSession::Tmux(const std::string& arguments) {
  return Capture("TERM=xterm-256color tmux -L " + socket_ + " " + arguments + " 2>&1");
}

void TmuxSession::RunCommand(const std::string& command_line) {
  Type(command_line);
  Press("Enter");
}

void TmuxSession::Type(const std::string& text) {
  Tmux("send-keys -t main -l " + ShellQuote(text));
}

void TmuxSession::Press(const std::string& key_name) {
  Tmux("send-keys -t main " + key_name);
}

void TmuxSession::Resize(int columns, int rows) {
  Tmux("resize-window -t main -x " + std::to_string(columns) + " -y " + std::to_string(rows));
}

std::vector<std::string> TmuxSession::Screen() {
  const std::string text = Tmux("capture-pane -p -N -t main");
  std::vector<std::string> rows;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    rows.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return rows;
}

std::string TmuxSession::Text(int row, int first_column, int last_column) {
  const auto rows = Screen();
  if (row < 1 || static_cast<std::size_t>(row) > rows.size()) return {};
  const auto characters = Characters(rows[static_cast<std::size_t>(row - 1)]);
  std::string text;
  for (int c = first_column; c <= last_column; ++c) {
    const auto index = static_cast<std::size_t>(c - 1);
    text += index < characters.size() ? characters[index] : " ";
  }
  return text;
}

bool TmuxSession::WaitForText(const std::string& needle, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  do {
    for (const auto& row : Screen()) {
      if (row.find(needle) != std::string::npos) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  } while (std::chrono::steady_clock::now() < deadline);
  return false;
}

bool TmuxSession::WaitForTextAt(int row, int column, const std::string& text, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  const int last = column + static_cast<int>(Characters(text).size()) - 1;
  do {
    if (Text(row, column, last) == text) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  } while (std::chrono::steady_clock::now() < deadline);
  return false;
}

std::string TmuxSession::Format(const std::string& format) {
  std::string value = Tmux("display-message -p -t main " + ShellQuote(format));
  while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
  return value;
}

int TmuxSession::ShellPid() {
  return std::stoi(Format("#{pane_pid}"));
}

}  // namespace vistamere::testing
