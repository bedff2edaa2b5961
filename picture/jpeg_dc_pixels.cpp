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

// The colour differences' shares of each primary, per Cb or Cr value.
struct ColourTables {
  std::array<std::int32_t, 256> red_from_cr{};
  std::array<std::int32_t, 256> green_from_cb{};  // times 65536, with the rounding
  std::array<std::int32_t, 256> green_from_cr{};  // times 65536
  std::array<std::int32_t, 256> blue_from_cb{};

  ColourTables() {
    for (std::int32_t value = 0; value < 256; ++value) {
      const std::int32_t difference = value - 128;
      red_from_cr[static_cast<std::size_t>(value)] = (kCrToRed * difference + kHalf) >> 16;
      green_from_cb[static_cast<std::size_t>(value)] = kCbToGreen * difference + kHalf;
      green_from_cr[static_cast<std::size_t>(value)] = kCrToGreen * difference;
      blue_from_cb[static_cast<std::size_t>(value)] = (kCbToBlue * difference + kHalf) >> 16;
    }
  }
};

// One component's mean samples along one row of its blocks.
void SampleLine(const DcPlanes::Plane& plane, std::size_t block_row, std::uint16_t quantizer,
                std::vector<std::uint8_t>& samples) {
  const std::int16_t* dc = plane.dc.data() + block_row * plane.blocks_across;
  samples.resize(plane.blocks_across);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = MeanSample(dc[i], quantizer);
}

}  // namespace

void DeliverDcPixels(const DcScanLayout& layout, const DcPlanes& planes, RowSink& sink,
                     std::uint32_t first_mcu_row) {
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
  const auto factor = [&](std::size_t c, bool across) {
    if (components == 1) return 1;
    return across ? layout.components[c].h_samples : layout.components[c].v_samples;
  };
  const int across_max = components == 1 ? 1 : h_max;
  const int down_max = components == 1 ? 1 : v_max;
  // Which block of each component covers each output column.
  std::vector<std::uint32_t> block_x(components * std::size_t{width});
  for (std::size_t c = 0; c < components; ++c) {
    for (std::uint32_t x = 0; x < width; ++x) {
      block_x[c * width + x] =
          static_cast<std::uint32_t>(std::uint64_t{x} * factor(c, true) / across_max);
    }
  }
  static const ColourTables tables;
  std::vector<std::uint8_t> row(std::size_t{width} * 4);
  std::array<std::vector<std::uint8_t>, 3> samples;
  std::array<std::size_t, 3> sampled_row{~std::size_t{0}, ~std::size_t{0}, ~std::size_t{0}};
  // The rows the planes hold: MCU rows from `first_mcu_row` on.
  const std::uint64_t mcu_rows =
      planes.planes[0].blocks_down / static_cast<std::uint32_t>(factor(0, false));
  const std::uint64_t first_y = std::uint64_t{first_mcu_row} * static_cast<std::uint32_t>(down_max);
  const std::uint64_t end_y = std::min<std::uint64_t>(
      height, (std::uint64_t{first_mcu_row} + mcu_rows) * static_cast<std::uint32_t>(down_max));
  for (std::uint64_t y = first_y; y < end_y; ++y) {
    for (std::size_t c = 0; c < components; ++c) {
      const auto block_row = static_cast<std::size_t>(
          y * static_cast<std::uint32_t>(factor(c, false)) / static_cast<std::uint32_t>(down_max) -
          std::uint64_t{first_mcu_row} * static_cast<std::uint32_t>(factor(c, false)));
      if (block_row != sampled_row[c]) {
        SampleLine(planes.planes[c], block_row, layout.components[c].dc_quantizer, samples[c]);
        sampled_row[c] = block_row;
      }
    }
    std::uint8_t* out = row.data();
    if (components == 1) {
      for (std::uint32_t x = 0; x < width; ++x, out += 4) {
        const std::uint8_t grey = samples[0][x];
        out[0] = out[1] = out[2] = grey;
        out[3] = 255;
      }
    } else {
      const std::uint32_t* cb_x = block_x.data() + width;
      const std::uint32_t* cr_x = block_x.data() + 2 * std::size_t{width};
      for (std::uint32_t x = 0; x < width; ++x, out += 4) {
        const std::int32_t luma = samples[0][block_x[x]];
        const std::uint8_t cb = samples[1][cb_x[x]];
        const std::uint8_t cr = samples[2][cr_x[x]];
        out[0] = Clamp255(luma + tables.red_from_cr[cr]);
        out[1] = Clamp255(luma + ((tables.green_from_cb[cb] + tables.green_from_cr[cr]) >> 16));
        out[2] = Clamp255(luma + tables.blue_from_cb[cb]);
        out[3] = 255;
      }
    }
    sink.Row(static_cast<std::uint32_t>(y), width, row.data());
  }
}

}  // namespace vistamere::picture
