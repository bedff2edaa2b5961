#include "picture/exif_orientation.h"

#include <cstring>

namespace vistamere::picture {
namespace {

constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kTypeShort = 3;
constexpr std::uint16_t kTypeLong = 4;
constexpr std::size_t kIfdEntrySize = 12;

class TiffReader {
 public:
  TiffReader(const std::uint8_t* data, std::size_t size, bool big_endian)
      : data_(data), size_(size), big_endian_(big_endian) {}

  bool Has(std::size_t offset, std::size_t length) const {
    return offset <= size_ && length <= size_ - offset;
  }
  std::uint16_t U16(std::size_t offset) const {
    const std::uint8_t* p = data_ + offset;
    return big_endian_ ? static_cast<std::uint16_t>(p[0] << 8 | p[1])
                       : static_cast<std::uint16_t>(p[1] << 8 | p[0]);
  }
  std::uint32_t U32(std::size_t offset) const {
    const std::uint32_t high = U16(offset);
    const std::uint32_t low = U16(offset + 2);
    return big_endian_ ? (high << 16 | low) : (low << 16 | high);
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  bool big_endian_;
};

int ValidOrEmpty(std::uint32_t value) {
  return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
}

}  // namespace

int OrientationFromTiffStructure(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr || size < 8) return 1;
  bool big_endian = false;
  if (data[0] == 'M' && data[1] == 'M') {
    big_endian = true;
  } else if (!(data[0] == 'I' && data[1] == 'I')) {
    return 1;
  }
  const TiffReader reader(data, size, big_endian);
  if (reader.U16(2) != 42) return 1;
  const std::uint32_t ifd = reader.U32(4);
  if (!reader.Has(ifd, 2)) return 1;
  const std::size_t entry_count = reader.U16(ifd);
  for (std::size_t i = 0; i < entry_count; ++i) {
    const std::size_t entry = ifd + 2 + i * kIfdEntrySize;
    if (!reader.Has(entry, kIfdEntrySize)) return 1;
    if (reader.U16(entry) != kOrientationTag) continue;
    const std::uint16_t type = reader.U16(entry + 2);
    if (reader.U32(entry + 4) < 1) return 1;
    if (type == kTypeShort) return ValidOrEmpty(reader.U16(entry + 8));
    if (type == kTypeLong) return ValidOrEmpty(reader.U32(entry + 8));
    return 1;
  }
  return 1;
}

int OrientationFromExifSegment(const std::uint8_t* data, std::size_t size) {
  static constexpr std::uint8_t kExifId[6] = {'E', 'x', 'i', 'f', 0, 0};
  if (data == nullptr || size < sizeof kExifId) return 1;
  if (std::memcmp(data, kExifId, sizeof kExifId) != 0) return 1;
  return OrientationFromTiffStructure(data + sizeof kExifId, size - sizeof kExifId);
}

}  // namespace vistamere::picture
