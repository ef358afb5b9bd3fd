#include "compiler/compile.h"

#include "compiler/competition_codes.h"
#include "compiler/line_reader.h"
#include "compiler/protection.h"
#include "compiler/service_reader.h"

namespace compiler {

namespace {

constexpr std::int16_t fixed_cell_value = 5121;
constexpr std::int16_t fixed_slot_value = 610;

// The final checks: the reserved fields must still be empty when the fixed
// values and then the codes are stored there.
error_code store_fixed_values_and_codes(build_state& state) {
  station_record& route = state.stations.slots[route_parameter_slot];
  track_cell& cell1 = state.grid.cells[1];
  if (route.group1_a != 0 || cell1.param1 != 0) return error_code::fixed_values_taken;
  route.group1_a = fixed_slot_value;
  cell1.param1 = fixed_cell_value;
  if (route.departure_time != 0 || cell1.param2 != 0) return error_code::competition_codes_taken;
  route.departure_time = codice_gara_st(state);
  cell1.param2 = codice_gara_og(state);
  return error_code::none;
}

}  // namespace

text_disposal memorizza_dati(build_state& state, const description_texts& texts,
                             reading_notes* notes) {
  auto& slots = state.stations.slots;
  slots[route_parameter_slot].name = state.route_base_name;
  slots[train_parameter_slot].name = state.train_number;

  text_disposal disposal;
  if (!texts.line) {
    record_error(state, error_code::line_text_missing, error_source::line_text, 0);
    return disposal;
  }
  disposal.delete_line = true;
  reading_context context;
  const half_end line_end = read_line_text(state, *texts.line, context, notes);
  if (line_end == half_end::failed) {
    disposal.delete_service = texts.service.has_value();
    return disposal;
  }
  if (line_end == half_end::stopped) return disposal;
  if (!texts.service) {
    record_error(state, error_code::reading_failure, error_source::service_text, 0);
    return disposal;
  }
  disposal.delete_service = true;
  read_service_text(state, *texts.service, context, notes);
  return disposal;
}

compile_result memorizza_percorso(build_state& state, std::int32_t j,
                                  const description_texts& texts, reading_notes* notes) {
  state.plan_wanted = j;
  state.error = error_code::none;
  state.error_from = error_source::none;
  state.stations = station_table{};
  state.grid = route_grid{};
  state.plan = track_plan{};

  compile_result result;
  result.disposal = memorizza_dati(state, texts, notes);
  result.reading_error = recorded_error(state);
  if (!state.grid.exists()) {
    result.outcome = compile_outcome::no_grid;
    return result;
  }
  protect_slowdowns(state);
  result.fatal = store_fixed_values_and_codes(state);
  if (result.fatal != error_code::none) result.outcome = compile_outcome::fatal_error;
  return result;
}

error_record recorded_error(const build_state& state) {
  return {state.error, state.error_position, state.error_from, state.error_offset};
}

build_state make_build_state(std::string route_base_name, std::string train_number,
                             std::filesystem::path directory) {
  build_state state;
  state.route_base_name = std::move(route_base_name);
  state.train_number = std::move(train_number);
  state.directory = std::move(directory);
  return state;
}

}  // namespace compiler
