// The ten keys that move and turn the observer, one unit per press.
#pragma once

#include "console/text.h"
#include "scene/viewpoint.h"

namespace vistamere {

void ResetViewpoint(Viewpoint& viewpoint);
void ApplyKey(Viewpoint& viewpoint, const Text& key);

}  // namespace vistamere
