// Colours of the built-in ballpark, as 0-255 channel values in doubles so
// that they can be blended before they are stored as bytes.
#pragma once

#include <algorithm>
#include <cstdint>

namespace vistamere::ballpark {

struct Colour {
  double r = 0;
  double g = 0;
  double b = 0;
};

// `amount` 0 keeps `from`, 1 gives `to`.
[[nodiscard]] inline Colour Mix(const Colour& from, const Colour& to, double amount) {
  return {from.r + (to.r - from.r) * amount, from.g + (to.g - from.g) * amount,
          from.b + (to.b - from.b) * amount};
}

[[nodiscard]] inline Colour Scale(const Colour& colour, double factor) {
  return {colour.r * factor, colour.g * factor, colour.b * factor};
}

[[nodiscard]] inline std::uint8_t ToByte(double channel) {
  return static_cast<std::uint8_t>(std::clamp(channel + 0.5, 0.0, 255.0));
}

}  // namespace vistamere::ballpark
