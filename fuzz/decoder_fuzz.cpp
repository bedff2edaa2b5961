// One picture decoder over arbitrary bytes, its rows going through the
// contract-checking sink into a box reducer of a small canvas.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "checking_sink.h"
#include "picture/bmp_decoder.h"
#include "picture/box_reducer.h"
#include "picture/gif_decoder.h"
#include "picture/jpeg_decoder.h"
#include "picture/memory_source.h"
#include "picture/png_decoder.h"
#include "picture/tiff_decoder.h"
#include "picture/webp_decoder.h"

namespace {

using namespace vistamere;

// Well above anything a small input can fill honestly, well below what
// would make every run a slow one.
constexpr std::uint64_t kMaxPixels = std::uint64_t{1} << 24;

#ifdef FUZZ_SKIPS_PIXELS
constexpr bool kOkMeansEveryPixel = false;
#else
constexpr bool kOkMeansEveryPixel = true;
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  picture::Canvas canvas;
  canvas.Reset(32, 16);
  picture::DecodeRequest request;
  request.target_width = 32;
  request.target_height = 16;
  request.max_pixels = kMaxPixels;
  picture::BoxReducer reducer(canvas, request);
  fuzz::CheckingSink sink(reducer);
  picture::MemorySource source(data, size);

  const picture::DecodeOutcome outcome = picture::FUZZ_DECODER(source, sink, request);
  if (outcome.status != picture::DecodeStatus::kFailed) {
    if (!sink.accepted()) {
      std::fprintf(stderr, "success or truncation without an accepted Begin\n");
      std::abort();
    }
    reducer.Finish();
  }
  // Run-length BMPs may skip pixels on purpose (they stay black).
  if (kOkMeansEveryPixel && outcome.status == picture::DecodeStatus::kOk &&
      sink.delivered() != std::uint64_t{reducer.declared_width()} * reducer.declared_height()) {
    std::fprintf(stderr, "a complete decode left pixels undelivered\n");
    std::abort();
  }
  if (canvas.width != 32 || canvas.height != 16 || canvas.rgb.size() != 32u * 16u * 3u) {
    std::fprintf(stderr, "the canvas changed size\n");
    std::abort();
  }
  return 0;
}
