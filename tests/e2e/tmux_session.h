// The real program in a real terminal emulator: a private tmux server with
// one pane of a given size running a shell, driven with send-keys and read
// back with capture-pane.
#pragma once

#include <string>
#include <vector>

namespace vistamere::testing {

class TmuxSession {
 public:
  TmuxSession(int columns, int rows);
  ~TmuxSession();
  TmuxSession(const TmuxSession&) = delete;
  TmuxSession& operator=(const TmuxSession&) = delete;

  // Types a shell command line and Enter.
  void RunCommand(const std::string& command_line);
  // Types text literally, byte for byte.
  void Type(const std::string& text);
  // Presses keys by tmux name (Enter, BSpace, Up, F1, C-c ...).
  void Press(const std::string& key_name);
  void Resize(int columns, int rows);

  // The pane's rows as plain text (trailing blanks kept to the pane width).
  std::vector<std::string> Screen();
  // 1-based row and columns; UTF-8 aware.
  std::string Text(int row, int first_column, int last_column);
  // Waits (up to `seconds`) until `needle` appears on the screen.
  bool WaitForText(const std::string& needle, double seconds = 10.0);
  // Waits until row `row` (1-based), from column `column`, reads `text`.
  bool WaitForTextAt(int row, int column, const std::string& text, double seconds = 10.0);
  // A tmux format value for the pane, e.g. "#{cursor_flag}".
  std::string Format(const std::string& format);
  // The pid of the pane's shell.
  int ShellPid();

  std::string Tmux(const std::string& arguments);

 private:
  std::string socket_;
};

// Quotes a string for the shell.
std::string ShellQuote(const std::string& text);

}  // namespace vistamere::testing
