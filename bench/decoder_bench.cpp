// Each decoder through LoadPictureFile, as the program loads a picture:
// decoded by content and reduced into the 1024 x 512 canvas.
#include <benchmark/benchmark.h>

#include <optional>
#include <string>

#include "bench/bench_pictures.h"
#include "picture/canvas.h"
#include "picture/load_picture_file.h"

namespace vistamere::bench {
namespace {

void LoadFile(benchmark::State& state, const std::string& format, picture::ShownDetail shown = {}) {
  const int width = static_cast<int>(state.range(0));
  const int height = static_cast<int>(state.range(1));
  const std::optional<std::string> path = BenchPicture(format, width, height);
  if (!path) {
    state.SkipWithError("cannot make the picture (is ImageMagick's convert installed?)");
    return;
  }
  picture::Canvas canvas;
  for (auto _ : state) {
    const picture::LoadOutcome outcome = picture::LoadPictureFile(
        *path, picture::kCanvasWidth, picture::kCanvasHeight, canvas, {}, shown);
    if (outcome.status != picture::DecodeStatus::kOk) {
      state.SkipWithError(("load failed: " + outcome.reason).c_str());
      break;
    }
    benchmark::DoNotOptimize(canvas.rgb.data());
  }
  state.counters["megapixels_per_s"] =
      benchmark::Counter(static_cast<double>(width) * static_cast<double>(height) / 1e6,
                         benchmark::Counter::kIsIterationInvariantRate);
}

void BM_LoadJpeg(benchmark::State& state) {
  LoadFile(state, "jpg");
}
// As the program loads it into its 102 x 34-cell area: a large JPEG at 1/8
// scale, its scan decoded for the DC values on two threads.
void BM_LoadJpegAsShown(benchmark::State& state) {
  LoadFile(state, "jpg",
           picture::ShownDetail{102 * picture::kSamplesPerCell, 34 * picture::kSamplesPerCell});
}
// A progressive JPEG at 1/8 scale, from its DC scans alone.
void BM_LoadProgressiveJpegAsShown(benchmark::State& state) {
  LoadFile(state, "pjpg",
           picture::ShownDetail{102 * picture::kSamplesPerCell, 34 * picture::kSamplesPerCell});
}
void BM_LoadPng(benchmark::State& state) {
  LoadFile(state, "png");
}
void BM_LoadBmp(benchmark::State& state) {
  LoadFile(state, "bmp");
}
void BM_LoadGif(benchmark::State& state) {
  LoadFile(state, "gif");
}
void BM_LoadWebp(benchmark::State& state) {
  LoadFile(state, "webp");
}
void BM_LoadTiff(benchmark::State& state) {
  LoadFile(state, "tif");
}

// The drawing size, a picture twice as large, and a camera's.
#define PICTURE_SIZES(name) \
  BENCHMARK(name)           \
      ->Args({1024, 512})   \
      ->Args({2000, 1000})  \
      ->Args({6000, 4000})  \
      ->Unit(benchmark::kMillisecond)

PICTURE_SIZES(BM_LoadJpeg);
PICTURE_SIZES(BM_LoadJpegAsShown);
PICTURE_SIZES(BM_LoadProgressiveJpegAsShown);
BENCHMARK(BM_LoadProgressiveJpegAsShown)->Args({12000, 8000})->Unit(benchmark::kMillisecond);
PICTURE_SIZES(BM_LoadPng);
PICTURE_SIZES(BM_LoadBmp);
PICTURE_SIZES(BM_LoadGif);
PICTURE_SIZES(BM_LoadWebp);
PICTURE_SIZES(BM_LoadTiff);
BENCHMARK(BM_LoadPng)->Args({12000, 8000})->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
}  // namespace vistamere::bench
