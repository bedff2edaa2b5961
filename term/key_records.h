// Key-event records built from what a terminal reports: a typed byte, a typed
// character, a key code with modifiers, or a named key with modifiers.
#pragma once

#include <cstdint>
#include <optional>

#include "console/input_record.h"
#include "term/key_sequence_tables.h"

namespace vistamere::term {

// The control-key state of a modifier parameter as terminals send it:
// 1 + (Shift 1 | Alt 2 | Ctrl 4 | Super 8 | Hyper 16 | Meta 32 | Caps Lock 64
// | Num Lock 128). Meta counts as Alt; Super and Hyper have no console bit.
// A missing parameter (0) means no modifiers.
[[nodiscard]] std::uint32_t ControlStateOfModifiers(int parameter);

// A byte below 0x80 as a terminal in its legacy mode sends it: printable
// ASCII, Enter (0x0D), Backspace (0x7F, 0x08), Tab, Esc, or Ctrl with a key.
// 0x0A is Ctrl+J: a terminal in raw mode sends 0x0D for Enter.
[[nodiscard]] KeyEventRecord KeyOfByte(std::uint8_t byte);

// A typed character above ASCII: its code page 437 byte, '?' when the code
// page lacks it; no scan code.
[[nodiscard]] KeyEventRecord KeyOfCharacter(char32_t code_point);

// A key reported by its key code: the kitty protocol's CSI code[:shifted[:base]];mods[:event] u,
// xterm's CSI code;mods u and CSI 27;mods;code ~.
struct KeyCodeReport {
  std::uint32_t code = 0;
  std::uint32_t shifted = 0;  // the key's character with Shift, 0 when not reported
  std::uint32_t base = 0;     // the key in the US layout, 0 when not reported
  int modifiers = 0;
  bool released = false;
};

// The console's record for such a report: Shift and Caps Lock applied to the
// character as the console applies them, Ctrl+letter as its control code.
// Nothing for codes that are no key the console knows.
[[nodiscard]] std::optional<KeyEventRecord> KeyOfCodeReport(const KeyCodeReport& report);

// A named key with the state from its modifier parameter.
[[nodiscard]] KeyEventRecord KeyOfNamedKey(const NamedKey& key, int modifiers, bool released);

}  // namespace vistamere::term
