// The way back and the comparison, on generated scenarios of a quarter, half
// and the whole of the longest line: decompiling a build (its rows
// recovered, laid out and compiled again to check them), and comparing two
// builds by meaning.

#include <benchmark/benchmark.h>

#include "bench/bench_inputs.h"
#include "compiler/decompile.h"
#include "compiler/scenario_diff.h"

namespace {

void decompile_build(benchmark::State& state) {
  const compiler::scenario_model& model = bench::compiled_model(state.range(0));
  for (auto _ : state) {
    const compiler::decompiled back = compiler::decompile(model);
    if (!back.same_bytes()) state.SkipWithError("the texts do not compile back to the same bytes");
    benchmark::DoNotOptimize(back.line_text.data());
  }
}
BENCHMARK(decompile_build)->Arg(250'000)->Arg(500'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

// Two builds of the same line, one with a station's departure changed, as a
// comparison of two versions of a scenario finds them.
void compare_builds(benchmark::State& state) {
  const compiler::scenario_model& older = bench::compiled_model(state.range(0));
  compiler::scenario_model newer = older;
  newer.stations.slots[1].departure_time += 150;
  for (auto _ : state) {
    const auto changes = compiler::compare_meaning(older, newer);
    if (changes.size() != 1) state.SkipWithError("one change expected");
    benchmark::DoNotOptimize(changes.data());
  }
}
BENCHMARK(compare_builds)->Arg(250'000)->Arg(500'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
