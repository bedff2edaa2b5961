// Places the fielder labels for the current viewpoint: takes last turn's
// labels off, projects every fielder and prints its label in a fresh hole.
#pragma once

#include <cstdint>

#include "overlay/label_holes.h"
#include "scene/fielder_table.h"
#include "scene/viewpoint.h"

namespace vistamere {

// A console cell, 1-based; 0 in either means the fielder is not shown.
struct CellPos {
  std::int32_t row = 0;
  std::int32_t column = 0;
};

inline constexpr char kOverflowMarker[] = "O";

void LabelPass(OverlayTools& tools, const FielderTable& fielders, std::int32_t fielder_count,
               const Viewpoint& viewpoint, CellPos& current);

}  // namespace vistamere
