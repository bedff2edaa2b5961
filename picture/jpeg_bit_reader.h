// The bits of a JPEG scan's entropy-coded data, most significant first,
// with the stuffed zero after each 0xFF data byte taken out. A marker (or
// the end of the data) ends the bits; past it the reader hands out zeros,
// and PastEnd() says whether any of them were used.
//
// Positions count data bits from a base the caller gives for the byte the
// reader starts at, so two readers started at different bytes of the same
// data agree on the position of every bit both read.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vistamere::picture {

class JpegBitReader {
 public:
  JpegBitReader(const std::uint8_t* data, std::size_t size, std::size_t start,
                std::uint64_t start_position)
      : data_(data), size_(size), next_(start), loaded_(start_position) {}

  // Makes at least kFilledBits bits available.
  static constexpr int kFilledBits = 56;
  void Fill() {
    if (bits_ >= kFilledBits) return;
    if (!ended_ && next_ + 8 <= size_) {
      std::uint64_t word = 0;
      for (int i = 0; i < 8; ++i) word = (word << 8) | data_[next_ + static_cast<std::size_t>(i)];
      // Whole data bytes at once unless one of the eight is 0xFF. Bits of
      // a byte only partly taken are put in again, the same, next time.
      const std::uint64_t inverted = ~word;
      if (((inverted - 0x0101010101010101ULL) & ~inverted & 0x8080808080808080ULL) == 0) {
        window_ |= word >> bits_;
        const int bytes = (63 - bits_) >> 3;
        next_ += static_cast<std::size_t>(bytes);
        bits_ += bytes * 8;
        loaded_ += static_cast<std::uint64_t>(bytes) * 8;
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
  // The first byte not yet taken into the window.
  std::size_t NextByte() const { return next_; }
  std::uint64_t NextBytePosition() const { return loaded_; }
  bool ended() const { return ended_; }
  // Whether the bits ran off the end of the data, with no marker to end them
  // (a truncated file).
  bool RanOffTheData() const { return ended_ && marker_at_ >= size_; }
  // Whether the data ended at a restart marker (RST0 to RST7).
  bool EndedAtRestart() const { return ended_ && IsRestartMarkerAt(marker_at_); }

  // Whether, once the bits up to the byte boundary are dropped, a restart
  // marker comes next.
  bool AtRestartMarker() const;

  // Steps over the restart marker that must come at the next byte boundary;
  // `expected` is its number (0 to 7), or -1 for any. False when the bits
  // before the boundary are not the last ones before such a marker.
  bool Restart(int expected);

  // Goes on just after the marker the data ended at (a restart marker).
  void ResumeAfterMarker();

  // Starts over at byte `start`, whose position is `start_position`.
  void Reposition(std::size_t start, std::uint64_t start_position);

  bool IsRestartMarkerAt(std::size_t offset) const {
    return offset + 1 < size_ && data_[offset] == 0xFF && (data_[offset + 1] & 0xF8) == 0xD0;
  }

 private:
  void TakeByte();

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t next_;
  std::uint64_t window_ = 0;  // the next bits, from the top
  int bits_ = 0;              // how many of window_'s bits are loaded
  std::uint64_t loaded_;      // position just past the last loaded bit
  bool ended_ = false;
  std::uint64_t end_position_ = 0;  // where the data bits ended
  std::size_t marker_at_ = 0;       // the offset of the marker (or size_)
};

}  // namespace vistamere::picture
