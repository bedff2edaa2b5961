#include "term/notice_text.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "term/cp437.h"

namespace vistamere::term {
namespace {

constexpr char32_t kReplacement = U'?';

bool IsConsoleGlyph(char32_t code_point) {
  static const std::array<char32_t, 256> glyphs = [] {
    std::array<char32_t, 256> sorted{};
    for (int byte = 0; byte < 256; ++byte) {
      sorted[static_cast<std::size_t>(byte)] = Cp437ToUnicode(static_cast<std::uint8_t>(byte));
    }
    std::sort(sorted.begin(), sorted.end());
    return sorted;
  }();
  return std::binary_search(glyphs.begin(), glyphs.end(), code_point);
}

// Decodes one UTF-8 sequence at `at`; returns its length, or 0 when malformed
// (overlong forms, surrogates and values past U+10FFFF included).
std::size_t DecodeUtf8(std::string_view text, std::size_t at, char32_t& code_point) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t length = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    code_point = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) return 0;
    value = (value << 6) | (next & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  code_point = value;
  return length;
}

}  // namespace

std::u32string DisplayableText(std::string_view utf8) {
  std::u32string out;
  out.reserve(utf8.size());
  std::size_t at = 0;
  while (at < utf8.size()) {
    char32_t code_point = 0;
    const std::size_t length = DecodeUtf8(utf8, at, code_point);
    if (length == 0) {
      out.push_back(kReplacement);
      ++at;
      continue;
    }
    at += length;
    if (code_point == U'\n') {
      out.push_back(U'\n');
    } else if (code_point == U'\t' || code_point == U'\r') {
      out.push_back(U' ');
    } else if (code_point < 0x20 || code_point == 0x7F || !IsConsoleGlyph(code_point)) {
      out.push_back(kReplacement);
    } else {
      out.push_back(code_point);
    }
  }
  return out;
}

std::vector<std::u32string> WrapText(std::u32string_view text, int width) {
  std::vector<std::u32string> lines;
  if (width <= 0) return lines;
  const auto limit = static_cast<std::size_t>(width);
  std::size_t paragraph_start = 0;
  while (paragraph_start <= text.size()) {
    std::size_t paragraph_end = text.find(U'\n', paragraph_start);
    if (paragraph_end == std::u32string_view::npos) paragraph_end = text.size();
    std::u32string_view rest = text.substr(paragraph_start, paragraph_end - paragraph_start);
    do {
      std::size_t take = rest.size();
      if (take > limit) {
        const std::size_t space = rest.substr(0, limit + 1).rfind(U' ');
        take = (space == std::u32string_view::npos || space == 0) ? limit : space;
      }
      std::u32string_view line = rest.substr(0, take);
      while (!line.empty() && line.back() == U' ') line.remove_suffix(1);
      lines.emplace_back(line);
      rest.remove_prefix(take);
      while (!rest.empty() && rest.front() == U' ') rest.remove_prefix(1);
    } while (!rest.empty());
    paragraph_start = paragraph_end + 1;
  }
  return lines;
}

}  // namespace vistamere::term
