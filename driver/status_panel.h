// The key help in the top left corner and the five viewpoint values in the
// top right corner of the screen.
#pragma once

#include "console/text_console.h"
#include "scene/viewpoint.h"

namespace vistamere {

void PrintHelpLines(TextConsole& console);
void DrawStatusPanel(TextConsole& console, const Viewpoint& viewpoint);

}  // namespace vistamere
