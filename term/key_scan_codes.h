// The way from a character a terminal reports back to the key of the US
// layout that types it, and what Shift and Ctrl make of a typed character.
#pragma once

#include <cstdint>
#include <optional>

#include "console/us_keyboard.h"

namespace vistamere::term {

// The key that types an ASCII character (0x20-0x7E) on a US keyboard, and
// whether Shift is needed for it.
struct AsciiKey {
  std::uint8_t scan_code = 0;
  bool shifted = false;
};
[[nodiscard]] std::optional<AsciiKey> KeyOfAscii(char32_t character);

// The character a key types with Shift held, for the printable keys of the
// US layout ('a' -> 'A', '1' -> '!', '!' stays '!'); other characters unchanged.
[[nodiscard]] char32_t ShiftedAscii(char32_t character);

// The control code Ctrl turns a printable character into ('a' -> 0x01,
// '[' -> 0x1B, '2' -> 0x00 ...), or nothing when Ctrl leaves it as it is.
[[nodiscard]] std::optional<std::uint8_t> ControlCodeOf(char32_t character);

}  // namespace vistamere::term
