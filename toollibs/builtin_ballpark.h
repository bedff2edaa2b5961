// The picture the graphics library shows when no file is named: a ballpark
// seen from the start-up viewpoint, drawn so that every fielder stands on the
// spot where the projection puts the fielder's label.
#pragma once

#include "picture/canvas.h"

namespace vistamere {

// Draws over the whole canvas; an empty canvas is first sized to the
// drawing size, 1024 by 512. The canvas is taken to be stretched over the
// graphics area, console rows 6 to 39 and columns 1 to 102. Deterministic.
void DrawBuiltinBallpark(picture::Canvas& canvas);

}  // namespace vistamere
