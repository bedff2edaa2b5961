// The presenter's two steps on their own: composing the frame from the
// screen buffer, window and picture cells, and the frame writer's bytes for
// a full repaint and for one label moving by one cell.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench/headless_program.h"
#include "term/frame_compose.h"

namespace vistamere::bench {
namespace {

void BM_ComposeFrame(benchmark::State& state) {
  HeadlessProgram program(term::ColourMode::kTrueColor);
  for (auto _ : state) {
    program.Compose();
    benchmark::DoNotOptimize(program.frame().At(std::size_t{0}));
  }
}

void BM_TerminalWriterFullRepaint(benchmark::State& state) {
  const auto mode = static_cast<term::ColourMode>(state.range(0));
  HeadlessProgram program(mode);
  program.Compose();
  std::int64_t bytes = 0;
  for (auto _ : state) {
    program.writer().Invalidate();
    const std::string& out = program.writer().Update(program.frame());
    benchmark::DoNotOptimize(out.data());
    bytes = static_cast<std::int64_t>(out.size());
  }
  state.counters["bytes_per_present"] = benchmark::Counter(static_cast<double>(bytes));
  state.SetLabel(mode == term::ColourMode::kTrueColor ? "truecolor" : "256");
}

// Two frames that differ in one label standing one column further right.
void BM_TerminalWriterOneLabelMove(benchmark::State& state) {
  HeadlessProgram program(term::ColourMode::kTrueColor);
  program.Compose();
  const term::Frame before = program.frame();

  // The pitcher's label (hole 1) moves one cell to the right: the old cells
  // show the picture again, the new ones the text.
  GraphicsWindow& window = program.window();
  HoleRect moved = window.holes.at(1);
  const std::vector<Cell> text(static_cast<std::size_t>(moved.right - moved.left + 1),
                               Cell{'p', 0x07});
  ++moved.left;
  ++moved.right;
  window.holes[1] = moved;
  program.screen().WriteOutput(moved.left - 1, moved.top - 1, text);
  program.Compose();
  const term::Frame after = program.frame();

  program.writer().Update(before);
  std::int64_t bytes = 0;
  std::int64_t updates = 0;
  bool forward = true;
  for (auto _ : state) {
    const std::string& out = program.writer().Update(forward ? after : before);
    benchmark::DoNotOptimize(out.data());
    bytes += static_cast<std::int64_t>(out.size());
    ++updates;
    forward = !forward;
  }
  state.counters["bytes_per_present"] =
      benchmark::Counter(static_cast<double>(bytes) / static_cast<double>(updates));
}

BENCHMARK(BM_ComposeFrame);
BENCHMARK(BM_TerminalWriterFullRepaint)
    ->Arg(static_cast<int>(term::ColourMode::kTrueColor))
    ->Arg(static_cast<int>(term::ColourMode::kIndexed256));
BENCHMARK(BM_TerminalWriterOneLabelMove);

}  // namespace
}  // namespace vistamere::bench
