#include "toollibs/builtin_ballpark.h"

#include <gtest/gtest.h>

#include <cmath>

#include "scene/fielder_table.h"
#include "scene/project_fielder.h"
#include "scene/screen_size.h"
#include "scene/viewpoint.h"

namespace vistamere {
namespace {

struct Rgb {
  int r;
  int g;
  int b;
};

class BuiltinBallparkTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ScreenRows = 40;
    ScreenCols = 102;
    DrawBuiltinBallpark(canvas_);
  }

  static Rgb At(int px, int py) {
    const std::uint8_t* p = canvas_.Pixel(px, py);
    return {p[0], p[1], p[2]};
  }
  // The pixel at the centre of console cell (row, column) of the graphics area.
  static Rgb AtCell(double row, double column) {
    const double px = (column - 0.5) * canvas_.width / 102.0 - 0.5;
    const double py = (row - 5.5) * canvas_.height / 34.0 - 0.5;
    return At(static_cast<int>(std::lround(px)), static_cast<int>(std::lround(py)));
  }
  static bool IsSky(const Rgb& c) { return c.b > c.r + 30 && c.b > c.g; }
  static bool IsField(const Rgb& c) { return c.g > c.b || c.r > c.b; }
  static bool IsWhite(const Rgb& c) { return c.r > 215 && c.g > 215 && c.b > 210; }

  static picture::Canvas canvas_;
};

picture::Canvas BuiltinBallparkTest::canvas_;

TEST_F(BuiltinBallparkTest, FillsAnEmptyCanvasAtTheDrawingSize) {
  EXPECT_EQ(canvas_.width, picture::kCanvasWidth);
  EXPECT_EQ(canvas_.height, picture::kCanvasHeight);
  picture::Canvas again;
  DrawBuiltinBallpark(again);
  EXPECT_EQ(again.rgb, canvas_.rgb);
}

TEST_F(BuiltinBallparkTest, TopIsSkyAndBottomIsField) {
  for (int px = 64; px < canvas_.width - 64; ++px) {
    ASSERT_TRUE(IsSky(At(px, 0))) << px;
    ASSERT_TRUE(IsField(At(px, canvas_.height - 1))) << px;
  }
}

// Each label's first cell covers its fielder's spot, and the player stands up
// out of that cell into the one above.
TEST_F(BuiltinBallparkTest, EveryFielderStandsAtItsLabelsFirstCell) {
  FielderTable fielders;
  FillFielderTable(fielders);
  const Viewpoint v = kInitialViewpoint;
  for (std::size_t i = 1; i <= kFielderCount; ++i) {
    SCOPED_TRACE(FielderLabel(static_cast<int>(i)));
    std::int32_t row = 0;
    std::int32_t column = 0;
    ProjectFielder(fielders.x[i], fielders.y[i], fielders.z[i], v.ObsX, v.ObsY, v.ObsZ, v.TilZ,
                   v.TilY, row, column);
    ASSERT_NE(row, 0);
    ASSERT_NE(column, 0);
    EXPECT_TRUE(IsField(AtCell(row + 0.4, column))) << "ground below the feet";
    bool uniform_above = false;
    for (double dy = -0.45; dy <= 0.45; dy += 0.05) {
      for (double dx = -0.45; dx <= 0.45; dx += 0.05) {
        uniform_above = uniform_above || IsWhite(AtCell(row - 1 + dy, column + dx));
      }
    }
    EXPECT_TRUE(uniform_above) << "player showing above the label";
  }
}

TEST_F(BuiltinBallparkTest, FoulLinesAndBasesAreWhite) {
  const Viewpoint v = kInitialViewpoint;
  const struct {
    std::int32_t x;
    std::int32_t y;
  } chalk[] = {{100, 100}, {100, -100}, {200, 200}, {64, 64}, {127, 0}, {64, -64}};
  for (const auto& p : chalk) {
    SCOPED_TRACE(::testing::Message() << p.x << ", " << p.y);
    const ProjectionTrace t = TraceProjection(p.x, p.y, 0, v.ObsX, v.ObsY, v.ObsZ, v.TilZ, v.TilY);
    EXPECT_TRUE(IsWhite(AtCell(static_cast<double>(t.raw_row), static_cast<double>(t.raw_column))));
  }
}

}  // namespace
}  // namespace vistamere
