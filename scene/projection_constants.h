// The fixed numbers of the view projection, with the precision each one has.
#pragma once

namespace vistamere {

// Degrees to radians; deliberately 0.01745, not pi / 180.
inline constexpr float DEG_TO_RAD = 0.01745f;
// Common scale of both screen offsets.
inline constexpr float VIEW_SCALE = 0.8f;
// Extra factor of the column offset: console cells are taller than wide.
inline constexpr float COL_ASPECT = 0.85f;
// A view angle above this mirrors its offset about the centre.
inline constexpr float PI_LIMIT = 3.1416f;
// One full turn for the angle reduction; deliberately not the double nearest 2 pi.
inline constexpr double TWO_PI = 6.2831853071;

}  // namespace vistamere
