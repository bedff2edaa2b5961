#include <algorithm>
#include <vector>

#include "picture/bmp_body.h"
#include "picture/bmp_pixel_format.h"
#include "picture/bmp_run_writer.h"

namespace vistamere::picture {
namespace {

constexpr std::uint32_t kChunkPixels = BmpRunWriter::kRunPixels;  // a multiple of 8

// Walks the stored rows in file order, a chunk of pixels at a time.
class PlainRowReader {
 public:
  PlainRowReader(ByteSource& source, const BmpInfo& info)
      : source_(source),
        info_(info),
        stride_((std::uint64_t{info.width} * info.bit_count + 31) / 32 * 4),
        stored_(static_cast<std::size_t>(kChunkPixels) * 8) {}

  // Calls visit(row_index, x, stored_bytes, count) for each chunk; returns
  // false when the data ends first (after visiting the whole pixels read).
  template <typename Visit>
  [[nodiscard]] bool ForEachChunk(Visit&& visit) {
    for (std::uint32_t row = 0; row < info_.height; ++row) {
      std::uint64_t offset = 0;
      if (__builtin_mul_overflow(stride_, std::uint64_t{row}, &offset) ||
          __builtin_add_overflow(offset, info_.pixel_offset, &offset) || !source_.Seek(offset)) {
        return false;
      }
      for (std::uint32_t x = 0; x < info_.width; x += kChunkPixels) {
        std::uint32_t count = std::min(kChunkPixels, info_.width - x);
        std::size_t bytes = (std::size_t{count} * info_.bit_count + 7) / 8;
        std::size_t got = source_.Read(stored_.data(), bytes);
        if (got < bytes) {
          std::uint32_t whole = static_cast<std::uint32_t>(got * 8 / info_.bit_count);
          if (whole > 0 && !visit(row, x, stored_.data(), whole)) return true;
          return false;
        }
        if (!visit(row, x, stored_.data(), count)) return true;
      }
    }
    return true;
  }

 private:
  ByteSource& source_;
  const BmpInfo& info_;
  std::uint64_t stride_;
  std::vector<std::uint8_t> stored_;
};

}  // namespace

BmpBodyResult DecodeBmpPlainRows(ByteSource& source, RowSink& sink, const BmpInfo& info) {
  BmpPixelFormat format(info);
  PlainRowReader reader(source, info);
  if (format.has_alpha()) {
    // Alpha that is zero everywhere was never set: look before showing black.
    // Where the data ends early, what came decides; the pass below reads it
    // again and reports the truncation.
    bool any = false;
    static_cast<void>(reader.ForEachChunk(
        [&](std::uint32_t, std::uint32_t, const std::uint8_t* stored, std::uint32_t count) {
          any = format.AnyAlpha(stored, count);
          return !any;
        }));
    if (!any) format.IgnoreAlpha();
  }

  std::vector<std::uint8_t> rgba(std::size_t{kChunkPixels} * 4);
  bool delivered = false;
  bool complete = reader.ForEachChunk(
      [&](std::uint32_t row, std::uint32_t x, const std::uint8_t* stored, std::uint32_t count) {
        std::uint32_t y = info.top_down ? row : info.height - 1 - row;
        format.Convert(stored, count, rgba.data());
        sink.Pixels(y, x, 1, count, rgba.data());
        delivered = true;
        return true;
      });
  if (complete) return BmpBodyResult::kComplete;
  return delivered ? BmpBodyResult::kTruncated : BmpBodyResult::kEmpty;
}

}  // namespace vistamere::picture
