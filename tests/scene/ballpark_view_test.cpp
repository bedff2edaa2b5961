#include "toollibs/ballpark_view.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "scene/fielder_table.h"
#include "scene/project_fielder.h"
#include "scene/screen_size.h"
#include "toollibs/ballpark_backdrop.h"
#include "toollibs/ballpark_field.h"

namespace vistamere::ballpark {
namespace {

struct FieldPoint {
  double x;
  double y;
};

constexpr FieldPoint kGroundPoints[] = {
    {58, -10},   {-3, -3},   {73, 53},   {128, 32}, {73, -63},  {128, -38},
    {250, -150}, {350, -10}, {250, 150}, {0, 0},    {300, 200}, {-30, 45},
};

TEST(BallparkView, AgreesWithTheExactProjection) {
  ScreenRows = 40;
  ScreenCols = 102;
  const Viewpoint v = kInitialViewpoint;
  const BallparkView view(v, 40, 102);
  for (const FieldPoint& p : kGroundPoints) {
    SCOPED_TRACE(::testing::Message() << p.x << ", " << p.y);
    const auto x = static_cast<std::int32_t>(p.x);
    const auto y = static_cast<std::int32_t>(p.y);
    const ProjectionTrace exact = TraceProjection(x, y, 0, v.ObsX, v.ObsY, v.ObsZ, v.TilZ, v.TilY);
    const CellPoint cell = view.Project(p.x, p.y, 0);
    EXPECT_NEAR(cell.row, static_cast<double>(exact.raw_row), 1e-3);
    EXPECT_NEAR(cell.column, static_cast<double>(exact.raw_column), 1e-3);
  }
}

TEST(BallparkView, TheRayThroughAProjectedPointFindsItAgain) {
  const BallparkView view(kInitialViewpoint, 40, 102);
  for (const FieldPoint& p : kGroundPoints) {
    SCOPED_TRACE(::testing::Message() << p.x << ", " << p.y);
    const CellPoint cell = view.Project(p.x, p.y, 0);
    const RowAngle row = view.RowThrough(cell.row);
    const ViewRay ray(row, view.ColumnThrough(cell.column));
    const double distance = view.GroundDistance(row);
    ASSERT_GT(distance, 0);
    EXPECT_NEAR(view.HeightAt(ray, distance), 0, 1e-9);
    const GroundPoint found = view.PointAt(ray, distance);
    EXPECT_NEAR(found.x, p.x, 1e-6);
    EXPECT_NEAR(found.y, p.y, 1e-6);
  }
}

TEST(BallparkView, RaysAboveTheHorizonNeverMeetTheGround) {
  const BallparkView view(kInitialViewpoint, 40, 102);
  // The horizon lies at 22 - 32 tan(0.1745), about row 16.4.
  EXPECT_LT(view.GroundDistance(view.RowThrough(16.3)), 0);
  EXPECT_GT(view.GroundDistance(view.RowThrough(16.5)), 0);
}

struct ParkCase {
  FieldPoint point;
  bool inside;
};

TEST(BallparkField, WallsEncloseTheFieldAndFoulGround) {
  const ParkCase cases[] = {
      {{0, 0}, true},       {{399, 0}, true},   {{401, 0}, false},   {{230, 230}, true},
      {{236, 236}, false},  {{-59, 0}, true},   {{-61, 0}, false},   {{100, -150}, true},
      {{100, -200}, false}, {{100, 150}, true}, {{340, 300}, false},
  };
  for (const ParkCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.point.x << ", " << c.point.y);
    EXPECT_EQ(InsidePark(c.point.x, c.point.y), c.inside);
  }
  FielderTable fielders;
  FillFielderTable(fielders);
  for (std::size_t i = 1; i <= kFielderCount; ++i) {
    EXPECT_TRUE(InsidePark(fielders.x[i], fielders.y[i])) << FielderLabel(static_cast<int>(i));
  }
}

// Every point closer than the clearance lies on the same side of the walls.
TEST(BallparkField, WallClearanceNeverReachesAcrossAWall) {
  const FieldPoint points[] = {
      {0, 0},      {-70, 0},    {-45, 40},  {-80, 0},   {390, 0},    {405, 5},  {232, 230},
      {236, 236},  {240, 220},  {200, 270}, {195, 280}, {100, -150}, {50, 130}, {-10, 80},
      {330, -100}, {300, -200}, {150, 20},  {0, -59},   {500, 500},  {-300, 0}, {260, 240},
  };
  constexpr int kDirections = 32;
  for (const FieldPoint& p : points) {
    SCOPED_TRACE(::testing::Message() << p.x << ", " << p.y);
    const double clearance = WallClearance(p.x, p.y);
    ASSERT_GE(clearance, 0);
    const bool inside = InsidePark(p.x, p.y);
    for (const double fraction : {0.25, 0.5, 0.75, 0.999}) {
      for (int k = 0; k < kDirections; ++k) {
        const double angle = 2 * std::numbers::pi * k / kDirections;
        const double reach = clearance * fraction;
        EXPECT_EQ(InsidePark(p.x + reach * std::cos(angle), p.y + reach * std::sin(angle)), inside)
            << "at " << reach << " towards " << angle;
      }
    }
  }
}

// The wall stands at the first quarter-unit sample outside the park after
// one inside, as a walk over every sample finds it.
TEST(BallparkBackdrop, WallDistanceIsTheFirstSampleOutsideAfterTheField) {
  const Viewpoint viewpoints[] = {kInitialViewpoint, {0, 0, 30, -5, 0}, {-80, 40, 50, -10, 10}};
  for (const Viewpoint& v : viewpoints) {
    const BallparkView view(v, 40, 102);
    for (double column = 0.5; column < 102; column += 2.75) {
      SCOPED_TRACE(::testing::Message() << v.ObsX << ", " << v.ObsY << " column " << column);
      const ColumnAngle angle = view.ColumnThrough(column);
      double expected = 4000;
      bool entered = false;
      for (int k = 1; k < 16000; ++k) {
        const GroundPoint p = view.PointAt(angle, k * 0.25);
        const bool inside = InsidePark(p.x, p.y);
        entered = entered || inside;
        if (entered && !inside) {
          expected = k * 0.25;
          break;
        }
      }
      EXPECT_EQ(WallDistance(view, angle), expected);
    }
  }
}

}  // namespace
}  // namespace vistamere::ballpark
