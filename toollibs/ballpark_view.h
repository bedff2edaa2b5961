// The view projection in continuous form, for drawing pictures that line up
// with the projected cells: no rounding to floats or whole cells, and with
// its inverse, from a fractional console cell back to the ray it sees.
// Valid while the view angles stay within a quarter turn, as they do for the
// start-up viewpoint.
#pragma once

#include "scene/viewpoint.h"

namespace vistamere::ballpark {

// A console position in cells: row 22.0 is the centre of row 22.
struct CellPoint {
  double row = 0;
  double column = 0;
};

struct GroundPoint {
  double x = 0;
  double y = 0;
};

// The part of a ray fixed by its screen row: the angle below the observer's
// eye level, measured against the horizontal distance d, and its tangent,
// the drop per unit of d.
struct RowAngle {
  double elevation = 0;  // positive below eye level
  double drop = 0;       // tan(elevation)
};

// The part of a ray fixed by its screen column: the sideways angle, measured
// against the horizontal distance d, and the unit ground direction it gives.
struct ColumnAngle {
  double lateral = 0;   // positive towards smaller y (the left of the screen)
  double sideways = 0;  // tan(lateral): towards -y per unit of d
  double forward = 1;   // towards +x per unit of d
};

// What a screen position sees. The tangents are kept with the angles so that
// a drawing can put each row's and each column's trigonometry together once.
struct ViewRay {
  ViewRay(const RowAngle& row, const ColumnAngle& column)
      : elevation(row.elevation),
        lateral(column.lateral),
        drop(row.drop),
        sideways(column.sideways),
        forward(column.forward) {}

  double elevation = 0;
  double lateral = 0;
  double drop = 0;
  double sideways = 0;
  double forward = 1;
};

class BallparkView {
 public:
  // The screen is laid out for `rows` by `columns` console cells.
  BallparkView(const Viewpoint& viewpoint, int rows, int columns);

  // The cell position at which field point (x, y, z) is seen.
  [[nodiscard]] CellPoint Project(double x, double y, double z) const;
  [[nodiscard]] RowAngle RowThrough(double row) const;
  [[nodiscard]] ColumnAngle ColumnThrough(double column) const;
  // The point at horizontal distance `distance` along the ray; the ray runs
  // in front of the observer, towards larger x.
  [[nodiscard]] GroundPoint PointAt(const ViewRay& ray, double distance) const {
    return PointAt(ray.forward, ray.sideways, distance);
  }
  [[nodiscard]] GroundPoint PointAt(const ColumnAngle& column, double distance) const {
    return PointAt(column.forward, column.sideways, distance);
  }
  // The height of the ray at horizontal distance `distance`.
  [[nodiscard]] double HeightAt(const ViewRay& ray, double distance) const {
    return viewpoint_.ObsZ - distance * ray.drop;
  }
  // Where the rays of a row meet the ground, or a negative value when they never do.
  [[nodiscard]] double GroundDistance(const RowAngle& row) const;

 private:
  GroundPoint PointAt(double forward, double sideways, double distance) const {
    return {viewpoint_.ObsX + distance * forward, viewpoint_.ObsY - distance * sideways};
  }

  Viewpoint viewpoint_;
  double vertical_tilt_;
  double horizontal_tilt_;
  double centre_row_;
  double centre_column_;
  double row_scale_;
  double column_scale_;
};

}  // namespace vistamere::ballpark
