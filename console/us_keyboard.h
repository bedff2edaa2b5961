// The PC keyboard with the US layout, as the console reports its keys: the
// scan codes (set 1, without the extended-key prefix), and which key types
// which letter, digit or punctuation mark.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace vistamere {

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

// The three letter rows, each a run of consecutive scan codes from its first key.
struct LetterRow {
  std::uint8_t first_scan_code;
  std::string_view letters;
};
inline constexpr std::array<LetterRow, 3> kUsLetterRows = {{
    {0x10, "qwertyuiop"},
    {0x1E, "asdfghjkl"},
    {0x2C, "zxcvbnm"},
}};

// The digit and punctuation keys: what each types without and with Shift.
struct SymbolKey {
  std::uint8_t scan_code;
  std::uint8_t plain;
  std::uint8_t shifted;
};
inline constexpr std::array<SymbolKey, 21> kUsSymbolKeys = {{
    {0x02, '1', '!'},  {0x03, '2', '@'}, {0x04, '3', '#'},  {0x05, '4', '$'}, {0x06, '5', '%'},
    {0x07, '6', '^'},  {0x08, '7', '&'}, {0x09, '8', '*'},  {0x0A, '9', '('}, {0x0B, '0', ')'},
    {0x0C, '-', '_'},  {0x0D, '=', '+'}, {0x1A, '[', '{'},  {0x1B, ']', '}'}, {0x27, ';', ':'},
    {0x28, '\'', '"'}, {0x29, '`', '~'}, {0x2B, '\\', '|'}, {0x33, ',', '<'}, {0x34, '.', '>'},
    {0x35, '/', '?'},
}};

}  // namespace vistamere
