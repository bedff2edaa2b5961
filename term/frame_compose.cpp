#include "term/frame_compose.h"

#include <algorithm>
#include <cstring>
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
    if (left > right) return;
    for (int row = std::max(rect.top, 1); row <= std::min(rect.bottom, rows); ++row) {
      std::fill_n(covered.begin() + static_cast<std::ptrdiff_t>(row - 1) * columns + (left - 1),
                  right - left + 1, value);
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

// The picture's cell at (column, row) of the picture, black outside it;
// written field by field into the frame's cell.
void SetPictureCell(const PictureCellGrid* picture, int column, int row, TermCell& out) {
  out.picture = false;
  if (picture == nullptr || column < 0 || row < 0 || column >= picture->columns ||
      row >= picture->rows) {
    out.glyph = U' ';
    out.fg = kBlack;
    out.bg = kBlack;
    return;
  }
  const PictureCell& cell = picture->At(column, row);
  out.glyph = cell.glyph;
  out.fg = picture->Foreground(cell);
  out.bg = picture->Background(cell);
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

// Where each cell of a frame comes from: the console's cell, or where the
// window covers it the picture's cell (a pixel-picture cell when the
// picture is drawn in pixels). Cells are made in place, a row at a time.
class CellSources {
 public:
  CellSources(const ScreenBuffer& buffer, const GraphicsWindow& window,
              const PictureCellGrid* picture, bool picture_in_pixels)
      : buffer_(buffer),
        picture_(picture),
        picture_in_pixels_(picture_in_pixels),
        area_left_(window.shown && window.area ? window.area->left - 1 : 0),
        area_top_(window.shown && window.area ? window.area->top - 1 : 0) {}

  class Row {
   public:
    Row(const CellSources& sources, int row)
        : sources_(sources),
          row_(row),
          cells_(sources.buffer_.RowCells(row).data()),
          written_(sources.buffer_.RowWritten(row).data()) {}

    void Compose(int column, bool covered, TermCell& cell, unsigned char& known) const {
      known = 1;
      if (covered && sources_.picture_in_pixels_) {
        cell = kPictureCell;
      } else if (covered) {
        SetPictureCell(sources_.picture_, column - sources_.area_left_, row_ - sources_.area_top_,
                       cell);
      } else if (written_[column] != 0) {
        const Cell& console = cells_[column];
        cell.glyph = Cp437ToUnicode(console.character);
        AttributeColours(console.attribute, cell.fg, cell.bg);
        cell.picture = false;
      } else {
        known = 0;
      }
    }

   private:
    const CellSources& sources_;
    int row_;
    const Cell* cells_;
    const std::uint8_t* written_;
  };

 private:
  const ScreenBuffer& buffer_;
  const PictureCellGrid* picture_;
  bool picture_in_pixels_;
  int area_left_;  // 0-based
  int area_top_;
};

// The window's notice over the cells, and the cursor.
void FinishFrame(const ScreenBuffer& buffer, const GraphicsWindow& window, Frame& out) {
  if (window.shown && window.area && !window.notice.empty()) DrawNotice(window, *window.area, out);
  FrameCursor& cursor = out.cursor;
  cursor.column = std::clamp(buffer.cursor_column(), 0, std::max(out.columns() - 1, 0));
  cursor.row = std::clamp(buffer.cursor_row(), 0, std::max(out.rows() - 1, 0));
  cursor.visible = buffer.cursor_info().visible && out.columns() > 0 && out.rows() > 0 &&
                   !window.Covers(cursor.column + 1, cursor.row + 1);
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
  const CellSources sources(buffer, window, picture, picture_in_pixels);
  static thread_local std::vector<unsigned char> covered;
  MarkCoveredCells(window, out.columns(), out.rows(), covered);
  for (int row = 0; row < out.rows(); ++row) {
    const CellSources::Row cells(sources, row);
    const unsigned char* covered_row = covered.data() + out.IndexOf(0, row);
    const Frame::WritableRow to = out.EditRow(row);
    for (int column = 0; column < out.columns(); ++column) {
      cells.Compose(column, covered_row[column] != 0, to.cells[column], to.known[column]);
    }
  }
  FinishFrame(buffer, window, out);
}

void FrameComposer::Compose(const ScreenBuffer& buffer, const GraphicsWindow& window,
                            const PictureCellGrid* picture, Frame& out, bool picture_in_pixels) {
  const bool same_frame = composed_ && out.id() == frame_id_ && out.version() == frame_version_ &&
                          out.columns() == buffer.columns() && out.rows() == buffer.rows();
  const bool same_picture =
      picture == picture_ && picture_in_pixels == picture_in_pixels_ && window.area == area_;
  // A notice is drawn over the cells afterwards: the next frame starts afresh.
  if (!same_frame || !same_picture || !window.notice.empty()) {
    ComposeFrame(buffer, window, picture, out, picture_in_pixels);
    Remember(buffer, window, picture, out, picture_in_pixels);
    return;
  }
  const CellSources sources(buffer, window, picture, picture_in_pixels);
  MarkCoveredCells(window, out.columns(), out.rows(), covered_next_);
  const auto columns = static_cast<std::size_t>(out.columns());
  for (int row = 0; row < out.rows(); ++row) {
    const std::size_t start = out.IndexOf(0, row);
    const std::span<const Cell> cells = buffer.RowCells(row);
    const std::span<const std::uint8_t> written = buffer.RowWritten(row);
    const unsigned char* covered = covered_next_.data() + start;
    Cell* cells_were = cells_.data() + start;
    std::uint8_t* written_were = written_.data() + start;
    const unsigned char* covered_was = covered_.data() + start;
    if (std::memcmp(cells.data(), cells_were, columns * sizeof(Cell)) == 0 &&
        std::memcmp(written.data(), written_were, columns) == 0 &&
        std::memcmp(covered, covered_was, columns) == 0) {
      continue;
    }
    const CellSources::Row sources_row(sources, row);
    const Frame::WritableRow to = out.EditRow(row);
    for (std::size_t column = 0; column < columns; ++column) {
      if (cells[column] == cells_were[column] && written[column] == written_were[column] &&
          covered[column] == covered_was[column]) {
        continue;
      }
      sources_row.Compose(static_cast<int>(column), covered[column] != 0, to.cells[column],
                          to.known[column]);
      cells_were[column] = cells[column];
      written_were[column] = written[column];
    }
  }
  covered_.swap(covered_next_);
  FinishFrame(buffer, window, out);
  frame_version_ = out.version();
}

void FrameComposer::Remember(const ScreenBuffer& buffer, const GraphicsWindow& window,
                             const PictureCellGrid* picture, const Frame& out,
                             bool picture_in_pixels) {
  composed_ = window.notice.empty();
  frame_id_ = out.id();
  frame_version_ = out.version();
  picture_ = picture;
  picture_in_pixels_ = picture_in_pixels;
  area_ = window.area;
  MarkCoveredCells(window, out.columns(), out.rows(), covered_);
  cells_.resize(out.size());
  written_.resize(out.size());
  for (int row = 0; row < out.rows(); ++row) {
    const std::size_t start = out.IndexOf(0, row);
    std::copy(buffer.RowCells(row).begin(), buffer.RowCells(row).end(), cells_.begin() + start);
    std::copy(buffer.RowWritten(row).begin(), buffer.RowWritten(row).end(),
              written_.begin() + start);
  }
}

}  // namespace vistamere::term
