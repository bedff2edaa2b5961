#include "term/graphics_mode.h"

namespace vistamere::term {
namespace {

GraphicsDecision Cells(std::string reason) {
  return {GraphicsDecision::Kind::kCells, {}, std::move(reason)};
}

}  // namespace

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

GraphicsDecision DecideGraphics(const GraphicsSettings& settings, const TerminalGraphics& terminal,
                                int columns, int rows) {
  switch (settings.choice) {
    case GraphicsChoice::kCells:
      return Cells("asked for with --graphics=cells");
    case GraphicsChoice::kSixel:
      return {GraphicsDecision::Kind::kSixel, terminal.cell.value_or(kAssumedCell),
              "asked for with --graphics=sixel"};
    case GraphicsChoice::kKitty:
      return {GraphicsDecision::Kind::kKitty, {}, "asked for with --graphics=kitty"};
    case GraphicsChoice::kAuto:
      break;
  }
  if (settings.multiplexer) return Cells("tmux or screen runs in between");
  if (terminal.kitty) {
    return {GraphicsDecision::Kind::kKitty, {}, "the terminal speaks the kitty graphics protocol"};
  }
  if (!terminal.sixel) return Cells("the terminal shows neither sixel nor kitty graphics");
  if (!terminal.cell) return Cells("the terminal does not give its size in pixels");
  const int width = columns * terminal.cell->width;
  const int height = rows * terminal.cell->height;
  if (width > kLargestSixelSide || height > kLargestSixelSide) {
    return Cells("the area would be " + std::to_string(width) + " x " + std::to_string(height) +
                 " pixels, more than " + std::to_string(kLargestSixelSide) + " on a side");
  }
  return {GraphicsDecision::Kind::kSixel, *terminal.cell, "the terminal lists sixel graphics"};
}

}  // namespace vistamere::term
