// The decoder table of the Windows build: BMP through our own decoder, the
// other formats through the system's codecs (the Windows Imaging
// Component), as far as the system has them.
#include "picture/bmp_decoder.h"
#include "picture/decoders.h"
#include "win32/wic_decoder.h"

namespace vistamere::picture {
namespace {

template <PictureFormat kFormat>
DecodeOutcome DecodeThroughSystem(ByteSource& source, RowSink& sink, const DecodeRequest& request) {
  return win32::DecodeWithWic(kFormat, source, sink, request);
}

}  // namespace

Decoder DecoderFor(PictureFormat format) {
  switch (format) {
    case PictureFormat::kBmp:
      return &DecodeBmp;
    case PictureFormat::kJpeg:
      return &DecodeThroughSystem<PictureFormat::kJpeg>;
    case PictureFormat::kPng:
      return &DecodeThroughSystem<PictureFormat::kPng>;
    case PictureFormat::kGif:
      return &DecodeThroughSystem<PictureFormat::kGif>;
    case PictureFormat::kWebp:
      return &DecodeThroughSystem<PictureFormat::kWebp>;
    case PictureFormat::kTiff:
      return &DecodeThroughSystem<PictureFormat::kTiff>;
    case PictureFormat::kUnknown:
      break;
  }
  return nullptr;
}

}  // namespace vistamere::picture
