#include "tools/first_frame.h"

#include "console/screen_buffer.h"
#include "term/frame.h"
#include "term/frame_compose.h"
#include "term/picture_cells.h"
#include "term/terminal_writer.h"
#include "toollibs/graphics_window.h"

namespace vistamere::tools {

std::string FirstFrameBytes(const picture::Canvas& canvas, term::ColourMode mode) {
  ScreenBuffer screen(kScreenColumns, kScreenRows);
  // What a cleared console holds: every cell a written blank.
  const int count = kScreenColumns * kScreenRows;
  screen.FillOutputCharacter(' ', count, 0, 0);
  screen.FillOutputAttribute(0x07, count, 0, 0);

  GraphicsWindow window;
  window.area = HoleRect{1, kAreaTop, kScreenColumns, kAreaBottom};
  window.shown = true;

  const term::PictureCellGrid cells =
      term::RenderPictureCells(canvas, kScreenColumns, kAreaBottom - kAreaTop + 1, mode);
  term::Frame frame;
  term::ComposeFrame(screen, window, &cells, frame);
  term::TerminalWriter writer;
  return writer.Update(frame);
}

}  // namespace vistamere::tools
