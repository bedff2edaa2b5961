// The JPEG decoder with its DC-only scan decoder on two threads, over
// arbitrary bytes: the first byte says where in the scan the second thread
// starts (0 to 255 for 0 to 1), the rest is the file. A 32 x 16 target makes
// every picture 256 pixels wide or more a 1/8 decode. Rows go through the
// contract-checking sink into a box reducer of a small canvas, as in
// decoder_fuzz.cpp; then the same file on one thread must give the same
// canvas, and the libjpeg-turbo path alone the same outcome (and, where the
// DC decoder declined, the same canvas). A progressive file taken by the
// DC decoder must give the same canvas and outcome with its DC values held
// in many small bands as in one; libjpeg-turbo alone may judge its damage
// differently, but not its size.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "checking_sink.h"
#include "picture/box_reducer.h"
#include "picture/jpeg_decoder.h"
#include "picture/memory_source.h"

namespace {

using namespace vistamere;

// Well above anything a small input can fill honestly, well below what
// would make every run a slow one.
constexpr std::uint64_t kMaxPixels = std::uint64_t{1} << 24;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "jpeg_dc: %s\n", what);
  std::abort();
}

struct Result {
  picture::Canvas canvas;
  picture::DecodeOutcome outcome;
  picture::JpegReport report;
  std::uint32_t width = 0;  // as Begin() announced
  std::uint32_t height = 0;
};

void Decode(const std::uint8_t* data, std::size_t size, const picture::JpegOptions& options,
            Result& result) {
  result.canvas.Reset(32, 16);
  picture::DecodeRequest request;
  request.target_width = 32;
  request.target_height = 16;
  request.max_pixels = kMaxPixels;
  picture::BoxReducer reducer(result.canvas, request);
  fuzz::CheckingSink sink(reducer);
  picture::MemorySource source(data, size);

  result.outcome = picture::DecodeJpegWith(source, sink, request, options, &result.report);
  if (result.outcome.status != picture::DecodeStatus::kFailed) {
    if (!sink.accepted()) Fail("success or truncation without an accepted Begin");
    reducer.Finish();
  }
  result.width = reducer.declared_width();
  result.height = reducer.declared_height();
  if (result.outcome.status == picture::DecodeStatus::kOk &&
      sink.delivered() != std::uint64_t{result.width} * result.height) {
    Fail("a complete decode left pixels undelivered");
  }
  if (result.canvas.width != 32 || result.canvas.height != 16 ||
      result.canvas.rgb.size() != 32u * 16u * 3u) {
    Fail("the canvas changed size");
  }
  if (!options.dc_scan && result.report.dc_scan_used) Fail("DC decoder used while turned off");
}

picture::JpegOptions DcOptions(int threads, double split, std::size_t band_bytes = 0) {
  picture::JpegOptions options;
  if (band_bytes != 0) options.dc_band_bytes = band_bytes;
  options.dc_scan = true;
  options.dc_scan_options.threads = threads;
  options.dc_scan_options.min_parallel_bytes = 0;
  options.dc_scan_options.split = split;
  return options;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const double split = data[0] / 255.0;
  const std::uint8_t* file = data + 1;
  const std::size_t file_size = size - 1;

  Result two, one, plain;
  Decode(file, file_size, DcOptions(2, split), two);
  Decode(file, file_size, DcOptions(1, split), one);
  if (one.outcome.status != two.outcome.status || one.outcome.reason != two.outcome.reason) {
    Fail("one thread and two give different outcomes");
  }
  if (one.report.dc_scan_used != two.report.dc_scan_used) {
    Fail("the DC decoder was used on one thread and not on two, or the other way");
  }
  if (one.canvas.rgb != two.canvas.rgb) Fail("one thread and two give different pixels");

  if (two.report.progressive) {
    Result banded;
    Decode(file, file_size, DcOptions(1, split, 256), banded);
    if (banded.outcome.status != two.outcome.status ||
        banded.outcome.reason != two.outcome.reason || banded.canvas.rgb != two.canvas.rgb) {
      Fail("a progressive picture differs in small bands");
    }
  }

  picture::JpegOptions off;
  off.dc_scan = false;
  Decode(file, file_size, off, plain);
  if (two.report.progressive) {
    if (plain.outcome.status != picture::DecodeStatus::kFailed &&
        two.outcome.status != picture::DecodeStatus::kFailed &&
        (plain.width != two.width || plain.height != two.height)) {
      Fail("the progressive DC decoder changed the picture's size");
    }
    return 0;
  }
  if (plain.outcome.status != two.outcome.status) {
    Fail("the DC decoder changed the outcome's status");
  }
  if (plain.outcome.status != picture::DecodeStatus::kFailed &&
      (plain.width != two.width || plain.height != two.height)) {
    Fail("the DC decoder changed the picture's size");
  }
  if (!two.report.dc_scan_used &&
      (plain.canvas.rgb != two.canvas.rgb || plain.outcome.reason != two.outcome.reason)) {
    Fail("a declined DC decode differs from libjpeg-turbo's");
  }
  return 0;
}
