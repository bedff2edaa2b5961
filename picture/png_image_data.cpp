#include "picture/png_image_data.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

#include "picture/png_row_queue.h"

namespace vistamere::picture {
namespace {

// Rows decoded on the caller's thread are inflated this much at a time.
constexpr std::size_t kRowsHereBytes = std::size_t{256} * 1024;

// Stored rows (their filter type byte first) to RGBA, to the sink.
class RowDecoder {
 public:
  RowDecoder(const PngPixelFormat& format, RowSink& sink)
      : converter_(format),
        sink_(sink),
        size_(PngRowBytes(format)),
        bpp_(PngFilterBpp(format)),
        width_(format.width),
        // A third buffer only where rows can go in pairs.
        rows_(bpp_ == 3 || bpp_ == 4 ? 3 : 2, std::vector<std::uint8_t>(size_, 0)) {}

  // Delivers row y from `stored`, and row y + 1 from `next` (when given)
  // too if both are filtered by Paeth: two such rows go faster at once.
  // Returns how many rows were delivered, 0 for a bad filter type.
  [[nodiscard]] std::uint32_t Deliver(std::uint32_t y, const std::uint8_t* stored,
                                      const std::uint8_t* next) {
    // Rows take turns in the buffers: the one before row y holds its upper
    // neighbours (zeros above row 0).
    const std::size_t buffers = rows_.size();
    std::uint8_t* out = rows_[y % buffers].data();
    const std::uint8_t* previous = rows_[(y + buffers - 1) % buffers].data();
    if (next != nullptr && buffers == 3 && stored[0] == kPngFilterPaeth &&
        next[0] == kPngFilterPaeth) {
      std::uint8_t* next_out = rows_[(y + 1) % buffers].data();
      if (UnfilterPngPaethPair(stored + 1, next + 1, previous, out, next_out, size_, bpp_)) {
        Hand(y, out);
        Hand(y + 1, next_out);
        return 2;
      }
    }
    if (!UnfilterPngRow(stored[0], stored + 1, previous, out, size_, bpp_)) return 0;
    Hand(y, out);
    return 1;
  }

  [[nodiscard]] std::uint32_t delivered() const { return delivered_; }

 private:
  void Hand(std::uint32_t y, const std::uint8_t* row) {
    sink_.Pixels(y, 0, 1, width_, converter_.ToRgba(row));
    delivered_ = y + 1;
  }

