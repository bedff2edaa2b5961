#include "term/picture_cells.h"

#include <chafa.h>

#include <array>
#include <memory>

#include "term/block_fit.h"

namespace vistamere::term {
namespace {

struct ChafaUnref {
  void operator()(ChafaSymbolMap* map) const { chafa_symbol_map_unref(map); }
  void operator()(ChafaCanvasConfig* config) const { chafa_canvas_config_unref(config); }
  void operator()(ChafaCanvas* canvas) const { chafa_canvas_unref(canvas); }
};

template <typename T>
using ChafaPtr = std::unique_ptr<T, ChafaUnref>;

// Symbols: the space and the block elements U+2580-U+259F (halves,
// quadrants, eighths). Every font with box drawing has them (DejaVu Sans
// Mono draws them edge to edge), they are one cell wide everywhere, and
// they tile without seams, so a picture stays a picture rather than texture.
// Braille, sextants and wedges are missing from common fonts or leave gaps;
// shades and the stipple symbols look noisy on photographs.
ChafaPtr<ChafaSymbolMap> MakeSymbolMap() {
  ChafaPtr<ChafaSymbolMap> map(chafa_symbol_map_new());
  chafa_symbol_map_add_by_tags(
      map.get(), static_cast<ChafaSymbolTags>(CHAFA_SYMBOL_TAG_BLOCK | CHAFA_SYMBOL_TAG_SPACE));
  return map;
}

constexpr ColourMode kModes[] = {ColourMode::kTrueColor, ColourMode::kIndexed256,
                                 ColourMode::kIndexed16};

std::size_t ModeIndex(ColourMode mode) {
  switch (mode) {
    case ColourMode::kTrueColor:
      return 0;
    case ColourMode::kIndexed256:
      return 1;
    case ColourMode::kIndexed16:
      return 2;
  }
  return 0;
}

// In 256-colour mode the picture keeps to palette entries 16-255: the first
// sixteen are the user's theme and may be anything. In 16-colour mode they
// are all there is; libchafa's indices 0-15 are the ANSI colours in their
// usual order (0-7 normal, 8-15 bright), as SGR 30-37 and 90-97 select them.
ChafaCanvasMode CanvasModeFor(ColourMode mode) {
  switch (mode) {
    case ColourMode::kTrueColor:
      return CHAFA_CANVAS_MODE_TRUECOLOR;
    case ColourMode::kIndexed256:
      return CHAFA_CANVAS_MODE_INDEXED_240;
    case ColourMode::kIndexed16:
      return CHAFA_CANVAS_MODE_INDEXED_16;
  }
  return CHAFA_CANVAS_MODE_TRUECOLOR;
}

// The symbol map and the canvas settings are the same for every picture:
// made once (libchafa prepares the symbols' bitmaps on first use) and kept
// for the life of the program.
ChafaCanvasConfig* SharedConfig(ColourMode mode) {
  static const std::array<ChafaCanvasConfig*, std::size(kModes)> configs = [] {
    ChafaPtr<ChafaSymbolMap> symbols = MakeSymbolMap();
    std::array<ChafaCanvasConfig*, std::size(kModes)> made{};
    for (ColourMode each : kModes) {
      ChafaCanvasConfig* config = chafa_canvas_config_new();
      chafa_canvas_config_set_canvas_mode(config, CanvasModeFor(each));
      chafa_canvas_config_set_pixel_mode(config, CHAFA_PIXEL_MODE_SYMBOLS);
      chafa_canvas_config_set_symbol_map(config, symbols.get());  // copies it
      // A moderate symbol search: a few milliseconds for the whole area.
      chafa_canvas_config_set_work_factor(config, 0.5f);
      made[ModeIndex(each)] = config;
    }
    return made;
  }();
  return configs[ModeIndex(mode)];
}

// Black as the mode writes it.
std::uint32_t Black(ColourMode mode) {
  return mode == ColourMode::kIndexed256 ? 16u : 0u;
}

std::uint32_t OpaqueColour(gint colour) {
  // -1: a colour the cell does not show (a blank's foreground); black.
  return colour < 0 ? 0 : static_cast<std::uint32_t>(colour);
}

}  // namespace

void PreparePictureCells(ColourMode mode) {
  if (mode != ColourMode::kIndexed16) return;  // nothing of libchafa's is used
  picture::Canvas canvas;
  canvas.Reset(16, 16);
  RenderPictureCells(canvas, 2, 2, mode);
}

PictureCellGrid RenderPictureCells(const picture::Canvas& canvas, int columns, int rows,
                                   ColourMode mode) {
  // In 24-bit colour and in the xterm palette every split of a cell can be
  // weighed exactly, in a fraction of the time libchafa's search takes;
  // libchafa is for the 16 colours, whose shades are the user's theme's.
  if (mode != ColourMode::kIndexed16) return FitBlockCells(canvas, columns, rows, mode);
  PictureCellGrid grid;
  grid.mode = mode;
  if (columns <= 0 || rows <= 0) return grid;
  grid.columns = columns;
  grid.rows = rows;
  const PictureCell black{U' ', 0, Black(mode)};
  grid.cells.assign(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows), black);
  if (canvas.width <= 0 || canvas.height <= 0 ||
      canvas.rgb.size() <
          static_cast<std::size_t>(canvas.width) * static_cast<std::size_t>(canvas.height) * 3) {
    return grid;
  }

  // The shared settings with this size: a config is copied, not shared, by
  // the canvas made from it.
  ChafaPtr<ChafaCanvasConfig> config(chafa_canvas_config_copy(SharedConfig(mode)));
  chafa_canvas_config_set_geometry(config.get(), columns, rows);
  ChafaPtr<ChafaCanvas> cells(chafa_canvas_new(config.get()));
  chafa_canvas_draw_all_pixels(cells.get(), CHAFA_PIXEL_RGB8, canvas.rgb.data(), canvas.width,
                               canvas.height, canvas.width * 3);

  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      gint fg = 0;
      gint bg = 0;
      // The raw colours are palette indices in the indexed modes and RGB in true colour.
      chafa_canvas_get_raw_colors_at(cells.get(), column, row, &fg, &bg);
      PictureCell& cell =
          grid.cells[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns) +
                     static_cast<std::size_t>(column)];
      cell.glyph = static_cast<char32_t>(chafa_canvas_get_char_at(cells.get(), column, row));
      cell.fg = OpaqueColour(fg);
      cell.bg = OpaqueColour(bg);
    }
  }
  return grid;
}

}  // namespace vistamere::term
