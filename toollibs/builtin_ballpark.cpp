#include "toollibs/builtin_ballpark.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "scene/fielder_table.h"
#include "scene/screen_size.h"
#include "scene/viewpoint.h"
#include "toollibs/ballpark_backdrop.h"
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
constexpr int kScreenRows = kProgramScreenRows;
constexpr int kScreenColumns = kProgramScreenColumns;
constexpr int kAreaTop = kGraphicsAreaTop;
constexpr int kAreaRows = kScreenRows - kAreaTop;  // to the row above the last
constexpr int kAreaLeft = 1;
constexpr int kAreaColumns = kScreenColumns;

constexpr double kFielderHeight = 6.5;
constexpr double kFielderHalfWidth = 1.3;
constexpr double kShadowRadius = 3.5;

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

// Darkened ground around each fielder's spot: the spot itself stays
// visible even where the label covers the figure.
class Shadows {
 public:
  Shadows(const FielderTable& fielders, const Viewpoint& viewpoint) : fielders_(fielders) {
    for (std::size_t i = 1; i <= kFielderCount; ++i) {
      reach_[i] = std::hypot(fielders.x[i] - viewpoint.ObsX, fielders.y[i] - viewpoint.ObsY);
    }
  }

  // The ground points of one screen row all lie `ground` from the observer
  // (to within rounding): only the shadows that reach that circle matter.
  void SelectRow(double ground) {
    near_count_ = 0;
    const double slack = kShadowRadius + 1e-6 * (1 + std::fabs(ground));
    for (std::size_t i = 1; i <= kFielderCount; ++i) {
      if (std::fabs(reach_[i] - ground) < slack) near_[near_count_++] = i;
    }
  }

  double FactorAt(double x, double y) const {
    for (std::size_t n = 0; n < near_count_; ++n) {
      const std::size_t i = near_[n];
      const double dx = x - fielders_.x[i];
      const double dy = y - fielders_.y[i];
      if (dx * dx + dy * dy < kShadowRadius * kShadowRadius) return 0.62;
    }
    return 1.0;
  }

 private:
  const FielderTable& fielders_;
  double reach_[kFielderCount + 1] = {};
  std::size_t near_[kFielderCount] = {};
  std::size_t near_count_ = 0;
};

Colour ViewColour(const BallparkView& view, const Shadows& shadows, const ViewRay& ray,
                  double ground, const ballpark::ColumnBackdrop& backdrop) {
  if (ground >= 0 && ground < backdrop.wall_distance()) {
    const ballpark::GroundPoint p = view.PointAt(ray, ground);
    const Colour field = ballpark::FieldColour(p.x, p.y);
    return ballpark::WithHaze(Scale(field, shadows.FactorAt(p.x, p.y)), ground);
  }
  return backdrop.ColourOf(view, ray);
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
  Shadows shadows(fielders, kInitialViewpoint);

  // A ray's lateral angle, and with it the wall's distance and what stands
  // behind the wall, depends on the column alone; its elevation and where it
  // meets the ground on the row alone.
  std::vector<ballpark::ColumnAngle> columns;
  std::vector<ballpark::ColumnBackdrop> backdrops;
  columns.reserve(static_cast<std::size_t>(canvas.width));
  backdrops.reserve(static_cast<std::size_t>(canvas.width));
  for (int px = 0; px < canvas.width; ++px) {
    columns.push_back(view.ColumnThrough(area.ColumnOf(px)));
    backdrops.emplace_back(view, columns.back());
  }
  for (int py = 0; py < canvas.height; ++py) {
    const ballpark::RowAngle row = view.RowThrough(area.RowOf(py));
    const double ground = view.GroundDistance(row);
    shadows.SelectRow(ground);
    for (int px = 0; px < canvas.width; ++px) {
      const auto column = static_cast<std::size_t>(px);
      const ViewRay ray(row, columns[column]);
      PutPixel(canvas, px, py, ViewColour(view, shadows, ray, ground, backdrops[column]));
    }
  }

  // Far players first, so that nearer ones stand in front.
  std::vector<std::size_t> order;
  for (std::size_t i = 1; i <= kFielderCount; ++i) order.push_back(i);
  const auto distance = [&](std::size_t i) {
    return std::hypot(fielders.x[i] - kInitialViewpoint.ObsX,
                      fielders.y[i] - kInitialViewpoint.ObsY);
  };
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return distance(a) > distance(b); });
  for (const std::size_t i : order) DrawFielder(canvas, area, view, fielders.x[i], fielders.y[i]);
}

}  // namespace vistamere
