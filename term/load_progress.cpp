#include "term/load_progress.h"

#include <string>

#include "term/notice_text.h"

namespace vistamere::term {
namespace {

// The longest name shown; a longer one is cut and ends in "...".
constexpr std::size_t kLongestName = 60;

}  // namespace

void DrawLoadProgress(std::string_view utf8_name, int percent, int row, Frame& frame) {
  if (row < 0 || row >= frame.rows()) return;
  std::u32string name = DisplayableText(utf8_name);
  if (name.size() > kLongestName) name = name.substr(0, kLongestName) + U"...";
  std::u32string text = U" Loading " + name + U" ... ";
  for (const char c : std::to_string(percent) + "% ") text.push_back(static_cast<char32_t>(c));
  for (int column = 0; column < frame.columns(); ++column) {
    const auto k = static_cast<std::size_t>(column);
    frame.Set(
        column, row,
        k < text.size() ? TermCell{text[k], kNoticeForeground, kNoticeBackground} : TermCell{});
  }
}

}  // namespace vistamere::term
