// The decoders under test, by name, for table-driven tests.
#pragma once

#include "picture/decode.h"
#include "picture/gif_decoder.h"
#include "picture/jpeg_decoder.h"
#include "picture/png_decoder.h"
#include "picture/tiff_decoder.h"
#include "picture/webp_decoder.h"

namespace vistamere::picture::testing {

using DecodeFunction = DecodeOutcome (*)(ByteSource&, RowSink&, const DecodeRequest&);

struct Codec {
  const char* name;  // as in the failure reasons: "JPEG", "PNG", ...
  DecodeFunction decode;
  const char* extension;
};

inline constexpr Codec kJpeg{"JPEG", DecodeJpeg, "jpg"};
inline constexpr Codec kPng{"PNG", DecodePng, "png"};
inline constexpr Codec kGif{"GIF", DecodeGif, "gif"};
inline constexpr Codec kWebp{"WebP", DecodeWebp, "webp"};
inline constexpr Codec kTiff{"TIFF", DecodeTiff, "tif"};
inline constexpr Codec kAllCodecs[] = {kJpeg, kPng, kGif, kWebp, kTiff};

}  // namespace vistamere::picture::testing
