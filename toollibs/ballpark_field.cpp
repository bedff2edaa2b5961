#include "toollibs/ballpark_field.h"

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

bool NearWalls(double x, double y) {
  const double angle = std::atan2(y, x);
  if (InFairTerritory(x, y)) return std::hypot(x, y) > OutfieldFence(angle) - kWarningTrackWidth;
  const DiamondPoint d = ToDiamond(x, std::fabs(y));
  if (d.u < 0) return std::hypot(x, y) > kBackstopRadius - kWarningTrackWidth;
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
  return std::hypot(x - kMoundX, y - kMoundY) < kMoundRadius;
}

bool OnInfieldGrass(double x, double y) {
  const DiamondPoint d = ToDiamond(x, y);
  const double low = kBasePathHalfWidth;
  const double high = kBaseDistance - kBasePathHalfWidth;
  if (d.u <= low || d.u >= high || d.v <= low || d.v >= high) return false;
  return std::hypot(x, y) > kHomeCircleRadius;
}

bool OnInfieldDirt(double x, double y) {
  if (std::hypot(x, y) < kHomeCircleRadius) return true;
  const DiamondPoint d = ToDiamond(x, y);
  const bool fair_side = d.u > -kBasePathHalfWidth && d.v > -kBasePathHalfWidth;
  return fair_side && std::hypot(x - kRubberX, y) < kInfieldArcRadius;
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

}  // namespace

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
