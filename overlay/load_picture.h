// Makes the lower part of the console the graphics area and draws the named
// picture into it, stretched; the window stays hidden until the loop shows it.
#pragma once

#include "console/text.h"
#include "overlay/label_holes.h"

namespace vistamere {

inline constexpr std::int32_t kDrawingWidth = 1024;
inline constexpr std::int32_t kDrawingHeight = 512;

void LoadPicture(OverlayTools& tools, const Text& name);

}  // namespace vistamere
