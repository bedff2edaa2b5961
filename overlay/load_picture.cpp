#include "overlay/load_picture.h"

#include "scene/screen_size.h"

namespace vistamere {

void LoadPicture(OverlayTools& tools, const Text& name) {
  tools.console_tools.ConsoleGfx(1, kGraphicsAreaTop, ScreenCols, ScreenRows - 1);
  tools.graphics_tools.GfxWindow(0);
  const char* file = name.empty() ? nullptr : name.c_str();
  if (TextEquals(UpperCase(RightChars(name, 3)), "BMP")) {
    tools.graphics_tools.BitmapParam(file, 0);
    tools.graphics_tools.StretchBitmap(file, kDrawingWidth, kDrawingHeight);
  } else {
    tools.graphics_tools.ImageParam(file, 0);
    tools.graphics_tools.StretchImage(file, kDrawingWidth, kDrawingHeight);
  }
}

}  // namespace vistamere
