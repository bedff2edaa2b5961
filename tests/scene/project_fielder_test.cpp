#include "scene/project_fielder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "scene/convert_and_clip.h"
#include "scene/fielder_table.h"
#include "scene/screen_size.h"
#include "scene/viewpoint.h"
#include "tests/scene/eight_digits.h"

namespace vistamere {
namespace {

class ProjectFielderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ScreenRows = 40;
    ScreenCols = 102;
    FillFielderTable(table_);
  }

  FielderTable table_;
};

ProjectionTrace Trace(std::int32_t x, std::int32_t y, std::int32_t z, const Viewpoint& v) {
  return TraceProjection(x, y, z, v.ObsX, v.ObsY, v.ObsZ, v.TilZ, v.TilY);
}

TEST_F(ProjectFielderTest, PitcherFromTheInitialViewpointStepByStep) {
  const ProjectionTrace t = Trace(58, -10, 0, kInitialViewpoint);
  EXPECT_EQ(t.row_factor, 40.0f);
  EXPECT_EQ(t.column_factor, 86.70000457763672f);
  ExpectEightDigits(t.vertical_tilt, -0.17449999);
  EXPECT_EQ(t.horizontal_tilt, 0.0f);
  EXPECT_EQ(t.distance * t.distance, 19144.0L);
  ExpectEightDigits(t.distance, 138.36184);
  ExpectEightDigits(t.elevation, 0.34676903);
  ExpectEightDigits(t.vertical_view_angle, 0.17226905);
  EXPECT_EQ(t.vertical_sign, -1.0f);
  ExpectEightDigits(t.vertical_offset, -5.5677967);
  ExpectEightDigits(t.lateral_angle, 0.072148807);
  ExpectEightDigits(t.horizontal_view_angle, 0.072148807);
  EXPECT_EQ(t.horizontal_sign, -1.0f);
  ExpectEightDigits(t.horizontal_offset, -5.0129428);
  EXPECT_EQ(t.centre_column, 51);
  EXPECT_EQ(t.centre_row, 22.0f);
  ExpectEightDigits(t.raw_column, 45.987057);
  ExpectEightDigits(t.raw_row, 27.567797);
  EXPECT_EQ(t.row, 28);
  EXPECT_EQ(t.column, 46);
}

struct Cell {
  std::int32_t row;
  std::int32_t column;
};

struct ViewpointColumn {
  const char* name;
  Viewpoint viewpoint;
  Cell cells[kFielderCount];  // fielders 1 to 9
};

const ViewpointColumn kViewpoints[] = {
    {"A: initial",
     {-80, 0, 50, -10, 0},
     {{28, 46}, {36, 48}, {26, 74}, {24, 62}, {26, 25}, {24, 39}, {21, 22}, {20, 49}, {21, 80}}},
    {"B: TilY 30",
     {-80, 0, 50, -10, 30},
     {{28, 4}, {36, 7}, {26, 36}, {24, 24}, {26, 0}, {24, 0}, {21, 0}, {20, 9}, {21, 42}}},
    {"C: ObsZ 0",
     {-80, 0, 0, -10, 0},
     {{16, 46}, {16, 48}, {16, 74}, {16, 62}, {16, 25}, {16, 39}, {16, 22}, {16, 49}, {16, 80}}},
    {"D: ObsX 58, ObsY -10",
     {58, -10, 50, -10, 0},
     {{16, 51}, {0, 59}, {39, 0}, {35, 87}, {0, 0}, {36, 25}, {23, 10}, {22, 51}, {23, 95}}},
    {"E: TilZ 350",
     {-80, 0, 50, 350, 0},
     {{28, 46}, {36, 48}, {26, 74}, {24, 62}, {26, 25}, {24, 39}, {23, 22}, {24, 49}, {23, 80}}},
};

TEST_F(ProjectFielderTest, EveryFielderFromFiveViewpoints) {
  for (const ViewpointColumn& column : kViewpoints) {
    const Viewpoint& v = column.viewpoint;
    for (int index = 1; index <= kFielderCount; ++index) {
      SCOPED_TRACE(::testing::Message() << column.name << ", " << FielderLabel(index));
      const auto slot = static_cast<std::size_t>(index);
      std::int32_t row = -99;
      std::int32_t col = -99;
      ProjectFielder(table_.x[slot], table_.y[slot], table_.z[slot], v.ObsX, v.ObsY, v.ObsZ, v.TilZ,
                     v.TilY, row, col);
      EXPECT_EQ(row, column.cells[index - 1].row);
      EXPECT_EQ(col, column.cells[index - 1].column);
    }
  }
}

