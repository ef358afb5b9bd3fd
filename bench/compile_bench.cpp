// The steps of a compile, one benchmark each, on the embedded scenario and on
// generated scenarios of a quarter, half and the whole of the longest line.
// The three lengths of each step are fitted against the line length, so the
// report shows whether a step's cost grows faster than the line.

#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>

#include "bench/bench_inputs.h"
#include "bench/large_scenario.h"
#include "compiler/compile.h"
#include "compiler/decoding.h"
#include "compiler/diagnostics.h"
#include "compiler/encoding.h"
#include "compiler/line_reader.h"
#include "compiler/protection.h"
#include "compiler/service_reader.h"
#include "scenario/file_system.h"
#include "viewer/build_notes.h"
#include "viewer/route_page.h"

namespace {

using bench::compiled_model;
using bench::input_for;
using bench::settings_for;
using compiler::journal;
using compiler::scenario_model;

// The model as the line half leaves it, with the values the service half
// takes over.
struct after_line_half {
  scenario_model model;
  compiler::line_handover handover;
};

const after_line_half& line_half_done(std::int64_t length) {
  static std::map<std::int64_t, std::unique_ptr<after_line_half>> done;
  auto& slot = done[length];
  if (!slot) {
    const auto& input = input_for(length);
    slot = std::make_unique<after_line_half>();
    journal log;
    compiler::read_line_text(settings_for(input), *input.texts.line, slot->model, log,
                             slot->handover);
  }
  return *slot;
}

// The model as both halves of the reading leave it, before the protection
// pass.
const scenario_model& reading_done(std::int64_t length) {
  static std::map<std::int64_t, std::unique_ptr<scenario_model>> done;
  auto& slot = done[length];
  if (!slot) {
    const auto& input = input_for(length);
    slot = std::make_unique<scenario_model>();
    journal log;
    compiler::read_description_texts(settings_for(input), input.texts, *slot, log);
  }
  return *slot;
}

// The model a step starts from, less the track plan. The service half and
// the protection pass never look at the plan, and copying tens of megabytes
// of it before each run of a step that takes microseconds made the untimed
// copies, not the step, decide how long the benchmark ran: hours instead of
// seconds.
scenario_model without_plan(const scenario_model& base) {
  scenario_model copy = base;
  copy.plan = compiler::track_plan{};
  return copy;
}

void set_size(benchmark::State& state, std::size_t bytes_per_iteration) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bytes_per_iteration));
  state.SetComplexityN(state.range(0));
}

void line_half(benchmark::State& state) {
  const auto& input = input_for(state.range(0));
  const compiler::build_settings settings = settings_for(input);
  for (auto _ : state) {
    state.PauseTiming();
    scenario_model model;
    journal log;
    compiler::line_handover handover;
    state.ResumeTiming();
    benchmark::DoNotOptimize(
        compiler::read_line_text(settings, *input.texts.line, model, log, handover));
    state.PauseTiming();
    // The model is released outside the timing: a build frees it at exit.
    model = scenario_model{};
    log = journal{};
    state.ResumeTiming();
  }
  set_size(state, input.texts.line->size());
}

void service_half(benchmark::State& state) {
  const auto& input = input_for(state.range(0));
  const after_line_half& base = line_half_done(state.range(0));
  const scenario_model start = without_plan(base.model);
  for (auto _ : state) {
    state.PauseTiming();
    scenario_model model = start;
    journal log;
    state.ResumeTiming();
    benchmark::DoNotOptimize(
        compiler::read_service_text(*input.texts.service, model, log, base.handover));
    state.PauseTiming();
    model = scenario_model{};
    log = journal{};
    state.ResumeTiming();
  }
  set_size(state, input.texts.service->size());
}

void protection_pass(benchmark::State& state) {
  const scenario_model& base = reading_done(state.range(0));
  const scenario_model start = without_plan(base);
  for (auto _ : state) {
    state.PauseTiming();
    scenario_model model = start;
    journal log;
    state.ResumeTiming();
    compiler::protect_slowdowns(model, log);
    benchmark::ClobberMemory();
    state.PauseTiming();
    model = scenario_model{};
    log = journal{};
    state.ResumeTiming();
  }
  set_size(state, base.grid.cells.size() * compiler::cell_bytes);
}

void encode_track_plan(benchmark::State& state) {
  const scenario_model& model = compiled_model(state.range(0));
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string out = compiler::encode_track_plan(model.plan);
    bytes = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  set_size(state, bytes);
}

void encode_station_table(benchmark::State& state) {
  const scenario_model& model = compiled_model(state.range(0));
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string out = compiler::encode_station_table(model.stations);
    bytes = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  set_size(state, bytes);
}

void encode_route_grid(benchmark::State& state) {
  const scenario_model& model = compiled_model(state.range(0));
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string out = compiler::encode_route_grid(model.grid);
    bytes = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  set_size(state, bytes);
}

// The whole compile: both readings, the pass, the checks and codes.
void compile_in_memory(benchmark::State& state) {
  const auto& input = input_for(state.range(0));
  const compiler::build_settings settings = settings_for(input);
  for (auto _ : state) {
    state.PauseTiming();
    scenario_model model;
    journal log;
    state.ResumeTiming();
    benchmark::DoNotOptimize(compiler::compile_scenario(settings, input.texts, model, log));
    state.PauseTiming();
    model = scenario_model{};
    log = journal{};
    state.ResumeTiming();
  }
  set_size(state, input.texts.line->size() + input.texts.service->size());
}

