// The line that shows a long picture load, drawn over the screen (not into
// the console's cells) on the cursor's row.
#pragma once

#include <string_view>

#include "term/frame.h"

namespace vistamere::term {

// Draws " Loading <name> ... <percent>% " from the row's first column, the
// name cut to fit, and blanks the rest of the row.
void DrawLoadProgress(std::string_view utf8_name, int percent, int row, Frame& frame);

}  // namespace vistamere::term
