// The picture as character cells: each cell a block symbol with a
// foreground and a background colour, fitted to the canvas under it.
#pragma once

#include <cstdint>
#include <vector>

#include "picture/canvas.h"
#include "term/colour.h"

namespace vistamere::term {

struct PictureCell {
  char32_t glyph = U' ';
  // 0xRRGGBB when the grid's mode is true colour; a palette index (16-255)
  // in 256-colour mode; an ANSI colour (0-15) in 16-colour mode.
  std::uint32_t fg = 0;
  std::uint32_t bg = 0;

  friend bool operator==(const PictureCell&, const PictureCell&) = default;
};

struct PictureCellGrid {
  int columns = 0;
  int rows = 0;
  ColourMode mode = ColourMode::kTrueColor;
  std::vector<PictureCell> cells;  // rows * columns, row by row

  const PictureCell& At(int column, int row) const {
    return cells[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns) +
                 static_cast<std::size_t>(column)];
  }
  Colour Foreground(const PictureCell& cell) const { return ToColour(cell.fg); }
  Colour Background(const PictureCell& cell) const { return ToColour(cell.bg); }

 private:
  Colour ToColour(std::uint32_t value) const {
    switch (mode) {
      case ColourMode::kTrueColor:
        return Colour::Rgb(value);
      case ColourMode::kIndexed256:
        return Colour::Indexed(static_cast<int>(value));
      case ColourMode::kIndexed16:
        return Colour::Ansi(static_cast<int>(value));
    }
    return Colour::Default();
  }
};

// Readies libchafa for `mode` (the symbols' bitmaps, its worker threads) so
// that the first picture is drawn as fast as any other. Safe from any
// thread, and alongside RenderPictureCells.
void PreparePictureCells(ColourMode mode);

// Stretches the canvas over columns x rows cells (no aspect kept: the canvas
// already has the shape of the area): in 24-bit and 256 colours by
// FitBlockCells, in 16 by libchafa. An empty canvas gives black cells.
PictureCellGrid RenderPictureCells(const picture::Canvas& canvas, int columns, int rows,
                                   ColourMode mode);

}  // namespace vistamere::term
