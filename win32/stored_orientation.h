// The EXIF orientation a JPEG, PNG or TIFF file stores, read from the file
// itself: the Windows Imaging Component decodes pixels as stored and
// leaves the turning to its caller.
#pragma once

#include "picture/byte_source.h"
#include "picture/format_sniffer.h"

namespace vistamere::win32 {

// 1 to 8; 1 (as stored) for other formats and for anything malformed.
// Reads at offsets, leaving the source's position where it was.
int StoredOrientation(picture::PictureFormat format, const picture::ByteSource& source);

}  // namespace vistamere::win32
