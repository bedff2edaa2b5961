// Where decoders put their pixels. A decoder announces the size of what it
// will deliver (after any scaled decode), then hands over pixels row by row.
// Rows may come in any order (bottom-up bitmaps) and a row may come in
// pieces (interlaced passes): every pixel is delivered at most once, and
// pixels never delivered (a truncated file) stay black.
#pragma once

#include <cstdint>

namespace vistamere::picture {

class RowSink {
 public:
  virtual ~RowSink() = default;

  // `orientation` is the EXIF orientation, 1 to 8 (1: as stored). Returns
  // false when the sink refuses the size; the decoder then stops at once.
  [[nodiscard]] virtual bool Begin(std::uint32_t width, std::uint32_t height, int orientation) = 0;

  // `count` pixels of row `y` at columns x_start, x_start + x_step, ...;
  // 4 bytes each, R G B A, alpha 255 for opaque.
  virtual void Pixels(std::uint32_t y, std::uint32_t x_start, std::uint32_t x_step,
                      std::uint32_t count, const std::uint8_t* rgba) = 0;

  // A whole row of `width` pixels.
  void Row(std::uint32_t y, std::uint32_t width, const std::uint8_t* rgba) {
    Pixels(y, 0, 1, width, rgba);
  }
};

}  // namespace vistamere::picture
