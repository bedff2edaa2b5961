#include "term/too_small_notice.h"

#include <algorithm>
#include <string>
#include <vector>

#include "term/notice_text.h"

namespace vistamere::term {

void ComposeTooSmallNotice(int have_columns, int have_rows, int need_columns, int need_rows,
                           Frame& out, std::string_view place) {
  const int columns = std::max(have_columns, 1);
  const int rows = std::max(have_rows, 1);
  out.Resize(columns, rows);
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) out.Set(column, row, TermCell{});
  }
  out.cursor = FrameCursor{};

  const std::string message = "Vistamere needs a " + std::string(place) + " of at least " +
                              std::to_string(need_columns) + " x " + std::to_string(need_rows) +
                              "; this one is " + std::to_string(have_columns) + " x " +
                              std::to_string(have_rows) + ". Please enlarge it.";
  std::vector<std::u32string> lines = WrapText(DisplayableText(message), columns);
  if (static_cast<int>(lines.size()) > rows) lines.resize(static_cast<std::size_t>(rows));
  const int first_row = (rows - static_cast<int>(lines.size())) / 2;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const int row = first_row + static_cast<int>(i);
    const int first_column = std::max((columns - static_cast<int>(lines[i].size())) / 2, 0);
    for (std::size_t k = 0; k < lines[i].size(); ++k) {
      out.Set(first_column + static_cast<int>(k), row, TermCell{lines[i][k], {}, {}});
    }
  }
}

}  // namespace vistamere::term
