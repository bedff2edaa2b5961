// The picture in real pixels for terminals that show sixel graphics: the
// canvas stretched to the graphics area's exact pixel size, reduced once to
// a palette of 256 colours with an ordered dither, and encoded as sixel
// images on demand: the whole area, or a run of cells of one row (a patch
// that brings the picture back where a label has left it). Every patch
// shows exactly the pixels the whole image shows there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "picture/canvas.h"

namespace vistamere::term {

struct CellPixels {
  int width = 0;
  int height = 0;

  friend bool operator==(const CellPixels&, const CellPixels&) = default;
};

class SixelPicture {
 public:
  // How many colour registers the images use; the terminal is asked for as
  // many (xterm starts with 16 in its VT340 mode).
  static constexpr int kColourRegisters = 256;

  // Stretches `canvas` over columns x rows cells of `cell` pixels each. An
  // empty canvas gives a black picture.
  SixelPicture(const picture::Canvas& canvas, int columns, int rows, CellPixels cell);

  int columns() const { return columns_; }
  int rows() const { return rows_; }
  CellPixels cell() const { return cell_; }

  // The whole area as one image, drawn from the cursor's cell on.
  void AppendWhole(std::string& out) const;
  // `count` cells of area row `row` from area column `column` on, drawn from
  // the cursor's cell on; nothing outside them changes.
  void AppendCells(int column, int row, int count, std::string& out) const;

  // The palette index of pixel (x, y) of the area, for tests.
  std::uint8_t IndexAt(int x, int y) const {
    return indices_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                    static_cast<std::size_t>(x)];
  }
  // The palette entry `index` as 0xRRGGBB.
  static std::uint32_t PaletteColour(int index);

 private:
  void AppendImage(int x, int y, int width, int height, std::string& out) const;

  int columns_;
  int rows_;
  CellPixels cell_;
  int width_;                          // in pixels
  int height_;                         // in pixels
  std::vector<std::uint8_t> indices_;  // width_ * height_ palette indices
};

}  // namespace vistamere::term
