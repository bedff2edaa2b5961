#include "term/graphics_mode.h"

namespace vistamere::term {

bool InsideMultiplexer(const std::string& term, bool tmux_set, bool sty_set) {
  return tmux_set || sty_set || term.starts_with("screen") || term.starts_with("tmux");
}

std::optional<CellPixels> CellSize(int columns, int rows, int pixel_width, int pixel_height) {
  if (columns <= 0 || rows <= 0 || pixel_width < columns || pixel_height < rows) {
    return std::nullopt;
  }
  // Some terminals count their border in: the floor drops it.
  return CellPixels{pixel_width / columns, pixel_height / rows};
}

std::optional<CellPixels> SixelCell(const GraphicsSettings& settings, bool terminal_has_sixel,
                                    std::optional<CellPixels> cell, int columns, int rows) {
  switch (settings.choice) {
    case GraphicsChoice::kCells:
      return std::nullopt;
    case GraphicsChoice::kSixel:
      return cell.value_or(kAssumedCell);
    case GraphicsChoice::kAuto:
      break;
  }
  if (!terminal_has_sixel || settings.multiplexer || !cell) return std::nullopt;
  if (columns * cell->width > kLargestSixelSide || rows * cell->height > kLargestSixelSide) {
    return std::nullopt;
  }
  return cell;
}

}  // namespace vistamere::term
