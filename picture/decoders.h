// The decoder of each picture format, as far as this build has one: the
// decoders built on the codec libraries are part of it only where those
// libraries are.
#pragma once

#include "picture/byte_source.h"
#include "picture/decode.h"
#include "picture/format_sniffer.h"
#include "picture/row_sink.h"

namespace vistamere::picture {

using Decoder = DecodeOutcome (*)(ByteSource&, RowSink&, const DecodeRequest&);

// Null for kUnknown and for a format this build cannot decode.
[[nodiscard]] Decoder DecoderFor(PictureFormat format);

}  // namespace vistamere::picture
