// The viewpoint keys the key benchmarks press, in one fixed mixed order, so
// that every benchmark drives the program through the same turns.
#pragma once

#include <cstdint>
#include <string>

namespace vistamere::bench {

inline constexpr char kViewpointKeys[] = "XxYyZz1234";

// `count` of the ten viewpoint keys, the same sequence every run.
inline std::string KeySequence(int count) {
  std::string keys;
  std::uint32_t seed = 2024;
  for (int i = 0; i < count; ++i) {
    seed = seed * 1103515245u + 12345u;
    keys.push_back(kViewpointKeys[(seed >> 16) % 10]);
  }
  return keys;
}

}  // namespace vistamere::bench
