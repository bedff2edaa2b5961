// The picture in console block glyphs: which glyph and colours a cell takes
// for what the canvas has under it.
#include "win32/block_picture.h"

#include "toollibs/builtin_ballpark.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
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

// What a cell shows in each of its four quarters (top left, top right,
// bottom left, bottom right), as 0xRRGGBB.
std::array<std::uint32_t, 4> SeenQuarters(const term::PictureCell& cell) {
  const auto colour = [](std::uint32_t ansi) {
    // ANSI order (bit 0 red) to the console's (bit 0 blue).
    const std::uint32_t console = ((ansi & 1) << 2) | (ansi & 2) | ((ansi & 4) >> 2) | (ansi & 8);
    return kStandardConsolePalette[console];
  };
  const std::uint32_t fg = colour(cell.fg);
  const std::uint32_t bg = colour(cell.bg);
  const auto mix = [](std::uint32_t a, std::uint32_t b, double share_of_a) {
    std::uint32_t out = 0;
    for (const int shift : {16, 8, 0}) {
      const double value =
          share_of_a * ((a >> shift) & 0xFF) + (1 - share_of_a) * ((b >> shift) & 0xFF);
      out |= static_cast<std::uint32_t>(value + 0.5) << shift;
    }
    return out;
  };
  switch (cell.glyph) {
    case U'\u2580':
      return {fg, fg, bg, bg};
    case U'\u258C':
      return {fg, bg, fg, bg};
    case U'\u2591':
    case U'\u2592':
    case U'\u2593': {
      const double share = cell.glyph == U'\u2591' ? 0.25 : cell.glyph == U'\u2592' ? 0.5 : 0.75;
      const std::uint32_t seen = mix(fg, bg, share);
      return {seen, seen, seen, seen};
    }
    default:
      return {bg, bg, bg, bg};
  }
}

// The mean difference per channel (0-255) between what the cells show,
// quarter by quarter, and the canvas's mean colour in each quarter.
double QuarterError(const picture::Canvas& canvas, const term::PictureCellGrid& grid) {
  double total = 0;
  long count = 0;
  for (int row = 0; row < grid.rows; ++row) {
    for (int column = 0; column < grid.columns; ++column) {
      const int x0 = column * canvas.width / grid.columns;
      const int x2 = (column + 1) * canvas.width / grid.columns;
      const int y0 = row * canvas.height / grid.rows;
      const int y2 = (row + 1) * canvas.height / grid.rows;
      const int xs[3] = {x0, (x0 + x2) / 2, x2};
      const int ys[3] = {y0, (y0 + y2) / 2, y2};
      const std::array<std::uint32_t, 4> seen = SeenQuarters(grid.At(column, row));
      for (int quarter = 0; quarter < 4; ++quarter) {
        const int qx = quarter % 2;
        const int qy = quarter / 2;
        double sum[3] = {0, 0, 0};
        int pixels = 0;
        for (int y = ys[qy]; y < ys[qy + 1]; ++y) {
          for (int x = xs[qx]; x < xs[qx + 1]; ++x, ++pixels) {
            for (int c = 0; c < 3; ++c) sum[c] += canvas.Pixel(x, y)[c];
          }
        }
        if (pixels == 0) continue;
        for (int c = 0; c < 3; ++c) {
          const double shown = (seen[static_cast<std::size_t>(quarter)] >> (16 - 8 * c)) & 0xFF;
          total += std::abs(shown - sum[c] / pixels);
          ++count;
        }
      }
    }
  }
  return total / static_cast<double>(count);
}

// Each cell blank, in the console colour nearest its mean: the best one
// colour per cell can do.
term::PictureCellGrid BlanksOnly(const picture::Canvas& canvas, int columns, int rows) {
  term::PictureCellGrid grid;
  grid.columns = columns;
  grid.rows = rows;
  grid.mode = term::ColourMode::kIndexed16;
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      double sum[3] = {0, 0, 0};
      int pixels = 0;
      for (int y = row * canvas.height / rows; y < (row + 1) * canvas.height / rows; ++y) {
        for (int x = column * canvas.width / columns; x < (column + 1) * canvas.width / columns;
             ++x, ++pixels) {
          for (int c = 0; c < 3; ++c) sum[c] += canvas.Pixel(x, y)[c];
        }
      }
      std::uint32_t best = 0;
      double best_distance = 1e18;
      for (std::uint32_t ansi = 0; ansi < 16; ++ansi) {
        const std::uint32_t rgb = SeenQuarters(term::PictureCell{U' ', 0, ansi})[0];
        double distance = 0;
        for (int c = 0; c < 3; ++c) {
          const double d = ((rgb >> (16 - 8 * c)) & 0xFF) - sum[c] / pixels;
          distance += d * d;
        }
        if (distance < best_distance) {
          best_distance = distance;
          best = ansi;
        }
      }
      grid.cells.push_back(term::PictureCell{U' ', 0, best});
    }
  }
  return grid;
}

// On pictures like the ones it gets (the built-in ballpark; a photo-like
// field of smooth colour with a camera's noise), the renderer comes within
// a bound of the reduced picture, and well below the best a single console
// colour per cell can do.
// Measured: 17.2 and 14.8 (one colour per cell: 38.9 and 31.7).
constexpr double kBallparkBound = 20;
constexpr double kFieldBound = 18;

TEST(BlockPicture, ComesCloseToRealPictures) {
  picture::Canvas ballpark;
  DrawBuiltinBallpark(ballpark);
  std::uint32_t seed = 7;
  const picture::Canvas field =
      Paint(picture::kCanvasWidth, picture::kCanvasHeight, [&](int x, int y) {
        seed = seed * 1103515245U + 12345U;
        const int noise = static_cast<int>((seed >> 16) % 25) - 12;
        const auto channel = [noise](double value) {
          return static_cast<std::uint32_t>(std::clamp(value + noise, 0.0, 255.0));
        };
        const double u = x / 1023.0;
        const double v = y / 511.0;
        return (channel(60 + 150 * u) << 16) | (channel(170 - 120 * v + 30 * u) << 8) |
               channel(200 - 140 * u * v);
      });
  const struct {
    const char* name;
    const picture::Canvas& canvas;
    double bound;
  } cases[] = {{"built-in ballpark", ballpark, kBallparkBound},
               {"photo-like field", field, kFieldBound}};
  for (const auto& c : cases) {
    const term::PictureCellGrid blocks =
        RenderBlockPicture(c.canvas, 102, 34, kStandardConsolePalette);
    const double error = QuarterError(c.canvas, blocks);
    const double one_colour = QuarterError(c.canvas, BlanksOnly(c.canvas, 102, 34));
    std::printf("%s: %.1f per channel (one colour per cell: %.1f)\n", c.name, error, one_colour);
    EXPECT_LE(error, c.bound) << c.name;
    EXPECT_LT(error, one_colour * 0.8) << c.name;
  }
}

}  // namespace
}  // namespace vistamere::win32
