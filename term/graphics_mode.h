// How the picture reaches the terminal: as character cells, which every
// terminal shows, or in real pixels as sixel images where the terminal
// shows them and the area fits.
#pragma once

#include <optional>
#include <string>

#include "term/sixel_picture.h"

namespace vistamere::term {

enum class GraphicsChoice { kAuto, kCells, kSixel };

// What is known before the terminal is asked.
struct GraphicsSettings {
  GraphicsChoice choice = GraphicsChoice::kAuto;
  // Running inside tmux or screen, which drop or garble images.
  bool multiplexer = false;
};

// Whether TERM, TMUX and STY say a terminal multiplexer runs in between.
bool InsideMultiplexer(const std::string& term, bool tmux_set, bool sty_set);

// xterm draws no image larger than this on either side (its default
// maxGraphicSize); other terminals allow more.
inline constexpr int kLargestSixelSide = 1000;
// The cell size assumed when sixel images are asked for and the terminal
// does not give its size in pixels.
inline constexpr CellPixels kAssumedCell{10, 20};

// The cell size, or nothing when the terminal does not say.
std::optional<CellPixels> CellSize(int columns, int rows, int pixel_width, int pixel_height);

// The cell size sixel images are drawn for, or nothing for cells: asked
// for, or chosen when the terminal lists sixel graphics, no multiplexer is
// in between, its cell size is known and an area of `columns` x `rows`
// cells fits the largest image.
std::optional<CellPixels> SixelCell(const GraphicsSettings& settings, bool terminal_has_sixel,
                                    std::optional<CellPixels> cell, int columns, int rows);

}  // namespace vistamere::term
