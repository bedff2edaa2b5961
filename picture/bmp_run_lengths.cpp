#include <array>

#include "picture/bmp_body.h"
#include "picture/bmp_run_writer.h"

namespace vistamere::picture {
namespace {

// Byte-at-a-time reading with a small buffer of its own.
class ByteReader {
 public:
  explicit ByteReader(ByteSource& source) : source_(source) {}
  [[nodiscard]] bool Next(std::uint8_t& byte) {
    if (next_ == end_) {
      end_ = source_.Read(buffer_.data(), buffer_.size());
      next_ = 0;
      if (end_ == 0) return false;
    }
    byte = buffer_[next_++];
    return true;
  }

 private:
  ByteSource& source_;
  std::array<std::uint8_t, 4096> buffer_{};
  std::size_t next_ = 0;
  std::size_t end_ = 0;
};

class RunLengthDecoder {
 public:
  RunLengthDecoder(ByteSource& source, RowSink& sink, const BmpInfo& info)
      : bytes_(source), writer_(sink), info_(info) {}

  // True when the bitmap ended properly (end-of-bitmap or past the top row).
  [[nodiscard]] bool Run() {
    for (;;) {
      if (row_ >= info_.height) return true;
      std::uint8_t first = 0;
      std::uint8_t second = 0;
      if (!bytes_.Next(first) || !bytes_.Next(second)) return false;
      if (first > 0) {
        if (!Repeat(first, second)) return false;
        continue;
      }
      switch (second) {
        case 0:  // end of line
          ++row_;
          x_ = 0;
          break;
        case 1:  // end of bitmap
          return true;
        case 2: {  // delta: move right and up
          std::uint8_t dx = 0;
          std::uint8_t dy = 0;
          if (!bytes_.Next(dx) || !bytes_.Next(dy)) return false;
          x_ += dx;
          row_ += dy;
          break;
        }
        default:
          if (!Literal(second)) return false;
          break;
      }
    }
  }

  bool delivered() const { return writer_.delivered(); }

 private:
  void Emit(const std::uint8_t* rgba) {
    if (x_ < info_.width && row_ < info_.height) {
      writer_.Put(static_cast<std::uint32_t>(x_),
                  static_cast<std::uint32_t>(info_.height - 1 - row_), rgba);
    }
    ++x_;
  }

  const std::uint8_t* Indexed(unsigned index) const {
    static constexpr std::uint8_t kBlack[4] = {0, 0, 0, 255};
    return index < info_.palette_size ? info_.palette[index].data() : kBlack;
  }

  // `count` pixels of one value (RLE4: two alternating values).
  [[nodiscard]] bool Repeat(std::uint8_t count, std::uint8_t value) {
    switch (info_.encoding) {
      case BmpEncoding::kRle8:
        for (int i = 0; i < count; ++i) Emit(Indexed(value));
        return true;
      case BmpEncoding::kRle4:
        for (int i = 0; i < count; ++i) Emit(Indexed(i % 2 == 0 ? value >> 4 : value & 15));
        return true;
      default: {
        std::uint8_t rgba[4] = {0, 0, value, 255};
        if (!bytes_.Next(rgba[1]) || !bytes_.Next(rgba[0])) return false;
        for (int i = 0; i < count; ++i) Emit(rgba);
        return true;
      }
    }
  }

  // `count` stored pixels, padded to an even number of bytes.
  [[nodiscard]] bool Literal(std::uint8_t count) {
    std::size_t bytes_read = 0;
    std::uint8_t byte = 0;
    for (int i = 0; i < count; ++i) {
      switch (info_.encoding) {
        case BmpEncoding::kRle8:
          if (!bytes_.Next(byte)) return false;
          ++bytes_read;
          Emit(Indexed(byte));
          break;
        case BmpEncoding::kRle4:
          if (i % 2 == 0) {
            if (!bytes_.Next(byte)) return false;
            ++bytes_read;
          }
          Emit(Indexed(i % 2 == 0 ? byte >> 4 : byte & 15));
          break;
        default: {
          std::uint8_t rgba[4] = {0, 0, 0, 255};
          if (!bytes_.Next(rgba[2]) || !bytes_.Next(rgba[1]) || !bytes_.Next(rgba[0])) return false;
          bytes_read += 3;
          Emit(rgba);
          break;
        }
      }
    }
    if (bytes_read % 2 != 0 && !bytes_.Next(byte)) return false;
    return true;
  }

  ByteReader bytes_;
  BmpRunWriter writer_;
  const BmpInfo& info_;
  std::uint64_t x_ = 0;
  std::uint64_t row_ = 0;  // counted from the bottom
};

}  // namespace

BmpBodyResult DecodeBmpRunLengths(ByteSource& source, RowSink& sink, const BmpInfo& info) {
  if (!source.Seek(info.pixel_offset)) return BmpBodyResult::kEmpty;
  RunLengthDecoder decoder(source, sink, info);
  bool complete = decoder.Run();
  if (complete) return BmpBodyResult::kComplete;
  return decoder.delivered() ? BmpBodyResult::kTruncated : BmpBodyResult::kEmpty;
}

}  // namespace vistamere::picture
