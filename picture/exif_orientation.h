// Reads the EXIF orientation (tag 0x0112 of the first IFD) from the TIFF
// structure that EXIF data is stored in. Bounds-checked: malformed or
// hostile data gives 1 (as stored), never a read outside the data.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vistamere::picture {

// `data` starts at the TIFF header ("II*\0" or "MM\0*"). Returns 1 to 8.
int OrientationFromTiffStructure(const std::uint8_t* data, std::size_t size);

// `data` is the payload of a JPEG APP1 segment: "Exif\0\0" and the TIFF
// structure. Returns 1 to 8; 1 for any other APP1 (XMP, ...).
int OrientationFromExifSegment(const std::uint8_t* data, std::size_t size);

}  // namespace vistamere::picture
