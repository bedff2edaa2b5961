// The picture at 1/8 scale from its blocks' DC values: each block's mean
// sample is its DC value times its quantizer, over 8, plus the level shift
// of 128; colour comes from the chroma block covering the pixel, and the
// JFIF equations turn Y Cb Cr into RGB.
#include <algorithm>
#include <array>
#include <vector>

#include "picture/jpeg_dc_scan.h"

namespace vistamere::picture {
namespace {

std::uint8_t Clamp255(std::int32_t value) {
  return static_cast<std::uint8_t>(std::clamp(value, 0, 255));
}

std::uint8_t MeanSample(std::int16_t dc, std::uint16_t quantizer) {
  // Rounds halves up, as an arithmetic shift does for negative values too.
  return Clamp255(((std::int32_t{dc} * quantizer + 4) >> 3) + 128);
}

// The JFIF equations in 16-bit fixed point, rounded.
constexpr std::int32_t kCrToRed = 91881;     // 1.40200
constexpr std::int32_t kCbToGreen = -22554;  // -0.34414
constexpr std::int32_t kCrToGreen = -46802;  // -0.71414
constexpr std::int32_t kCbToBlue = 116130;   // 1.77200
constexpr std::int32_t kHalf = 1 << 15;

void YccToRgba(std::uint8_t y, std::uint8_t cb, std::uint8_t cr, std::uint8_t* rgba) {
  const std::int32_t blue_difference = std::int32_t{cb} - 128;
  const std::int32_t red_difference = std::int32_t{cr} - 128;
  rgba[0] = Clamp255(y + ((kCrToRed * red_difference + kHalf) >> 16));
  rgba[1] =
      Clamp255(y + ((kCbToGreen * blue_difference + kCrToGreen * red_difference + kHalf) >> 16));
  rgba[2] = Clamp255(y + ((kCbToBlue * blue_difference + kHalf) >> 16));
  rgba[3] = 255;
}

}  // namespace

void DeliverDcPixels(const DcScanLayout& layout, const DcPlanes& planes, RowSink& sink) {
  const std::size_t components = layout.components.size();
  if (planes.planes.size() != components || (components != 1 && components != 3)) return;
  const std::uint32_t width = (layout.width + 7) / 8;
  const std::uint32_t height = (layout.height + 7) / 8;
  int h_max = 1;
  int v_max = 1;
  for (const DcScanComponent& component : layout.components) {
    h_max = std::max(h_max, component.h_samples);
    v_max = std::max(v_max, component.v_samples);
  }
  // Which block of each component covers each output column.
  std::vector<std::uint32_t> block_x(components * width);
  for (std::size_t c = 0; c < components; ++c) {
    const int h = components == 1 ? h_max : layout.components[c].h_samples;
    for (std::uint32_t x = 0; x < width; ++x) {
      block_x[c * width + x] = static_cast<std::uint32_t>(std::uint64_t{x} * h / h_max);
    }
  }
  std::vector<std::uint8_t> row(std::size_t{width} * 4);
  std::array<const std::int16_t*, 3> lines{};
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::size_t c = 0; c < components; ++c) {
      const int v = components == 1 ? v_max : layout.components[c].v_samples;
      const auto block_y = static_cast<std::size_t>(std::uint64_t{y} * v / v_max);
      lines[c] = planes.planes[c].dc.data() + block_y * planes.planes[c].blocks_across;
    }
    std::uint8_t* out = row.data();
    if (components == 1) {
      const std::uint16_t quantizer = layout.components[0].dc_quantizer;
      for (std::uint32_t x = 0; x < width; ++x, out += 4) {
        const std::uint8_t grey = MeanSample(lines[0][block_x[x]], quantizer);
        out[0] = out[1] = out[2] = grey;
        out[3] = 255;
      }
    } else {
      for (std::uint32_t x = 0; x < width; ++x, out += 4) {
        std::array<std::uint8_t, 3> sample{};
        for (std::size_t c = 0; c < 3; ++c) {
          sample[c] =
              MeanSample(lines[c][block_x[c * width + x]], layout.components[c].dc_quantizer);
        }
        YccToRgba(sample[0], sample[1], sample[2], out);
      }
    }
    sink.Row(y, width, row.data());
  }
}

}  // namespace vistamere::picture
