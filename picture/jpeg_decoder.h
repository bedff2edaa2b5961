// Decodes JPEG pictures at the smallest DCT scale that still shows all the
// detail asked for, with EXIF orientation. libjpeg-turbo reads every file;
// at 1/8 scale a baseline file's scan is decoded for its DC values alone,
// on two threads (falling back to libjpeg-turbo for anything it refuses).
#pragma once

#include "picture/decode.h"
#include "picture/jpeg_dc_scan.h"

namespace vistamere::picture {

// Reads `source` from offset 0 and delivers RGBA rows to `sink`.
[[nodiscard]] DecodeOutcome DecodeJpeg(ByteSource& source, RowSink& sink,
                                       const DecodeRequest& request);

struct JpegOptions {
  bool dc_scan = true;  // use the DC-only scan decoder where it applies
  DcScanOptions dc_scan_options;
};

struct JpegReport {
  bool dc_scan_used = false;  // the picture came from the DC-only decoder
  DcScanReport dc_scan;
};

[[nodiscard]] DecodeOutcome DecodeJpegWith(ByteSource& source, RowSink& sink,
                                           const DecodeRequest& request, const JpegOptions& options,
                                           JpegReport* report = nullptr);

}  // namespace vistamere::picture
