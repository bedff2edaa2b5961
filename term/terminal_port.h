// The terminal as the terminal console device sees it: bytes out, bytes in,
// its size, news from outside (a resize, a return from suspension) and a
// clock. The real terminal is TtySession; tests put a scripted one here.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace vistamere::term {

struct TerminalSize {
  int columns = 0;
  int rows = 0;
  // The text area's size in pixels; zero when the terminal does not say.
  int pixel_width = 0;
  int pixel_height = 0;

  friend bool operator==(const TerminalSize&, const TerminalSize&) = default;
};

// What happened to the terminal since the last look.
struct TerminalNews {
  bool resized = false;
  bool continued = false;  // the program was stopped and runs again
  // The terminal was given back meanwhile (the restore bytes were written)
  // and is taken again: what they undid must be done again.
  bool given_back = false;
};

// Outcome of a read: the bytes that were there, or the terminal is gone
// (hung up, closed, unreadable): nobody is left to type a key.
struct TerminalRead {
  std::size_t count = 0;
  bool gone = false;
};

class TerminalPort {
 public:
  using Clock = std::chrono::steady_clock;

  virtual ~TerminalPort() = default;

  // Writes every byte, waiting while the terminal does not take them;
  // false when the terminal is gone.
  [[nodiscard]] virtual bool Write(std::string_view bytes) = 0;

  // Waits until input or news is there, or until `timeout` has passed
  // (negative: no limit). True when something is there to read or take.
  virtual bool Wait(std::chrono::milliseconds timeout) = 0;
  // Reads what input is there without waiting (count 0: none).
  [[nodiscard]] virtual TerminalRead Read(std::span<std::uint8_t> buffer) = 0;
  virtual TerminalNews TakeNews() = 0;

  // Columns and rows; zero when the terminal does not say.
  virtual TerminalSize Size() = 0;
  virtual Clock::time_point Now() = 0;
  virtual void Sleep(std::chrono::milliseconds duration) = 0;

  // The bytes that give the terminal back on every way out (return, signal,
  // fatal error); replaced whenever what they must undo changes.
  virtual void SetRestoreBytes(std::string_view bytes) = 0;
};

}  // namespace vistamere::term
