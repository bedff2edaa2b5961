// A headless console for tests: the in-memory screen buffer with a script of
// key presses. A wait that finds the script used up ends the run with
// ScriptExhausted, so a test never hangs on a missing key.
#pragma once

#include <string>
#include <string_view>

#include "console/screen_buffer.h"
#include "console/text_console.h"

namespace vistamere::testing {

struct ScriptExhausted {};

inline InputRecord KeyPress(std::uint8_t character, std::uint16_t scan_code = 0,
                            std::uint32_t control_state = 0) {
  InputRecord record;
  record.key = KeyEventRecord{true, 1, scan_code, character, control_state};
  return record;
}

inline InputRecord ExtendedKeyPress(std::uint16_t scan_code) {
  return KeyPress(0, scan_code);
}

// The screen buffer, ending the run where a real console would wait.
class ScriptedScreen : public ScreenBuffer {
 public:
  using ScreenBuffer::ScreenBuffer;
  bool PeekInput(InputRecord& record) override {
    if (pending_input() == 0) throw ScriptExhausted{};
    return ScreenBuffer::PeekInput(record);
  }
};

class ScriptedConsole {
 public:
  ScriptedConsole() : buffer(102, 40), console(buffer) {}

  void Type(std::string_view keys) {
    for (const char c : keys) buffer.PushInput(KeyPress(static_cast<std::uint8_t>(c)));
  }
  void Press(const InputRecord& record) { buffer.PushInput(record); }

  // Text of a 1-based row, columns first..last (1-based, inclusive).
  std::string Text(int row, int first_column, int last_column) const {
    return buffer.RowText(row - 1).substr(static_cast<std::size_t>(first_column - 1),
                                          static_cast<std::size_t>(last_column - first_column + 1));
  }

  ScriptedScreen buffer;
  TextConsole console;
};

}  // namespace vistamere::testing
