// Small helpers that put the program's screen into the states the tests need.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "console/screen_buffer.h"
#include "term/picture_cells.h"

namespace vistamere::term::testing {

inline constexpr int kColumns = 102;
inline constexpr int kRows = 40;

// What the program's ClearScreen leaves: every cell a written blank, 0x07.
inline void ClearBuffer(ScreenBuffer& buffer) {
  const int count = buffer.columns() * buffer.rows();
  buffer.FillOutputCharacter(' ', count, 0, 0);
  buffer.FillOutputAttribute(0x07, count, 0, 0);
}

inline void WriteText(ScreenBuffer& buffer, int column, int row, std::string_view text,
                      std::uint8_t attribute = 0x07) {
  std::vector<Cell> cells;
  for (const char c : text) cells.push_back(Cell{static_cast<std::uint8_t>(c), attribute});
  buffer.WriteOutput(column, row, cells);
}

// A picture whose every cell differs from its neighbours, like a photograph.
inline PictureCellGrid GradientPicture(int columns, int rows, ColourMode mode, int seed = 0) {
  PictureCellGrid grid;
  grid.columns = columns;
  grid.rows = rows;
  grid.mode = mode;
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      const auto r = static_cast<std::uint32_t>((column * 5 + seed) & 0xFF);
      const auto g = static_cast<std::uint32_t>((row * 7 + seed) & 0xFF);
      const auto b = static_cast<std::uint32_t>((column + row + seed) * 3 & 0xFF);
      const char32_t glyph = U"\u2580\u2584\u258C\u2590 \u2596"[(column + row + seed) % 6];
      if (mode == ColourMode::kTrueColor) {
        grid.cells.push_back(
            PictureCell{glyph, (r << 16) | (g << 8) | b, (b << 16) | (r << 8) | g});
      } else {
        grid.cells.push_back(PictureCell{glyph, 16 + (r + g) % 240, 16 + (b + g) % 240});
      }
    }
  }
  return grid;
}

}  // namespace vistamere::term::testing
