// Checks a stored value against one given to eight significant digits.
#pragma once

#include <gtest/gtest.h>

#include <cmath>

namespace vistamere {

inline void ExpectEightDigits(long double actual, double expected) {
  if (expected == 0.0) {
    EXPECT_EQ(actual, 0.0L);
    return;
  }
  const double magnitude = std::floor(std::log10(std::fabs(expected)));
  // Half a unit in the eighth digit, with a hair of slack for the decimal text.
  const long double tolerance = 0.5005L * std::pow(10.0L, static_cast<long double>(magnitude) - 7);
  EXPECT_LE(std::fabs(actual - static_cast<long double>(expected)), tolerance)
      << "actual " << static_cast<double>(actual) << ", expected " << expected;
}

}  // namespace vistamere
