// Which label text holes are open: -1 open, 0 closed, by hole number.
#pragma once

#include <array>
#include <cstdint>

namespace vistamere {

inline constexpr int kHoleStateSize = 33;  // hole numbers 0 to 32
inline constexpr std::int32_t kHoleOpen = -1;
inline constexpr std::int32_t kHoleClosed = 0;

extern std::array<std::int32_t, kHoleStateSize> HoleState;

}  // namespace vistamere
