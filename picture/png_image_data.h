// The image data of a PNG that is not interlaced, read here: rows inflated
// (on a second thread when they are wide enough), unfiltered and turned
// into RGBA for the sink.
#pragma once

#include <cstdint>

#include "picture/png_idat.h"
#include "picture/png_rows.h"
#include "picture/row_sink.h"

namespace vistamere::picture {

enum class PngImageDataEnd {
  kDone,       // every row delivered, the stream's end checked
  kTruncated,  // the file ended
  kIrregular,  // anything else: for libpng to judge
};

// Delivers the picture's rows, `height` of them, from `inflater`.
// `delivered`: how many rows, from the top, the sink got.
[[nodiscard]] PngImageDataEnd DecodePngImageData(PngIdatInflater& inflater,
                                                 const PngPixelFormat& format, std::uint32_t height,
                                                 RowSink& sink, std::uint32_t& delivered);

}  // namespace vistamere::picture
