#include "term/notice_fit.h"

#include <algorithm>

#include "term/notice_text.h"

namespace vistamere::term {

std::vector<std::u32string> FitNotice(std::string_view utf8, std::size_t name_begin,
                                      std::size_t name_end, int width, int most_lines) {
  name_begin = std::min(name_begin, utf8.size());
  name_end = std::clamp(name_end, name_begin, utf8.size());
  const std::u32string before = DisplayableText(utf8.substr(0, name_begin));
  const std::u32string name = DisplayableText(utf8.substr(name_begin, name_end - name_begin));
  const std::u32string after = DisplayableText(utf8.substr(name_end));
  std::u32string text;
  const auto wrap = [&](std::u32string_view head, std::u32string_view elision,
                        std::u32string_view tail) {
    text.assign(before).append(head).append(elision).append(tail).append(after);
    return WrapText(text, width);
  };
  std::vector<std::u32string> lines = wrap(name, {}, {});
  const auto most = static_cast<std::size_t>(std::max(most_lines, 0));
  if (lines.size() <= most || name.size() <= kNameElision.size()) return lines;

  // The name keeps `kept` of its characters, the latter half (where a path
  // has the file's own name) one more when odd.
  const auto shortened = [&](std::size_t kept) {
    const std::size_t head = kept / 2;
    return wrap(std::u32string_view(name).substr(0, head), kNameElision,
                std::u32string_view(name).substr(name.size() - (kept - head)));
  };
  // The most characters that fit; a shortened name is shorter than the name.
  std::size_t low = 0;
  std::size_t high = name.size() - kNameElision.size() - 1;
  while (low < high) {
    const std::size_t middle = low + (high - low + 1) / 2;
    if (shortened(middle).size() <= most) {
      low = middle;
    } else {
      high = middle - 1;
    }
  }
  return shortened(low);
}

}  // namespace vistamere::term
