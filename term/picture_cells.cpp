#include "term/picture_cells.h"

#include <chafa.h>

#include <array>
#include <memory>

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

// In 256-colour mode the picture keeps to palette entries 16-255: the first
// sixteen are the user's theme and may be anything.
ChafaCanvasMode CanvasModeFor(ColourMode mode) {
  return mode == ColourMode::kTrueColor ? CHAFA_CANVAS_MODE_TRUECOLOR
                                        : CHAFA_CANVAS_MODE_INDEXED_240;
}

// The symbol map and the canvas settings are the same for every picture:
// made once (libchafa prepares the symbols' bitmaps on first use) and kept
// for the life of the program.
ChafaCanvasConfig* SharedConfig(ColourMode mode) {
  static const std::array<ChafaCanvasConfig*, 2> configs = [] {
    ChafaPtr<ChafaSymbolMap> symbols = MakeSymbolMap();
    std::array<ChafaCanvasConfig*, 2> made{};
    for (ColourMode each : {ColourMode::kTrueColor, ColourMode::kIndexed256}) {
      ChafaCanvasConfig* config = chafa_canvas_config_new();
      chafa_canvas_config_set_canvas_mode(config, CanvasModeFor(each));
      chafa_canvas_config_set_pixel_mode(config, CHAFA_PIXEL_MODE_SYMBOLS);
      chafa_canvas_config_set_symbol_map(config, symbols.get());  // copies it
      // A moderate symbol search: a few milliseconds for the whole area.
      chafa_canvas_config_set_work_factor(config, 0.5f);
      made[each == ColourMode::kTrueColor ? 0 : 1] = config;
    }
    return made;
  }();
  return configs[mode == ColourMode::kTrueColor ? 0 : 1];
}

std::uint32_t OpaqueColour(gint colour) {
  // Transparency (-1) cannot come from RGB pixels; show black if it did.
  return colour < 0 ? 0 : static_cast<std::uint32_t>(colour);
}

}  // namespace

void PreparePictureCells() {
  picture::Canvas canvas;
  canvas.Reset(16, 16);
  for (ColourMode mode : {ColourMode::kTrueColor, ColourMode::kIndexed256}) {
    RenderPictureCells(canvas, 2, 2, mode);
  }
}

PictureCellGrid RenderPictureCells(const picture::Canvas& canvas, int columns, int rows,
                                   ColourMode mode) {
  PictureCellGrid grid;
  grid.mode = mode;
  if (columns <= 0 || rows <= 0) return grid;
  grid.columns = columns;
  grid.rows = rows;
  const PictureCell black{U' ', 0, mode == ColourMode::kTrueColor ? 0u : 16u};
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
