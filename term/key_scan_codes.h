// PC keyboard scan codes (set 1, US layout, without the extended-key prefix)
// of the keys a terminal reports, and the way from a typed ASCII character
// back to the key that types it.
#pragma once

#include <cstdint>
#include <optional>

namespace vistamere::term {

namespace scan {
inline constexpr std::uint8_t kEsc = 0x01;
inline constexpr std::uint8_t kDigit2 = 0x03;
inline constexpr std::uint8_t kBackspace = 0x0E;
inline constexpr std::uint8_t kTab = 0x0F;
inline constexpr std::uint8_t kEnter = 0x1C;
inline constexpr std::uint8_t kCtrl = 0x1D;
inline constexpr std::uint8_t kLeftShift = 0x2A;
inline constexpr std::uint8_t kRightShift = 0x36;
inline constexpr std::uint8_t kKeypadMultiply = 0x37;
inline constexpr std::uint8_t kAlt = 0x38;
inline constexpr std::uint8_t kSpace = 0x39;
inline constexpr std::uint8_t kCapsLock = 0x3A;
inline constexpr std::uint8_t kF1 = 0x3B;
inline constexpr std::uint8_t kF2 = 0x3C;
inline constexpr std::uint8_t kF3 = 0x3D;
inline constexpr std::uint8_t kF4 = 0x3E;
inline constexpr std::uint8_t kF5 = 0x3F;
inline constexpr std::uint8_t kF6 = 0x40;
inline constexpr std::uint8_t kF7 = 0x41;
inline constexpr std::uint8_t kF8 = 0x42;
inline constexpr std::uint8_t kF9 = 0x43;
inline constexpr std::uint8_t kF10 = 0x44;
inline constexpr std::uint8_t kNumLock = 0x45;
inline constexpr std::uint8_t kScrollLock = 0x46;
inline constexpr std::uint8_t kHome = 0x47;
inline constexpr std::uint8_t kUp = 0x48;
inline constexpr std::uint8_t kPageUp = 0x49;
inline constexpr std::uint8_t kKeypadMinus = 0x4A;
inline constexpr std::uint8_t kLeft = 0x4B;
inline constexpr std::uint8_t kKeypad5 = 0x4C;
inline constexpr std::uint8_t kRight = 0x4D;
inline constexpr std::uint8_t kKeypadPlus = 0x4E;
inline constexpr std::uint8_t kEnd = 0x4F;
inline constexpr std::uint8_t kDown = 0x50;
inline constexpr std::uint8_t kPageDown = 0x51;
inline constexpr std::uint8_t kInsert = 0x52;
inline constexpr std::uint8_t kDelete = 0x53;
inline constexpr std::uint8_t kF11 = 0x57;
inline constexpr std::uint8_t kF12 = 0x58;
inline constexpr std::uint8_t kApplication = 0x5D;
inline constexpr std::uint8_t kSlash = 0x35;
inline constexpr std::uint8_t kEquals = 0x0D;
}  // namespace scan

// The key that types an ASCII character (0x20-0x7E) on a US keyboard, and
// whether Shift is needed for it.
struct AsciiKey {
  std::uint8_t scan_code = 0;
  bool shifted = false;
};
std::optional<AsciiKey> KeyOfAscii(char32_t character);

// The character a key types with Shift held, for the printable keys of the
// US layout ('a' -> 'A', '1' -> '!', '!' stays '!'); other characters unchanged.
char32_t ShiftedAscii(char32_t character);

// The control code Ctrl turns a printable character into ('a' -> 0x01,
// '[' -> 0x1B, '2' -> 0x00 ...), or nothing when Ctrl leaves it as it is.
std::optional<std::uint8_t> ControlCodeOf(char32_t character);

// The scan code of function key Fn, n = 1..12.
std::uint8_t FunctionKeyScanCode(int n);

}  // namespace vistamere::term
