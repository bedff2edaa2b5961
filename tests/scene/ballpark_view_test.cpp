#include "toollibs/ballpark_view.h"

#include <gtest/gtest.h>

#include "scene/fielder_table.h"
#include "scene/project_fielder.h"
#include "scene/screen_size.h"
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

TEST(BallparkView, RayThroughAProjectedPointFindsItAgain) {
  const BallparkView view(kInitialViewpoint, 40, 102);
  for (const FieldPoint& p : kGroundPoints) {
    SCOPED_TRACE(::testing::Message() << p.x << ", " << p.y);
    const ViewRay ray = view.RayThrough(view.Project(p.x, p.y, 0));
    const double distance = view.GroundDistance(ray);
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
  EXPECT_LT(view.GroundDistance(view.RayThrough({16.3, 51})), 0);
  EXPECT_GT(view.GroundDistance(view.RayThrough({16.5, 51})), 0);
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

}  // namespace
}  // namespace vistamere::ballpark
