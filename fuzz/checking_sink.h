// A RowSink that passes everything on to another sink and aborts the
// moment a decoder breaks the sink's contract: pixels before Begin or after
// a refused Begin, a second Begin, an orientation out of 1-8, pixels
// outside the announced size, or a pixel delivered twice.
#pragma once

#include <cstdint>
#include <vector>

#include "picture/row_sink.h"

namespace vistamere::fuzz {

class CheckingSink final : public picture::RowSink {
 public:
  explicit CheckingSink(picture::RowSink& next) : next_(next) {}

  bool Begin(std::uint32_t width, std::uint32_t height, int orientation) override;
  void Pixels(std::uint32_t y, std::uint32_t x_start, std::uint32_t x_step, std::uint32_t count,
              const std::uint8_t* rgba) override;

  bool accepted() const { return accepted_; }
  std::uint64_t delivered() const { return delivered_; }

 private:
  // Pictures up to this many pixels have each pixel's delivery tracked.
  static constexpr std::uint64_t kTrackedPixels = std::uint64_t{1} << 24;

  picture::RowSink& next_;
  bool begun_ = false;
  bool accepted_ = false;
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
  std::vector<bool> seen_;
  std::uint64_t delivered_ = 0;
};

}  // namespace vistamere::fuzz
