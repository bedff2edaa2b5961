// Decodes TIFF pictures through libtiff's RGBA interface: the first directory,
// in bands of rows, any photometric and bit depth libtiff can convert.
#pragma once

#include "picture/decode.h"

namespace vistamere::picture {

// Reads `source` from offset 0 and delivers RGBA rows to `sink`.
[[nodiscard]] DecodeOutcome DecodeTiff(ByteSource& source, RowSink& sink,
                                       const DecodeRequest& request);

}  // namespace vistamere::picture
