// A terminal for the terminal console device in tests: an emulated screen
// (libvterm) that shows what the device writes, a clock that moves only when
// the device waits or sleeps, and a script of what happens at which moment
// (bytes typed or answered, a resize, a return from suspension, a hang-up).
// A wait without a limit once the script has run out ends the run with
// ScriptEnded, as a real terminal would wait for ever there.
#pragma once

#include <deque>
#include <stdexcept>
#include <string>

#include "term/terminal_port.h"
#include "tests/support/terminal_screen.h"

namespace vistamere::term::testing {

struct ScriptEnded : std::runtime_error {
  ScriptEnded() : std::runtime_error("the terminal script ran out") {}
};

class FakeTerminal final : public TerminalPort {
 public:
  using Milliseconds = std::chrono::milliseconds;

  FakeTerminal(int columns, int rows) : screen_(columns, rows), size_{columns, rows} {}

  // Events at `at` from the start; events at the same moment keep their order.
  void SendAt(Milliseconds at, std::string bytes);
  void ResizeAt(Milliseconds at, int columns, int rows);
  // The program continues after a stop; `given_back`: it had given the
  // terminal back (Ctrl+Z), not merely been stopped.
  void ContinueAt(Milliseconds at, bool given_back);
  void HangUpAt(Milliseconds at);
  // Another program writes to the terminal.
  void ForeignOutputAt(Milliseconds at, std::string bytes);
  // Whether the terminal answers the queries it is sent, as libvterm does
  // (cursor position, device attributes), at once.
  void AnswerQueries(bool answer) { answer_queries_ = answer; }

  // The terminal gives its size in pixels too.
  void SetPixelSize(int width, int height) {
    size_.pixel_width = width;
    size_.pixel_height = height;
  }

  Milliseconds elapsed() const { return now_; }
  void Advance(Milliseconds duration) { now_ += duration; }
  TerminalScreen& screen() { return screen_; }
  const std::string& written() const { return written_; }
  // The clock when the device last wrote.
  Milliseconds last_write_at() const { return last_write_at_; }
  const std::string& restore_bytes() const { return restore_bytes_; }

  bool Write(std::string_view bytes) override;
  bool Wait(Milliseconds timeout) override;
  TerminalRead Read(std::span<std::uint8_t> buffer) override;
  TerminalNews TakeNews() override;
  TerminalSize Size() override { return size_; }
  Clock::time_point Now() override { return Clock::time_point{} + now_; }
  void Sleep(Milliseconds duration) override { now_ += duration; }
  void SetRestoreBytes(std::string_view bytes) override { restore_bytes_ = bytes; }

 private:
  struct Event {
    enum class Kind { kBytes, kResize, kContinue, kHangUp, kForeignOutput } kind;
    Milliseconds at;
    std::string bytes;
    TerminalSize size;
    bool given_back = false;
  };

  void Schedule(Event event);
  void Happen(const Event& event);
  bool Ready() const { return !input_.empty() || hung_up_ || news_.resized || news_.continued; }

  TerminalScreen screen_;
  TerminalSize size_;
  Milliseconds now_{0};
  std::deque<Event> script_;
  std::string input_;
  TerminalNews news_;
  bool hung_up_ = false;
  bool answer_queries_ = true;
  std::string written_;
  Milliseconds last_write_at_{-1};
  std::string restore_bytes_;
};

}  // namespace vistamere::term::testing
