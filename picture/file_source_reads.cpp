// FileSource: buffered reads over ReadAt, the same on every platform.
#include "picture/file_source.h"

#include <algorithm>
#include <cstring>

namespace vistamere::picture {
namespace {

constexpr std::size_t kBufferSize = std::size_t{64} * 1024;

}  // namespace

std::size_t FileSource::Read(void* buffer, std::size_t size) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    if (position_ >= buffer_offset_ && position_ < buffer_offset_ + buffer_fill_) {
      std::size_t start = static_cast<std::size_t>(position_ - buffer_offset_);
      std::size_t take = std::min(size - done, buffer_fill_ - start);
      std::memcpy(out + done, buffer_.data() + start, take);
      done += take;
      position_ += take;
      continue;
    }
    std::size_t wanted = size - done;
    if (wanted >= kBufferSize) {
      // Large reads go straight to the caller's memory.
      std::size_t got = ReadAt(position_, out + done, wanted);
      done += got;
      position_ += got;
      break;
    }
    buffer_.resize(kBufferSize);
    buffer_offset_ = position_;
    buffer_fill_ = ReadAt(position_, buffer_.data(), kBufferSize);
    if (buffer_fill_ == 0) break;
  }
  return done;
}

bool FileSource::Seek(std::uint64_t offset) {
  if (offset > size_) return false;
  position_ = offset;
  return true;
}

}  // namespace vistamere::picture
