// The last steps of the projection: a raw screen coordinate becomes a whole
// cell number, and a cell outside the graphics area becomes 0.
#pragma once

#include <cstdint>

namespace vistamere {

// Rounds to the nearest integer, ties to even, whatever the current rounding
// mode. A value outside the signed 32-bit range, or not a number, becomes
// -2147483648.
[[nodiscard]] std::int32_t ConvertToInt32(long double value);

// Four tests, each on its own: a column outside 1 to ScreenCols and a row
// outside kGraphicsAreaTop to ScreenRows - 1 become 0; clearing one leaves
// the other alone.
void ClipToGraphicsArea(std::int32_t& row, std::int32_t& column);

}  // namespace vistamere
