// Makes the lower part of the console the graphics area and draws the named
// picture into it, stretched; the window stays hidden until the loop shows it.
#pragma once

#include <cstdint>

#include "console/text.h"
#include "overlay/label_holes.h"
#include "picture/canvas.h"

namespace vistamere {

// The picture is drawn into the canvas, at the canvas's size.
inline constexpr std::int32_t kDrawingWidth = picture::kCanvasWidth;
inline constexpr std::int32_t kDrawingHeight = picture::kCanvasHeight;

void LoadPicture(OverlayTools& tools, const Text& name);

}  // namespace vistamere
