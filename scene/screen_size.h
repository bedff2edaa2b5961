// The console's size in character cells, set once at start-up (40 by 102)
// and read by the geometry and the overlay at every call, and the part of it
// that the graphics area takes.
#pragma once

#include <cstdint>

namespace vistamere {

extern std::int32_t ScreenRows;
extern std::int32_t ScreenCols;

// The size the program sets the console to at start-up.
inline constexpr std::int32_t kProgramScreenRows = 40;
inline constexpr std::int32_t kProgramScreenColumns = 102;

// The graphics area runs from this row to the row above the screen's last,
// across every column; the rows above it hold the key help and the viewpoint.
inline constexpr std::int32_t kGraphicsAreaTop = 6;

// The cell straight ahead, where a view angle of 0 is seen, on a screen of
// `rows` by `columns`: half the graphics area's height down from the row
// above the area, and half the width across, each rounded toward zero (row
// 22, column 51 on the 40 by 102 screen).
[[nodiscard]] constexpr std::int64_t ViewCentreRow(std::int64_t rows) {
  return kGraphicsAreaTop - 1 + (rows - kGraphicsAreaTop) / 2;
}
[[nodiscard]] constexpr std::int64_t ViewCentreColumn(std::int64_t columns) {
  return columns / 2;
}

}  // namespace vistamere
