// The bits of a JPEG scan's entropy-coded data, most significant first,
// with the stuffed zero after each 0xFF data byte taken out. A marker (or
// the end of the data) ends the bits; past it the reader hands out zeros,
// and PastEnd() says whether any of them were used.
//
// The data is read a piece at a time into a buffer of the reader's own, so
// that a large file is never held whole. Offsets count bytes from the
// scan's first; positions count data bits from a base the caller gives for
// the byte the reader starts at, so two readers started at different bytes
// of the same data agree on the position of every bit both read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "picture/byte_source.h"

namespace vistamere::picture {

// The scan's bytes: `size` bytes of `source` from `origin` on.
struct ScanBytes {
  const ByteSource* source = nullptr;
  std::uint64_t origin = 0;
  std::size_t size = 0;

  [[nodiscard]] std::size_t CopyOut(std::size_t offset, std::uint8_t* out, std::size_t count) const;
};

class JpegBitReader {
 public:
  static constexpr std::size_t kBufferBytes = std::size_t{64} * 1024;

  JpegBitReader(const ScanBytes& bytes, std::size_t start, std::uint64_t start_position);

  // Makes at least kFilledBits bits available.
  static constexpr int kFilledBits = 56;
  void Fill() {
    if (bits_ >= kFilledBits) return;
    const std::size_t index = next_ - buffer_start_;
    if (!ended_ && index + 8 <= buffer_fill_) {
      const std::uint8_t* bytes = buffer_.data() + index;
      std::uint64_t word = 0;
      for (int i = 0; i < 8; ++i) word = (word << 8) | bytes[i];
      // Whole data bytes at once unless one of the eight is 0xFF. Bits of
      // a byte only partly taken are put in again, the same, next time.
      const std::uint64_t inverted = ~word;
      if (((inverted - 0x0101010101010101ULL) & ~inverted & 0x8080808080808080ULL) == 0) {
        window_ |= word >> bits_;
        const int taken = (63 - bits_) >> 3;
        next_ += static_cast<std::size_t>(taken);
        bits_ += taken * 8;
        loaded_ += static_cast<std::uint64_t>(taken) * 8;
        return;
      }
    }
    while (bits_ < kFilledBits) TakeByte();
  }
  // The next `count` bits (1 to 32), which must be available.
  std::uint32_t Peek(int count) const {
    return static_cast<std::uint32_t>(window_ >> (64 - count));
  }
  void Skip(int count) {
    window_ <<= count;
    bits_ -= count;
  }

  std::uint64_t Position() const { return loaded_ - static_cast<std::uint64_t>(bits_); }
  bool PastEnd() const { return ended_ && Position() > end_position_; }
  // The first byte not yet taken into the window, and its position.
  std::size_t NextByte() const { return next_; }
  std::uint64_t NextBytePosition() const { return loaded_; }
  bool ended() const { return ended_; }
  // Whether the bits ran off the end of the data, with no marker to end them
  // (a truncated file).
  bool RanOffTheData() const { return ended_ && marker_code_ < 0; }
  // Whether the data ended at a restart marker (RST0 to RST7).
  bool EndedAtRestart() const { return ended_ && IsRestartCode(marker_code_); }

  // Whether, once the bits up to the byte boundary are dropped, a restart
  // marker comes next.
  [[nodiscard]] bool AtRestartMarker();

  // Steps over the restart marker that must come at the next byte boundary;
  // `expected` is its number (0 to 7), or -1 for any. False when the bits
  // before the boundary are not the last ones before such a marker.
  [[nodiscard]] bool Restart(int expected);
  // The second byte of the restart marker Restart() last stepped over.
  int last_restart_code() const { return last_restart_code_; }

  // Goes on just after the marker the data ended at (a restart marker).
  void ResumeAfterMarker();

  // Starts over at byte `start`, whose position is `start_position`.
  void Reposition(std::size_t start, std::uint64_t start_position);

 private:
  static bool IsRestartCode(int code) { return code >= 0xD0 && code <= 0xD7; }
  void TakeByte();
  // Makes the bytes from `next_` on, two at least where the data has them,
  // stand in the buffer.
  void Load();
  // The byte at `offset` if the buffer holds it (after Load()), else -1.
  int ByteAt(std::size_t offset) const {
    return offset - buffer_start_ < buffer_fill_ && offset >= buffer_start_
               ? buffer_[offset - buffer_start_]
               : -1;
  }

  ScanBytes bytes_;
  std::vector<std::uint8_t> buffer_;
  std::size_t buffer_start_ = 0;  // offset of buffer_[0]
  std::size_t buffer_fill_ = 0;
  std::size_t next_;
  std::uint64_t window_ = 0;  // the next bits, from the top
  int bits_ = 0;              // how many of window_'s bits are loaded
  std::uint64_t loaded_;      // position just past the last loaded bit
  bool ended_ = false;
  std::uint64_t end_position_ = 0;  // where the data bits ended
  std::size_t marker_at_ = 0;       // the offset of the marker
  int marker_code_ = -1;            // its second byte; -1: the data ran out
  int last_restart_code_ = -1;
};

}  // namespace vistamere::picture
