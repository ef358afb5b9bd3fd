// Throughput of the field reader on a 50 MB text: the rows of the largest
// generated scenario, both texts, repeated. Two ways of reading it:
//   - rows: as the readers do, a candidate keyword field (dash rule
//     included), every keyword test of the two readers on it, and the values
//     of the keyword that matched, each read as its own type;
//   - text fields: every field cut as a text field, the cheapest reading.

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "bench/large_scenario.h"
#include "scenario/field_reader.h"

namespace {

constexpr std::size_t text_bytes = 50'000'000;

using scenario::contains_ignoring_case;

// The rows after the opening section marker of a text.
std::string_view rows_after(std::string_view text, std::string_view marker) {
  const std::size_t at = text.find(marker);
  const std::size_t line_end = text.find('\n', at);
  return text.substr(line_end + 1);
}

const std::string& large_text() {
  static const std::string text = [] {
    const bench::generated_scenario generated = bench::make_large_scenario();
    // The general section of the line text and the closing "[fine]" of both
    // stay out: the block repeats cleanly.
    std::string block(rows_after(generated.line_text, "[curve]"));
    block += rows_after(generated.service_text, "[generale]");
    std::string body;
    body.reserve(text_bytes + block.size());
    while (body.size() < text_bytes) body += block;
    body += "[fine]\r\n";
    return body;
  }();
  return text;
}

// What one keyword takes after its keyword field.
struct row_shape {
  std::string_view keyword;
  std::string_view also;  // a second substring the field must hold, or empty
  int longs;
  int integers;
  bool text_last;
};

// Every keyword of the line's main part and of the service text, in the
// order of their tests.
constexpr std::array<row_shape, 15> shapes = {{
    {"pendenza", {}, 2, 0, false},
    {"curva", {}, 2, 0, false},
    {"montagna", {}, 3, 0, false},
    {"indicatori_v", {}, 9, 0, false},
    {"cartello", "indicat", 1, 0, true},
    {"frenata", "massa", 1, 0, false},
    {"vetture", {}, 1, 0, false},
    {"velocit", {}, 2, 0, false},
    {"aderenza", {}, 2, 0, false},
    {"orologio", {}, 0, 3, false},
    {"sabbia", {}, 0, 1, false},
    {"segnale", {}, 11, 0, false},
    {"rallentamento", {}, 6, 0, false},
    {"abbattimento", {}, 2, 0, false},
    {"stazione", {}, 16, 0, true},
}};

void field_reader_rows(benchmark::State& state) {
  const std::string& text = large_text();
  std::int64_t sum = 0;
  for (auto _ : state) {
    scenario::field_reader in(text);
    while (auto field = scenario::next_keyword_field(in, 2)) {
      for (const row_shape& shape : shapes) {
        if (!contains_ignoring_case(*field, shape.keyword)) continue;
        if (!shape.also.empty() && !contains_ignoring_case(*field, shape.also)) continue;
        for (int i = 0; i < shape.longs; ++i) sum += in.read_long();
        for (int i = 0; i < shape.integers; ++i) sum += in.read_integer();
        if (shape.text_last) sum += static_cast<std::int64_t>(in.read_text().size());
      }
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}

void field_reader_text_fields(benchmark::State& state) {
  const std::string& text = large_text();
  std::size_t fields = 0;
  for (auto _ : state) {
    scenario::field_reader in(text);
    while (!in.at_end()) {
      benchmark::DoNotOptimize(in.read_text().data());
      ++fields;
    }
  }
  benchmark::DoNotOptimize(fields);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}

}  // namespace

BENCHMARK(field_reader_rows)->Unit(benchmark::kMillisecond);
BENCHMARK(field_reader_text_fields)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
