#include "scene/convert_and_clip.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "scene/screen_size.h"

namespace vistamere {
namespace {

constexpr std::int32_t kLowest = std::numeric_limits<std::int32_t>::min();

struct ConversionCase {
  long double value;
  std::int32_t expected;
};

TEST(ConvertToInt32, RoundsToNearestTiesToEven) {
  const ConversionCase cases[] = {
      {5.5L, 6},
      {6.5L, 6},
      {39.5L, 40},
      {38.5L, 38},
      {0.5L, 0},
      {1.5L, 2},
      {102.5L, 102},
      {102.51L, 103},
      {-0.5L, 0},
      {-1.5L, -2},
      {-2.5L, -2},
      {-15.74L, -16},
      {0.4999999L, 0},
      {2.5000001L, 3},
      {-2147483648.5L, kLowest},
      {-2147483646.5L, -2147483646},
      {2147483647.4L, 2147483647},
  };
  for (const ConversionCase& c : cases) {
    SCOPED_TRACE(static_cast<double>(c.value));
    EXPECT_EQ(ConvertToInt32(c.value), c.expected);
  }
}

TEST(ConvertToInt32, OutOfRangeAndNotANumberBecomeLowest) {
  const long double cases[] = {
      2147483647.5L,  // rounds to 2^31
      -2147483649.0L,
      1e30L,
      -1e30L,
      std::numeric_limits<long double>::infinity(),
      -std::numeric_limits<long double>::infinity(),
      std::nanl(""),
  };
  for (const long double value : cases) {
    SCOPED_TRACE(static_cast<double>(value));
    EXPECT_EQ(ConvertToInt32(value), kLowest);
  }
}

struct ClipCase {
  long double raw_row;
  long double raw_column;
  std::int32_t row;
  std::int32_t column;
};

TEST(ClipToGraphicsArea, KeepsRowsSixToThirtyNineAndColumnsOneTo102) {
  ScreenRows = 40;
  ScreenCols = 102;
  const ClipCase cases[] = {
      {5.5L, 50, 6, 50},    {6.5L, 50, 6, 50},   {39.5L, 50, 0, 50},      {38.5L, 50, 38, 50},
      {5.49L, 50, 0, 50},   {20, 0.5L, 20, 0},   {20, 1.5L, 20, 2},       {20, 102.5L, 20, 102},
      {20, 102.51L, 20, 0}, {20, 1.0L, 20, 1},   {39.4L, -15.74L, 39, 0}, {42.18L, -15.74L, 0, 0},
      {1e12L, 50, 0, 50},   {20, -1e12L, 20, 0},
  };
  for (const ClipCase& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << static_cast<double>(c.raw_row) << ", " << static_cast<double>(c.raw_column));
    std::int32_t row = ConvertToInt32(c.raw_row);
    std::int32_t column = ConvertToInt32(c.raw_column);
    ClipToGraphicsArea(row, column);
    EXPECT_EQ(row, c.row);
    EXPECT_EQ(column, c.column);
  }
}

}  // namespace
}  // namespace vistamere
