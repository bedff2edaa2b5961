// Decodes WebP pictures through libwebp, decoded incrementally and scaled down
// towards the requested size. Animated pictures are refused.
#pragma once

#include "picture/decode.h"

namespace vistamere::picture {

// Reads `source` from offset 0 and delivers RGBA rows to `sink`.
[[nodiscard]] DecodeOutcome DecodeWebp(ByteSource& source, RowSink& sink,
                                       const DecodeRequest& request);

}  // namespace vistamere::picture
