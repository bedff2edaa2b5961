#include "picture/jpeg_bit_reader.h"

#include <algorithm>
#include <cstring>

namespace vistamere::picture {

std::size_t ScanBytes::CopyOut(std::size_t offset, std::uint8_t* out, std::size_t count) const {
  if (offset >= size) return 0;
  count = std::min(count, size - offset);
  return source->ReadAt(origin + offset, out, count);
}

JpegBitReader::JpegBitReader(const ScanBytes& bytes, std::size_t start,
                             std::uint64_t start_position)
    : bytes_(bytes), buffer_(kBufferBytes), next_(start), loaded_(start_position) {}

void JpegBitReader::Load() {
  const std::size_t held = buffer_start_ + buffer_fill_;
  if (next_ >= buffer_start_ && next_ + 2 <= held) return;
  if (next_ >= buffer_start_ && next_ < held) {
    // Keep the bytes still to come; read more after them.
    const std::size_t kept = held - next_;
    std::memmove(buffer_.data(), buffer_.data() + (next_ - buffer_start_), kept);
    buffer_start_ = next_;
    buffer_fill_ = kept + bytes_.CopyOut(held, buffer_.data() + kept, buffer_.size() - kept);
    return;
  }
  buffer_start_ = next_;
  buffer_fill_ = bytes_.CopyOut(next_, buffer_.data(), buffer_.size());
}

void JpegBitReader::TakeByte() {
  std::uint8_t byte = 0;
  if (!ended_) {
    Load();
    const int first = ByteAt(next_);
    const int second = ByteAt(next_ + 1);
    // A 0xFF with nothing after it is a marker cut off: the data ran out.
    if (first < 0 || (first == 0xFF && second < 0)) {
      ended_ = true;
      end_position_ = loaded_;
      marker_at_ = next_;
      marker_code_ = -1;
    } else if (first != 0xFF) {
      byte = static_cast<std::uint8_t>(first);
      ++next_;
    } else if (second == 0) {
      byte = 0xFF;
      next_ += 2;
    } else {
      ended_ = true;
      end_position_ = loaded_;
      marker_at_ = next_;
      marker_code_ = second;
    }
  }
  window_ |= std::uint64_t{byte} << (56 - bits_);
  bits_ += 8;
  loaded_ += 8;
}

bool JpegBitReader::AtRestartMarker() {
  if (ended_) {
    const std::uint64_t boundary = (Position() + 7) & ~std::uint64_t{7};
    return boundary == end_position_ && EndedAtRestart();
  }
  // Every loaded bit is data: only the last byte's leftover bits may remain.
  if (bits_ >= 8) return false;
  Load();
  return ByteAt(next_) == 0xFF && IsRestartCode(ByteAt(next_ + 1));
}

bool JpegBitReader::Restart(int expected) {
  Skip(bits_ % 8);  // positions start at byte boundaries, so this reaches one
  if (!ended_) {
    if (bits_ != 0) return false;
    TakeByte();  // must find the marker
    if (!ended_) return false;
  }
  if (Position() != end_position_ || !EndedAtRestart()) return false;
  if (expected >= 0 && marker_code_ != 0xD0 + expected) return false;
  last_restart_code_ = marker_code_;
  ResumeAfterMarker();
  return true;
}

void JpegBitReader::ResumeAfterMarker() {
  Reposition(marker_at_ + 2, end_position_);
}

void JpegBitReader::Reposition(std::size_t start, std::uint64_t start_position) {
  if (start < buffer_start_) buffer_fill_ = 0;  // nothing held from there on
  next_ = start;
  loaded_ = start_position;
  window_ = 0;
  bits_ = 0;
  ended_ = false;
  end_position_ = 0;
  marker_at_ = 0;
  marker_code_ = -1;
}

}  // namespace vistamere::picture
