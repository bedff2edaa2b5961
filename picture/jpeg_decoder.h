// Decodes JPEG pictures through libjpeg-turbo, decoded at the smallest DCT scale
// that is not below the requested size, with EXIF orientation.
#pragma once

#include "picture/decode.h"

namespace vistamere::picture {

// Reads `source` from offset 0 and delivers RGBA rows to `sink`.
DecodeOutcome DecodeJpeg(ByteSource& source, RowSink& sink, const DecodeRequest& request);

}  // namespace vistamere::picture
