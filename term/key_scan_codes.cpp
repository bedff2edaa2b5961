#include "term/key_scan_codes.h"

#include <string_view>

namespace vistamere::term {
namespace {

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
    for (const LetterRow& row : kUsLetterRows) {
      const auto at = row.letters.find(lower);
      if (at != std::string_view::npos) {
        return AsciiKey{static_cast<std::uint8_t>(row.first_scan_code + at), IsUpper(character)};
      }
    }
  }
  for (const SymbolKey& key : kUsSymbolKeys) {
    if (character == key.plain) return AsciiKey{key.scan_code, false};
    if (character == key.shifted) return AsciiKey{key.scan_code, true};
  }
  if (character == U' ') return AsciiKey{scan::kSpace, false};
  return std::nullopt;
}

char32_t ShiftedAscii(char32_t character) {
  if (IsLower(character)) return character - 0x20;
  for (const SymbolKey& key : kUsSymbolKeys) {
    if (character == key.plain) return key.shifted;
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

}  // namespace vistamere::term
