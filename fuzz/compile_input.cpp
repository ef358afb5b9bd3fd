#include "fuzz/compile_input.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>

#include "compiler/cell_views.h"
#include "compiler/diagnostics.h"
#include "compiler/encoding.h"
#include "compiler/rounding.h"
#include "scenario/field_reader.h"
#include "scenario/line_text.h"
#include "scenario/service_text.h"

namespace fuzzing {

namespace {

using compiler::error_code;

constexpr unsigned char plan_bit = 1;
constexpr unsigned char line_missing_bit = 2;
constexpr unsigned char service_missing_bit = 4;

// Every code a compile may leave recorded; anything else is a value that no
// reader should ever store.
constexpr std::array<error_code, 29> known_codes = {
    error_code::none,
    error_code::line_too_long,
    error_code::progressive_not_multiple_of_50,
    error_code::repetition_from_not_multiple_of_50,
    error_code::repetition_to_not_multiple_of_50,
    error_code::repetition_code_count_missing,
    error_code::sign_cell_occupied,
    error_code::code_cut_cell_occupied,
    error_code::station_position_not_multiple_of_50,
    error_code::station_length_not_multiple_of_100,
    error_code::station_slots_exhausted,
    error_code::signal_before_warning_unprotected,
    error_code::slowdown_approach_unprotected,
    error_code::slowdown_spacing_unprotected,
    error_code::position_beyond_grid,
    error_code::signal_cell_occupied,
    error_code::slowdown_warning_occupied,
    error_code::slowdown_start_occupied,
    error_code::slowdown_end_occupied,
    error_code::warning_approach_occupied,
    error_code::speed_boards_cell_occupied,
    error_code::stations_too_close,
    error_code::station_stop_before_line,
    error_code::reading_failure,
    error_code::line_text_missing,
    error_code::general_section_missing,
    error_code::curve_invalid,
    error_code::fixed_values_taken,
    error_code::competition_codes_taken,
};

// The longest pair of texts whose compile is also read on past its errors.
constexpr std::size_t read_on_input_limit = 4096;

// The kinds a cell may hold after a compile.
bool known_kind(std::uint8_t kind) { return kind <= 6 || (kind >= 10 && kind <= 14); }

scenario::status check_grid(const compiler::scenario_model& model) {
  const auto& cells = model.grid.cells;
  const std::int64_t expected = compiler::cell_index(model.plan_upper) + 1;
  if (static_cast<std::int64_t>(cells.size()) != expected) {
    return scenario::status::failure(fmt::format("grid of {} cells for a plan upper bound of {}",
                                                 cells.size(), model.plan_upper));
  }
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (!known_kind(cells[i].kind))
      return scenario::status::failure(fmt::format("cell {} holds kind {}", i, cells[i].kind));
    // A station stop or a sign points at a slot between 1 and 80, where
    // stations and sign texts live.
    if (const auto slot = compiler::slot_of(cells[i])) {
      if (slot->slot < 1 || slot->slot > compiler::sign_slot_first) {
        return scenario::status::failure(fmt::format("cell {} points at slot {}", i, slot->slot));
      }
    }
    if (cells[i].kind != 0 && compiler::describe_object(cells[i], model.stations).empty()) {
      return scenario::status::failure(
          fmt::format("cell {} holds kind {} that no view describes", i, cells[i].kind));
    }
  }
  return {};
}

scenario::status check_plan(const compiler::scenario_model& model, bool with_plan) {
  const compiler::track_plan& plan = model.plan;
  if (!with_plan) {
    if (plan.exists())
      return scenario::status::failure("a track plan was built although none was wanted");
    return {};
  }
  if (!plan.exists()) return scenario::status::failure("no track plan although one was wanted");
  const auto size = static_cast<std::size_t>(plan.upper) + 1;
  if (plan.upper != model.plan_upper || plan.x.size() != size || plan.y.size() != size) {
    return scenario::status::failure(
        fmt::format("plan of {} metres for an upper bound of {}", plan.x.size(), model.plan_upper));
  }
  if (plan.filled < 0 || plan.filled > plan.upper + 1) {
    return scenario::status::failure(
        fmt::format("plan filled to metre {} of {}", plan.filled, plan.upper));
  }
  return {};
}

scenario::status check_encodings(const compiler::scenario_model& model) {
  const std::string grid = compiler::encode_route_grid(model.grid);
  if (grid.size() != model.grid.cells.size() * compiler::cell_bytes) {
    return scenario::status::failure(
        fmt::format("grid file of {} bytes for {} cells", grid.size(), model.grid.cells.size()));
  }
  std::size_t names = 0;
  for (const compiler::station_record& record : model.stations.slots) {
    if (record.name.size() > compiler::max_name_length) {
      return scenario::status::failure(
          fmt::format("a name of {} bytes does not fit its length field", record.name.size()));
    }
    names += record.name.size();
  }
  const std::string table = compiler::encode_station_table(model.stations);
  if (table.size() != compiler::station_slot_count * compiler::record_fixed_bytes + names) {
    return scenario::status::failure(
        fmt::format("table file of {} bytes for names of {} bytes", table.size(), names));
  }
  // Into one buffer kept from run to run: a fresh one for each run would be
  // zero-filled, and its pages faulted in, every time.
  static thread_local std::string plan;
  plan.clear();
  compiler::append_track_plan_elements(plan, model.plan, 0,
                                       compiler::track_plan_element_count(model.plan));
  if (plan.size() != compiler::track_plan_file_size(model.plan)) {
    return scenario::status::failure(fmt::format("plan file of {} bytes, {} expected", plan.size(),
                                                 compiler::track_plan_file_size(model.plan)));
  }
  return {};
}

// What the journal says of the grid is what the grid holds: every object in
// a cell was placed by the entry the journal names as its owner, with that
// kind, and every cell an error names as taken still holds what the error
// says.
scenario::status check_journal(const compiler::scenario_model& model,
                               const compiler::journal& log) {
  const auto& cells = model.grid.cells;
  const auto& entries = log.entries();
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const std::int32_t owner = log.owner_of(static_cast<std::int32_t>(i));
    if (owner < 0) {
      if (cells[i].kind != 0)
        return scenario::status::failure(
            fmt::format("cell {} holds kind {} that no entry placed", i, cells[i].kind));
      continue;
    }
    const auto& event = entries[static_cast<std::size_t>(owner)].event;
    std::uint8_t kind = 0;
    if (const auto* placed = std::get_if<compiler::object_placed>(&event)) kind = placed->kind;
    if (const auto* over = std::get_if<compiler::object_overwritten>(&event)) kind = over->kind;
    if (kind != cells[i].kind) {
      return scenario::status::failure(
          fmt::format("cell {} holds kind {}, its owner placed kind {}", i, cells[i].kind, kind));
    }
  }
  for (const compiler::error_recorded* error : compiler::errors_of(log)) {
    const compiler::cell_held* held = compiler::held_of(*error);
    if (held == nullptr || held->cell < 0 || held->held_kind == 0) continue;
    const auto index = static_cast<std::size_t>(held->cell);
    if (index >= cells.size() || cells[index].kind != held->held_kind) {
      return scenario::status::failure(fmt::format("error {} names cell {} as holding kind {}",
                                                   compiler::code_number(error->code), held->cell,
                                                   held->held_kind));
    }
  }
  return {};
}

