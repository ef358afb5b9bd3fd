#include "bench/bench_inputs.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>

#include "bench/large_scenario.h"
#include "compiler/error_code.h"
#include "scenario/line_text.h"
#include "scenario/service_text.h"
#include "scenario/text_file.h"

namespace bench {

namespace {

scenario_input make_input(std::int64_t line_length_m) {
  scenario_input input;
  if (line_length_m == embedded_scenario) {
    input.route_base_name = compiler::embedded_route_base_name;
    input.train_number = compiler::embedded_train_number;
    input.texts.line = scenario::encode_line_list(scenario::line_text_lines()).bytes;
    input.texts.service = scenario::encode_line_list(scenario::service_text_lines()).bytes;
    return input;
  }
  generated_scenario generated = make_large_scenario(static_cast<std::int32_t>(line_length_m));
  input.route_base_name = std::move(generated.route_base_name);
  input.train_number = std::move(generated.train_number);
  input.texts.line = std::move(generated.line_text);
  input.texts.service = std::move(generated.service_text);
  return input;
}

}  // namespace

const scenario_input& input_for(std::int64_t line_length_m) {
  static std::map<std::int64_t, std::unique_ptr<scenario_input>> inputs;
  auto& slot = inputs[line_length_m];
  if (!slot) slot = std::make_unique<scenario_input>(make_input(line_length_m));
  return *slot;
}

compiler::build_state fresh_state(const scenario_input& input) {
  return compiler::make_build_state(input.route_base_name, input.train_number, ".");
}

const compiler::build_state& compiled_state(std::int64_t line_length_m) {
  static std::map<std::int64_t, std::unique_ptr<compiler::build_state>> states;
  auto& slot = states[line_length_m];
  if (!slot) {
    const scenario_input& input = input_for(line_length_m);
    slot = std::make_unique<compiler::build_state>(fresh_state(input));
    const auto result = compiler::memorizza_percorso(*slot, 1, input.texts);
    if (result.outcome != compiler::compile_outcome::complete ||
        slot->error != compiler::error_code::none) {
      std::fprintf(stderr, "the scenario of length %lld does not compile cleanly (error %d)\n",
                   static_cast<long long>(line_length_m), static_cast<int>(slot->error));
      std::abort();
    }
  }
  return *slot;
}

}  // namespace bench
