#include "term/notice_text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

#include "console/utf8.h"
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

}  // namespace

std::u32string DisplayableText(std::string_view utf8) {
  const std::span bytes(reinterpret_cast<const std::uint8_t*>(utf8.data()), utf8.size());
  std::u32string out;
  out.reserve(bytes.size());
  std::size_t at = 0;
  while (at < bytes.size()) {
    const Utf8Char read = DecodeUtf8(bytes.subspan(at));
    if (read.status != Utf8Status::kValid) {
      out.push_back(kReplacement);  // for its first byte: the next may begin a character
      ++at;
      continue;
    }
    at += read.length;
    const char32_t code_point = read.code_point;
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
