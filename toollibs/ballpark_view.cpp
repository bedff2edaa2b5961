#include "toollibs/ballpark_view.h"

#include <cmath>

#include "scene/projection_constants.h"
#include "scene/screen_size.h"

namespace vistamere::ballpark {

BallparkView::BallparkView(const Viewpoint& viewpoint, int rows, int columns)
    : viewpoint_(viewpoint),
      vertical_tilt_(double{DEG_TO_RAD} * viewpoint.TilZ),
      horizontal_tilt_(double{DEG_TO_RAD} * viewpoint.TilY),
      centre_row_(static_cast<double>(ViewCentreRow(rows))),
      centre_column_(static_cast<double>(ViewCentreColumn(columns))),
      row_scale_(double{VIEW_SCALE} * rows),
      column_scale_(double{VIEW_SCALE} * double{COL_ASPECT} * columns) {}

CellPoint BallparkView::Project(double x, double y, double z) const {
  const double along = viewpoint_.ObsX - x;
  const double across = viewpoint_.ObsY - y;
  const double distance = std::hypot(along, across);
  double elevation = 0;
  double lateral = 0;
  if (distance > 0) {
    elevation = std::atan((viewpoint_.ObsZ - z) / distance);
    lateral = std::atan(across / distance);
  }
  return {centre_row_ + row_scale_ * std::tan(vertical_tilt_ + elevation),
          centre_column_ - column_scale_ * std::tan(horizontal_tilt_ + lateral)};
}

RowAngle BallparkView::RowThrough(double row) const {
  const double elevation = std::atan((row - centre_row_) / row_scale_) - vertical_tilt_;
  return {elevation, std::tan(elevation)};
}

ColumnAngle BallparkView::ColumnThrough(double column) const {
  const double lateral = std::atan((centre_column_ - column) / column_scale_) - horizontal_tilt_;
  // The lateral angle is measured over the horizontal distance itself, so
  // the sideways part is d tan(lateral) and the rest lies along x.
  const double sideways = std::tan(lateral);
  const double forward = std::sqrt(std::fmax(0.0, 1.0 - sideways * sideways));
  return {lateral, sideways, forward};
}

double BallparkView::GroundDistance(const RowAngle& row) const {
  if (row.elevation <= 0 || viewpoint_.ObsZ <= 0) return -1;
  return viewpoint_.ObsZ / row.drop;
}

}  // namespace vistamere::ballpark
