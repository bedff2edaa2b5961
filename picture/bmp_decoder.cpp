#include "picture/bmp_decoder.h"

#include "picture/bmp_body.h"
#include "picture/bmp_header.h"

namespace vistamere::picture {

DecodeOutcome DecodeBmp(ByteSource& source, RowSink& sink, const DecodeRequest& /*request*/) {
  BmpInfo info;
  switch (ReadBmpHeader(source, info)) {
    case BmpHeaderResult::kOk:
      break;
    case BmpHeaderResult::kCorrupt:
      return {DecodeStatus::kFailed, "corrupt BMP data"};
    case BmpHeaderResult::kTruncated:
      return {DecodeStatus::kFailed, "truncated BMP data"};
    case BmpHeaderResult::kUnsupported:
      return {DecodeStatus::kFailed, "unsupported BMP compression"};
  }
  // The sink checks the size against its limits before anything is read.
  if (!sink.Begin(info.width, info.height, 1)) return {DecodeStatus::kFailed, "picture too large"};

  BmpBodyResult body = info.encoding == BmpEncoding::kPlain
                           ? DecodeBmpPlainRows(source, sink, info)
                           : DecodeBmpRunLengths(source, sink, info);
  switch (body) {
    case BmpBodyResult::kComplete:
      return {DecodeStatus::kOk, ""};
    case BmpBodyResult::kTruncated:
      return {DecodeStatus::kTruncated, "truncated BMP data"};
    case BmpBodyResult::kEmpty:
      break;
  }
  return {DecodeStatus::kFailed, "truncated BMP data"};
}

}  // namespace vistamere::picture
