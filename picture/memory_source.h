// Bytes in memory as a ByteSource, without copying them: the caller keeps
// them alive.
#pragma once

#include <algorithm>
#include <cstring>

#include "picture/byte_source.h"

namespace vistamere::picture {

class MemorySource final : public ByteSource {
 public:
  MemorySource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  [[nodiscard]] std::size_t Read(void* buffer, std::size_t size) override {
    const std::size_t n = std::min<std::uint64_t>(size, size_ - position_);
    if (n > 0) std::memcpy(buffer, data_ + position_, n);
    position_ += n;
    return n;
  }
  [[nodiscard]] bool Seek(std::uint64_t offset) override {
    if (offset > size_) return false;
    position_ = offset;
    return true;
  }
  std::uint64_t Position() const override { return position_; }
  std::uint64_t Size() const override { return size_; }
  [[nodiscard]] std::size_t ReadAt(std::uint64_t offset, void* buffer,
                                   std::size_t size) const override {
    if (offset >= size_) return 0;
    const std::size_t n = std::min<std::uint64_t>(size, size_ - offset);
    std::memcpy(buffer, data_ + offset, n);
    return n;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::uint64_t position_ = 0;
};

}  // namespace vistamere::picture
