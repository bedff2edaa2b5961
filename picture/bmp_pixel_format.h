// Turns the stored pixels of an uncompressed BMP row into RGBA.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "picture/bmp_header.h"

namespace vistamere::picture {

// One channel of a bit-field pixel: the masked bits, scaled to 0..255.
class BmpChannel {
 public:
  explicit BmpChannel(std::uint32_t mask);
  std::uint8_t Extract(std::uint32_t pixel) const;

 private:
  std::uint32_t mask_;
  int shift_ = 0;
  std::uint32_t largest_ = 0;  // the value of the mask's bits all set
};

class BmpPixelFormat {
 public:
  explicit BmpPixelFormat(const BmpInfo& info);

  // Converts `count` pixels whose bits start at the first byte of `stored`.
  void Convert(const std::uint8_t* stored, std::size_t count, std::uint8_t* rgba) const;

  // Whether any of `count` stored pixels has a nonzero alpha.
  bool AnyAlpha(const std::uint8_t* stored, std::size_t count) const;
  bool has_alpha() const { return has_alpha_; }
  // Files whose alpha is zero everywhere mean opaque: they just left it unset.
  void IgnoreAlpha() { has_alpha_ = false; }

 private:
  const BmpInfo& info_;
  std::array<BmpChannel, 4> channels_;
  bool has_alpha_;
};

}  // namespace vistamere::picture
