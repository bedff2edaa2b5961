#include "console/utf8.h"

#include "console/code_page_437.h"

namespace vistamere {

Utf8Char DecodeUtf8(std::span<const std::uint8_t> bytes) {
  const std::uint8_t lead = bytes[0];
  if (lead < 0x80) return {Utf8Status::kValid, 1, lead};
  std::size_t length = 0;
  char32_t value = 0;
  char32_t smallest = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1F, smallest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0F, smallest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07, smallest = 0x10000;
  } else {
    return {Utf8Status::kMalformed, 1};
  }
  for (std::size_t k = 1; k < length; ++k) {
    if (k >= bytes.size()) return {Utf8Status::kIncomplete, 0};
    if ((bytes[k] & 0xC0) != 0x80) return {Utf8Status::kMalformed, k};
    value = (value << 6) | (bytes[k] & 0x3F);
  }
  const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
  if (value < smallest || value > 0x10FFFF || surrogate) return {Utf8Status::kMalformed, length};
  return {Utf8Status::kValid, length, value};
}

std::optional<std::u32string> CharactersOfUtf8(std::string_view utf8) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(utf8.data());
  std::u32string characters;
  for (std::size_t at = 0; at < utf8.size();) {
    const Utf8Char read = DecodeUtf8(std::span(bytes + at, utf8.size() - at));
    if (read.status != Utf8Status::kValid) return std::nullopt;
    characters.push_back(read.code_point);
    at += read.length;
  }
  return characters;
}

std::string Utf8Of(std::u32string_view characters) {
  std::string utf8;
  char bytes[4];
  for (const char32_t c : characters) {
    utf8.append(bytes, static_cast<std::size_t>(AppendUtf8(c, bytes)));
  }
  return utf8;
}

}  // namespace vistamere
