#include "term/too_small_notice.h"

#include <algorithm>
#include <vector>

#include "term/cp437.h"
#include "term/notice_text.h"

namespace vistamere::term {

std::string TooSmallNotice(int have_columns, int have_rows, int need_columns, int need_rows) {
  std::string out = "\x1b[?2026h\x1b[?25l\x1b[0m\x1b[2J";
  const std::string message = "Vistamere needs a terminal of at least " +
                              std::to_string(need_columns) + " x " + std::to_string(need_rows) +
                              "; this one is " + std::to_string(have_columns) + " x " +
                              std::to_string(have_rows) + ". Please enlarge it.";
  std::vector<std::u32string> lines = WrapText(DisplayableText(message), have_columns);
  const int rows = std::max(have_rows, 1);
  if (static_cast<int>(lines.size()) > rows) lines.resize(static_cast<std::size_t>(rows));
  const int first_row = (rows - static_cast<int>(lines.size())) / 2 + 1;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const int column = (have_columns - static_cast<int>(lines[i].size())) / 2 + 1;
    out += "\x1b[" + std::to_string(first_row + static_cast<int>(i)) + ";" +
           std::to_string(std::max(column, 1)) + "H";
    for (const char32_t glyph : lines[i]) {
      char bytes[4];
      out.append(bytes, static_cast<std::size_t>(AppendUtf8(glyph, bytes)));
    }
  }
  out += "\x1b[?2026l";
  return out;
}

}  // namespace vistamere::term