  PngRowConverter converter_;
  RowSink& sink_;
  std::size_t size_;
  std::size_t bpp_;
  std::uint32_t width_;
  std::vector<std::vector<std::uint8_t>> rows_;
  std::uint32_t delivered_ = 0;
};

// Inflates the picture's stored rows (`stride` bytes each) into the room
// claim(count) gives: `count` rows side by side, the first already holding
// what the last call left of a row. publish(y, rows, keep) takes the first
// `rows` of them, whole, as rows y...; `keep` bytes after them stay for the
// next claim. The last row is published only once the stream's end and its
// chunk's CRC are checked (libpng delivers it only then). Either callback
// returning nullptr or false stops the inflating (kIrregular).
template <typename Claim, typename Publish>
[[nodiscard]] PngImageDataEnd InflateRows(PngIdatInflater& inflater, std::uint32_t height,
                                          std::size_t stride, std::size_t max_run, Claim claim,
                                          Publish publish) {
  std::uint32_t y = 0;
  std::size_t partial = 0;
  while (y < height) {
    std::size_t count = 0;
    std::uint8_t* run = claim(count);
    if (run == nullptr) return PngImageDataEnd::kIrregular;
    count = std::min({count, max_run, std::size_t{height - y}});
    const std::size_t filled = partial + inflater.Inflate(run + partial, count * stride - partial);
    auto rows = static_cast<std::uint32_t>(filled / stride);
    const bool complete = y + rows == height;
    if (complete) {
      --rows;
      // libpng looks at the last row's filter type before the stream's end.
      if (run[std::size_t{rows} * stride] > kPngFilterPaeth) return PngImageDataEnd::kIrregular;
    }
    partial = filled - std::size_t{rows} * stride;
    if (rows > 0 && !publish(y, rows, partial)) return PngImageDataEnd::kIrregular;
    y += rows;
    if (complete) {
      inflater.Finish();
      if (inflater.state() != PngIdatInflater::State::kDone) break;
      if (!publish(y, 1, 0)) return PngImageDataEnd::kIrregular;
      return PngImageDataEnd::kDone;
    }
    if (inflater.state() != PngIdatInflater::State::kRunning) break;
  }
  return inflater.state() == PngIdatInflater::State::kTruncated ? PngImageDataEnd::kTruncated
                                                                : PngImageDataEnd::kIrregular;
}

// Inflates on a second thread and unfilters and delivers here.
[[nodiscard]] PngImageDataEnd InflateOnThread(PngIdatInflater& inflater, RowDecoder& decoder,
                                              std::uint32_t height, std::uint32_t width,
                                              std::size_t stride, std::size_t slots,
                                              bool& no_thread) {
  RowQueue queue(slots, stride);
  PngImageDataEnd end = PngImageDataEnd::kIrregular;
  bool bad_filter = false;
  {
    std::thread inflating;
    try {
      inflating = std::thread([&] {
        end = InflateRows(
            inflater, height, stride, std::max<std::size_t>(1, slots / 8),
            [&queue](std::size_t& count) { return queue.ClaimRun(count); },
            [&queue, width](std::uint32_t y, std::uint32_t rows, std::size_t) {
              queue.PublishRun(rows, y, width);
              return true;
            });
        queue.Finish();
      });
    } catch (const std::system_error&) {
      no_thread = true;
      return PngImageDataEnd::kIrregular;
    }
    const JoinProducer join(queue, inflating);
    Placement where;
    const std::uint8_t* stored = nullptr;
    while (queue.Next(where, stored)) {
      const std::uint32_t delivered = decoder.Deliver(where.y, stored, queue.Second());
      if (delivered == 0) {
        bad_filter = true;
        break;
      }
      queue.Release(delivered);
    }
  }
  return bad_filter ? PngImageDataEnd::kIrregular : end;
}

// The same on this thread, a few hundred KiB of rows at a time.
[[nodiscard]] PngImageDataEnd InflateHere(PngIdatInflater& inflater, RowDecoder& decoder,
                                          std::uint32_t height, std::size_t stride) {
  const std::size_t rows = std::max<std::size_t>(1, kRowsHereBytes / stride);
  std::vector<std::uint8_t> buffer(rows * stride);
  return InflateRows(
      inflater, height, stride, rows,
      [&buffer, rows](std::size_t& count) {
        count = rows;
        return buffer.data();
      },
      [&buffer, &decoder, stride](std::uint32_t y, std::uint32_t count, std::size_t keep) {
        for (std::uint32_t i = 0; i < count;) {
          const std::uint8_t* stored = buffer.data() + std::size_t{i} * stride;
          const std::uint32_t delivered =
              decoder.Deliver(y + i, stored, i + 1 < count ? stored + stride : nullptr);
          if (delivered == 0) return false;
          i += delivered;
        }
        std::memmove(buffer.data(), buffer.data() + std::size_t{count} * stride, keep);
        return true;
      });
}

}  // namespace

PngImageDataEnd DecodePngImageData(PngIdatInflater& inflater, const PngPixelFormat& format,
                                   std::uint32_t height, RowSink& sink, std::uint32_t& delivered) {
  RowDecoder decoder(format, sink);
  const std::size_t stride = 1 + PngRowBytes(format);
  const std::size_t slots = QueueSlots(stride);
  PngImageDataEnd end = PngImageDataEnd::kIrregular;
  bool no_thread = slots == 0;
  if (!no_thread) {
    end = InflateOnThread(inflater, decoder, height, format.width, stride, slots, no_thread);
  }
  if (no_thread) end = InflateHere(inflater, decoder, height, stride);
  delivered = decoder.delivered();
  return end;
}

}  // namespace vistamere::picture
