#include "toollibs/builtin_ballpark.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "scene/fielder_table.h"
#include "scene/viewpoint.h"
#include "toollibs/ballpark_colour.h"
#include "toollibs/ballpark_field.h"
#include "toollibs/ballpark_view.h"

namespace vistamere {

namespace {

using ballpark::BallparkView;
using ballpark::CellPoint;
using ballpark::Colour;
using ballpark::ViewRay;

// The console layout the picture is drawn for.
constexpr int kScreenRows = 40;
constexpr int kScreenColumns = 102;
constexpr int kAreaTop = 6;
constexpr int kAreaRows = kScreenRows - kAreaTop;  // rows 6 to 39
constexpr int kAreaLeft = 1;
constexpr int kAreaColumns = kScreenColumns;

constexpr double kWallHeight = 14;
constexpr double kFielderHeight = 6.5;
constexpr double kFielderHalfWidth = 1.3;
constexpr double kShadowRadius = 3.5;

const Colour kSkyHigh{58, 112, 190};
const Colour kSkyLow{188, 214, 236};
const Colour kHaze{176, 196, 206};
const Colour kCloud{246, 248, 252};
const Colour kWall{28, 78, 52};
const Colour kWallCap{230, 196, 60};
const Colour kSeats{44, 72, 130};
const Colour kSeatsShade{34, 56, 104};
const Colour kUniform{236, 236, 232};
const Colour kCap{26, 36, 86};

// Pixel centres map to fractional cells so that a cell's centre is the
// whole cell number the projection returns.
class AreaMapping {
 public:
  AreaMapping(int width, int height) : width_(width), height_(height) {}

  double ColumnOf(int px) const { return kAreaLeft + (px + 0.5) * kAreaColumns / width_ - 0.5; }
  double RowOf(int py) const { return kAreaTop + (py + 0.5) * kAreaRows / height_ - 0.5; }
  double PixelX(double column) const {
    return (column - kAreaLeft + 0.5) * width_ / kAreaColumns - 0.5;
  }
  double PixelY(double row) const { return (row - kAreaTop + 0.5) * height_ / kAreaRows - 0.5; }

