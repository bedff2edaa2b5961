// What the built-in ballpark shows beyond the field: the outfield and side
// walls, the stands that rise behind them, and the sky above.
#pragma once

#include "toollibs/ballpark_colour.h"
#include "toollibs/ballpark_view.h"

namespace vistamere::ballpark {

// The horizontal distance at which the ground seen along a screen column
// leaves the park through its walls; walls and stands stand there. The
// ground is looked at every quarter unit out to 4000 and the first sample
// outside after one inside gives the distance (4000 when there is none).
[[nodiscard]] double WallDistance(const BallparkView& view, const ColumnAngle& column);

// The walls and stands seen along one screen column, worked out once for
// all the rays of that column.
class ColumnBackdrop {
 public:
  ColumnBackdrop(const BallparkView& view, const ColumnAngle& column);

  double wall_distance() const { return wall_distance_; }

  // What the ray, one of this column's, sees when it does not meet the
  // ground inside the walls.
  [[nodiscard]] Colour ColourOf(const BallparkView& view, const ViewRay& ray) const;

 private:
  double wall_distance_;
  // The stands behind the wall: how far back and how steep they rise.
  double stands_depth_;
  double stands_slope_;
  bool batters_eye_;
  unsigned long seat_;  // the column's place in the crowd's speckle
};

// Fades a colour towards the haze of the distance.
[[nodiscard]] Colour WithHaze(const Colour& colour, double distance);

}  // namespace vistamere::ballpark
