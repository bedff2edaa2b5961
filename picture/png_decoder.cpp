#include "picture/png_decoder.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <spng.h>

#include "picture/exif_orientation.h"

namespace vistamere::picture {
namespace {

// Ancillary chunks (text, ICC profiles...) are not needed for showing a
// picture: keep what the library stores of them small.
constexpr std::size_t kMaxChunkBytes = 64u * 1024 * 1024;
constexpr std::size_t kMaxChunkCacheBytes = 16u * 1024 * 1024;
// A row is held in memory whole: refuse absurd widths before allocating.
constexpr std::uint32_t kMaxWidth = 1u << 24;

constexpr std::uint32_t kAdam7XStart[7] = {0, 4, 0, 2, 0, 1, 0};
constexpr std::uint32_t kAdam7XStep[7] = {8, 8, 4, 4, 2, 2, 1};

struct PngStream {
  ByteSource* source = nullptr;
  bool ended = false;
};

int ReadExactly(spng_ctx*, void* user, void* destination, std::size_t length) {
  auto& stream = *static_cast<PngStream*>(user);
  auto* bytes = static_cast<std::uint8_t*>(destination);
  std::size_t got = 0;
  while (got < length) {
    const std::size_t count = stream.source->Read(bytes + got, length - got);
    if (count == 0) break;
    got += count;
  }
  if (got < length) {
    stream.ended = true;
    return SPNG_IO_EOF;
  }
  return 0;
}

struct ContextDeleter {
  void operator()(spng_ctx* context) const { spng_ctx_free(context); }
};
using Context = std::unique_ptr<spng_ctx, ContextDeleter>;

int OrientationOf(spng_ctx* context) {
  spng_exif exif{};
  if (spng_get_exif(context, &exif) != 0 || exif.data == nullptr) return 1;
  return OrientationFromTiffStructure(reinterpret_cast<const std::uint8_t*>(exif.data),
                                      exif.length);
}

DecodeOutcome Damaged(const PngStream& stream, bool anything_delivered) {
  DecodeOutcome outcome;
  outcome.status = anything_delivered ? DecodeStatus::kTruncated : DecodeStatus::kFailed;
  outcome.reason = stream.ended ? "truncated PNG data" : "corrupt PNG data";
  return outcome;
}

DecodeOutcome TooLarge(std::uint32_t width, std::uint32_t height) {
  DecodeOutcome outcome;
  outcome.reason =
      "picture too large (" + std::to_string(width) + " x " + std::to_string(height) + ")";
  return outcome;
}

// Hands one decoded row to the sink. Rows of an interlaced pass hold only the
// pass's pixels, at their final columns: gather them for the sink.
class RowDelivery {
 public:
  RowDelivery(RowSink& sink, std::uint32_t width, bool interlaced)
      : sink_(sink), width_(width), interlaced_(interlaced) {
    if (interlaced_) packed_.resize(static_cast<std::size_t>(width) * 4);
  }

  void Deliver(const spng_row_info& info, const std::uint8_t* row) {
    if (!interlaced_) {
      sink_.Row(info.row_num, width_, row);
      return;
    }
    const auto pass = static_cast<std::size_t>(info.pass);
    if (pass >= 7) return;
    const std::uint32_t start = kAdam7XStart[pass];
    const std::uint32_t step = kAdam7XStep[pass];
    if (start >= width_) return;
    const std::uint32_t count = (width_ - start + step - 1) / step;
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint8_t* from = row + (static_cast<std::size_t>(start) + i * step) * 4;
      std::copy(from, from + 4, packed_.data() + static_cast<std::size_t>(i) * 4);
    }
    sink_.Pixels(info.row_num, start, step, count, packed_.data());
  }

 private:
  RowSink& sink_;
  std::uint32_t width_;
  bool interlaced_;
  std::vector<std::uint8_t> packed_;
};

}  // namespace

DecodeOutcome DecodePng(ByteSource& source, RowSink& sink, const DecodeRequest& request) {
  Context context(spng_ctx_new(0));
  if (!context) return DecodeOutcome{DecodeStatus::kFailed, "out of memory"};
  PngStream stream{&source};
  spng_set_png_stream(context.get(), ReadExactly, &stream);
  spng_set_chunk_limits(context.get(), kMaxChunkBytes, kMaxChunkCacheBytes);

  spng_ihdr header{};
  if (spng_get_ihdr(context.get(), &header) != 0) return Damaged(stream, false);
  const std::uint64_t pixels = std::uint64_t{header.width} * header.height;
  if (pixels > request.max_pixels || header.width > kMaxWidth) {
    return TooLarge(header.width, header.height);
  }
  if (spng_decode_image(context.get(), nullptr, 0, SPNG_FMT_RGBA8,
                        SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE) != 0) {
    return Damaged(stream, false);
  }
  if (!sink.Begin(header.width, header.height, OrientationOf(context.get()))) {
    return TooLarge(header.width, header.height);
  }

  std::vector<std::uint8_t> row(static_cast<std::size_t>(header.width) * 4);
  RowDelivery delivery(sink, header.width, header.interlace_method != 0);
  bool anything_delivered = false;
  for (;;) {
    spng_row_info info{};
    if (spng_get_row_info(context.get(), &info) != 0) return Damaged(stream, anything_delivered);
    const int result = spng_decode_row(context.get(), row.data(), row.size());
    if (result != 0 && result != SPNG_EOI) return Damaged(stream, anything_delivered);
    delivery.Deliver(info, row.data());
    anything_delivered = true;
    if (result == SPNG_EOI) break;
  }
  return DecodeOutcome{DecodeStatus::kOk, {}};
}

}  // namespace vistamere::picture
