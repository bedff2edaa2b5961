// The console's size in character cells, set once at start-up (40 by 102)
// and read by the geometry and the overlay at every call.
#pragma once

#include <cstdint>

namespace vistamere {

extern std::int32_t ScreenRows;
extern std::int32_t ScreenCols;

}  // namespace vistamere
