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

// The settings of the input's names, with a plan, as the build would use them.
compiler::build_settings settings_for(const scenario_input& input);

// The model after the whole compile in memory; aborts when the input does
// not compile without an error code, since its figures would mean nothing.
const compiler::scenario_model& compiled_model(std::int64_t line_length_m);

}  // namespace bench
