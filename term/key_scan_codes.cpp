#include "term/key_scan_codes.h"

#include <array>
#include <string_view>

namespace vistamere::term {
namespace {

struct KeyPair {
  std::uint8_t scan_code;
  char plain;
  char shifted;
};

// The digit and punctuation keys of the US layout.
constexpr std::array<KeyPair, 22> kSymbolKeys = {{
    {0x02, '1', '!'},  {0x03, '2', '@'}, {0x04, '3', '#'},  {0x05, '4', '$'}, {0x06, '5', '%'},
    {0x07, '6', '^'},  {0x08, '7', '&'}, {0x09, '8', '*'},  {0x0A, '9', '('}, {0x0B, '0', ')'},
    {0x0C, '-', '_'},  {0x0D, '=', '+'}, {0x1A, '[', '{'},  {0x1B, ']', '}'}, {0x27, ';', ':'},
    {0x28, '\'', '"'}, {0x29, '`', '~'}, {0x2B, '\\', '|'}, {0x33, ',', '<'}, {0x34, '.', '>'},
    {0x35, '/', '?'},  {0x39, ' ', ' '},
}};

// The three letter rows and the scan code of each row's first key.
struct LetterRow {
  std::uint8_t first_scan_code;
  std::string_view letters;
};
constexpr std::array<LetterRow, 3> kLetterRows = {{
    {0x10, "qwertyuiop"},
    {0x1E, "asdfghjkl"},
    {0x2C, "zxcvbnm"},
}};

constexpr bool IsLower(char32_t c) {
  return c >= 'a' && c <= 'z';
}
constexpr bool IsUpper(char32_t c) {
  return c >= 'A' && c <= 'Z';
}

}  // namespace

std::optional<AsciiKey> KeyOfAscii(char32_t character) {
  if (IsLower(character) || IsUpper(character)) {
    const char lower = static_cast<char>(IsUpper(character) ? character + 0x20 : character);
    for (const LetterRow& row : kLetterRows) {
      const auto at = row.letters.find(lower);
      if (at != std::string_view::npos) {
        return AsciiKey{static_cast<std::uint8_t>(row.first_scan_code + at), IsUpper(character)};
      }
    }
  }
  for (const KeyPair& key : kSymbolKeys) {
    if (character == static_cast<char32_t>(key.plain)) return AsciiKey{key.scan_code, false};
    if (character == static_cast<char32_t>(key.shifted)) return AsciiKey{key.scan_code, true};
  }
  return std::nullopt;
}

char32_t ShiftedAscii(char32_t character) {
  if (IsLower(character)) return character - 0x20;
  for (const KeyPair& key : kSymbolKeys) {
    if (character == static_cast<char32_t>(key.plain)) return static_cast<char32_t>(key.shifted);
  }
  return character;
}

std::optional<std::uint8_t> ControlCodeOf(char32_t character) {
  if (IsLower(character)) return static_cast<std::uint8_t>(character - 0x60);
  if (IsUpper(character)) return static_cast<std::uint8_t>(character - 0x40);
  switch (character) {
    case '@':
    case '2':
      return 0x00;
    case '[':
      return 0x1B;
    case '\\':
      return 0x1C;
    case ']':
      return 0x1D;
    case '^':
    case '6':
      return 0x1E;
    case '_':
    case '-':
      return 0x1F;
    default:
      return std::nullopt;
  }
}

std::uint8_t FunctionKeyScanCode(int n) {
  if (n == 11) return scan::kF11;
  if (n == 12) return scan::kF12;
  return static_cast<std::uint8_t>(scan::kF1 + (n - 1));
}

}  // namespace vistamere::term
