// Functions the executable exports by name for its tool libraries.
#include <cstdint>

extern "C" __attribute__((visibility("default"), used)) std::int32_t Gfx_OleStringParams() {
  return 0;
}
