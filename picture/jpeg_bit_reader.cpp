#include "picture/jpeg_bit_reader.h"

namespace vistamere::picture {

void JpegBitReader::TakeByte() {
  std::uint8_t byte = 0;
  if (!ended_) {
    // A 0xFF with nothing after it is a marker cut off: the data ran out.
    if (next_ >= size_ || (data_[next_] == 0xFF && next_ + 1 >= size_)) {
      ended_ = true;
      end_position_ = loaded_;
      marker_at_ = size_;
    } else if (data_[next_] != 0xFF) {
      byte = data_[next_++];
    } else if (next_ + 1 < size_ && data_[next_ + 1] == 0) {
      byte = 0xFF;
      next_ += 2;
    } else {
      ended_ = true;
      end_position_ = loaded_;
      marker_at_ = next_;
    }
  }
  window_ |= std::uint64_t{byte} << (56 - bits_);
  bits_ += 8;
  loaded_ += 8;
}

bool JpegBitReader::AtRestartMarker() const {
  if (ended_) {
    const std::uint64_t boundary = (Position() + 7) & ~std::uint64_t{7};
    return boundary == end_position_ && IsRestartMarkerAt(marker_at_);
  }
  // Every loaded bit is data: only the last byte's leftover bits may remain.
  return bits_ < 8 && IsRestartMarkerAt(next_);
}

bool JpegBitReader::Restart(int expected) {
  Skip(bits_ % 8);  // positions start at byte boundaries, so this reaches one
  if (!ended_) {
    if (bits_ != 0) return false;
    TakeByte();  // must find the marker
    if (!ended_) return false;
  }
  if (Position() != end_position_ || !IsRestartMarkerAt(marker_at_)) return false;
  if (expected >= 0 && data_[marker_at_ + 1] != 0xD0 + expected) return false;
  ResumeAfterMarker();
  return true;
}

void JpegBitReader::ResumeAfterMarker() {
  Reposition(marker_at_ + 2, end_position_);
}

void JpegBitReader::Reposition(std::size_t start, std::uint64_t start_position) {
  next_ = start;
  loaded_ = start_position;
  window_ = 0;
  bits_ = 0;
  ended_ = false;
  end_position_ = 0;
  marker_at_ = 0;
}

}  // namespace vistamere::picture
