// How the picture reaches the terminal: as character cells, which every
// terminal shows, or in real pixels (sixel images, or the kitty graphics
// protocol) where the terminal shows them and the area fits.
#pragma once

#include <optional>
#include <string>

#include "term/sixel_picture.h"

namespace vistamere::term {

enum class GraphicsChoice { kAuto, kCells, kSixel, kKitty };

// What is known before the terminal is asked.
struct GraphicsSettings {
  GraphicsChoice choice = GraphicsChoice::kAuto;
  // Running inside tmux or screen, which drop or garble images.
  bool multiplexer = false;
};

// What the terminal says about itself.
struct TerminalGraphics {
  bool sixel = false;              // its device attributes list sixel graphics
  bool kitty = false;              // it answered the kitty graphics query with OK
  std::optional<CellPixels> cell;  // its cell size, when it gives its size in pixels
};

struct GraphicsDecision {
  enum class Kind { kCells, kSixel, kKitty };
  Kind kind = Kind::kCells;
  CellPixels cell;     // for sixel images
  std::string reason;  // why, in a few words
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

// Pixels when asked for; or, left to the program, the kitty protocol where
// the terminal speaks it, else sixel images where the terminal lists them,
// its cell size is known and an area of `columns` x `rows` cells fits the
// largest image; never with a multiplexer in between. Cells otherwise.
GraphicsDecision DecideGraphics(const GraphicsSettings& settings, const TerminalGraphics& terminal,
                                int columns, int rows);

}  // namespace vistamere::term
