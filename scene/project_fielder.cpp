#include "scene/project_fielder.h"

#include <cmath>

#include "scene/convert_and_clip.h"
#include "scene/normalize_angle.h"
#include "scene/projection_constants.h"
#include "scene/screen_size.h"

// Rounding model: every `float` here is a value stored as a 32-bit float at
// that point; everything between two stores is evaluated in long double,
// which on x86-64 is the x87 extended format with a 64-bit significand. The
// casts spell out each widening so that no compiler or optimisation level can
// move a rounding.

namespace vistamere {

namespace {

using Wide = long double;

Wide Widen(float value) {
  return static_cast<Wide>(value);
}
Wide Widen(std::int32_t value) {
  return static_cast<Wide>(value);
}

// Degrees to radians: the exact product (24 by 32 bits fits the extended
// significand), rounded once to float, then reduced.
float TiltToRadians(std::int32_t degrees) {
  float tilt = static_cast<float>(Widen(DEG_TO_RAD) * Widen(degrees));
  tilt = NormalizeAngle(tilt);
  return tilt;
}

float SumOfAngles(float tilt, float base) {
  float angle = static_cast<float>(Widen(tilt) + Widen(base));
  angle = NormalizeAngle(angle);
  return angle;
}

// Float against float: -1 up to PI_LIMIT, +1 beyond.
float SignOf(float view_angle) {
  return view_angle <= PI_LIMIT ? -1.0f : 1.0f;
}

// tangent x sign x VIEW_SCALE x factor, multiplied from left to right.
float OffsetOf(float view_angle, float sign, float factor) {
  const Wide product =
      std::tan(Widen(view_angle)) * Widen(sign) * Widen(VIEW_SCALE) * Widen(factor);
  return static_cast<float>(product);
}

// The arctangent of (numerator / distance), stored and reduced.
float AngleOver(Wide numerator, Wide distance) {
  float angle = static_cast<float>(std::atan(numerator / distance));
  angle = NormalizeAngle(angle);
  return angle;
}

}  // namespace

ProjectionTrace TraceProjection(const std::int32_t& x, const std::int32_t& y, const std::int32_t& z,
                                const std::int32_t& ObsX, const std::int32_t& ObsY,
                                const std::int32_t& ObsZ, const std::int32_t& TilZ,
                                const std::int32_t& TilY) {
  ProjectionTrace t;
  t.row_factor = static_cast<float>(ScreenRows);
  t.column_factor = static_cast<float>(Widen(COL_ASPECT) * Widen(ScreenCols));
  t.vertical_tilt = TiltToRadians(TilZ);
  t.horizontal_tilt = TiltToRadians(TilY);

  // Over the observer's spot both base angles are 0, whatever the heights.
  const bool over_observer = x == ObsX && y == ObsY;
  if (!over_observer) {
    const Wide along = Widen(ObsX) - Widen(x);
    const Wide across = Widen(ObsY) - Widen(y);
    t.distance = std::sqrt(along * along + across * across);
    t.elevation = AngleOver(Widen(ObsZ) - Widen(z), t.distance);
    t.lateral_angle = AngleOver(across, t.distance);
  }

  t.vertical_view_angle = SumOfAngles(t.vertical_tilt, t.elevation);
  t.vertical_sign = SignOf(t.vertical_view_angle);
  t.vertical_offset = OffsetOf(t.vertical_view_angle, t.vertical_sign, t.row_factor);

  t.horizontal_view_angle = SumOfAngles(t.horizontal_tilt, t.lateral_angle);
  t.horizontal_sign = SignOf(t.horizontal_view_angle);
  t.horizontal_offset = OffsetOf(t.horizontal_view_angle, t.horizontal_sign, t.column_factor);

  t.centre_column = static_cast<std::int32_t>(ViewCentreColumn(ScreenCols));
  t.raw_column = Widen(t.horizontal_offset) + Widen(t.centre_column);
  t.column = ConvertToInt32(t.raw_column);

  t.centre_row = static_cast<float>(static_cast<Wide>(ViewCentreRow(ScreenRows)));
  t.raw_row = Widen(t.centre_row) - Widen(t.vertical_offset);
  t.row = ConvertToInt32(t.raw_row);

  ClipToGraphicsArea(t.row, t.column);
  return t;
}

void ProjectFielder(const std::int32_t& x, const std::int32_t& y, const std::int32_t& z,
                    const std::int32_t& ObsX, const std::int32_t& ObsY, const std::int32_t& ObsZ,
                    const std::int32_t& TilZ, const std::int32_t& TilY, std::int32_t& row,
                    std::int32_t& column) {
  const ProjectionTrace trace = TraceProjection(x, y, z, ObsX, ObsY, ObsZ, TilZ, TilY);
  row = trace.row;
  column = trace.column;
}

}  // namespace vistamere
