// What the terminal shows while it is smaller than the screen.
#pragma once

#include <string>

namespace vistamere::term {

// Bytes that clear the terminal, hide the cursor and show, centred and
// wrapped to fit, the size the program needs and the size the terminal has.
// Whatever shows the screen again afterwards must redraw it all
// (FrameWriter::Invalidate).
std::string TooSmallNotice(int have_columns, int have_rows, int need_columns, int need_rows);

}  // namespace vistamere::term
