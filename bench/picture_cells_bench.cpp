// libchafa turning the 1024 x 512 canvas into the graphics area's cells.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "picture/canvas.h"
#include "term/picture_cells.h"
#include "toollibs/builtin_ballpark.h"

namespace vistamere::bench {
namespace {

// Deterministic noise over smooth gradients: a worst case for the symbol
// search, as a busy photograph is.
picture::Canvas NoisyCanvas() {
  picture::Canvas canvas;
  canvas.Reset(picture::kCanvasWidth, picture::kCanvasHeight);
  std::uint32_t seed = 12345;
  for (int y = 0; y < canvas.height; ++y) {
    for (int x = 0; x < canvas.width; ++x) {
      seed = seed * 1664525u + 1013904223u;
      std::uint8_t* p = canvas.Pixel(x, y);
      p[0] = static_cast<std::uint8_t>((x / 4 + (seed >> 27)) & 0xFF);
      p[1] = static_cast<std::uint8_t>((y / 2 + (seed >> 26)) & 0xFF);
      p[2] = static_cast<std::uint8_t>(((x + y) / 6 + (seed >> 25)) & 0xFF);
    }
  }
  return canvas;
}

void RenderCells(benchmark::State& state, const picture::Canvas& canvas) {
  const auto mode = static_cast<term::ColourMode>(state.range(0));
  for (auto _ : state) {
    term::PictureCellGrid grid = term::RenderPictureCells(canvas, 102, 34, mode);
    benchmark::DoNotOptimize(grid.cells.data());
  }
  state.SetLabel(mode == term::ColourMode::kTrueColor ? "truecolor" : "256");
}

void BM_RenderPictureCellsBallpark(benchmark::State& state) {
  picture::Canvas canvas;
  DrawBuiltinBallpark(canvas);
  RenderCells(state, canvas);
}

void BM_RenderPictureCellsNoise(benchmark::State& state) {
  RenderCells(state, NoisyCanvas());
}

BENCHMARK(BM_RenderPictureCellsBallpark)
    ->Arg(static_cast<int>(term::ColourMode::kTrueColor))
    ->Arg(static_cast<int>(term::ColourMode::kIndexed256))
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderPictureCellsNoise)
    ->Arg(static_cast<int>(term::ColourMode::kTrueColor))
    ->Arg(static_cast<int>(term::ColourMode::kIndexed256))
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vistamere::bench
