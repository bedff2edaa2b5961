// The view projection: the console cell at which a fielder is seen from the
// current viewpoint. The row comes from the vertical view angle (tilt plus
// elevation), the column from the horizontal one (tilt plus lateral angle);
// each angle's tangent is scaled and laid off from the centre cell. A cell
// outside the graphics area comes back as 0, each coordinate on its own.
#pragma once

#include <cstdint>

namespace vistamere {

// Every intermediate value of one projection, as stored. `distance`, the raw
// row and the raw column are never stored as 32-bit floats, so they keep
// their extended precision here.
struct ProjectionTrace {
  float row_factor = 0;
  float column_factor = 0;
  float vertical_tilt = 0;
  float horizontal_tilt = 0;
  long double distance = 0;  // horizontal distance d; 0 when over the observer's spot
  float elevation = 0;
  float vertical_view_angle = 0;
  float vertical_sign = 0;
  float vertical_offset = 0;
  float lateral_angle = 0;
  float horizontal_view_angle = 0;
  float horizontal_sign = 0;
  float horizontal_offset = 0;
  std::int32_t centre_column = 0;
  float centre_row = 0;
  long double raw_row = 0;
  long double raw_column = 0;
  std::int32_t row = 0;  // after conversion and clipping
  std::int32_t column = 0;
};

// Reads ScreenRows and ScreenCols afresh on every call.
[[nodiscard]] ProjectionTrace TraceProjection(const std::int32_t& x, const std::int32_t& y,
                                              const std::int32_t& z, const std::int32_t& ObsX,
                                              const std::int32_t& ObsY, const std::int32_t& ObsZ,
                                              const std::int32_t& TilZ, const std::int32_t& TilY);

// Writes row and column on every call, shown or not; 0 means not shown.
void ProjectFielder(const std::int32_t& x, const std::int32_t& y, const std::int32_t& z,
                    const std::int32_t& ObsX, const std::int32_t& ObsY, const std::int32_t& ObsZ,
                    const std::int32_t& TilZ, const std::int32_t& TilY, std::int32_t& row,
                    std::int32_t& column);

}  // namespace vistamere
