// The view projection of one fielder, and of all nine as a label pass does.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "scene/fielder_table.h"
#include "scene/project_fielder.h"
#include "scene/screen_size.h"
#include "scene/viewpoint.h"

namespace vistamere::bench {
namespace {

void BM_ProjectFielder(benchmark::State& state) {
  ScreenRows = 40;
  ScreenCols = 102;
  const Viewpoint view = kInitialViewpoint;
  const std::int32_t x = 60;
  const std::int32_t y = 0;
  const std::int32_t z = 0;
  std::int32_t row = 0;
  std::int32_t column = 0;
  for (auto _ : state) {
    ProjectFielder(x, y, z, view.ObsX, view.ObsY, view.ObsZ, view.TilZ, view.TilY, row, column);
    benchmark::DoNotOptimize(row);
    benchmark::DoNotOptimize(column);
  }
}

void BM_ProjectAllFielders(benchmark::State& state) {
  ScreenRows = 40;
  ScreenCols = 102;
  FielderTable table{};
  FillFielderTable(table);
  Viewpoint view = kInitialViewpoint;
  std::int32_t row = 0;
  std::int32_t column = 0;
  for (auto _ : state) {
    for (std::size_t i = 1; i <= kFielderCount; ++i) {
      ProjectFielder(table.x[i], table.y[i], table.z[i], view.ObsX, view.ObsY, view.ObsZ, view.TilZ,
                     view.TilY, row, column);
      benchmark::DoNotOptimize(row);
      benchmark::DoNotOptimize(column);
    }
    view.TilY = view.TilY == 0 ? 1 : 0;  // no caching across calls can help
  }
}

BENCHMARK(BM_ProjectFielder);
BENCHMARK(BM_ProjectAllFielders);

}  // namespace
}  // namespace vistamere::bench
