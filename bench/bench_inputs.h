#pragma once
// The scenarios the benchmarks compile: the embedded one, and generated ones
// of a given line length. Each is generated once per process and kept.

#include <cstdint>
#include <string>

#include "compiler/compile.h"

namespace bench {

// 0 stands for the embedded scenario.
inline constexpr std::int64_t embedded_scenario = 0;

struct scenario_input {
  std::string route_base_name;
  std::string train_number;
  compiler::description_texts texts;
};

const scenario_input& input_for(std::int64_t line_length_m);

// A fresh state for the input's names, as the build would start it.
compiler::build_state fresh_state(const scenario_input& input);

// The state after the whole compile in memory; aborts when the input does
// not compile without an error code, since its figures would mean nothing.
const compiler::build_state& compiled_state(std::int64_t line_length_m);

}  // namespace bench
