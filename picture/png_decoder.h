// Decodes PNG pictures row by row: libpng reads the chunks before the image
// data; the image data of a picture that is not interlaced is inflated and
// unfiltered here, that of an interlaced one by libpng (passes as they come).
#pragma once

#include "picture/decode.h"

namespace vistamere::picture {

// Reads `source` from offset 0 and delivers RGBA rows to `sink`.
[[nodiscard]] DecodeOutcome DecodePng(ByteSource& source, RowSink& sink,
                                      const DecodeRequest& request);

// The same through libpng alone: what DecodePng must match.
[[nodiscard]] DecodeOutcome DecodePngWithLibpng(ByteSource& source, RowSink& sink,
                                                const DecodeRequest& request);

}  // namespace vistamere::picture
