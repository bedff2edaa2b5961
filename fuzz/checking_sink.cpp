#include "checking_sink.h"

#include <cstdio>
#include <cstdlib>

namespace vistamere::fuzz {
namespace {

[[noreturn]] void Broken(const char* what) {
  std::fprintf(stderr, "row sink contract broken: %s\n", what);
  std::abort();
}

}  // namespace

bool CheckingSink::Begin(std::uint32_t width, std::uint32_t height, int orientation) {
  if (begun_) Broken("Begin called twice");
  if (orientation < 1 || orientation > 8) Broken("orientation outside 1-8");
  begun_ = true;
  width_ = width;
  height_ = height;
  accepted_ = next_.Begin(width, height, orientation);
  if (accepted_ && std::uint64_t{width} * height <= kTrackedPixels) {
    seen_.assign(static_cast<std::size_t>(width) * height, false);
  }
  return accepted_;
}

void CheckingSink::Pixels(std::uint32_t y, std::uint32_t x_start, std::uint32_t x_step,
                          std::uint32_t count, const std::uint8_t* rgba) {
  if (!begun_) Broken("pixels before Begin");
  if (!accepted_) Broken("pixels after a refused Begin");
  if (count == 0) return;
  if (rgba == nullptr) Broken("null pixels");
  if (x_step == 0) Broken("zero step");
  if (y >= height_) Broken("row below the picture");
  const std::uint64_t last = x_start + std::uint64_t{x_step} * (count - 1);
  if (last >= width_) Broken("pixels right of the picture");
  if (!seen_.empty()) {
    const std::size_t row = static_cast<std::size_t>(y) * width_;
    for (std::uint64_t x = x_start; x <= last; x += x_step) {
      if (seen_[row + x]) Broken("pixel delivered twice");
      seen_[row + x] = true;
    }
  }
  // Every byte of the run must be readable.
  volatile std::uint8_t sink = 0;
  for (std::size_t i = 0; i < std::size_t{count} * 4; i += 64) sink = sink ^ rgba[i];
  sink = sink ^ rgba[std::size_t{count} * 4 - 1];
  delivered_ += count;
  next_.Pixels(y, x_start, x_step, count, rgba);
}

}  // namespace vistamere::fuzz