 private:
  int width_;
  int height_;
};

// The horizontal distance at which a screen column's ground line leaves the
// park through its walls; the walls and stands stand there.
double WallDistance(const BallparkView& view, const ViewRay& ray) {
  constexpr double kStep = 0.25;
  constexpr double kFarthest = 4000;
  bool entered = false;
  for (double distance = kStep; distance < kFarthest; distance += kStep) {
    const ballpark::GroundPoint p = view.PointAt(ray, distance);
    const bool inside = ballpark::InsidePark(p.x, p.y);
    if (inside) entered = true;
    if (entered && !inside) return distance;
  }
  return kFarthest;
}

// Stands rise from the top of the wall; the grandstands along the foul lines
// are deeper and steeper than the outfield bleachers, with a smooth change
// around the foul poles. Straight-away centre field has a dark batter's eye.
struct Stands {
  double depth;
  double slope;
  bool batters_eye;
};

Stands StandsBehind(const BallparkView& view, const ViewRay& ray, double wall_distance) {
  const ballpark::GroundPoint p = view.PointAt(ray, wall_distance);
  const double angle = std::fabs(std::atan2(p.y, p.x));  // 0 towards centre field
  const double foul = std::clamp((angle - 0.62) / 0.35, 0.0, 1.0);
  const double blend = foul * foul * (3 - 2 * foul);
  return {80 + 50 * blend, 0.55 + 0.25 * blend, angle < 0.1};
}

// A few soft clouds, each a cluster of round puffs in view-angle space.
double CloudCover(const ViewRay& ray) {
  struct Puff {
    double lateral;
    double elevation;
    double radius;
  };
  static constexpr Puff kPuffs[] = {
      {0.46, -0.20, 0.022},   {0.42, -0.205, 0.028}, {0.37, -0.20, 0.020},
      {0.06, -0.245, 0.018},  {0.02, -0.25, 0.024},  {-0.03, -0.245, 0.019},
      {-0.36, -0.175, 0.026}, {-0.41, -0.17, 0.020}, {-0.32, -0.17, 0.017},
  };
  constexpr double kAspect = 2.2;  // clouds are wide and flat
  double cover = 0;
  for (const Puff& puff : kPuffs) {
    const double across = (ray.lateral - puff.lateral) / kAspect;
    const double up = ray.elevation - puff.elevation;
    const double reach = std::sqrt(across * across + up * up) / puff.radius;
    cover = std::max(cover, std::clamp(1.6 * (1 - reach), 0.0, 1.0));
  }
  return cover;
}

Colour SkyColour(const ViewRay& ray) {
  const double up = std::clamp(-ray.elevation / 0.3, 0.0, 1.0);
  const Colour sky = Mix(kSkyLow, kSkyHigh, std::sqrt(up));
  return Mix(sky, kCloud, 0.85 * CloudCover(ray));
}

Colour WithHaze(const Colour& colour, double distance) {
  return Mix(colour, kHaze, std::min(0.3, distance / 2400));
}

// Darkened ground around each fielder's spot: the spot itself stays
// visible even where the label covers the figure.
double ShadowFactor(const FielderTable& fielders, double x, double y) {
  for (std::size_t i = 1; i <= kFielderCount; ++i) {
    const double dx = x - fielders.x[i];
    const double dy = y - fielders.y[i];
    if (dx * dx + dy * dy < kShadowRadius * kShadowRadius) return 0.62;
  }
  return 1.0;
}

Colour StandsColour(const ViewRay& ray, double tier_distance) {
  constexpr double kTierDepth = 9;
  const auto tier = static_cast<long>(std::floor(tier_distance / kTierDepth));
  const Colour base = tier % 2 == 0 ? kSeats : kSeatsShade;
  // A quiet crowd: a repeatable speckle across the seats.
  const auto seat = static_cast<unsigned long>(std::floor(ray.lateral * 900 + 5000));
  const unsigned long mixed = (seat * 2654435761UL + static_cast<unsigned long>(tier) * 40503UL);
  const double speckle = static_cast<double>((mixed >> 7) % 64) / 63.0;
  return Mix(base, Colour{200, 190, 176}, 0.22 * speckle);
}

Colour ViewColour(const BallparkView& view, const FielderTable& fielders, const ViewRay& ray,
                  double wall_distance) {
  const double ground = view.GroundDistance(ray);
  if (ground >= 0 && ground < wall_distance) {
    const ballpark::GroundPoint p = view.PointAt(ray, ground);
    const Colour field = ballpark::FieldColour(p.x, p.y);
    return WithHaze(Scale(field, ShadowFactor(fielders, p.x, p.y)), ground);
  }
  const double wall_height = view.HeightAt(ray, wall_distance);
  if (wall_height < kWallHeight) {
    const Colour wall = wall_height > kWallHeight - 2 ? kWallCap : kWall;
    return WithHaze(wall, wall_distance);
  }
  const Stands stands = StandsBehind(view, ray, wall_distance);
  // Where the ray meets the slope kWallHeight + slope * (d - wall_distance).
  const double rise = std::tan(ray.elevation) + stands.slope;
  if (rise > 0) {
    const double hit = (view.HeightAt(ray, 0) - kWallHeight + stands.slope * wall_distance) / rise;
    if (hit <= wall_distance + stands.depth) {
      const Colour seats = stands.batters_eye ? kWall : StandsColour(ray, hit - wall_distance);
      return WithHaze(seats, hit);
    }
  }
  return SkyColour(ray);
}

void PutPixel(picture::Canvas& canvas, int px, int py, const Colour& colour) {
  std::uint8_t* pixel = canvas.Pixel(px, py);
  pixel[0] = ballpark::ToByte(colour.r);
  pixel[1] = ballpark::ToByte(colour.g);
  pixel[2] = ballpark::ToByte(colour.b);
}

void FillBox(picture::Canvas& canvas, double left, double top, double right, double bottom,
             const Colour& colour) {
  const int x0 = std::max(0, static_cast<int>(std::lround(left)));
  const int x1 = std::min(canvas.width - 1, static_cast<int>(std::lround(right)));
  const int y0 = std::max(0, static_cast<int>(std::lround(top)));
  const int y1 = std::min(canvas.height - 1, static_cast<int>(std::lround(bottom)));
  for (int py = y0; py <= y1; ++py) {
    for (int px = x0; px <= x1; ++px) PutPixel(canvas, px, py, colour);
  }
}

// A standing player: light uniform, dark cap, feet on the fielder's spot.
// Far players are drawn no smaller than a cell and a half tall and 0.7 of a
// cell wide so that each shows above its label.
void DrawFielder(picture::Canvas& canvas, const AreaMapping& area, const BallparkView& view,
                 double x, double y) {
  const CellPoint feet = view.Project(x, y, 0);
  const CellPoint head = view.Project(x, y, kFielderHeight);
  const CellPoint side = view.Project(x, y + kFielderHalfWidth, 0);
  const double rows_tall = std::max(feet.row - head.row, 1.5);
  const double half_columns = std::max(std::fabs(side.column - feet.column), 0.35);

  const double bottom = area.PixelY(feet.row);
  const double top = area.PixelY(feet.row - rows_tall);
  const double left = area.PixelX(feet.column - half_columns);
  const double right = area.PixelX(feet.column + half_columns);
  const double cap = top + (bottom - top) * 0.22;
  FillBox(canvas, left, cap, right, bottom, kUniform);
  const double inset = (right - left) * 0.18;
  FillBox(canvas, left + inset, top, right - inset, cap, kCap);
}

}  // namespace

void DrawBuiltinBallpark(picture::Canvas& canvas) {
  if (canvas.width <= 0 || canvas.height <= 0) {
    canvas.Reset(picture::kCanvasWidth, picture::kCanvasHeight);
  }
  const BallparkView view(kInitialViewpoint, kScreenRows, kScreenColumns);
  const AreaMapping area(canvas.width, canvas.height);
  FielderTable fielders;
  FillFielderTable(fielders);

  for (int px = 0; px < canvas.width; ++px) {
    const double column = area.ColumnOf(px);
    const ViewRay column_ray = view.RayThrough({kAreaTop, column});
    const double wall_distance = WallDistance(view, column_ray);
    for (int py = 0; py < canvas.height; ++py) {
      const ViewRay ray = view.RayThrough({area.RowOf(py), column});
      PutPixel(canvas, px, py, ViewColour(view, fielders, ray, wall_distance));
    }
  }

  // Far players first, so that nearer ones stand in front.
  std::vector<std::size_t> order;
  for (std::size_t i = 1; i <= kFielderCount; ++i) order.push_back(i);
  const ballpark::GroundPoint eye{double{kInitialViewpoint.ObsX}, double{kInitialViewpoint.ObsY}};
  const auto distance = [&](std::size_t i) {
    return std::hypot(fielders.x[i] - eye.x, fielders.y[i] - eye.y);
  };
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return distance(a) > distance(b); });
  for (const std::size_t i : order) DrawFielder(canvas, area, view, fielders.x[i], fielders.y[i]);
}

}  // namespace vistamere
