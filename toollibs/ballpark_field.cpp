#include "toollibs/ballpark_field.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vistamere::ballpark {

namespace {

constexpr double kBaseDistance = 90;     // between the bases
constexpr double kFoulGroundWidth = 60;  // from a foul line to the side wall
constexpr double kBackstopRadius = 60;   // behind home plate
constexpr double kWarningTrackWidth = 14;
constexpr double kInfieldArcRadius = 95;  // infield dirt, around the rubber
constexpr double kRubberX = 60.5;
constexpr double kMoundX = 59;  // the pitcher works from the first-base-side
constexpr double kMoundY = -5;  // edge of the mound's left half
constexpr double kMoundRadius = 9;
constexpr double kHomeCircleRadius = 13;
constexpr double kBasePathHalfWidth = 3;
constexpr double kBaseHalfSize = 1.8;  // drawn larger than life to show from afar
constexpr double kChalkHalfWidth = 0.9;

const Colour kGrassLight{82, 156, 64};
const Colour kGrassDark{60, 128, 48};
const Colour kInfieldGrassLight{78, 150, 60};
const Colour kInfieldGrassDark{66, 136, 52};
const Colour kFoulGrass{70, 140, 56};
const Colour kDirt{184, 128, 80};
const Colour kMoundDirt{196, 140, 92};
const Colour kWarningTrack{150, 102, 66};
const Colour kChalk{246, 246, 240};

// Coordinates along the two foul lines: u grows along the first-base line,
// v along the third-base line. First base is (90, 0), third (0, 90).
struct DiamondPoint {
  double u;
  double v;
};

DiamondPoint ToDiamond(double x, double y) {
  constexpr double kRoot = std::numbers::sqrt2 / 2;
  return {(x + y) * kRoot, (x - y) * kRoot};
}

double OutfieldFence(double angle) {
  const double spread = kCentreFieldDistance - kFoulPoleDistance;
  return kFoulPoleDistance + spread * std::cos(2 * angle);
}

bool InFairTerritory(double x, double y) {
  return x >= std::fabs(y);
}

// Whether std::hypot(a, b) < limit, for limit > 0. The sum of squares
// settles it unless it lies within a billionth of limit squared, far beyond
// its rounding; only there is hypot itself asked.
bool ShorterThan(double a, double b, double limit) {
  constexpr double kDoubt = 1e-9;
  const double square = a * a + b * b;
  const double limit_square = limit * limit;
  if (square < limit_square * (1 - kDoubt)) return true;
  if (square > limit_square * (1 + kDoubt)) return false;
  return std::hypot(a, b) < limit;
}

// Whether std::hypot(a, b) > limit, for limit > 0; as ShorterThan.
bool LongerThan(double a, double b, double limit) {
  constexpr double kDoubt = 1e-9;
  const double square = a * a + b * b;
  const double limit_square = limit * limit;
  if (square > limit_square * (1 + kDoubt)) return true;
  if (square < limit_square * (1 - kDoubt)) return false;
  return std::hypot(a, b) > limit;
}

bool NearWalls(double x, double y) {
  if (InFairTerritory(x, y)) {
    // The fence stands at kFoulPoleDistance or farther in fair territory.
    constexpr double kTrackNeverNearer = kFoulPoleDistance - kWarningTrackWidth - 1;
    if (ShorterThan(x, y, kTrackNeverNearer)) return false;
    return std::hypot(x, y) > OutfieldFence(std::atan2(y, x)) - kWarningTrackWidth;
  }
  const DiamondPoint d = ToDiamond(x, std::fabs(y));
  if (d.u < 0) return LongerThan(x, y, kBackstopRadius - kWarningTrackWidth);
  constexpr double kFoulTrackWidth = 8;
  return -d.v > kFoulGroundWidth - kFoulTrackWidth || d.u > kFoulPoleDistance - kFoulTrackWidth;
}

bool OnChalk(double x, double y) {
  const DiamondPoint d = ToDiamond(x, y);
  const bool first_line = d.u >= 0 && d.u <= kFoulPoleDistance && std::fabs(d.v) < kChalkHalfWidth;
  const bool third_line = d.v >= 0 && d.v <= kFoulPoleDistance && std::fabs(d.u) < kChalkHalfWidth;
  return first_line || third_line;
}

bool OnBase(double x, double y) {
  const DiamondPoint d = ToDiamond(x, y);
  const DiamondPoint bases[] = {
      {0, 0}, {kBaseDistance, 0}, {kBaseDistance, kBaseDistance}, {0, kBaseDistance}};
  for (const DiamondPoint& base : bases) {
    if (std::fabs(d.u - base.u) < kBaseHalfSize && std::fabs(d.v - base.v) < kBaseHalfSize) {
      return true;
    }
  }
  return false;
}

bool OnMound(double x, double y) {
  return ShorterThan(x - kMoundX, y - kMoundY, kMoundRadius);
}

bool OnInfieldGrass(double x, double y) {
  const DiamondPoint d = ToDiamond(x, y);
  const double low = kBasePathHalfWidth;
  const double high = kBaseDistance - kBasePathHalfWidth;
  if (d.u <= low || d.u >= high || d.v <= low || d.v >= high) return false;
  return LongerThan(x, y, kHomeCircleRadius);
}

bool OnInfieldDirt(double x, double y) {
  if (ShorterThan(x, y, kHomeCircleRadius)) return true;
  const DiamondPoint d = ToDiamond(x, y);
  const bool fair_side = d.u > -kBasePathHalfWidth && d.v > -kBasePathHalfWidth;
  return fair_side && ShorterThan(x - kRubberX, y, kInfieldArcRadius);
}

// Mowing stripes across the line from home to centre field.
Colour OutfieldGrass(double x) {
  constexpr double kStripeWidth = 24;
  const auto stripe = static_cast<long>(std::floor(x / kStripeWidth));
  return stripe % 2 == 0 ? kGrassLight : kGrassDark;
}

Colour InfieldGrass(double x, double y) {
  constexpr double kSquare = 18;
  const DiamondPoint d = ToDiamond(x, y);
  const auto cell = static_cast<long>(std::floor(d.u / kSquare) + std::floor(d.v / kSquare));
  return cell % 2 == 0 ? kInfieldGrassLight : kInfieldGrassDark;
}

// The distance from p to the segment from a to b.
double SegmentDistance(const DiamondPoint& p, const DiamondPoint& a, const DiamondPoint& b) {
  const double along_u = b.u - a.u;
  const double along_v = b.v - a.v;
  const double t = std::clamp(
      ((p.u - a.u) * along_u + (p.v - a.v) * along_v) / (along_u * along_u + along_v * along_v),
      0.0, 1.0);
  return std::hypot(p.u - a.u - t * along_u, p.v - a.v - t * along_v);
}

// A lower bound of the distance from (x, y) to the outfield fence.
// g = OutfieldFence(angle) - r vanishes on the fence, and changes by at most
// 1 + 2 * spread / r per unit of distance (the radial part 1, the angular
// part |dOutfieldFence/dangle| / r), so at most by 2.4 per unit where
// r >= 100. The fence lies at r >= kFoulPoleDistance - spread = 260; from a
// point at r >= 150, a fence point less than 50 away is reached without
// coming within 100 of home plate.
double FenceClearance(double x, double y, double distance) {
  constexpr double kSpread = kCentreFieldDistance - kFoulPoleDistance;
  constexpr double kNearestFence = kFoulPoleDistance - kSpread;
  if (distance < 150) return kNearestFence - distance;
  const double cos_twice = (x * x - y * y) / (distance * distance);
  const double g = kFoulPoleDistance + kSpread * cos_twice - distance;
  constexpr double kMostChange = 1 + 2 * kSpread / 100;
  return std::min(std::fabs(g) / kMostChange, 50.0);
}

}  // namespace

