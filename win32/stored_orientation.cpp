#include "win32/stored_orientation.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "picture/exif_orientation.h"

namespace vistamere::win32 {
namespace {

using picture::ByteSource;

// EXIF blocks are short; the orientation is in their first directory.
constexpr std::size_t kMaxExifBytes = std::size_t{64} * 1024;
// Segments or chunks looked at before the picture data starts.
constexpr int kMaxBlocks = 1000;
constexpr std::uint16_t kMaxDirectoryEntries = 4096;
constexpr std::size_t kDirectoryEntryBytes = 12;

std::uint32_t BigEndian16(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0] << 8 | p[1]);
}
std::uint32_t BigEndian32(const std::uint8_t* p) {
  return BigEndian16(p) << 16 | BigEndian16(p + 2);
}

std::vector<std::uint8_t> BytesAt(const ByteSource& source, std::uint64_t offset,
                                  std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  bytes.resize(source.ReadAt(offset, bytes.data(), size));
  return bytes;
}

// The APP1 segments before the first scan.
int JpegOrientation(const ByteSource& source) {
  std::uint64_t offset = 2;  // after the start-of-image marker
  for (int block = 0; block < kMaxBlocks; ++block) {
    std::uint8_t head[4];
    if (source.ReadAt(offset, head, sizeof head) != sizeof head || head[0] != 0xFF) return 1;
    if (head[1] == 0xFF) {  // fill byte
      ++offset;
      continue;
    }
    if (head[1] == 0xDA || head[1] == 0xD9) return 1;  // start of scan, end of image
    const std::uint32_t length = BigEndian16(head + 2);
    if (length < 2) return 1;
    if (head[1] == 0xE1) {
      const std::vector<std::uint8_t> payload = BytesAt(source, offset + 4, length - 2);
      const int orientation = picture::OrientationFromExifSegment(payload.data(), payload.size());
      if (orientation != 1) return orientation;
    }
    offset += 2 + length;
  }
  return 1;
}

// An eXIf chunk before the image data.
int PngOrientation(const ByteSource& source) {
  std::uint64_t offset = 8;  // after the signature
  for (int block = 0; block < kMaxBlocks; ++block) {
    std::uint8_t head[8];
    if (source.ReadAt(offset, head, sizeof head) != sizeof head) return 1;
    const std::uint32_t length = BigEndian32(head);
    if (std::memcmp(head + 4, "IDAT", 4) == 0 || std::memcmp(head + 4, "IEND", 4) == 0) return 1;
    if (std::memcmp(head + 4, "eXIf", 4) == 0) {
      const std::vector<std::uint8_t> exif =
          BytesAt(source, offset + 8, length < kMaxExifBytes ? length : kMaxExifBytes);
      return picture::OrientationFromTiffStructure(exif.data(), exif.size());
    }
    offset += std::uint64_t{12} + length;  // length, type, data, CRC
  }
  return 1;
}

// The first directory, wherever the file keeps it, copied right after a
// header that points at it, as the EXIF reader takes it.
int TiffOrientation(const ByteSource& source) {
  std::vector<std::uint8_t> data = BytesAt(source, 0, 8);
  if (data.size() != 8) return 1;
  const bool big_endian = data[0] == 'M';
  const auto u16 = [big_endian](const std::uint8_t* p) {
    return big_endian ? BigEndian16(p) : static_cast<std::uint32_t>(p[1] << 8 | p[0]);
  };
  const std::uint32_t directory =
      big_endian ? BigEndian32(data.data() + 4) : u16(data.data() + 4) | u16(data.data() + 6) << 16;
  std::uint8_t count_bytes[2];
  if (source.ReadAt(directory, count_bytes, 2) != 2) return 1;
  const std::uint32_t count = u16(count_bytes);
  if (count > kMaxDirectoryEntries) return 1;
  const std::vector<std::uint8_t> entries =
      BytesAt(source, directory, 2 + count * kDirectoryEntryBytes);
  data.insert(data.end(), entries.begin(), entries.end());
  static constexpr std::uint8_t kEightBigEndian[4] = {0, 0, 0, 8};
  static constexpr std::uint8_t kEightLittleEndian[4] = {8, 0, 0, 0};
  std::memcpy(data.data() + 4, big_endian ? kEightBigEndian : kEightLittleEndian, 4);
  return picture::OrientationFromTiffStructure(data.data(), data.size());
}

}  // namespace

int StoredOrientation(picture::PictureFormat format, const ByteSource& source) {
  switch (format) {
    case picture::PictureFormat::kJpeg:
      return JpegOrientation(source);
    case picture::PictureFormat::kPng:
      return PngOrientation(source);
    case picture::PictureFormat::kTiff:
      return TiffOrientation(source);
    default:
      return 1;
  }
}

}  // namespace vistamere::win32
