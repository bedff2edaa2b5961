// What the built-in ballpark shows beyond the field: the outfield and side
// walls, the stands that rise behind them, and the sky above.
#pragma once

#include "toollibs/ballpark_colour.h"
#include "toollibs/ballpark_view.h"

namespace vistamere::ballpark {

// The horizontal distance at which the ground seen along a ray's screen
// column leaves the park through its walls; walls and stands stand there.
double WallDistance(const BallparkView& view, const ViewRay& ray);

// What the ray sees when it does not meet the ground inside the walls.
Colour BackdropColour(const BallparkView& view, const ViewRay& ray, double wall_distance);

// Fades a colour towards the haze of the distance.
Colour WithHaze(const Colour& colour, double distance);

}  // namespace vistamere::ballpark
