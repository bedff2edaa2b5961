// The two ways a BMP stores its pixels, once the headers are read and the
// sink has accepted the size.
#pragma once

#include "picture/bmp_header.h"
#include "picture/byte_source.h"
#include "picture/row_sink.h"

namespace vistamere::picture {

enum class BmpBodyResult {
  kComplete,
  kTruncated,  // some pixels were delivered
  kEmpty,      // the data ended before any pixel
};

// Uncompressed rows, padded to four bytes, bottom-up unless top_down.
[[nodiscard]] BmpBodyResult DecodeBmpPlainRows(ByteSource& source, RowSink& sink,
                                               const BmpInfo& info);

// RLE8, RLE4 and RLE24, always bottom-up; pixels it skips stay undelivered.
[[nodiscard]] BmpBodyResult DecodeBmpRunLengths(ByteSource& source, RowSink& sink,
                                                const BmpInfo& info);

}  // namespace vistamere::picture
