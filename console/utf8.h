// UTF-8: read one character at a time (the keys a terminal sends, the text
// the platform shows), and whole texts to and from characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vistamere {

enum class Utf8Status : std::uint8_t {
  kValid,
  // The bytes end inside a character that more bytes could still complete.
  kIncomplete,
  // No character: a byte that cannot begin one, a missing continuation
  // byte, an overlong form, a surrogate or a value past U+10FFFF.
  kMalformed,
};

struct Utf8Char {
  Utf8Status status = Utf8Status::kMalformed;
  // Bytes taken. A malformed character takes its first byte and the
  // continuation bytes before the fault, or all of its bytes when what is
  // wrong is the value they give; an incomplete one takes none.
  std::size_t length = 0;
  char32_t code_point = 0;  // when valid
};

// Decodes the character at the start of `bytes`, which must not be empty.
// Only the shortest form of a value up to U+10FFFF, surrogates excepted, is valid.
[[nodiscard]] Utf8Char DecodeUtf8(std::span<const std::uint8_t> bytes);

// The characters of UTF-8 text; nothing when any of it is malformed.
[[nodiscard]] std::optional<std::u32string> CharactersOfUtf8(std::string_view utf8);

// Characters as UTF-8.
[[nodiscard]] std::string Utf8Of(std::u32string_view characters);

}  // namespace vistamere
