// The built-in ballpark, drawn by code into the 1024 x 512 canvas: what
// pressing Enter at the file prompt costs before the first frame.
#include <benchmark/benchmark.h>

#include "picture/canvas.h"
#include "toollibs/builtin_ballpark.h"

namespace vistamere::bench {
namespace {

void BM_DrawBuiltinBallpark(benchmark::State& state) {
  for (auto _ : state) {
    picture::Canvas canvas;
    DrawBuiltinBallpark(canvas);
    benchmark::DoNotOptimize(canvas.rgb.data());
  }
}

BENCHMARK(BM_DrawBuiltinBallpark)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vistamere::bench
