// A picture in memory: 8-bit RGB pixels, rows top to bottom.
#pragma once

#include <cstdint>
#include <vector>

#include "picture/prefaulted_allocator.h"

namespace vistamere::picture {

inline constexpr int kCanvasWidth = 1024;
inline constexpr int kCanvasHeight = 512;

// A cell of the graphics area shows at most 8 x 8 of the canvas's samples
// (its block symbols split a cell in eighths at the finest), so a canvas
// drawn over C x R cells shows at most 8C x 8R pixels of detail.
inline constexpr int kSamplesPerCell = 8;

struct Canvas {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t, PrefaultedAllocator<std::uint8_t>> rgb;  // width * height * 3 bytes

  void Reset(int new_width, int new_height) {
    width = new_width;
    height = new_height;
    rgb.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3, 0);
  }
  std::uint8_t* Pixel(int x, int y) {
    return rgb.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                         static_cast<std::size_t>(x)) *
                            3;
  }
  const std::uint8_t* Pixel(int x, int y) const {
    return rgb.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                         static_cast<std::size_t>(x)) *
                            3;
  }
};

}  // namespace vistamere::picture
