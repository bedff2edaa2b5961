// Collects decoded BMP pixels into runs of one row and hands each run to
// the sink, so that no whole row is ever held in memory.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "picture/row_sink.h"

namespace vistamere::picture {

class BmpRunWriter {
 public:
  static constexpr std::uint32_t kRunPixels = 4096;

  explicit BmpRunWriter(RowSink& sink) : sink_(sink) {}
  ~BmpRunWriter() { Flush(); }
  BmpRunWriter(const BmpRunWriter&) = delete;
  BmpRunWriter& operator=(const BmpRunWriter&) = delete;

  // Pixel (x, y); pixels must come left to right within a run.
  void Put(std::uint32_t x, std::uint32_t y, const std::uint8_t* rgba) {
    if (count_ == kRunPixels || y != y_ || x != x_ + count_) {
      Flush();
      x_ = x;
      y_ = y;
    }
    std::uint8_t* out = pixels_.data() + std::size_t{count_} * 4;
    out[0] = rgba[0];
    out[1] = rgba[1];
    out[2] = rgba[2];
    out[3] = rgba[3];
    ++count_;
  }

  void Flush() {
    if (count_ == 0) return;
    sink_.Pixels(y_, x_, 1, count_, pixels_.data());
    delivered_ = true;
    count_ = 0;
  }

  bool delivered() const { return delivered_ || count_ > 0; }

 private:
  RowSink& sink_;
  std::array<std::uint8_t, std::size_t{kRunPixels} * 4> pixels_{};
  std::uint32_t x_ = 0;
  std::uint32_t y_ = 0;
  std::uint32_t count_ = 0;
  bool delivered_ = false;
};

}  // namespace vistamere::picture