double WallClearance(double x, double y) {
  // The walls are symmetric about the x axis, and from a point with y >= 0
  // the walls' half with y >= 0 is the nearer one: fold and measure there.
  y = std::fabs(y);
  const double distance = std::hypot(x, y);
  double clearance = FenceClearance(x, y, distance);
  // The wall behind the foul pole, u = kFoulPoleDistance, and the side wall
  // -v = kFoulGroundWidth along the third-base line's side.
  const DiamondPoint p = ToDiamond(x, y);
  const DiamondPoint pole{kFoulPoleDistance, 0};
  const DiamondPoint corner{kFoulPoleDistance, -kFoulGroundWidth};
  const DiamondPoint backstop_end{0, -kFoulGroundWidth};
  clearance = std::min(clearance, SegmentDistance(p, pole, corner));
  clearance = std::min(clearance, SegmentDistance(p, corner, backstop_end));
  // The backstop, the arc of radius kBackstopRadius where u < 0; it ends
  // at backstop_end on this side.
  if (p.u <= 0) {
    clearance = std::min(clearance, std::fabs(distance - kBackstopRadius));
  } else {
    clearance = std::min(clearance, std::hypot(p.u - backstop_end.u, p.v - backstop_end.v));
  }
  return clearance;
}

bool InsidePark(double x, double y) {
  const double distance = std::hypot(x, y);
  if (InFairTerritory(x, y)) return distance < OutfieldFence(std::atan2(y, x));
  const DiamondPoint d = ToDiamond(x, std::fabs(y));  // folded onto the first-base side
  if (d.u < 0) return distance < kBackstopRadius;
  return -d.v < kFoulGroundWidth && d.u < kFoulPoleDistance;
}

Colour FieldColour(double x, double y) {
  if (OnChalk(x, y) || OnBase(x, y)) return kChalk;
  if (OnMound(x, y)) return kMoundDirt;
  if (OnInfieldGrass(x, y)) return InfieldGrass(x, y);
  if (OnInfieldDirt(x, y)) return kDirt;
  if (NearWalls(x, y)) return kWarningTrack;
  return InFairTerritory(x, y) ? OutfieldGrass(x) : kFoulGrass;
}

}  // namespace vistamere::ballpark
