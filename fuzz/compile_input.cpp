#include "fuzz/compile_input.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>

#include "compiler/diagnostics.h"
#include "compiler/encoding.h"
#include "compiler/rounding.h"
#include "scenario/field_reader.h"
#include "scenario/line_text.h"
#include "scenario/service_text.h"

namespace fuzzing {

namespace {

using compiler::build_state;
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

// The kinds a cell may hold after a compile.
bool known_kind(std::uint8_t kind) { return kind <= 6 || (kind >= 10 && kind <= 14); }

std::optional<std::string> check_grid(const build_state& state) {
  const auto& cells = state.grid.cells;
  const std::int64_t expected = compiler::cell_of(state.plan_upper) + 1;
  if (static_cast<std::int64_t>(cells.size()) != expected) {
    return fmt::format("grid of {} cells for a plan upper bound of {}", cells.size(),
                       state.plan_upper);
  }
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (!known_kind(cells[i].kind)) return fmt::format("cell {} holds kind {}", i, cells[i].kind);
  }
  return std::nullopt;
}

std::optional<std::string> check_plan(const build_state& state, std::int32_t j) {
  const compiler::track_plan& plan = state.plan;
  if (j == 0) {
    if (plan.exists()) return std::string("a track plan was built although j is 0");
    return std::nullopt;
  }
  if (!plan.exists()) return std::string("no track plan although j is not 0");
  const auto size = static_cast<std::size_t>(plan.upper) + 1;
  if (plan.upper != state.plan_upper || plan.x.size() != size || plan.y.size() != size) {
    return fmt::format("plan of {} metres for an upper bound of {}", plan.x.size(),
                       state.plan_upper);
  }
  if (plan.filled < 0 || plan.filled > plan.upper + 1) {
    return fmt::format("plan filled to metre {} of {}", plan.filled, plan.upper);
  }
  return std::nullopt;
}

std::optional<std::string> check_encodings(const build_state& state) {
  const std::string grid = compiler::encode_route_grid(state.grid);
  if (grid.size() != state.grid.cells.size() * compiler::cell_bytes) {
    return fmt::format("grid file of {} bytes for {} cells", grid.size(), state.grid.cells.size());
  }
  std::size_t names = 0;
  for (const compiler::station_record& record : state.stations.slots) {
    if (record.name.size() > compiler::max_name_length) {
      return fmt::format("a name of {} bytes does not fit its length field", record.name.size());
    }
    names += record.name.size();
  }
  const std::string table = compiler::encode_station_table(state.stations);
  if (table.size() != compiler::station_slot_count * compiler::record_fixed_bytes + names) {
    return fmt::format("table file of {} bytes for names of {} bytes", table.size(), names);
  }
  // Into one buffer kept from run to run: a fresh one for each run would be
  // zero-filled, and its pages faulted in, every time.
  static thread_local std::string plan;
  plan.clear();
  compiler::append_track_plan_elements(plan, state.plan, 0,
                                       compiler::track_plan_element_count(state.plan));
  if (plan.size() != compiler::track_plan_file_size(state.plan)) {
    return fmt::format("plan file of {} bytes, {} expected", plan.size(),
                       compiler::track_plan_file_size(state.plan));
  }
  return std::nullopt;
}

std::optional<std::string> check_result(const build_state& state, const compile_input& input,
                                        const compiler::compile_result& result,
                                        const compiler::reading_notes& notes) {
  if (std::find(known_codes.begin(), known_codes.end(), state.error) == known_codes.end()) {
    return fmt::format("unknown error code {}", compiler::code_number(state.error));
  }
  if (result.disposal.delete_line != input.texts.line.has_value()) {
    return std::string("the line text's deletion does not follow its presence");
  }
  if (result.disposal.delete_service && !input.texts.service) {
    return std::string("a missing service text is to be deleted");
  }
  const bool grid = state.grid.exists();
  if ((result.outcome == compiler::compile_outcome::no_grid) == grid) {
    return std::string("the outcome disagrees with the grid's existence");
  }
  const compiler::text_names names{
      scenario::line_text_file_name(state.route_base_name),
      scenario::service_text_file_name(state.route_base_name, state.train_number)};
  const std::string report = compiler::describe_error(state, input.texts, names);
  if (report.empty() != (state.error == error_code::none)) {
    return fmt::format("report \"{}\" for error {}", report, compiler::code_number(state.error));
  }
  // The author's view: every note and error, formatted at file and line.
  for (const compiler::diagnostic& d :
       compiler::diagnose(state, result, input.texts, names, notes)) {
    if (compiler::format_diagnostic(d).empty()) return std::string("an empty diagnostic");
  }
  if (!grid) return std::nullopt;
  if (auto problem = check_grid(state)) return problem;
  if (auto problem = check_plan(state, input.j)) return problem;
  if (result.outcome == compiler::compile_outcome::complete) return check_encodings(state);
  return std::nullopt;
}

}  // namespace

compile_input split_input(std::string_view data) {
  compile_input input;
  unsigned char control = '1';
  if (!data.empty()) {
    control = static_cast<unsigned char>(data.front());
    data.remove_prefix(1);
  }
  input.j = (control & plan_bit) != 0 ? 1 : 0;
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
    if (scenario::contains_exact(f, "[") && scenario::contains_exact(f, "]") && f.front() != '-') {
      break;
    }
  }
  return longest > fuzzed_line_length_cap;
}

std::optional<std::string> compile_and_check(std::string_view data) {
  const compile_input input = split_input(data);
  build_state state = compiler::make_build_state(compiler::embedded_route_base_name,
                                                 compiler::embedded_train_number, {});
  // Notes are collected as the front end collects them, so that their
  // bookkeeping is fuzzed too; their list is kept from run to run.
  static thread_local compiler::reading_notes notes;
  notes.clear();
  const compiler::compile_result result =
      compiler::memorizza_percorso(state, input.j, input.texts, &notes);
  return check_result(state, input, result, notes);
}

}  // namespace fuzzing
