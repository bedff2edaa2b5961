// A picture file opened for reading: buffered, seekable, and only ever a
// regular file, so that a FIFO or a device can never hang a load.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "picture/byte_source.h"

namespace vistamere::picture {

class FileSource final : public ByteSource {
 public:
  // Opens `path`; on failure returns null and sets `reason` to a short
  // lower-case phrase ("no such file", "not a regular file", "empty file",
  // "not a readable file" for one that reports no size yet is not empty...).
  [[nodiscard]] static std::unique_ptr<FileSource> Open(const std::string& path,
                                                        std::string& reason);

  ~FileSource() override;
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  [[nodiscard]] std::size_t Read(void* buffer, std::size_t size) override;
  [[nodiscard]] bool Seek(std::uint64_t offset) override;
  std::uint64_t Position() const override { return position_; }
  std::uint64_t Size() const override { return size_; }
  // Retries after interruptions.
  [[nodiscard]] std::size_t ReadAt(std::uint64_t offset, void* buffer,
                                   std::size_t size) const override;

 private:
  FileSource(int fd, std::uint64_t size);

  int fd_;
  std::uint64_t size_;
  std::uint64_t position_ = 0;
  std::vector<std::uint8_t> buffer_;
  std::uint64_t buffer_offset_ = 0;  // file offset of buffer_[0]
  std::size_t buffer_fill_ = 0;
};

// The reason for an errno value, as FileSource::Open reports it.
std::string OpenErrorReason(int error_number);

}  // namespace vistamere::picture
