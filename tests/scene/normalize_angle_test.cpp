#include "scene/normalize_angle.h"

#include <gtest/gtest.h>

#include "tests/scene/eight_digits.h"

namespace vistamere {
namespace {

struct AngleCase {
  float angle;
  double expected;  // to eight significant digits
  bool reduced;
};

constexpr AngleCase kAngles[] = {
    {-0.17449999f, -0.17449999, false},  // within a turn, negative stays negative
    {6.2831001f, 6.2831001, false},
    {6.2831998f, 0.000014231267, true},
    {6.2831855f, 0.0, true},  // the float nearest 2 pi lies above TWO_PI
    {-6.2831998f, 6.2831712, true},
    {7.0f, 0.7168147, true},
    {-7.0f, 5.5663705, true},
    {100.0f, 5.7522182, true},
    {-100.0f, 0.53096706, true},
    {6.2831850f, 6.2831850, false},    // just below TWO_PI
    {-6.2831850f, -6.2831850, false},  // just above -TWO_PI
};

TEST(NormalizeAngle, ReducesOnlyBeyondOneTurnAndWritesBack) {
  for (const AngleCase& c : kAngles) {
    SCOPED_TRACE(c.angle);
    float angle = c.angle;
    const float result = NormalizeAngle(angle);
    ExpectEightDigits(result, c.expected);
    EXPECT_EQ(angle, c.reduced ? result : c.angle);
    if (c.reduced) {
      EXPECT_GE(result, 0.0f);
    }
  }
}

}  // namespace
}  // namespace vistamere
