// One whole turn of the main loop, headless: the key's effect, the status
// panel, the label pass, then composing the frame and the bytes that bring
// the terminal up to date. Counts the bytes written per presentation.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "bench/headless_program.h"

namespace vistamere::bench {
namespace {

// Ten presses that move and turn the observer and come back where they began.
constexpr std::array<const char*, 10> kViewpointKeys = {"X", "Y", "Z", "1", "3",
                                                        "x", "y", "z", "2", "4"};

void RunTurns(benchmark::State& state, term::ColourMode mode, bool change_nothing) {
  HeadlessProgram program(mode);
  std::size_t next = 0;
  std::int64_t bytes = 0;
  std::int64_t turns = 0;
  for (auto _ : state) {
    program.Turn(change_nothing ? "a" : kViewpointKeys[next]);
    next = (next + 1) % kViewpointKeys.size();
    const std::string& out = program.Present();
    benchmark::DoNotOptimize(out.data());
    bytes += static_cast<std::int64_t>(out.size());
    ++turns;
  }
  state.counters["bytes_per_present"] =
      benchmark::Counter(static_cast<double>(bytes) / static_cast<double>(turns));
  HeadlessProgram fresh(mode);
  state.counters["full_repaint_bytes"] =
      benchmark::Counter(static_cast<double>(fresh.last_bytes().size()));
}

void BM_TurnViewpointKey(benchmark::State& state) {
  RunTurns(state, term::ColourMode::kTrueColor, false);
}
void BM_TurnViewpointKey256(benchmark::State& state) {
  RunTurns(state, term::ColourMode::kIndexed256, false);
}
void BM_TurnKeyThatChangesNothing(benchmark::State& state) {
  RunTurns(state, term::ColourMode::kTrueColor, true);
}

// The turn without the presenter: what the program's own code costs.
void BM_TurnLoopOnly(benchmark::State& state) {
  HeadlessProgram program(term::ColourMode::kTrueColor);
  std::size_t next = 0;
  for (auto _ : state) {
    program.Turn(kViewpointKeys[next]);
    next = (next + 1) % kViewpointKeys.size();
    benchmark::ClobberMemory();
  }
}

BENCHMARK(BM_TurnViewpointKey);
BENCHMARK(BM_TurnViewpointKey256);
BENCHMARK(BM_TurnKeyThatChangesNothing);
BENCHMARK(BM_TurnLoopOnly);

}  // namespace
}  // namespace vistamere::bench