TEST_F(ProjectFielderTest, RawValuesBehindTheClipping) {
  const Viewpoint d{58, -10, 50, -10, 0};
  const ProjectionTrace catcher = Trace(-3, -3, 0, d);
  EXPECT_NEAR(static_cast<double>(catcher.raw_row), 39.85, 0.005);
  const ProjectionTrace first = Trace(73, 53, 0, d);
  EXPECT_EQ(ConvertToInt32(first.raw_column), 118);
  const ProjectionTrace third = Trace(73, -63, 0, d);
  EXPECT_NEAR(static_cast<double>(third.raw_row), 42.18, 0.005);
  EXPECT_NEAR(static_cast<double>(third.raw_column), -15.74, 0.005);
}

TEST_F(ProjectFielderTest, OutfieldAnglesPastPiLimitMirrorAtTilZ350) {
  const Viewpoint e{-80, 0, 50, 350, 0};
  ExpectEightDigits(Trace(0, 0, 0, e).vertical_tilt, 6.1074996);
  const struct {
    int index;
    double view_angle;
  } cases[] = {{7, 6.2445688}, {8, 6.2232280}, {9, 6.2445688}};
  for (const auto& c : cases) {
    SCOPED_TRACE(FielderLabel(c.index));
    const auto slot = static_cast<std::size_t>(c.index);
    const ProjectionTrace t = Trace(table_.x[slot], table_.y[slot], 0, e);
    ExpectEightDigits(t.vertical_view_angle, c.view_angle);
    EXPECT_EQ(t.vertical_sign, 1.0f);
  }
  for (int index = 1; index <= 6; ++index) {
    SCOPED_TRACE(FielderLabel(index));
    const auto slot = static_cast<std::size_t>(index);
    const ProjectionTrace t = Trace(table_.x[slot], table_.y[slot], 0, e);
    EXPECT_GT(t.vertical_view_angle, 0.05f);
    EXPECT_LT(t.vertical_view_angle, 0.41f);
  }
}

// The sign rule compares with PI_LIMIT, which lies a little above pi: a view
// angle between the two keeps sign -1.
TEST_F(ProjectFielderTest, SignTurnsOnlyAbovePiLimit) {
  const struct {
    std::int32_t x;
    float sign;
  } cases[] = {{1678, -1.0f}, {1600, 1.0f}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.x);
    const ProjectionTrace t = Trace(c.x, 0, 0, {0, 0, 1, 180, 180});
    EXPECT_EQ(t.vertical_view_angle > std::numbers::pi_v<float>, true);
    EXPECT_EQ(t.vertical_sign, c.sign);
    EXPECT_EQ(t.horizontal_sign, -1.0f);  // 3.1409998 alone
  }
}

TEST_F(ProjectFielderTest, TiltsOfWholeTurns) {
  const struct {
    std::int32_t degrees;
    double radians;
  } cases[] = {
      {360, 6.2819996}, {361, 0.016264841}, {1, 0.017449999}, {720, 6.2808137}, {-361, 6.2669206},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.degrees);
    ExpectEightDigits(Trace(10, 0, 0, {0, 0, 0, c.degrees, 0}).vertical_tilt, c.radians);
    ExpectEightDigits(Trace(10, 0, 0, {0, 0, 0, 0, c.degrees}).horizontal_tilt, c.radians);
  }
}

TEST_F(ProjectFielderTest, FielderOnTheObserversSpotGetsTheCellOfTheTiltsAlone) {
  const struct {
    std::int32_t z;
    std::int32_t ObsZ;
  } heights[] = {{0, 50}, {0, 0}, {100, 50}, {-7, 1000}};
  for (const auto& h : heights) {
    SCOPED_TRACE(::testing::Message() << h.z << " under " << h.ObsZ);
    std::int32_t row = -1;
    std::int32_t column = -1;
    ProjectFielder(30, -20, h.z, 30, -20, h.ObsZ, -10, 0, row, column);
    EXPECT_EQ(row, 16);
    EXPECT_EQ(column, 51);
  }
}

TEST_F(ProjectFielderTest, FielderBesideTheObserverIsAQuarterTurnAsideAndCleared) {
  for (const std::int32_t z : {0, 50, 200}) {
    SCOPED_TRACE(z);
    const ProjectionTrace t = Trace(-80, 10, z, kInitialViewpoint);
    EXPECT_EQ(t.lateral_angle, static_cast<float>(-std::numbers::pi_v<long double> / 4));
    EXPECT_NEAR(static_cast<double>(t.raw_column), 120.36, 0.005);
    EXPECT_EQ(t.column, 0);
  }
}

TEST_F(ProjectFielderTest, ReadsTheScreenSizeAtEveryCall) {
  ScreenRows = 25;
  ScreenCols = 80;
  const ProjectionTrace t = Trace(-80, 0, 50, kInitialViewpoint);  // on the observer's spot
  EXPECT_EQ(t.centre_column, 40);
  EXPECT_EQ(t.centre_row, 14.0f);  // 5 + 19 \ 2
  EXPECT_EQ(t.column, 40);
}

}  // namespace
}  // namespace vistamere
