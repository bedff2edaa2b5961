// Decodes JPEG pictures at the smallest DCT scale that still shows all the
// detail asked for, with EXIF orientation. libjpeg-turbo reads every file;
// at 1/8 scale a baseline file's scan is decoded for its DC values alone,
// on two threads (falling back to libjpeg-turbo for anything it refuses),
// and a progressive file's DC scans alone, skipping its AC scans. A
// progressive picture whose coefficients would take more memory than
// libjpeg-turbo is given is shown at 1/8 that way too.
#pragma once

#include "picture/decode.h"
#include "picture/jpeg_dc_scan.h"
#include "picture/jpeg_progressive_dc.h"

namespace vistamere::picture {

// Reads `source` from offset 0 and delivers RGBA rows to `sink`.
[[nodiscard]] DecodeOutcome DecodeJpeg(ByteSource& source, RowSink& sink,
                                       const DecodeRequest& request);

struct JpegOptions {
  bool dc_scan = true;  // use the DC-only scan decoder where it applies
  DcScanOptions dc_scan_options;
  // The most memory the progressive DC decoder holds DC values in at once.
  std::size_t dc_band_bytes = kDefaultDcBandBytes;
};

struct JpegReport {
  bool dc_scan_used = false;  // the picture came from the DC-only decoder
  DcScanReport dc_scan;
  bool progressive = false;    // the progressive DC decoder took the file
  std::uint32_t dc_bands = 0;  // in how many bands it held the DC values
};

[[nodiscard]] DecodeOutcome DecodeJpegWith(ByteSource& source, RowSink& sink,
                                           const DecodeRequest& request, const JpegOptions& options,
                                           JpegReport* report = nullptr);

}  // namespace vistamere::picture
