#include "term/block_fit.h"

#include <chafa.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "toollibs/builtin_ballpark.h"

namespace vistamere::term {
namespace {

constexpr int kSide = picture::kSamplesPerCell;

// How much of sample (x, y) of a cell's 8 x 8 a block element (or the blank)
// covers with its foreground.
double Coverage(char32_t glyph, int x, int y) {
  if (glyph == U' ') return 0;
  if (glyph == 0x2580) return y < 4 ? 1 : 0;
  if (glyph >= 0x2581 && glyph <= 0x2588) return y >= 8 - static_cast<int>(glyph - 0x2580) ? 1 : 0;
  if (glyph >= 0x2589 && glyph <= 0x258F) return x < static_cast<int>(0x2590 - glyph) ? 1 : 0;
  if (glyph == 0x2590) return x >= 4 ? 1 : 0;
  if (glyph >= 0x2591 && glyph <= 0x2593) return 0.25 * static_cast<int>(glyph - 0x2590);
  if (glyph == 0x2594) return y < 1 ? 1 : 0;
  if (glyph == 0x2595) return x >= 7 ? 1 : 0;
  // U+2596-259F by the quarters they fill: 1 top left, 2 top right, 4
  // bottom left, 8 bottom right.
  static constexpr int kQuarters[] = {4,         8,         1, 1 | 4 | 8, 1 | 8,
                                      1 | 2 | 4, 1 | 2 | 8, 2, 2 | 4,     2 | 4 | 8};
  if (glyph >= 0x2596 && glyph <= 0x259F) {
    const int quarter = (y < 4 ? 1 : 4) << (x < 4 ? 0 : 1);
    return (kQuarters[glyph - 0x2596] & quarter) != 0 ? 1 : 0;
  }
  ADD_FAILURE() << "not a block element: U+" << std::hex << static_cast<int>(glyph);
  return 0;
}

// A grid colour as 0xRRGGBB: 256-colour entries as xterm has them (the
// themed 0-15 taken for black).
std::uint32_t RgbOf(std::uint32_t colour, ColourMode mode) {
  if (mode != ColourMode::kIndexed256) return colour;
  if (colour < 16) return 0;
  if (colour >= 232) return (8 + 10 * (colour - 232)) * 0x010101u;
  static constexpr std::uint32_t kLevels[] = {0, 95, 135, 175, 215, 255};
  const std::uint32_t cube = colour - 16;
  return kLevels[cube / 36] << 16 | kLevels[cube / 6 % 6] << 8 | kLevels[cube % 6];
}

// The root mean square difference per channel between the cells as a
// terminal draws them and a canvas of exactly 8 x 8 samples per cell.
double DrawnError(const PictureCellGrid& grid, const picture::Canvas& samples) {
  double error = 0;
  for (int row = 0; row < grid.rows; ++row) {
    for (int column = 0; column < grid.columns; ++column) {
      const PictureCell& cell = grid.At(column, row);
      const std::uint32_t fg = RgbOf(cell.fg, grid.mode);
      const std::uint32_t bg = RgbOf(cell.bg, grid.mode);
      for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
          const double cover = Coverage(cell.glyph, x, y);
          const std::uint8_t* wanted = samples.Pixel(column * kSide + x, row * kSide + y);
          for (int channel = 0; channel < 3; ++channel) {
            const int shift = 16 - 8 * channel;
            const double drawn =
                cover * ((fg >> shift) & 0xFF) + (1 - cover) * ((bg >> shift) & 0xFF);
            error += (drawn - wanted[channel]) * (drawn - wanted[channel]);
          }
        }
      }
    }
  }
  return std::sqrt(error / (grid.rows * grid.columns * kSide * kSide * 3));
}

picture::Canvas Painted(int width, int height,
                        const std::function<std::uint32_t(int, int)>& colour_at) {
  picture::Canvas canvas;
  canvas.Reset(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t colour = colour_at(x, y);
      std::uint8_t* pixel = canvas.Pixel(x, y);
      pixel[0] = static_cast<std::uint8_t>(colour >> 16);
      pixel[1] = static_cast<std::uint8_t>(colour >> 8);
      pixel[2] = static_cast<std::uint8_t>(colour);
    }
  }
  return canvas;
}

