// The layout of the built-in ballpark on the ground, in field units (about a
// foot each): home plate at the origin, second base along +x, first base
// towards +y, foul lines along y = x and y = -x.
#pragma once

#include "toollibs/ballpark_colour.h"

namespace vistamere::ballpark {

// Distance of the outfield fence from home plate at the foul poles and in
// straight-away centre field.
inline constexpr double kFoulPoleDistance = 330;
inline constexpr double kCentreFieldDistance = 400;

// Whether ground point (x, y) lies inside the walls of the park.
[[nodiscard]] bool InsidePark(double x, double y);

// A distance within which every ground point lies on the same side of the
// walls as (x, y): never more than the distance from (x, y) to the walls,
// and within a small factor of it away from the curve of the outfield fence.
[[nodiscard]] double WallClearance(double x, double y);

// The colour of the ground at (x, y), a point inside the park.
[[nodiscard]] Colour FieldColour(double x, double y);

}  // namespace vistamere::ballpark
