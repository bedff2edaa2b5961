// What the terminal shows while it is smaller than the screen.
#pragma once

#include <string_view>

#include "term/frame.h"

namespace vistamere::term {

// A frame of the terminal's own size, every cell blank but for a notice,
// centred and wrapped to fit, of the size the program needs and the size
// the terminal has. The cursor is hidden. `place` names what is too small.
void ComposeTooSmallNotice(int have_columns, int have_rows, int need_columns, int need_rows,
                           Frame& out, std::string_view place = "terminal");

}  // namespace vistamere::term