scenario::status check_result(const compiler::build_settings& settings,
                              const compiler::scenario_model& model, const compiler::journal& log,
                              const compile_input& input, const compiler::compile_result& result) {
  const error_code recorded = log.recorded().code;
  if (std::find(known_codes.begin(), known_codes.end(), recorded) == known_codes.end()) {
    return scenario::status::failure(
        fmt::format("unknown error code {}", compiler::code_number(recorded)));
  }
  if (result.disposal.delete_line != input.texts.line.has_value()) {
    return scenario::status::failure("the line text's deletion does not follow its presence");
  }
  if (result.disposal.delete_service && !input.texts.service) {
    return scenario::status::failure("a missing service text is to be deleted");
  }
  const bool grid = model.grid.exists();
  if ((result.outcome == compiler::compile_outcome::no_grid) == grid) {
    return scenario::status::failure("the outcome disagrees with the grid's existence");
  }
  const compiler::text_names names{
      scenario::line_text_file_name(compiler::embedded_route_base_name),
      scenario::service_text_file_name(compiler::embedded_route_base_name,
                                       compiler::embedded_train_number)};
  // The author's view: every warning and error, formatted at file and line.
  // What reading on past an error finds costs a second reading: it is looked
  // at for the short inputs, where most of the mutations are, so that the
  // harness keeps its pace on the long ones.
  const bool read_on = input.texts.line.value_or("").size() +
                           input.texts.service.value_or("").size() <=
                       read_on_input_limit;
  const std::vector<compiler::diagnostic> reports =
      read_on ? compiler::author_report(settings, input.texts, log, model, names)
              : compiler::diagnose(log, model, input.texts, names);
  std::size_t errors = 0;
  for (const compiler::diagnostic& d : reports) {
    if (compiler::format_diagnostic(d).empty())
      return scenario::status::failure("an empty diagnostic");
    errors += d.level == compiler::severity::error && !d.after_stop ? 1 : 0;
  }
  if ((errors == 0) != (recorded == error_code::none && result.fatal == error_code::none)) {
    return scenario::status::failure(
        fmt::format("{} error reports for error {}", errors, compiler::code_number(recorded)));
  }
  if (!grid) return {};
  if (const scenario::status kept = check_journal(model, log); !kept) return kept;
  if (const scenario::status kept = check_grid(model); !kept) return kept;
  if (const scenario::status kept = check_plan(model, input.with_plan); !kept) return kept;
  if (result.outcome == compiler::compile_outcome::complete) return check_encodings(model);
  return {};
}

}  // namespace

