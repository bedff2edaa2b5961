// Composing the frame the terminal is to show from the console's cells, the
// graphics window over them (with its holes) and the picture's cells.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "console/screen_buffer.h"
#include "term/frame.h"
#include "term/picture_cells.h"
#include "toollibs/graphics_window.h"

namespace vistamere::term {

// The colours of a console attribute. 0x07, the attribute the program
// writes, is the terminal's own default pair, so that the user's theme
// shows; any other attribute maps to the 16 ANSI colours.
void AttributeColours(std::uint8_t attribute, Colour& fg, Colour& bg);

// Fills `out` (resized to the buffer's size when it differs). Console cells
// show their code page 437 glyphs; cells the window covers show `picture`
// (null: black), placed at the area's top-left; a notice of the window is
// drawn over the area's middle rows. With `picture_in_pixels` the covered
// cells are picture cells instead (the writer draws the picture there).
// Cells the program has not written yet and the window does not cover are
// not known. The cursor is visible when
// the buffer's is and it does not stand on the picture.
void ComposeFrame(const ScreenBuffer& buffer, const GraphicsWindow& window,
                  const PictureCellGrid* picture, Frame& out, bool picture_in_pixels = false);

// Composes frame after frame into one Frame, as ComposeFrame would, but
// visits only the cells whose console cell changed or which the window
// began or ceased to cover since the frame it composed last. The whole
// frame is composed when that frame has been changed since by anything
// else, or the picture, the window's area or the pixels choice differ, or
// the window has a notice; and after Invalidate(), which the caller owes
// whenever it changes the picture's cells.
class FrameComposer {
 public:
  void Compose(const ScreenBuffer& buffer, const GraphicsWindow& window,
               const PictureCellGrid* picture, Frame& out, bool picture_in_pixels = false);
  void Invalidate() { composed_ = false; }

 private:
  void Remember(const ScreenBuffer& buffer, const GraphicsWindow& window,
                const PictureCellGrid* picture, const Frame& out, bool picture_in_pixels);

  bool composed_ = false;  // the rest describes the last frame composed
  std::uint64_t frame_id_ = 0;
  std::uint64_t frame_version_ = 0;
  const PictureCellGrid* picture_ = nullptr;
  bool picture_in_pixels_ = false;
  std::optional<HoleRect> area_;
  std::vector<Cell> cells_;             // the console's cells then
  std::vector<std::uint8_t> written_;   // and which were written
  std::vector<unsigned char> covered_;  // 1: the window covered the cell
  std::vector<unsigned char> covered_next_;
};

}  // namespace vistamere::term
