// The classes of bytes a control sequence is made of: parameter bytes, then
// intermediate bytes, then one final byte.
#pragma once

#include <cstdint>

namespace vistamere::term {

[[nodiscard]] constexpr bool IsParameterByte(std::uint8_t b) {
  return b >= 0x30 && b <= 0x3F;
}
[[nodiscard]] constexpr bool IsIntermediateByte(std::uint8_t b) {
  return b >= 0x20 && b <= 0x2F;
}
[[nodiscard]] constexpr bool IsFinalByte(std::uint8_t b) {
  return b >= 0x40 && b <= 0x7E;
}

}  // namespace vistamere::term
