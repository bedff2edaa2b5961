#include "driver/viewpoint_keys.h"

#include <gtest/gtest.h>

namespace vistamere {
namespace {

TEST(ApplyKey, EachOfTheTenKeysMovesOneFieldByOne) {
  const struct {
    Text key;
    Viewpoint expected;
  } cases[] = {
      {"X", {-79, 0, 50, -10, 0}},
      {"x", {-81, 0, 50, -10, 0}},
      {"Y", {-80, 1, 50, -10, 0}},
      {"y", {-80, -1, 50, -10, 0}},
      {"Z", {-80, 0, 51, -10, 0}},
      {"z", {-80, 0, 49, -10, 0}},
      {"1", {-80, 0, 50, -9, 0}},
      {"2", {-80, 0, 50, -11, 0}},
      {"3", {-80, 0, 50, -10, 1}},
      {"4", {-80, 0, 50, -10, -1}},
      {"", {-80, 0, 50, -10, 0}},
      {"N", {-80, 0, 50, -10, 0}},
      {Text("\0X", 2), {-80, 0, 50, -10, 0}},  // an extended key
      {"XX", {-80, 0, 50, -10, 0}},
  };
  for (const auto& c : cases) {
    Viewpoint viewpoint;
    ResetViewpoint(viewpoint);
    ApplyKey(viewpoint, c.key);
    EXPECT_EQ(viewpoint.ObsX, c.expected.ObsX) << c.key;
    EXPECT_EQ(viewpoint.ObsY, c.expected.ObsY) << c.key;
    EXPECT_EQ(viewpoint.ObsZ, c.expected.ObsZ) << c.key;
    EXPECT_EQ(viewpoint.TilZ, c.expected.TilZ) << c.key;
    EXPECT_EQ(viewpoint.TilY, c.expected.TilY) << c.key;
  }
}

TEST(ApplyKey, HasNoBounds) {
  Viewpoint viewpoint{2147483647, 0, 0, 0, 0};
  ApplyKey(viewpoint, "X");
  EXPECT_EQ(viewpoint.ObsX, -2147483647 - 1);
}

}  // namespace
}  // namespace vistamere
