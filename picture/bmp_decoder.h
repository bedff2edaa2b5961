// Our own BMP decoder: every header version, bit depths 1 to 64, RLE4,
// RLE8, RLE24 and bit fields, streamed row by row.
#pragma once

#include "picture/byte_source.h"
#include "picture/decode.h"
#include "picture/row_sink.h"

namespace vistamere::picture {

[[nodiscard]] DecodeOutcome DecodeBmp(ByteSource& source, RowSink& sink,
                                      const DecodeRequest& request);

}  // namespace vistamere::picture
