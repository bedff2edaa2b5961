// One screenful as the terminal is to show it: a glyph and two colours per
// cell, whether the cell is to be drawn at all, and the cursor.
#pragma once

#include <cstddef>
#include <vector>

#include "term/colour.h"

namespace vistamere::term {

struct TermCell {
  char32_t glyph = U' ';
  Colour fg;
  Colour bg;
  // The cell shows the picture in pixels: no glyph is written there.
  bool picture = false;

  friend bool operator==(const TermCell&, const TermCell&) = default;
};

struct FrameCursor {
  int row = 0;     // 0-based
  int column = 0;  // 0-based
  bool visible = false;

  friend bool operator==(const FrameCursor&, const FrameCursor&) = default;
};

inline constexpr TermCell kPictureCell{U' ', Colour::Default(), Colour::Default(), true};

class Frame {
 public:
  Frame() = default;
  Frame(int columns, int rows) { Resize(columns, rows); }

  // Every cell becomes a blank in the default colours, not known.
  void Resize(int columns, int rows);

  int columns() const { return columns_; }
  int rows() const { return rows_; }
  std::size_t size() const { return cells_.size(); }

  std::size_t IndexOf(int column, int row) const {
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_) +
           static_cast<std::size_t>(column);
  }
  const TermCell& At(int column, int row) const { return cells_[IndexOf(column, row)]; }
  const TermCell& At(std::size_t index) const { return cells_[index]; }
  // Whether the cell is to be drawn (false: the terminal keeps what it shows there).
  bool Known(int column, int row) const { return known_[IndexOf(column, row)] != 0; }
  bool Known(std::size_t index) const { return known_[index] != 0; }
  bool AllKnown() const;

  // Sets a cell and marks it known.
  void Set(int column, int row, const TermCell& cell) {
    const std::size_t index = IndexOf(column, row);
    cells_[index] = cell;
    known_[index] = 1;
  }
  void Forget(int column, int row) { known_[IndexOf(column, row)] = 0; }

  FrameCursor cursor;

 private:
  int columns_ = 0;
  int rows_ = 0;
  std::vector<TermCell> cells_;
  std::vector<unsigned char> known_;
};

}  // namespace vistamere::term
