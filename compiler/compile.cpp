#include "compiler/compile.h"

#include "compiler/cell_views.h"
#include "compiler/competition_codes.h"
#include "compiler/keywords.h"
#include "compiler/line_reader.h"
#include "compiler/protection.h"
#include "compiler/service_reader.h"
#include "compiler/slot_views.h"

namespace compiler {

namespace {

// A final check that found its field taken: the fatal error, and what held
// cell 1 when it was the cell.
error_code taken(journal& log, error_code code, const track_cell& cell1, bool in_cell) {
  const cell_held held = in_cell ? cell_held{1, cell1.kind, log.owner_of(1)} : cell_held{};
  log.add_error({}, error_of(code, std::nullopt, -1, held));
  return code;
}

// The final checks: the reserved fields must still be empty when the fixed
// values and then the codes are stored there.
error_code store_fixed_values_and_codes(scenario_model& model, journal& log) {
  route_parameters route = route_parameters_of(model.stations);
  track_cell& cell1 = model.grid.cells[1];
  route_stamp stamp = route_stamp_of(cell1);
  if (route.fixed_value != 0 || stamp.fixed_value != 0) {
    return taken(log, error_code::fixed_values_taken, cell1, stamp.fixed_value != 0);
  }
  route.fixed_value = fixed_slot_value;
  stamp.fixed_value = fixed_cell_value;
  put_route_parameters(model.stations, route);
  put_route_stamp(cell1, stamp);
  if (route.weighted_competition_code != 0 || stamp.plain_competition_code != 0) {
    return taken(log, error_code::competition_codes_taken, cell1,
                 stamp.plain_competition_code != 0);
  }
  route.weighted_competition_code = weighted_competition_code(model.stations);
  stamp.plain_competition_code = plain_competition_code(model.stations);
  put_route_parameters(model.stations, route);
  put_route_stamp(cell1, stamp);
  return error_code::none;
}

// Objects past the end of the last station's area, where the service ends:
// the train never reaches them. The last station is the one whose stop cell
// lies furthest on; a service of one station has none.
void check_objects_past_last_station(const scenario_model& model, journal& log) {
  std::int64_t last_stop = -1;
  std::int32_t last_finish = 0;
  std::size_t stops = 0;
  for (const journal_entry& entry : log.entries()) {
    const auto* placed = std::get_if<object_placed>(&entry.event);
    const auto* over = std::get_if<object_overwritten>(&entry.event);
    const std::int32_t cell = placed != nullptr ? placed->cell : over != nullptr ? over->cell : -1;
    const std::uint8_t kind = placed != nullptr ? placed->kind : over != nullptr ? over->kind : 0;
    if (kind != kind_value(cell_kind::station_stop)) continue;
    ++stops;
    if (cell <= last_stop) continue;
    const std::optional<slot_cell> stop = slot_of(model.grid.cells[static_cast<std::size_t>(cell)]);
    if (!stop) continue;
    const auto slot = static_cast<std::size_t>(stop->slot);
    if (slot >= model.stations.slots.size()) continue;
    last_stop = cell;
    last_finish = model.stations.slots[slot].finish;
  }
  // A service needs a first and a last station before a place can lie past
  // its end.
  if (stops < 2) return;
  const std::size_t count = log.entries().size();
  for (std::size_t i = 0; i < count; ++i) {
    const journal_entry entry = log.entries()[i];
    const auto* row = std::get_if<row_read>(&entry.event);
    if (row == nullptr || row->position <= last_finish) continue;
    if (!facts_of(row->keyword).met_by_train) continue;
    warning_noted warning{warning_kind::beyond_last_station};
    warning.row = static_cast<std::int32_t>(i);
    warning.field = 0;
    warning.value = row->position;
    warning.other = last_finish;
    log.add_warning(entry.place, warning);
  }
}

}  // namespace

text_disposal read_description_texts(const build_settings& settings, const description_texts& texts,
                                     scenario_model& model, journal& log, bool read_on) {
  auto& slots = model.stations.slots;
  slots[route_parameter_slot].name = settings.route_base_name;
  slots[train_parameter_slot].name = settings.train_number;

  text_disposal disposal;
  if (!texts.line) {
    log.add_error({text_id::line_text, 0}, error_of(error_code::line_text_missing));
    return disposal;
  }
  disposal.delete_line = true;
  line_handover handover;
  const half_end line_end = read_line_text(settings, *texts.line, model, log, handover, read_on);
  // Reading on, the service text is read whenever the line half made a grid.
  const bool reads_service = read_on ? model.grid.exists() : line_end == half_end::finished;
  if (line_end == half_end::failed && !reads_service) {
    disposal.delete_service = texts.service.has_value();
    return disposal;
  }
  if (!reads_service) return disposal;
  if (!texts.service) {
    log.add_error({text_id::service_text, 0},
                  error_of(error_code::reading_failure, std::nullopt, -1,
                           limit_passed{reading_limit::service_text_missing, 0}));
    return disposal;
  }
  disposal.delete_service = true;
  read_service_text(*texts.service, model, log, handover, read_on);
  return disposal;
}

compile_result compile_scenario(const build_settings& settings, const description_texts& texts,
                                scenario_model& model, journal& log) {
  model = scenario_model{};
  compile_result result;
  result.disposal = read_description_texts(settings, texts, model, log);
  if (!model.grid.exists()) {
    result.outcome = compile_outcome::no_grid;
    result.error = log.recorded();
    return result;
  }
  check_objects_past_last_station(model, log);
  protect_slowdowns(model, log);
  result.fatal = store_fixed_values_and_codes(model, log);
  if (result.fatal != error_code::none) result.outcome = compile_outcome::fatal_error;
  result.error = log.recorded();
  return result;
}

build_settings embedded_settings(std::filesystem::path directory) {
  return {embedded_route_base_name, embedded_train_number, std::move(directory), true};
}

}  // namespace compiler
