// Where the observer stands (field units) and where the view is turned
// (whole degrees). Every field moves by one per key, without bounds.
#pragma once

#include <cstdint>

namespace vistamere {

struct Viewpoint {
  std::int32_t ObsX;
  std::int32_t ObsY;
  std::int32_t ObsZ;
  std::int32_t TilZ;  // vertical tilt
  std::int32_t TilY;  // horizontal tilt
};

// The values at every (re)start of the main loop.
inline constexpr Viewpoint kInitialViewpoint{-80, 0, 50, -10, 0};

}  // namespace vistamere
