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
constexpr double kOutfieldStandsDepth = 80;
constexpr double kExtraFoulStandsDepth = 50;
constexpr double kOutfieldStandsSlope = 0.55;
constexpr double kExtraFoulStandsSlope = 0.25;

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
    const double up = ray.elevation - puff.elevation;
    // A puff reaches no further than its radius; this test leaves a margin
    // far beyond the rounding of the distance below.
    if (std::fabs(up) > puff.radius * 1.000001) continue;
    const double across = (ray.lateral - puff.lateral) / kAspect;
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

// A quiet crowd: a repeatable speckle across the seats, `seat` being the
// place of the column across them.
Colour StandsColour(unsigned long seat, double tier_distance) {
  constexpr double kTierDepth = 9;
  const auto tier = static_cast<long>(std::floor(tier_distance / kTierDepth));
  const Colour base = tier % 2 == 0 ? kSeats : kSeatsShade;
  const unsigned long mixed = (seat * 2654435761UL + static_cast<unsigned long>(tier) * 40503UL);
  const double speckle = static_cast<double>((mixed >> 7) % 64) / 63.0;
  return Mix(base, Colour{200, 190, 176}, 0.22 * speckle);
}

}  // namespace

double WallDistance(const BallparkView& view, const ColumnAngle& column) {
  // Samples k / kPerUnit for k = 1, 2, ... below kFarthest. Each sample
  // that is looked at also tells how far the walls are at least; the
  // samples closer than that lie on the same side and are passed over, so
  // the first sample on the other side is always one looked at.
  constexpr int kPerUnit = 4;
  constexpr double kStep = 1.0 / kPerUnit;
  constexpr double kFarthest = 4000;
  constexpr long kSamples = static_cast<long>(kFarthest) * kPerUnit;
  // Keeps the passed-over samples clear of the walls by far more than the
  // rounding of the positions and of the test itself.
  constexpr double kMargin = 1e-3;
  bool entered = false;
  long k = 1;
  while (k < kSamples) {
    const double distance = static_cast<double>(k) * kStep;
    const GroundPoint p = view.PointAt(column, distance);
    const bool inside = InsidePark(p.x, p.y);
    if (inside) entered = true;
    if (entered && !inside) return distance;
    const double clear = WallClearance(p.x, p.y) - kMargin;
    const double same_side = clear > 0 ? std::floor(clear * kPerUnit) : 0;
    k += 1 + static_cast<long>(std::min(same_side, static_cast<double>(kSamples)));
  }
  return kFarthest;
}

ColumnBackdrop::ColumnBackdrop(const BallparkView& view, const ColumnAngle& column)
    : wall_distance_(WallDistance(view, column)) {
  const GroundPoint p = view.PointAt(column, wall_distance_);
  const double angle = std::fabs(std::atan2(p.y, p.x));  // 0 towards centre field
  const double foul = std::clamp((angle - 0.62) / 0.35, 0.0, 1.0);
  const double blend = foul * foul * (3 - 2 * foul);
  stands_depth_ = kOutfieldStandsDepth + kExtraFoulStandsDepth * blend;
  stands_slope_ = kOutfieldStandsSlope + kExtraFoulStandsSlope * blend;
  batters_eye_ = angle < 0.1;
  seat_ = static_cast<unsigned long>(std::floor(column.lateral * 900 + 5000));
}

Colour WithHaze(const Colour& colour, double distance) {
  return Mix(colour, kHaze, std::min(0.3, distance / 2400));
}

Colour ColumnBackdrop::ColourOf(const BallparkView& view, const ViewRay& ray) const {
  const double wall_height = view.HeightAt(ray, wall_distance_);
  if (wall_height < kWallHeight) {
    const Colour wall = wall_height > kWallHeight - 2 ? kWallCap : kWall;
    return WithHaze(wall, wall_distance_);
  }
  // Where the ray meets the slope kWallHeight + slope * (d - wall_distance).
  const double rise = ray.drop + stands_slope_;
  if (rise > 0) {
    const double hit =
        (view.HeightAt(ray, 0) - kWallHeight + stands_slope_ * wall_distance_) / rise;
    if (hit <= wall_distance_ + stands_depth_) {
      const Colour seats = batters_eye_ ? kWall : StandsColour(seat_, hit - wall_distance_);
      return WithHaze(seats, hit);
    }
  }
  return SkyColour(ray);
}

}  // namespace vistamere::ballpark
