// Sequential, seekable reading of a picture file's bytes, and reading at
// any offset.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vistamere::picture {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to `size` bytes; returns how many were read (0 at the end or on an error).
  [[nodiscard]] virtual std::size_t Read(void* buffer, std::size_t size) = 0;
  // Moves to an absolute offset; false when it lies beyond the end.
  [[nodiscard]] virtual bool Seek(std::uint64_t offset) = 0;
  virtual std::uint64_t Position() const = 0;
  virtual std::uint64_t Size() const = 0;
  // Copies up to `size` bytes from the absolute `offset`, without moving the
  // position; returns how many (fewer only at the end or on an error). Safe
  // from several threads at once.
  [[nodiscard]] virtual std::size_t ReadAt(std::uint64_t offset, void* buffer,
                                           std::size_t size) const = 0;
};

// Reads until `size` bytes are in or the source gives no more; returns how
// many were read (fewer only at the end or on an error).
[[nodiscard]] inline std::size_t ReadFully(ByteSource& source, void* buffer, std::size_t size) {
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  std::size_t got = 0;
  while (got < size) {
    const std::size_t count = source.Read(bytes + got, size - got);
    if (count == 0) break;
    got += count;
  }
  return got;
}

}  // namespace vistamere::picture
