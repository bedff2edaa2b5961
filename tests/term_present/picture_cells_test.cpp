#include "term/picture_cells.h"

#include <gtest/gtest.h>

#include <array>

namespace vistamere::term {
namespace {

struct Rgb {
  int r, g, b;
};

// The xterm 256-colour palette, 16-255 (the picture never uses the themed 0-15).
Rgb PaletteRgb(std::uint32_t index) {
  if (index >= 232) {
    const int grey = 8 + 10 * static_cast<int>(index - 232);
    return {grey, grey, grey};
  }
  constexpr std::array<int, 6> kLevels = {0, 95, 135, 175, 215, 255};
  const int cube = static_cast<int>(index) - 16;
  return {kLevels[static_cast<std::size_t>(cube / 36)],
          kLevels[static_cast<std::size_t>(cube / 6 % 6)],
          kLevels[static_cast<std::size_t>(cube % 6)]};
}

// An ANSI colour by its bits, as the terminal numbers them: 1 red, 2 green,
// 4 blue; 8 bright.
Rgb AnsiRgb(std::uint32_t index) {
  const int on = index >= 8 ? 255 : 205;
  return {index & 1 ? on : 0, index & 2 ? on : 0, index & 4 ? on : 0};
}

Rgb ColourOf(std::uint32_t value, ColourMode mode) {
  if (mode == ColourMode::kIndexed256) return PaletteRgb(value);
  if (mode == ColourMode::kIndexed16) return AnsiRgb(value);
  return {static_cast<int>(value >> 16 & 0xFF), static_cast<int>(value >> 8 & 0xFF),
          static_cast<int>(value & 0xFF)};
}

bool IsBlockOrSpace(char32_t glyph) {
  return glyph == U' ' || (glyph >= 0x2580 && glyph <= 0x259F);
}

picture::Canvas RedLeftBlueRight() {
  picture::Canvas canvas;
  canvas.Reset(picture::kCanvasWidth, picture::kCanvasHeight);
  for (int y = 0; y < canvas.height; ++y) {
    for (int x = 0; x < canvas.width; ++x) {
      std::uint8_t* pixel = canvas.Pixel(x, y);
      pixel[0] = x < canvas.width / 2 ? 220 : 10;
      pixel[2] = x < canvas.width / 2 ? 10 : 220;
    }
  }
  return canvas;
}

class PictureCellsTest : public ::testing::TestWithParam<ColourMode> {};

TEST_P(PictureCellsTest, HalvesKeepTheirColours) {
  const ColourMode mode = GetParam();
  const PictureCellGrid grid = RenderPictureCells(RedLeftBlueRight(), 102, 34, mode);

  ASSERT_EQ(grid.columns, 102);
  ASSERT_EQ(grid.rows, 34);
  ASSERT_EQ(grid.cells.size(), 102u * 34u);
  EXPECT_EQ(grid.mode, mode);
  for (int row = 0; row < 34; ++row) {
    for (int column = 0; column < 102; ++column) {
      const PictureCell& cell = grid.At(column, row);
      EXPECT_TRUE(IsBlockOrSpace(cell.glyph)) << std::hex << static_cast<int>(cell.glyph);
      if (mode == ColourMode::kIndexed256) {
        EXPECT_GE(cell.bg, 16u);
        EXPECT_LE(cell.bg, 255u);
      }
      if (mode == ColourMode::kIndexed16) {
        EXPECT_LE(cell.bg, 15u);
      }
      if (column > 1 && column < 49) {
        // A uniform cell shows its background where the glyph leaves it.
        const Rgb shown = ColourOf(cell.glyph == U' ' ? cell.bg : cell.fg, mode);
        EXPECT_GT(shown.r, 150) << column << "," << row;
        EXPECT_LT(shown.b, 60) << column << "," << row;
      } else if (column > 52 && column < 100) {
        const Rgb shown = ColourOf(cell.glyph == U' ' ? cell.bg : cell.fg, mode);
        EXPECT_GT(shown.b, 150) << column << "," << row;
        EXPECT_LT(shown.r, 60) << column << "," << row;
      }
    }
  }
}

TEST_P(PictureCellsTest, EmptyCanvasGivesBlackCells) {
  const PictureCellGrid grid = RenderPictureCells(picture::Canvas{}, 10, 4, GetParam());

  ASSERT_EQ(grid.cells.size(), 40u);
  for (const PictureCell& cell : grid.cells) {
    EXPECT_EQ(cell.glyph, U' ');
    const Rgb shown = ColourOf(cell.bg, GetParam());
    EXPECT_EQ(shown.r + shown.g + shown.b, 0);
  }
}

TEST_P(PictureCellsTest, HorizontalEdgeInsideACellUsesABlockSymbol) {
  // Rows 0-255 white, 256-511 black over 9 cell rows: the middle cell row
  // is half white, half black.
  picture::Canvas canvas;
  canvas.Reset(picture::kCanvasWidth, picture::kCanvasHeight);
  for (int y = 0; y < canvas.height / 2; ++y) {
    for (int x = 0; x < canvas.width; ++x) {
      std::uint8_t* pixel = canvas.Pixel(x, y);
      pixel[0] = pixel[1] = pixel[2] = 255;
    }
  }
  const PictureCellGrid grid = RenderPictureCells(canvas, 20, 9, GetParam());

  const PictureCell& middle = grid.At(10, 4);
  EXPECT_NE(middle.glyph, U' ');
  EXPECT_NE(middle.fg, middle.bg);
}

INSTANTIATE_TEST_SUITE_P(Modes, PictureCellsTest,
                         ::testing::Values(ColourMode::kTrueColor, ColourMode::kIndexed256,
                                           ColourMode::kIndexed16),
                         [](const auto& p) {
                           return p.param == ColourMode::kTrueColor    ? "TrueColor"
                                  : p.param == ColourMode::kIndexed256 ? "Indexed"
                                                                       : "Ansi";
                         });

}  // namespace
}  // namespace vistamere::term
