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

// What a screen position sees: the angle below the observer's eye level and
// the sideways angle, both measured against the horizontal distance d.
struct ViewRay {
  double elevation = 0;  // positive below eye level
  double lateral = 0;    // positive towards smaller y (the left of the screen)
};

class BallparkView {
 public:
  // The screen is laid out for `rows` by `columns` console cells.
  BallparkView(const Viewpoint& viewpoint, int rows, int columns);

  // The cell position at which field point (x, y, z) is seen.
  CellPoint Project(double x, double y, double z) const;
  ViewRay RayThrough(const CellPoint& cell) const;
  // The point at horizontal distance `distance` along the ray; the ray runs
  // in front of the observer, towards larger x.
  GroundPoint PointAt(const ViewRay& ray, double distance) const;
  // The height of the ray at horizontal distance `distance`.
  double HeightAt(const ViewRay& ray, double distance) const;
  // Where the ray meets the ground, or a negative value when it never does.
  double GroundDistance(const ViewRay& ray) const;

 private:
  Viewpoint viewpoint_;
  double vertical_tilt_;
  double horizontal_tilt_;
  double centre_row_;
  double centre_column_;
  double row_scale_;
  double column_scale_;
};

}  // namespace vistamere::ballpark
