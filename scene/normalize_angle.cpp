#include "scene/normalize_angle.h"

#include <cmath>

#include "scene/projection_constants.h"

namespace vistamere {

// Every `float` below is a stored value; everything between two stores is
// evaluated in long double (the x87 extended format on x86-64).
float NormalizeAngle(float& angle) {
  // Float against double: the promotion to double is exact.
  const double wide_angle = angle;
  if (!(wide_angle > TWO_PI || wide_angle < -TWO_PI)) return angle;

  const long double turn = TWO_PI;
  const float turns = static_cast<float>(static_cast<long double>(angle) / turn);
  const float fraction = static_cast<float>(static_cast<long double>(turns) -
                                            std::trunc(static_cast<long double>(turns)));
  float reduced = static_cast<float>(turn * static_cast<long double>(fraction));
  angle = reduced;
  if (reduced < 0.0f) {
    reduced = static_cast<float>(static_cast<long double>(reduced) + turn);
    angle = reduced;
  }
  return reduced;
}

}  // namespace vistamere