// Every way the block elements split a cell, painted in two colours into
// one cell of a canvas of exactly 8 x 8 samples per cell: drawn, the cells
// give the canvas back exactly.
TEST(FitBlockCells, EverySplitOfACellIsDrawnExactly) {
  struct Split {
    std::string name;
    std::function<bool(int, int)> in_part;
  };
  std::vector<Split> splits = {
      {"uniform", [](int, int) { return false; }},
      {"top left quarter", [](int x, int y) { return x < 4 && y < 4; }},
      {"top right quarter", [](int x, int y) { return x >= 4 && y < 4; }},
      {"bottom left quarter", [](int x, int y) { return x < 4 && y >= 4; }},
      {"bottom right quarter", [](int x, int y) { return x >= 4 && y >= 4; }},
      {"diagonal quarters", [](int x, int y) { return (x < 4) == (y < 4); }},
      {"three quarters", [](int x, int y) { return x < 4 || y < 4; }}};
  for (int n = 1; n < kSide; ++n) {
    splits.push_back(
        {"lower " + std::to_string(n) + "/8", [n](int, int y) { return y >= kSide - n; }});
    splits.push_back({"left " + std::to_string(n) + "/8", [n](int x, int) { return x < n; }});
  }
  for (const Split& split : splits) {
    SCOPED_TRACE(split.name);
    // Three cells by two; the split in the middle of the top row, the rest
    // in the second colour.
    const picture::Canvas canvas = Painted(3 * kSide, 2 * kSide, [&](int x, int y) {
      const bool middle = x >= kSide && x < 2 * kSide && y < kSide;
      return middle && split.in_part(x - kSide, y) ? 0xE0401Cu : 0x1C60B0u;
    });
    const PictureCellGrid grid = FitBlockCells(canvas, 3, 2, ColourMode::kTrueColor);

    ASSERT_EQ(grid.cells.size(), 6u);
    EXPECT_EQ(grid.mode, ColourMode::kTrueColor);
    EXPECT_EQ(DrawnError(grid, canvas), 0.0)
        << "U+" << std::hex << static_cast<int>(grid.At(1, 0).glyph);
    EXPECT_EQ(grid.At(0, 1), (PictureCell{U' ', 0x1C60B0, 0x1C60B0}));
  }
}

// libchafa's cells over the same symbols (the block elements and the blank)
// and colours (24-bit, or palette entries 16-255) at a moderate work factor.
PictureCellGrid ChafaCells(const picture::Canvas& canvas, int columns, int rows, ColourMode mode) {
  ChafaSymbolMap* symbols = chafa_symbol_map_new();
  chafa_symbol_map_add_by_tags(
      symbols, static_cast<ChafaSymbolTags>(CHAFA_SYMBOL_TAG_BLOCK | CHAFA_SYMBOL_TAG_SPACE));
  ChafaCanvasConfig* config = chafa_canvas_config_new();
  chafa_canvas_config_set_canvas_mode(config, mode == ColourMode::kTrueColor
                                                  ? CHAFA_CANVAS_MODE_TRUECOLOR
                                                  : CHAFA_CANVAS_MODE_INDEXED_240);
  chafa_canvas_config_set_symbol_map(config, symbols);
  chafa_canvas_config_set_work_factor(config, 0.5f);
  chafa_canvas_config_set_geometry(config, columns, rows);
  ChafaCanvas* cells = chafa_canvas_new(config);
  chafa_canvas_draw_all_pixels(cells, CHAFA_PIXEL_RGB8, canvas.rgb.data(), canvas.width,
                               canvas.height, canvas.width * 3);
  PictureCellGrid grid{columns, rows, mode, {}};
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      gint fg = 0;
      gint bg = 0;
      chafa_canvas_get_raw_colors_at(cells, column, row, &fg, &bg);
      grid.cells.push_back({static_cast<char32_t>(chafa_canvas_get_char_at(cells, column, row)),
                            static_cast<std::uint32_t>(std::max(fg, 0)),
                            static_cast<std::uint32_t>(std::max(bg, 0))});
    }
  }
  chafa_canvas_unref(cells);
  chafa_canvas_config_unref(config);
  chafa_symbol_map_unref(symbols);
  return grid;
}

// A canvas whose size is a whole number of cells' samples is its own 8 x 8
// sampling; on pictures of several kinds, in 24-bit colour and in the
// palette, the fitted cells come closer to it than libchafa's do.
TEST(FitBlockCells, ComesCloserToThePictureThanLibchafa) {
  constexpr int kColumns = 102;
  constexpr int kRows = 34;
  constexpr int kWidth = kColumns * kSide;
  constexpr int kHeight = kRows * kSide;
  picture::Canvas ballpark;
  ballpark.Reset(kWidth, kHeight);
  DrawBuiltinBallpark(ballpark);
  const std::pair<std::string, picture::Canvas> pictures[] = {
      {"built-in ballpark", ballpark},
      {"smooth gradient", Painted(kWidth, kHeight,
                                  [](int x, int y) {
                                    return static_cast<std::uint32_t>(
                                        (60 + x * 150 / kWidth) << 16 |
                                        (50 + y * 150 / kHeight) << 8 | (170 - x * 100 / kWidth));
                                  })},
      {"rings and noise", Painted(kWidth, kHeight, [](int x, int y) {
         const double radius = std::hypot(x - 300.0, (y - 140.0) * 2);
         const auto noise = static_cast<std::uint32_t>((x * 7919 + y * 104729) % 41);
         const auto level = static_cast<std::uint32_t>(128 + 100 * std::sin(radius / 9)) + noise;
         return std::min(level, 255u) << 16 | (255 - std::min(level, 255u)) << 8 | noise * 4;
       })}};
  for (const ColourMode mode : {ColourMode::kTrueColor, ColourMode::kIndexed256}) {
    const std::string colours = mode == ColourMode::kTrueColor ? ", 24-bit" : ", 256 colours";
    for (const auto& [name, canvas] : pictures) {
      const double fitted = DrawnError(FitBlockCells(canvas, kColumns, kRows, mode), canvas);
      const double chafa = DrawnError(ChafaCells(canvas, kColumns, kRows, mode), canvas);
      EXPECT_LE(fitted, chafa) << name << colours;
      RecordProperty(name + colours,
                     std::to_string(fitted) + " vs libchafa " + std::to_string(chafa));
    }
  }
}

}  // namespace
}  // namespace vistamere::term
