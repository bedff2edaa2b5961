#include "picture/bmp_header.h"

#include <algorithm>
#include <cstring>

namespace vistamere::picture {
namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kLargestHeaderSize = 124;

// Compression codes of the info header.
constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiRle8 = 1;
constexpr std::uint32_t kBiRle4 = 2;
constexpr std::uint32_t kBiBitfields = 3;  // OS/2 2.x: Huffman 1D
constexpr std::uint32_t kBiJpeg = 4;       // OS/2 2.x: RLE24
constexpr std::uint32_t kBiPng = 5;
constexpr std::uint32_t kBiAlphaBitfields = 6;

std::uint16_t U16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
std::uint32_t U32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}
std::int32_t I32(const std::uint8_t* p) {
  return static_cast<std::int32_t>(U32(p));
}

[[nodiscard]] bool ReadExactly(ByteSource& source, std::uint8_t* out, std::size_t size) {
  return source.Read(out, size) == size;
}

bool IsOs2V2HeaderSize(std::uint32_t size) {
  return size >= 16 && size <= 64 && size != 40 && size != 52 && size != 56;
}

bool IsKnownHeaderSize(std::uint32_t size) {
  return size == kCoreHeaderSize || (size >= 16 && size <= 64) || size == 108 || size == 124;
}

// Which pixel layouts each compression allows.
[[nodiscard]] BmpHeaderResult ChooseEncoding(std::uint32_t compression, bool os2, BmpInfo& info,
                                             bool& uses_masks) {
  uses_masks = false;
  std::uint16_t bits = info.bit_count;
  switch (compression) {
    case kBiRgb:
      info.encoding = BmpEncoding::kPlain;
      return (bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 ||
              bits == 32 || bits == 64)
                 ? BmpHeaderResult::kOk
                 : BmpHeaderResult::kCorrupt;
    case kBiRle8:
      info.encoding = BmpEncoding::kRle8;
      return bits == 8 ? BmpHeaderResult::kOk : BmpHeaderResult::kCorrupt;
    case kBiRle4:
      info.encoding = BmpEncoding::kRle4;
      return bits == 4 ? BmpHeaderResult::kOk : BmpHeaderResult::kCorrupt;
    case kBiBitfields:
    case kBiAlphaBitfields:
      if (os2 && compression == kBiBitfields) return BmpHeaderResult::kUnsupported;
      info.encoding = BmpEncoding::kPlain;
      uses_masks = true;
      return (bits == 16 || bits == 32) ? BmpHeaderResult::kOk : BmpHeaderResult::kCorrupt;
    case kBiJpeg:
      if (!os2) return BmpHeaderResult::kUnsupported;
      info.encoding = BmpEncoding::kRle24;
      return bits == 24 ? BmpHeaderResult::kOk : BmpHeaderResult::kCorrupt;
    case kBiPng:
      return BmpHeaderResult::kUnsupported;
    default:
      return BmpHeaderResult::kCorrupt;
  }
}

}  // namespace

