// Builds BMP files byte by byte, for variants the suite does not cover.
#pragma once

#include <cstdint>
#include <vector>

namespace vistamere::picture::testing {

struct BmpLayout {
  std::uint32_t header_size = 40;
  std::int32_t width = 0;
  std::int32_t height = 0;  // negative: top-down
  std::uint16_t bit_count = 24;
  std::uint32_t compression = 0;
  std::uint32_t colors_used = 0;
  std::vector<std::uint32_t> masks;    // inside the header (v2 and later) or after it
  std::vector<std::uint32_t> palette;  // 0x00RRGGBB
  std::vector<std::uint8_t> pixels;    // exactly as stored
};

inline void PutLe(std::vector<std::uint8_t>& out, std::size_t at, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

inline std::vector<std::uint8_t> BuildBmp(const BmpLayout& layout) {
  bool masks_inside = layout.header_size >= 52;
  std::size_t masks_after = masks_inside ? 0 : layout.masks.size() * 4;
  std::size_t palette_start = 14 + layout.header_size + masks_after;
  std::size_t pixel_offset = palette_start + layout.palette.size() * 4;
  std::vector<std::uint8_t> out(pixel_offset, 0);
  out[0] = 'B';
  out[1] = 'M';
  PutLe(out, 2, pixel_offset + layout.pixels.size(), 4);
  PutLe(out, 10, pixel_offset, 4);
  PutLe(out, 14, layout.header_size, 4);
  PutLe(out, 18, static_cast<std::uint32_t>(layout.width), 4);
  PutLe(out, 22, static_cast<std::uint32_t>(layout.height), 4);
  PutLe(out, 26, 1, 2);
  PutLe(out, 28, layout.bit_count, 2);
  PutLe(out, 30, layout.compression, 4);
  PutLe(out, 34, layout.pixels.size(), 4);
  PutLe(out, 46, layout.colors_used, 4);
  std::size_t mask_at = masks_inside ? 14 + 40 : 14 + layout.header_size;
  for (std::size_t i = 0; i < layout.masks.size(); ++i)
    PutLe(out, mask_at + 4 * i, layout.masks[i], 4);
  for (std::size_t i = 0; i < layout.palette.size(); ++i) {
    PutLe(out, palette_start + 4 * i, layout.palette[i], 4);
  }
  out.insert(out.end(), layout.pixels.begin(), layout.pixels.end());
  return out;
}

}  // namespace vistamere::picture::testing
