#include "picture/decoders.h"

#include "picture/bmp_decoder.h"
#include "picture/gif_decoder.h"
#include "picture/jpeg_decoder.h"
#include "picture/png_decoder.h"
#include "picture/tiff_decoder.h"
#include "picture/webp_decoder.h"

namespace vistamere::picture {

// Every format has its decoder: a format added without one is a warning
// (an error here) in this switch.
Decoder DecoderFor(PictureFormat format) {
  switch (format) {
    case PictureFormat::kBmp:
      return &DecodeBmp;
    case PictureFormat::kJpeg:
      return &DecodeJpeg;
    case PictureFormat::kPng:
      return &DecodePng;
    case PictureFormat::kGif:
      return &DecodeGif;
    case PictureFormat::kWebp:
      return &DecodeWebp;
    case PictureFormat::kTiff:
      return &DecodeTiff;
    case PictureFormat::kUnknown:
      break;
  }
  return nullptr;
}

}  // namespace vistamere::picture
