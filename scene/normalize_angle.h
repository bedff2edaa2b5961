// Brings an angle that lies beyond one full turn, either way, back into
// [0, TWO_PI). Angles from -TWO_PI to TWO_PI pass unchanged, negative ones too.
#pragma once

namespace vistamere {

// Returns the reduced angle. When the angle is reduced the result is also
// written back into `angle`; otherwise `angle` is not written.
float NormalizeAngle(float& angle);

}  // namespace vistamere
