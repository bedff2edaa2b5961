#include "picture/format_sniffer.h"

#include <cstring>

namespace vistamere::picture {
namespace {

bool StartsWith(const std::uint8_t* head, std::size_t size, const char* magic, std::size_t length,
                std::size_t at = 0) {
  return size >= at + length && std::memcmp(head + at, magic, length) == 0;
}

}  // namespace

PictureFormat SniffFormat(const std::uint8_t* head, std::size_t size) {
  if (StartsWith(head, size, "BM", 2)) return PictureFormat::kBmp;
  if (StartsWith(head, size, "\xFF\xD8\xFF", 3)) return PictureFormat::kJpeg;
  if (StartsWith(head, size, "\x89PNG\r\n\x1A\n", 8)) return PictureFormat::kPng;
  if (StartsWith(head, size, "GIF87a", 6) || StartsWith(head, size, "GIF89a", 6)) {
    return PictureFormat::kGif;
  }
  if (StartsWith(head, size, "RIFF", 4) && StartsWith(head, size, "WEBP", 4, 8)) {
    return PictureFormat::kWebp;
  }
  if (StartsWith(head, size, "II*\0", 4) || StartsWith(head, size, "MM\0*", 4)) {
    return PictureFormat::kTiff;
  }
  return PictureFormat::kUnknown;
}

const char* FormatName(PictureFormat format) {
  switch (format) {
    case PictureFormat::kBmp:
      return "BMP";
    case PictureFormat::kJpeg:
      return "JPEG";
    case PictureFormat::kPng:
      return "PNG";
    case PictureFormat::kGif:
      return "GIF";
    case PictureFormat::kWebp:
      return "WebP";
    case PictureFormat::kTiff:
      return "TIFF";
    case PictureFormat::kUnknown:
      break;
  }
  return "unknown";
}

}  // namespace vistamere::picture
