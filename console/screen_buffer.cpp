#include "console/screen_buffer.h"

#include <algorithm>

namespace vistamere {

ScreenBuffer::ScreenBuffer(int columns, int rows) : columns_(0), rows_(0) {
  Resize(columns, rows);
  window_ = {0, 0, columns_ - 1, rows_ - 1};
}

void ScreenBuffer::Resize(int columns, int rows) {
  columns = std::max(columns, 1);
  rows = std::max(rows, 1);
  std::vector<Cell> cells(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows));
  std::vector<std::uint8_t> written(cells.size(), 0);
  for (int r = 0; r < std::min(rows, rows_); ++r) {
    for (int c = 0; c < std::min(columns, columns_); ++c) {
      const auto to = static_cast<std::size_t>(r) * static_cast<std::size_t>(columns) +
                      static_cast<std::size_t>(c);
      cells[to] = cells_[IndexOf(c, r)];
      written[to] = written_[IndexOf(c, r)];
    }
  }
  cells_ = std::move(cells);
  written_ = std::move(written);
  columns_ = columns;
  rows_ = rows;
  cursor_column_ = std::min(cursor_column_, columns_ - 1);
  cursor_row_ = std::min(cursor_row_, rows_ - 1);
}

bool ScreenBuffer::GetScreenBufferInfo(ScreenBufferInfo& info) {
  info = {columns_, rows_, cursor_column_, cursor_row_};
  return true;
}

bool ScreenBuffer::SetScreenBufferSize(int columns, int rows) {
  if (columns < 1 || rows < 1 || columns > kLargestScreenSide || rows > kLargestScreenSide) {
    return false;
  }
  Resize(columns, rows);
  window_.right = std::min(window_.right, columns_ - 1);
  window_.bottom = std::min(window_.bottom, rows_ - 1);
  return true;
}

bool ScreenBuffer::SetWindowInfo(const CellRect& window) {
  if (window.left < 0 || window.top < 0 || window.right < window.left ||
      window.bottom < window.top || window.right >= columns_ || window.bottom >= rows_) {
    return false;
  }
  window_ = window;
  return true;
}

bool ScreenBuffer::SetCursorPosition(int column, int row) {
  if (column < 0 || row < 0 || column >= columns_ || row >= rows_) return false;
  cursor_column_ = column;
  cursor_row_ = row;
  return true;
}

void ScreenBuffer::PlaceCursor(int column, int row) {
  cursor_column_ = std::clamp(column, 0, columns_ - 1);
  cursor_row_ = std::clamp(row, 0, rows_ - 1);
}

bool ScreenBuffer::GetCursorInfo(CursorInfo& info) {
  info = cursor_info_;
  return true;
}

bool ScreenBuffer::SetCursorInfo(const CursorInfo& info) {
  if (info.size < 1 || info.size > 100) return false;
  cursor_info_ = info;
  return true;
}

bool ScreenBuffer::WriteOutput(int column, int row, std::span<const Cell> cells) {
  if (row < 0 || row >= rows_ || column >= columns_) return false;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const long c = column + static_cast<long>(i);
    if (c < 0) continue;
    if (c >= columns_) break;
    cells_[IndexOf(static_cast<int>(c), row)] = cells[i];
    written_[IndexOf(static_cast<int>(c), row)] = 1;
  }
  return true;
}

template <typename SetField>
bool ScreenBuffer::Fill(int count, int column, int row, SetField set_field) {
  if (row < 0 || row >= rows_ || column < 0 || column >= columns_ || count < 0) return false;
  const std::size_t start = IndexOf(column, row);
  const std::size_t end = std::min(cells_.size(), start + static_cast<std::size_t>(count));
  for (std::size_t i = start; i < end; ++i) {
    set_field(cells_[i]);
    written_[i] = 1;
  }
  return true;
}

bool ScreenBuffer::FillOutputCharacter(std::uint8_t character, int count, int column, int row) {
  return Fill(count, column, row, [character](Cell& cell) { cell.character = character; });
}

bool ScreenBuffer::FillOutputAttribute(std::uint8_t attribute, int count, int column, int row) {
  return Fill(count, column, row, [attribute](Cell& cell) { cell.attribute = attribute; });
}

bool ScreenBuffer::ScrollScreenBuffer(const CellRect& source, int dest_column, int dest_row,
                                      Cell fill) {
  const int left = std::max(source.left, 0);
  const int top = std::max(source.top, 0);
  const int right = std::min(source.right, columns_ - 1);
  const int bottom = std::min(source.bottom, rows_ - 1);
  if (left > right || top > bottom) return false;
  const int shift_columns = dest_column - source.left;
  const int shift_rows = dest_row - source.top;

  std::vector<Cell> moved;
  moved.reserve(static_cast<std::size_t>(right - left + 1) *
                static_cast<std::size_t>(bottom - top + 1));
  for (int r = top; r <= bottom; ++r) {
    for (int c = left; c <= right; ++c) moved.push_back(cells_[IndexOf(c, r)]);
  }
  for (int r = top; r <= bottom; ++r) {
    for (int c = left; c <= right; ++c) {
      cells_[IndexOf(c, r)] = fill;
      written_[IndexOf(c, r)] = 1;
    }
  }
  std::size_t i = 0;
  for (int r = top; r <= bottom; ++r) {
    for (int c = left; c <= right; ++c, ++i) {
      const int to_column = c + shift_columns;
      const int to_row = r + shift_rows;
      if (to_column < 0 || to_column >= columns_ || to_row < 0 || to_row >= rows_) continue;
      cells_[IndexOf(to_column, to_row)] = moved[i];
      written_[IndexOf(to_column, to_row)] = 1;
    }
  }
  return true;
}

bool ScreenBuffer::PeekInput(InputRecord& record) {
  if (input_.empty()) return false;
  record = input_.front();
  return true;
}

bool ScreenBuffer::ReadInput(InputRecord& record) {
  if (input_.empty()) return false;
  record = input_.front();
  input_.pop_front();
  return true;
}

void ScreenBuffer::Sleep(int) {}

const Cell& ScreenBuffer::At(int column, int row) const {
  return cells_[IndexOf(column, row)];
}

bool ScreenBuffer::Written(int column, int row) const {
  return written_[IndexOf(column, row)] != 0;
}

std::string ScreenBuffer::RowText(int row) const {
  std::string text;
  text.reserve(static_cast<std::size_t>(columns_));
  for (int c = 0; c < columns_; ++c) text.push_back(static_cast<char>(At(c, row).character));
  return text;
}

}  // namespace vistamere
