#include "toollibs/ballpark_backdrop.h"

#include <algorithm>
#include <cmath>

#include "toollibs/ballpark_field.h"

namespace vistamere::ballpark {

namespace {

constexpr double kWallHeight = 14;  // taller than life, to show from home plate

const Colour kSkyHigh{58, 112, 190};
const Colour kSkyLow{188, 214, 236};
const Colour kHaze{176, 196, 206};
const Colour kCloud{246, 248, 252};
const Colour kWall{28, 78, 52};
const Colour kWallCap{230, 196, 60};
const Colour kSeats{44, 72, 130};
const Colour kSeatsShade{34, 56, 104};

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

}  // namespace

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

Colour WithHaze(const Colour& colour, double distance) {
  return Mix(colour, kHaze, std::min(0.3, distance / 2400));
}

Colour BackdropColour(const BallparkView& view, const ViewRay& ray, double wall_distance) {
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

}  // namespace vistamere::ballpark
