// Decodes GIF pictures through giflib: the first frame, placed on its logical screen.
#pragma once

#include "picture/decode.h"

namespace vistamere::picture {

// Reads `source` from offset 0 and delivers RGBA rows to `sink`.
[[nodiscard]] DecodeOutcome DecodeGif(ByteSource& source, RowSink& sink,
                                      const DecodeRequest& request);

}  // namespace vistamere::picture