// The compile and the three encoders: everything a build does but the disk.
void compile_and_encode(benchmark::State& state) {
  const auto& input = input_for(state.range(0));
  const compiler::build_settings settings = settings_for(input);
  std::size_t bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    scenario_model model;
    journal log;
    state.ResumeTiming();
    compiler::compile_scenario(settings, input.texts, model, log);
    bytes = 0;
    {
      const std::string plan = compiler::encode_track_plan(model.plan);
      bytes += plan.size();
      benchmark::DoNotOptimize(plan.data());
    }
    {
      const std::string table = compiler::encode_station_table(model.stations);
      bytes += table.size();
      benchmark::DoNotOptimize(table.data());
    }
    {
      const std::string grid = compiler::encode_route_grid(model.grid);
      bytes += grid.size();
      benchmark::DoNotOptimize(grid.data());
    }
    state.PauseTiming();
    model = scenario_model{};
    log = journal{};
    state.ResumeTiming();
  }
  set_size(state, bytes);
}

// What the view subcommand does but the disk: the three files' bytes decoded
// and turned into the page. Beside compile_and_encode it shows whether the
// page costs less than the build it shows.
void decode_and_page(benchmark::State& state) {
  const scenario_model& model = compiled_model(state.range(0));
  const std::string plan = compiler::encode_track_plan(model.plan);
  const std::string table = compiler::encode_station_table(model.stations);
  const std::string grid = compiler::encode_route_grid(model.grid);
  std::size_t bytes = 0;
  for (auto _ : state) {
    viewer::route_view view;
    view.route_base_name = input_for(state.range(0)).route_base_name;
    view.train_number = input_for(state.range(0)).train_number;
    // The plan's bytes stay where they are, as a mapped file's would.
    compiler::plan_points decoded;
    if (!compiler::decode_route_grid(grid, view.grid) ||
        !compiler::decode_station_table(table, view.stations) ||
        !compiler::decode_plan_points(plan, decoded)) {
      state.SkipWithError("the encoded files do not decode");
      return;
    }
    view.plan = decoded;
    const std::string page = viewer::route_page(view);
    bytes = page.size();
    benchmark::DoNotOptimize(page.data());
  }
  state.counters["page_bytes"] = static_cast<double>(bytes);
  set_size(state, plan.size() + table.size() + grid.size());
}

// What `serve` does for each save but the reading of the texts: the compile,
// its notes, the files encoded and decoded again, and the page. The rest of
// the loop is the browser's, which bench/live_reload.py times whole.
void texts_to_page(benchmark::State& state) {
  const auto& input = input_for(state.range(0));
  const compiler::build_settings settings = settings_for(input);
  const compiler::text_names names{"line.txt", "service.txt"};
  std::size_t bytes = 0;
  for (auto _ : state) {
    scenario_model model;
    journal log;
    const compiler::compile_result result =
        compiler::compile_scenario(settings, input.texts, model, log);
    const viewer::build_notes notes =
        viewer::notes_of(result, log, model, input.texts, names,
                         compiler::author_report(settings, input.texts, log, model, names));
    viewer::route_view view;
    view.route_base_name = input.route_base_name;
    view.train_number = input.train_number;
    if (!compiler::decode_route_grid(compiler::encode_route_grid(model.grid), view.grid) ||
        !compiler::decode_station_table(compiler::encode_station_table(model.stations),
                                        view.stations) ||
        !viewer::attach_plan(
            view, scenario::file_bytes::copy_of(compiler::encode_track_plan(model.plan)))) {
      state.SkipWithError("the encoded files do not decode");
      return;
    }
    viewer::page_parts parts;
    parts.route_base_name = view.route_base_name;
    parts.train_number = view.train_number;
    parts.drawing = &view;
    parts.drawing_notes = &notes;
    parts.notes = &notes;
    parts.live_build.emplace(std::size_t{1}, '1');
    const std::string page = viewer::route_page(parts);
    bytes = page.size();
    benchmark::DoNotOptimize(page.data());
  }
  state.counters["page_bytes"] = static_cast<double>(bytes);
  set_size(state, input.texts.line->size() + input.texts.service->size());
}

void register_step(const std::string& name, void (*step)(benchmark::State&)) {
  benchmark::RegisterBenchmark((name + "/embedded").c_str(), step)
      ->Arg(bench::embedded_scenario)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark((name + "/line_m").c_str(), step)
      ->Arg(bench::largest_line_length_m / 4)
      ->Arg(bench::largest_line_length_m / 2)
      ->Arg(bench::largest_line_length_m)
      ->Complexity(benchmark::oN)
      ->Unit(benchmark::kMillisecond);
}

}  // namespace

int main(int argc, char** argv) {
  register_step("line_half", line_half);
  register_step("service_half", service_half);
  register_step("protection_pass", protection_pass);
  register_step("encode_track_plan", encode_track_plan);
  register_step("encode_station_table", encode_station_table);
  register_step("encode_route_grid", encode_route_grid);
  register_step("compile_in_memory", compile_in_memory);
  register_step("compile_and_encode", compile_and_encode);
  register_step("decode_and_page", decode_and_page);
  register_step("texts_to_page", texts_to_page);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
