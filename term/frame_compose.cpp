#include "term/frame_compose.h"

#include <algorithm>
#include <vector>

#include "term/cp437.h"
#include "term/notice_fit.h"
#include "term/notice_text.h"

namespace vistamere::term {
namespace {

constexpr Colour kBlack = Colour::Indexed(16);
constexpr int kMostWarningRows = 3;

// Marks the cells (0-based, row by row) where the picture shows: the area,
// less every open hole. Made once per frame rather than asked per cell.
void MarkCoveredCells(const GraphicsWindow& window, int columns, int rows,
                      std::vector<unsigned char>& covered) {
  covered.assign(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows), 0);
  if (!window.shown || !window.area) return;
  const auto paint = [&](const HoleRect& rect, unsigned char value) {
    const int left = std::max(rect.left, 1);
    const int right = std::min(rect.right, columns);
    for (int row = std::max(rect.top, 1); row <= std::min(rect.bottom, rows); ++row) {
      for (int column = left; column <= right; ++column) {
        covered[static_cast<std::size_t>(row - 1) * static_cast<std::size_t>(columns) +
                static_cast<std::size_t>(column - 1)] = value;
      }
    }
  };
  paint(*window.area, 1);
  for (const auto& [number, rect] : window.holes) paint(rect, 0);
}

// Windows orders the colour bits blue, green, red; ANSI red, green, blue.
int AnsiIndexOf(int console_colour) {
  const int rgb = ((console_colour & 1) << 2) | (console_colour & 2) | ((console_colour & 4) >> 2);
  return rgb | (console_colour & 8);
}

TermCell PictureCellAt(const PictureCellGrid* picture, int column, int row) {
  if (picture == nullptr || column < 0 || row < 0 || column >= picture->columns ||
      row >= picture->rows) {
    return TermCell{U' ', kBlack, kBlack};
  }
  const PictureCell& cell = picture->At(column, row);
  return TermCell{cell.glyph, picture->Foreground(cell), picture->Background(cell)};
}

void DrawNotice(const GraphicsWindow& window, const HoleRect& area, Frame& out) {
  const int width = area.right - area.left + 1;
  const int height = area.bottom - area.top + 1;
  if (width <= 0 || height <= 0) return;
  // One blank cell either side of each line, where the area has room.
  const int padding = width > 2 ? 1 : 0;
  // A warning leaves most of the picture in view: the name is shortened to
  // keep it to a few rows, unless its reason alone needs more.
  const int most_lines = window.notice_is_warning ? std::min(height, kMostWarningRows) : height;
  std::vector<std::u32string> lines =
      FitNotice(window.notice, window.notice_name_begin, window.notice_name_end,
                width - 2 * padding, most_lines);
  if (static_cast<int>(lines.size()) > height) lines.resize(static_cast<std::size_t>(height));
  // A failure stands in the middle of the area; a warning over a picture
  // that was drawn in part stands on its bottom rows, out of the way.
  const int line_count = static_cast<int>(lines.size());
  const int first_row = window.notice_is_warning ? area.bottom - line_count + 1
                                                 : area.top + (height - line_count) / 2;  // 1-based
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const int row = first_row + static_cast<int>(i);
    const int length = static_cast<int>(lines[i].size()) + 2 * padding;
    const int first_column = area.left + (width - length) / 2;  // 1-based
    for (int k = 0; k < length; ++k) {
      const int column = first_column + k;
      if (column < 1 || row < 1 || column > out.columns() || row > out.rows() ||
          !window.Covers(column, row)) {
        continue;
      }
      const int text_index = k - padding;
      const char32_t glyph = text_index >= 0 && text_index < static_cast<int>(lines[i].size())
                                 ? lines[i][static_cast<std::size_t>(text_index)]
                                 : U' ';
      out.Set(column - 1, row - 1, TermCell{glyph, kNoticeForeground, kNoticeBackground});
    }
  }
}

}  // namespace

void AttributeColours(std::uint8_t attribute, Colour& fg, Colour& bg) {
  if (attribute == 0x07) {
    fg = Colour::Default();
    bg = Colour::Default();
    return;
  }
  fg = Colour::Ansi(AnsiIndexOf(attribute & 0x0F));
  bg = Colour::Ansi(AnsiIndexOf(attribute >> 4));
}

void ComposeFrame(const ScreenBuffer& buffer, const GraphicsWindow& window,
                  const PictureCellGrid* picture, Frame& out, bool picture_in_pixels) {
  if (out.columns() != buffer.columns() || out.rows() != buffer.rows()) {
    out.Resize(buffer.columns(), buffer.rows());
  }
  const bool picture_shown = window.shown && window.area.has_value();
  const int area_left = picture_shown ? window.area->left - 1 : 0;  // 0-based
  const int area_top = picture_shown ? window.area->top - 1 : 0;
  static thread_local std::vector<unsigned char> covered;
  MarkCoveredCells(window, out.columns(), out.rows(), covered);
  std::size_t index = 0;
  for (int row = 0; row < out.rows(); ++row) {
    for (int column = 0; column < out.columns(); ++column, ++index) {
      if (covered[index] != 0) {
        out.Set(column, row,
                picture_in_pixels ? kPictureCell
                                  : PictureCellAt(picture, column - area_left, row - area_top));
      } else if (buffer.Written(column, row)) {
        const Cell& cell = buffer.At(column, row);
        TermCell shown{Cp437ToUnicode(cell.character), {}, {}};
        AttributeColours(cell.attribute, shown.fg, shown.bg);
        out.Set(column, row, shown);
      } else {
        out.Forget(column, row);
      }
    }
  }
  if (picture_shown && !window.notice.empty()) DrawNotice(window, *window.area, out);

  FrameCursor& cursor = out.cursor;
  cursor.column = std::clamp(buffer.cursor_column(), 0, std::max(out.columns() - 1, 0));
  cursor.row = std::clamp(buffer.cursor_row(), 0, std::max(out.rows() - 1, 0));
  cursor.visible = buffer.cursor_info().visible && out.columns() > 0 && out.rows() > 0 &&
                   !window.Covers(cursor.column + 1, cursor.row + 1);
}

}  // namespace vistamere::term