compile_input split_input(std::string_view data) {
  compile_input input;
  unsigned char control = '1';
  if (!data.empty()) {
    control = static_cast<unsigned char>(data.front());
    data.remove_prefix(1);
  }
  input.with_plan = (control & plan_bit) != 0;
  const std::size_t split = data.find(separator);
  const std::string_view line = data.substr(0, split);
  const std::string_view service =
      split == std::string_view::npos ? std::string_view{} : data.substr(split + 1);
  if ((control & line_missing_bit) == 0) input.texts.line = std::string(line);
  if ((control & service_missing_bit) == 0) input.texts.service = std::string(service);
  return input;
}

std::string join_input(char control, std::string_view line, std::string_view service) {
  std::string data(1, control);
  data += line;
  data += separator;
  data += service;
  return data;
}

bool beyond_fuzzed_line_length(std::string_view data) {
  const compile_input input = split_input(data);
  if (!input.texts.line) return false;
  // The general section, read as the line reader reads it: a length row may
  // come more than once, and the longest one counts.
  scenario::field_reader in(*input.texts.line);
  if (!scenario::skip_to_marker(in, "[generale]")) return false;
  std::int64_t longest = 0;
  while (const auto field = scenario::next_keyword_field(in, 10)) {
    const std::string_view f = *field;
    if (scenario::contains_ignoring_case(f, "percorso") &&
        scenario::contains_ignoring_case(f, "lunghezza")) {
      longest = std::max<std::int64_t>(longest, in.read_long());
    }
    // A number out of range fails the reader for good: it consumes nothing
    // more, so the end of the text would never come. The compile stops at
    // the same field, and the lengths read before it are all it sees.
    if (in.failed()) break;
    if (scenario::contains_exact(f, "[") && scenario::contains_exact(f, "]") && f.front() != '-') {
      break;
    }
  }
  return longest > fuzzed_line_length_cap;
}

scenario::status compile_and_check(std::string_view data) {
  const compile_input input = split_input(data);
  compiler::build_settings settings = compiler::embedded_settings({});
  settings.with_plan = input.with_plan;
  compiler::scenario_model model;
  compiler::journal log;
  const compiler::compile_result result =
      compiler::compile_scenario(settings, input.texts, model, log);
  return check_result(settings, model, log, input, result);
}

}  // namespace fuzzing