BmpHeaderResult ReadBmpHeader(ByteSource& source, BmpInfo& info) {
  info = BmpInfo{};
  std::uint8_t file_header[kFileHeaderSize + 4];
  if (!source.Seek(0) || !ReadExactly(source, file_header, sizeof file_header)) {
    return BmpHeaderResult::kTruncated;
  }
  if (file_header[0] != 'B' || file_header[1] != 'M') return BmpHeaderResult::kCorrupt;
  std::uint32_t pixel_offset = U32(file_header + 10);
  std::uint32_t header_size = U32(file_header + kFileHeaderSize);
  if (!IsKnownHeaderSize(header_size)) return BmpHeaderResult::kCorrupt;

  std::uint8_t header[kLargestHeaderSize] = {};
  std::memcpy(header, file_header + kFileHeaderSize, 4);
  if (!ReadExactly(source, header + 4, header_size - 4)) return BmpHeaderResult::kTruncated;

  bool core = header_size == kCoreHeaderSize;
  bool os2 = core || IsOs2V2HeaderSize(header_size);
  std::int64_t width = 0;
  std::int64_t height = 0;
  std::uint16_t planes = 0;
  std::uint32_t compression = kBiRgb;
  std::uint32_t colors_used = 0;
  if (core) {
    width = U16(header + 4);
    height = U16(header + 6);
    planes = U16(header + 8);
    info.bit_count = U16(header + 10);
  } else {
    width = I32(header + 4);
    height = I32(header + 8);
    planes = U16(header + 12);
    info.bit_count = U16(header + 14);
    if (header_size >= 20) compression = U32(header + 16);
    if (header_size >= 36) colors_used = U32(header + 32);
  }
  if (planes != 1 || width <= 0 || height == 0) return BmpHeaderResult::kCorrupt;
  info.top_down = height < 0;
  if (height < 0) height = -height;
  if (width > INT32_MAX || height > INT32_MAX) return BmpHeaderResult::kCorrupt;
  info.width = static_cast<std::uint32_t>(width);
  info.height = static_cast<std::uint32_t>(height);

  bool uses_masks = false;
  BmpHeaderResult encoding = ChooseEncoding(compression, os2, info, uses_masks);
  if (encoding != BmpHeaderResult::kOk) return encoding;
  if (info.encoding != BmpEncoding::kPlain && info.top_down) return BmpHeaderResult::kCorrupt;

  // Masks: inside headers of 52 bytes and more, else after a 40-byte header.
  std::uint64_t palette_start = kFileHeaderSize + std::uint64_t{header_size};
  if (uses_masks) {
    if (header_size >= 52) {
      for (std::size_t i = 0; i < 3; ++i) info.masks[i] = U32(header + 40 + 4 * i);
      if (header_size >= 56) info.masks[3] = U32(header + 52);
    } else {
      const std::size_t count = compression == kBiAlphaBitfields ? 4 : 3;
      std::uint8_t masks[16];
      if (!ReadExactly(source, masks, 4 * count)) return BmpHeaderResult::kTruncated;
      for (std::size_t i = 0; i < count; ++i) info.masks[i] = U32(masks + 4 * i);
      palette_start += 4 * std::uint64_t{count};
    }
  } else if (info.bit_count == 16) {
    info.masks = {0x7C00, 0x03E0, 0x001F, 0};
  } else if (info.bit_count == 32) {
    info.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0};
    // Headers that define an alpha mask may use the fourth byte as alpha.
    if (header_size >= 108 && U32(header + 52) == 0xFF000000u) info.masks[3] = 0xFF000000u;
  }

  // A zero offset is taken to mean: right after the palette.
  if (pixel_offset != 0 && pixel_offset < kFileHeaderSize + header_size) {
    return BmpHeaderResult::kCorrupt;
  }
  info.pixel_offset = pixel_offset != 0 ? pixel_offset : palette_start;

  if (info.bit_count <= 8) {
    std::uint32_t entry_size = core ? 3 : 4;
    std::uint64_t declared = 1u << info.bit_count;
    if (!core && colors_used != 0) declared = colors_used;
    // A palette never reaches into the pixels it describes.
    if (pixel_offset != 0 && pixel_offset > palette_start) {
      declared = std::min<std::uint64_t>(declared, (pixel_offset - palette_start) / entry_size);
    }
    std::uint32_t count =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(declared, 1u << info.bit_count));
    std::uint8_t entries[256 * 4];
    if (!source.Seek(palette_start) ||
        !ReadExactly(source, entries, std::size_t{count} * entry_size)) {
      return BmpHeaderResult::kTruncated;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint8_t* entry = entries + std::size_t{i} * entry_size;
      info.palette[i] = {entry[2], entry[1], entry[0], 255};
    }
    info.palette_size = count;
    if (pixel_offset == 0) info.pixel_offset = palette_start + std::uint64_t{count} * entry_size;
  }
  return BmpHeaderResult::kOk;
}

}  // namespace vistamere::picture
