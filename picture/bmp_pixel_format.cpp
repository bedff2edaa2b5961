#include "picture/bmp_pixel_format.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace vistamere::picture {
namespace {

std::uint32_t LoadLe(const std::uint8_t* p, int bytes) {
  std::uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | p[i];
  return value;
}

// 64-bit pixels hold linear light in signed 2.13 fixed point; the screen
// wants sRGB.
const std::array<std::uint8_t, 8193>& LinearToSrgb() {
  static const std::array<std::uint8_t, 8193> table = [] {
    std::array<std::uint8_t, 8193> t{};
    for (int i = 0; i <= 8192; ++i) {
      double linear = i / 8192.0;
      double encoded =
          linear <= 0.0031308 ? linear * 12.92 : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
      t[i] = static_cast<std::uint8_t>(std::lround(std::clamp(encoded, 0.0, 1.0) * 255));
    }
    return t;
  }();
  return table;
}

int FixedToIndex(const std::uint8_t* p) {
  int value = static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | p[1] << 8));
  return std::clamp(value, 0, 8192);
}

}  // namespace

BmpChannel::BmpChannel(std::uint32_t mask) : mask_(mask) {
  if (mask == 0) return;
  shift_ = std::countr_zero(mask);
  largest_ = mask >> shift_;
}

std::uint8_t BmpChannel::Extract(std::uint32_t pixel) const {
  if (largest_ == 0) return 0;
  std::uint32_t value = (pixel & mask_) >> shift_;
  if (largest_ == 255) return static_cast<std::uint8_t>(value);
  return static_cast<std::uint8_t>((std::uint64_t{value} * 255 + largest_ / 2) / largest_);
}

BmpPixelFormat::BmpPixelFormat(const BmpInfo& info)
    : info_(info),
      channels_{BmpChannel(info.masks[0]), BmpChannel(info.masks[1]), BmpChannel(info.masks[2]),
                BmpChannel(info.masks[3])},
      has_alpha_(info.bit_count == 64 ||
                 ((info.bit_count == 16 || info.bit_count == 32) && info.masks[3] != 0)) {}

void BmpPixelFormat::Convert(const std::uint8_t* stored, std::size_t count,
                             std::uint8_t* rgba) const {
  const int bits = info_.bit_count;
  if (bits <= 8) {
    const int per_byte = 8 / bits;
    const unsigned index_mask = (1u << bits) - 1;
    for (std::size_t i = 0; i < count; ++i, rgba += 4) {
      int shift = 8 - bits * (1 + static_cast<int>(i % per_byte));
      unsigned index = (stored[i / per_byte] >> shift) & index_mask;
      if (index < info_.palette_size) {
        std::copy_n(info_.palette[index].data(), 4, rgba);
      } else {
        rgba[0] = rgba[1] = rgba[2] = 0;
        rgba[3] = 255;
      }
    }
  } else if (bits == 24) {
    for (std::size_t i = 0; i < count; ++i, rgba += 4, stored += 3) {
      rgba[0] = stored[2];
      rgba[1] = stored[1];
      rgba[2] = stored[0];
      rgba[3] = 255;
    }
  } else if (bits == 64) {
    const auto& srgb = LinearToSrgb();
    for (std::size_t i = 0; i < count; ++i, rgba += 4, stored += 8) {
      rgba[0] = srgb[FixedToIndex(stored + 4)];
      rgba[1] = srgb[FixedToIndex(stored + 2)];
      rgba[2] = srgb[FixedToIndex(stored)];
      rgba[3] = has_alpha_
                    ? static_cast<std::uint8_t>((FixedToIndex(stored + 6) * 255 + 4096) / 8192)
                    : 255;
    }
  } else {
    const int bytes = bits / 8;
    for (std::size_t i = 0; i < count; ++i, rgba += 4, stored += bytes) {
      std::uint32_t pixel = LoadLe(stored, bytes);
      rgba[0] = channels_[0].Extract(pixel);
      rgba[1] = channels_[1].Extract(pixel);
      rgba[2] = channels_[2].Extract(pixel);
      rgba[3] = has_alpha_ ? channels_[3].Extract(pixel) : 255;
    }
  }
}

bool BmpPixelFormat::AnyAlpha(const std::uint8_t* stored, std::size_t count) const {
  const int bits = info_.bit_count;
  if (bits == 64) {
    for (std::size_t i = 0; i < count; ++i) {
      if (stored[8 * i + 6] != 0 || stored[8 * i + 7] != 0) return true;
    }
    return false;
  }
  if (bits != 16 && bits != 32) return false;
  const int bytes = bits / 8;
  for (std::size_t i = 0; i < count; ++i) {
    if ((LoadLe(stored + i * bytes, bytes) & info_.masks[3]) != 0) return true;
  }
  return false;
}

}  // namespace vistamere::picture
