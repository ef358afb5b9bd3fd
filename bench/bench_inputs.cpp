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

compiler::build_settings settings_for(const scenario_input& input) {
  return {input.route_base_name, input.train_number, ".", true};
}

const compiler::scenario_model& compiled_model(std::int64_t line_length_m) {
  static std::map<std::int64_t, std::unique_ptr<compiler::scenario_model>> models;
  auto& slot = models[line_length_m];
  if (!slot) {
    const scenario_input& input = input_for(line_length_m);
    slot = std::make_unique<compiler::scenario_model>();
    compiler::journal log;
    const auto result = compiler::compile_scenario(settings_for(input), input.texts, *slot, log);
    if (result.outcome != compiler::compile_outcome::complete || log.has_error()) {
      std::fprintf(stderr, "the scenario of length %lld does not compile cleanly (error %d)\n",
                   static_cast<long long>(line_length_m), static_cast<int>(log.recorded().code));
      std::abort();
    }
  }
  return *slot;
}

}  // namespace bench
