// The picture in console block glyphs: which glyph and colours a cell takes
// for what the canvas has under it.
#include "win32/block_picture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

namespace vistamere::win32 {
namespace {

// ANSI indices (bit 0 red) of the standard console colours.
constexpr std::uint32_t kBlue = 4;  // console 1, 0x000080
constexpr std::uint32_t kBrightRed = 9;
constexpr std::uint32_t kBrightYellow = 11;
constexpr std::uint32_t kBrightGreen = 10;
constexpr std::uint32_t kWhite = 15;

using Painter = std::function<std::uint32_t(int x, int y)>;

picture::Canvas Paint(int width, int height, const Painter& rgb_at) {
  picture::Canvas canvas;
  canvas.Reset(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t rgb = rgb_at(x, y);
      std::uint8_t* p = canvas.Pixel(x, y);
      p[0] = static_cast<std::uint8_t>(rgb >> 16);
      p[1] = static_cast<std::uint8_t>(rgb >> 8);
      p[2] = static_cast<std::uint8_t>(rgb);
    }
  }
  return canvas;
}

ConsolePalette WithColour(int index, std::uint32_t rgb) {
  ConsolePalette palette = kStandardConsolePalette;
  palette[static_cast<std::size_t>(index)] = rgb;
  return palette;
}

TEST(BlockPicture, EachCellTakesTheGlyphAndColoursClosestToItsPixels) {
  const struct {
    std::string name;
    Painter paint;
    ConsolePalette palette;
    char32_t glyph;
    std::uint32_t fg;  // unused for a blank
    std::uint32_t bg;
    bool either_order;  // a half shade: fg and bg may change places
  } cases[] = {
      {"a console colour: a blank in it", [](int, int) { return 0x000080U; },
       kStandardConsolePalette, U' ', 0, kBlue, false},
      {"top and bottom differ: the upper half block",
       [](int, int y) { return y < 8 ? 0xFFFFFFU : 0x000080U; }, kStandardConsolePalette, U'\u2580',
       kWhite, kBlue, false},
      {"left and right differ: the left half block",
       [](int x, int) { return x < 8 ? 0xFF0000U : 0xFFFF00U; }, kStandardConsolePalette, U'\u258C',
       kBrightRed, kBrightYellow, false},
      {"a colour between two: the half shade of both", [](int, int) { return 0xFF8000U; },
       kStandardConsolePalette, U'\u2592', kBrightRed, kBrightYellow, true},
      {"the console's own colours count", [](int, int) { return 0xFF8000U; },
       WithColour(1, 0xFF8000), U' ', 0, kBlue, false},
  };
  for (const auto& c : cases) {
    const term::PictureCellGrid grid = RenderBlockPicture(Paint(16, 16, c.paint), 1, 1, c.palette);
    ASSERT_EQ(grid.cells.size(), 1U) << c.name;
    const term::PictureCell& cell = grid.cells[0];
    EXPECT_EQ(grid.mode, term::ColourMode::kIndexed16) << c.name;
    EXPECT_EQ(cell.glyph, c.glyph) << c.name;
    EXPECT_EQ(cell.bg, c.either_order && cell.bg == c.fg ? c.fg : c.bg) << c.name;
    if (c.glyph == U' ') continue;
    EXPECT_EQ(cell.fg, c.either_order && cell.bg == c.fg ? c.bg : c.fg) << c.name;
  }
}

TEST(BlockPicture, TheCanvasIsStretchedOverTheCellsInOrder) {
  // Three bands over three cells of a row, and a second row below.
  const picture::Canvas canvas =
      Paint(picture::kCanvasWidth, picture::kCanvasHeight, [](int x, int y) {
        if (y >= picture::kCanvasHeight / 2) return 0xFFFFFFU;
        return x < picture::kCanvasWidth / 3       ? 0xFF0000U
               : x < 2 * picture::kCanvasWidth / 3 ? 0x00FF00U
                                                   : 0x000080U;
      });
  const term::PictureCellGrid grid = RenderBlockPicture(canvas, 3, 2, kStandardConsolePalette);
  ASSERT_EQ(grid.columns, 3);
  ASSERT_EQ(grid.rows, 2);
  const std::uint32_t expected[2][3] = {{kBrightRed, kBrightGreen, kBlue},
                                        {kWhite, kWhite, kWhite}};
  for (int row = 0; row < 2; ++row) {
    for (int column = 0; column < 3; ++column) {
      EXPECT_EQ(grid.At(column, row).glyph, U' ') << column << "," << row;
      EXPECT_EQ(grid.At(column, row).bg, expected[row][column]) << column << "," << row;
    }
  }
  EXPECT_EQ(RenderBlockPicture(picture::Canvas{}, 2, 2, kStandardConsolePalette).cells.size(), 4U);
}

TEST(HalfBlockPicture, EachCellIsAnUpperHalfInItsHalvesMeanColours) {
  const struct {
    const char* what;
    Painter rgb_at;
    std::uint32_t top;
    std::uint32_t bottom;
  } cases[] = {
      {"halves", [](int, int y) { return y < 2 ? 0x123456u : 0xFEDCBAu; }, 0x123456, 0xFEDCBA},
      {"columns mixed", [](int x, int) { return x < 2 ? 0x000000u : 0xFF00FFu; }, 0x800080,
       0x800080},
  };
  for (const auto& c : cases) {
    // 4 x 4 pixels in one cell.
    const term::PictureCellGrid grid = RenderHalfBlockPicture(Paint(4, 4, c.rgb_at), 1, 1);
    ASSERT_EQ(grid.cells.size(), 1u) << c.what;
    EXPECT_EQ(grid.mode, term::ColourMode::kTrueColor) << c.what;
    EXPECT_EQ(grid.cells[0].glyph, U'\u2580') << c.what;
    EXPECT_EQ(grid.cells[0].fg, c.top) << c.what;
    EXPECT_EQ(grid.cells[0].bg, c.bottom) << c.what;
  }
}

}  // namespace
}  // namespace vistamere::win32
