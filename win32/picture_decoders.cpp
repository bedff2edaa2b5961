// The decoder table of the Windows build: the codec libraries are not part
// of it, so only the formats our own decoders read are shown.
#include "picture/bmp_decoder.h"
#include "picture/decoders.h"

namespace vistamere::picture {

Decoder DecoderFor(PictureFormat format) {
  return format == PictureFormat::kBmp ? &DecodeBmp : nullptr;
}

}  // namespace vistamere::picture
