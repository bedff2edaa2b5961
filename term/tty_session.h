// The real terminal: keys from /dev/tty, output to standard output when it
// is a terminal (else standard error). Owns the terminal's modes (raw input)
// and gives the terminal back on every way out: return, exception, every
// signal that ends the process, a stop (Ctrl+Z) until the program continues.
// What it writes then are the restore bytes it was given; it makes no bytes
// of its own. One session per process.
#pragma once

#include <memory>
#include <string>

#include "term/terminal_port.h"

namespace vistamere::term {

class TtySession final : public TerminalPort {
 public:
  // Opens the terminal and switches its input to raw mode; null with a
  // message in `error` when there is no terminal.
  static std::unique_ptr<TtySession> Open(std::string& error);
  ~TtySession() override;
  TtySession(const TtySession&) = delete;
  TtySession& operator=(const TtySession&) = delete;

  [[nodiscard]] bool Write(std::string_view bytes) override;
  bool Wait(std::chrono::milliseconds timeout) override;
  [[nodiscard]] TerminalRead Read(std::span<std::uint8_t> buffer) override;
  TerminalNews TakeNews() override;
  TerminalSize Size() override;
  Clock::time_point Now() override;
  void Sleep(std::chrono::milliseconds duration) override;
  void SetRestoreBytes(std::string_view bytes) override;

  // Gives the terminal back now (idempotent); the destructor does the same.
  void Restore();

 private:
  TtySession() = default;

  int input_fd_ = -1;
  int output_fd_ = -1;
  TerminalSize size_;  // as last asked
};

}  // namespace vistamere::term
