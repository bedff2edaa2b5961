#include "driver/viewpoint_keys.h"

#include <array>
#include <cstdint>

namespace vistamere {
namespace {

struct KeyBinding {
  const char* key;
  std::int32_t Viewpoint::*field;
  std::int32_t step;
};

// Upper case raises, lower case lowers; each test stands on its own.
constexpr std::array<KeyBinding, 10> kBindings = {{
    {"X", &Viewpoint::ObsX, +1},
    {"Y", &Viewpoint::ObsY, +1},
    {"Z", &Viewpoint::ObsZ, +1},
    {"1", &Viewpoint::TilZ, +1},
    {"2", &Viewpoint::TilZ, -1},
    {"x", &Viewpoint::ObsX, -1},
    {"y", &Viewpoint::ObsY, -1},
    {"z", &Viewpoint::ObsZ, -1},
    {"3", &Viewpoint::TilY, +1},
    {"4", &Viewpoint::TilY, -1},
}};

}  // namespace

void ResetViewpoint(Viewpoint& viewpoint) {
  viewpoint = kInitialViewpoint;
}

void ApplyKey(Viewpoint& viewpoint, const Text& key) {
  for (const KeyBinding& binding : kBindings) {
    if (TextEquals(key, binding.key)) {
      // No bounds: the values wrap as 32-bit integers would after 2^31 presses.
      auto& value = viewpoint.*binding.field;
      value = static_cast<std::int32_t>(static_cast<std::uint32_t>(value) +
                                        static_cast<std::uint32_t>(binding.step));
    }
  }
}

}  // namespace vistamere
