// The program's first frame for a picture: the canvas drawn as cells over the
// graphics area (rows 6 to 39 of the 102 by 40 screen) of a cleared screen,
// as the bytes of a full repaint of a terminal that shows nothing yet.
#pragma once

#include <string>

#include "picture/canvas.h"
#include "scene/screen_size.h"
#include "term/colour.h"

namespace vistamere::tools {

inline constexpr int kScreenColumns = 102;
inline constexpr int kScreenRows = 40;
inline constexpr int kAreaTop = kGraphicsAreaTop;  // 1-based, inclusive
inline constexpr int kAreaBottom = kScreenRows - 1;

std::string FirstFrameBytes(const picture::Canvas& canvas, term::ColourMode mode);

}  // namespace vistamere::tools
