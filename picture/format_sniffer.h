// Tells a picture's format from its first bytes, never from its name.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vistamere::picture {

enum class PictureFormat { kUnknown, kBmp, kJpeg, kPng, kGif, kWebp, kTiff };

// How many leading bytes SniffFormat needs to tell every format apart.
inline constexpr std::size_t kSniffBytes = 12;

PictureFormat SniffFormat(const std::uint8_t* head, std::size_t size);

// "BMP", "JPEG", ...; used in reasons such as "corrupt BMP data".
const char* FormatName(PictureFormat format);

}  // namespace vistamere::picture
