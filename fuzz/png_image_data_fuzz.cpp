// The PNG decoder's own reading of the image data (chunks, CRCs, ISA-L's
// inflating, unfiltering, every colour type to RGBA) against libpng alone,
// whatever the bytes: the same reason; the same pixels where both delivered
// one; a whole picture where libpng gives one. Only where the data breaks
// may the two differ in how many rows they show before it: zlib and ISA-L
// do not stop at the same bit, and libpng asks for more data before it
// needs it. (The outcome is then "truncated" where libpng's is "failed" if
// ours showed a row and libpng none.) The first byte of an input is not the
// file's: when odd, every chunk's CRC is made right before decoding, so
// that mutations reach the zlib stream and the rows instead of stopping at
// a bad CRC. What it finds is kept among its seeds (CRCs made right, first
// byte 0), which the codec tests replay.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "checking_sink.h"
#include "picture/memory_source.h"
#include "picture/png_decoder.h"
#include "picture/png_idat.h"

namespace {

using namespace vistamere;

constexpr std::uint64_t kMaxPixels = std::uint64_t{1} << 20;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "png_image_data: %s\n", what);
  std::abort();
}

// Keeps every pixel delivered and which were.
class KeepingSink final : public picture::RowSink {
 public:
  bool Begin(std::uint32_t width, std::uint32_t height, int) override {
    width_ = width;
    height_ = height;
    rgba_.assign(std::size_t{width} * height * 4, 0);
    delivered_.assign(std::size_t{width} * height, false);
    return true;
  }
  void Pixels(std::uint32_t y, std::uint32_t x_start, std::uint32_t x_step, std::uint32_t count,
              const std::uint8_t* rgba) override {
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::size_t at = std::size_t{y} * width_ + x_start + std::size_t{i} * x_step;
      std::memcpy(rgba_.data() + at * 4, rgba + 4 * std::size_t{i}, 4);
      delivered_[at] = true;
    }
  }
  // Same size, and the same pixels where both have one; `whole`: the same
  // pixels delivered.
  bool Agrees(const KeepingSink& other, bool whole) const {
    if (width_ != other.width_ || height_ != other.height_) return false;
    if (whole && delivered_ != other.delivered_) return false;
    for (std::size_t i = 0; i < delivered_.size(); ++i) {
      if (delivered_[i] && other.delivered_[i] &&
          std::memcmp(rgba_.data() + 4 * i, other.rgba_.data() + 4 * i, 4) != 0) {
        return false;
      }
    }
    return true;
  }
  bool any() const {
    return std::find(delivered_.begin(), delivered_.end(), true) != delivered_.end();
  }

 private:
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
  std::vector<std::uint8_t> rgba_;
  std::vector<bool> delivered_;
};

// Rewrites each chunk's CRC after the signature, as far as the chunks go.
void MakeCrcsRight(std::vector<std::uint8_t>& png) {
  for (std::size_t at = 8; at + 12 <= png.size();) {
    const std::uint32_t length = (std::uint32_t{png[at]} << 24) |
                                 (std::uint32_t{png[at + 1]} << 16) |
                                 (std::uint32_t{png[at + 2]} << 8) | png[at + 3];
    if (length > png.size() - at - 12) break;
    const std::uint32_t crc = picture::PngCrc(0, png.data() + at + 4, length + 4);
    for (int i = 0; i < 4; ++i) {
      png[at + 8 + length + static_cast<std::size_t>(i)] =
          static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    }
    at += std::size_t{length} + 12;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::vector<std::uint8_t> png(data + 1, data + size);
  if ((data[0] & 1) != 0) MakeCrcsRight(png);

  picture::DecodeRequest request;
  request.max_pixels = kMaxPixels;
  request.target_width = request.target_height = 1;

  KeepingSink ours;
  fuzz::CheckingSink checking(ours);
  picture::MemorySource source(png.data(), png.size());
  const picture::DecodeOutcome outcome = picture::DecodePng(source, checking, request);

  KeepingSink reference;
  picture::MemorySource reference_source(png.data(), png.size());
  const picture::DecodeOutcome expected =
      picture::DecodePngWithLibpng(reference_source, reference, request);

  if (outcome.reason != expected.reason) Fail("another reason than libpng's");
  const bool shown_more = outcome.status == picture::DecodeStatus::kTruncated &&
                          expected.status == picture::DecodeStatus::kFailed && ours.any() &&
                          !reference.any();
  if (outcome.status != expected.status && !shown_more) Fail("another outcome than libpng's");
  if (!ours.Agrees(reference, expected.status == picture::DecodeStatus::kOk)) {
    Fail("other pixels than libpng's");
  }
  return 0;
}
