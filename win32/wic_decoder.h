// Decodes pictures through the Windows Imaging Component: the system's own
// codecs for JPEG, PNG, GIF, TIFF and, where one is installed, WebP.
#pragma once

#include "picture/byte_source.h"
#include "picture/decode.h"
#include "picture/format_sniffer.h"
#include "picture/row_sink.h"

namespace vistamere::win32 {

// The first frame of a picture of `format` (as sniffed), delivered as RGBA
// rows, at a smaller scale where the codec offers one that still covers
// the request's target. Without a codec for the format the reason is
// "no FORMAT decoder on this system".
[[nodiscard]] picture::DecodeOutcome DecodeWithWic(picture::PictureFormat format,
                                                   picture::ByteSource& source,
                                                   picture::RowSink& sink,
                                                   const picture::DecodeRequest& request);

}  // namespace vistamere::win32
