// The fixed scene: the nine fielding positions in field space. x grows from
// the catcher towards the centre fielder, y is positive on the side of first
// base and right field, z is the height above the ground.
#pragma once

#include <array>
#include <cstdint>

#include "console/text.h"

namespace vistamere {

inline constexpr int kFielderCount = 9;

// Parallel coordinate arrays, indices 0 to 10. Indices 1 to 9 hold the
// fielders; 0 and 10 stay zero and take part in nothing.
struct FielderTable {
  std::array<std::int32_t, kFielderCount + 2> x{};
  std::array<std::int32_t, kFielderCount + 2> y{};
  std::array<std::int32_t, kFielderCount + 2> z{};
};

void FillFielderTable(FielderTable& table);

// The label printed for fielder `index` (1 to 9); empty for any other index.
[[nodiscard]] const Text& FielderLabel(int index);

}  // namespace vistamere
