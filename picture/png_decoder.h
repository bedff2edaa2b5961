// Decodes PNG pictures through libpng, row by row (interlaced passes as they come).
#pragma once

#include "picture/decode.h"

namespace vistamere::picture {

// Reads `source` from offset 0 and delivers RGBA rows to `sink`.
[[nodiscard]] DecodeOutcome DecodePng(ByteSource& source, RowSink& sink,
                                      const DecodeRequest& request);

}  // namespace vistamere::picture
