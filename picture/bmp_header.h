// The headers of a BMP file: file header, any of the info header versions
// (OS/2 1.x and 2.x, Windows 3 to 5), channel masks and palette.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "picture/byte_source.h"

namespace vistamere::picture {

enum class BmpEncoding {
  kPlain,  // uncompressed; masks when bit_count is 16, 32 or 64
  kRle8,
  kRle4,
  kRle24,  // OS/2 2.x
};

struct BmpInfo {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  bool top_down = false;
  std::uint16_t bit_count = 0;
  BmpEncoding encoding = BmpEncoding::kPlain;
  // Red, green, blue, alpha masks for 16 and 32 bits per pixel; a zero
  // alpha mask means opaque.
  std::array<std::uint32_t, 4> masks{};
  // RGBA entries; indices at or beyond palette_size show black.
  std::array<std::array<std::uint8_t, 4>, 256> palette{};
  std::uint32_t palette_size = 0;
  std::uint64_t pixel_offset = 0;
};

enum class BmpHeaderResult { kOk, kCorrupt, kTruncated, kUnsupported };

// Reads the headers from the start of `source`. Every size and offset is
// checked; nothing is allocated.
[[nodiscard]] BmpHeaderResult ReadBmpHeader(ByteSource& source, BmpInfo& info);

}  // namespace vistamere::picture
