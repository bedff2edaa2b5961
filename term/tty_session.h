// The terminal the program runs in: keys from /dev/tty, output to standard
// output when it is a terminal. Owns every mode it changes (raw input,
// keyboard protocol, cursor visibility, colours, synchronized output) and
// gives them back on every way out: return, exception, signal, crash.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace vistamere::term {

struct TerminalSize {
  int columns = 0;
  int rows = 0;
};

class TtySession {
 public:
  // Opens the terminal and switches its input to raw mode; null with a
  // message in `error` when there is no terminal.
  static std::unique_ptr<TtySession> Open(std::string& error);
  ~TtySession();
  TtySession(const TtySession&) = delete;
  TtySession& operator=(const TtySession&) = delete;

  int input_fd() const { return input_fd_; }
  int output_fd() const { return output_fd_; }
  // A descriptor that becomes readable when a signal needs the main loop's
  // attention (a resize, a return from suspension).
  int wake_fd() const;
  // Takes the pending signal news: true when the terminal was resized or the
  // program came back from suspension (the screen must be drawn afresh).
  bool TakeRedrawRequest();

  bool Write(std::string_view bytes);
  TerminalSize Size() const;

  // Kitty keyboard flags pushed by the program, popped again at exit.
  void PushKeyboardFlags(int flags);

  // The lowest terminal row (1-based) the program has drawn: at exit the
  // cursor goes to the start of the line below it.
  void SetLastDrawnRow(int row);

  // Gives the terminal back now (idempotent); the destructor does the same.
  void Restore();

 private:
  TtySession() = default;

  int input_fd_ = -1;
  int output_fd_ = -1;
};

}  // namespace vistamere::term
