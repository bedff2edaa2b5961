// One screenful as the terminal is to show it: a glyph and two colours per
// cell, whether the cell is to be drawn at all, and the cursor.
#pragma once

#include <cstddef>
#include <cstdint>
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
  Frame() : id_(NewId()) {}
  Frame(int columns, int rows) : id_(NewId()) { Resize(columns, rows); }
  // A copy is another frame: it gets an identity of its own.
  Frame(const Frame& other);
  Frame& operator=(const Frame& other);
  Frame(Frame&& other) noexcept;
  Frame& operator=(Frame&& other) noexcept;
  ~Frame() = default;

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
    Edited(row);
  }
  void Forget(int column, int row) {
    known_[IndexOf(column, row)] = 0;
    Edited(row);
  }

  // One row's cells and known flags, to be written in place; the row
  // counts as changed.
  struct WritableRow {
    TermCell* cells;
    unsigned char* known;  // 1: known
  };
  WritableRow EditRow(int row) {
    Edited(row);
    const std::size_t start = IndexOf(0, row);
    return {cells_.data() + start, known_.data() + start};
  }

  // Which frame this is, and its version: a count of every change to its
  // cells (set, forgotten, resized). Two looks at a frame that find the
  // same identity and version find the same cells. Each row keeps the
  // version of its own last change: a row whose version is as it was has
  // not changed.
  std::uint64_t id() const { return id_; }
  std::uint64_t version() const { return version_; }
  std::uint64_t RowVersion(int row) const { return row_versions_[static_cast<std::size_t>(row)]; }

  FrameCursor cursor;

 private:
  static std::uint64_t NewId();
  void Edited(int row) { row_versions_[static_cast<std::size_t>(row)] = ++version_; }

  int columns_ = 0;
  int rows_ = 0;
  std::vector<TermCell> cells_;
  std::vector<unsigned char> known_;
  std::uint64_t id_;
  std::uint64_t version_ = 0;
  std::vector<std::uint64_t> row_versions_;
};

}  // namespace vistamere::term
