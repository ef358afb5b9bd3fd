#include "compiler/line_reader.h"

#include <array>
#include <limits>
#include <optional>

#include "compiler/encoding.h"
#include "compiler/huge_pages.h"
#include "compiler/line_elements.h"
#include "compiler/rounding.h"

namespace compiler {

namespace {

using scenario::contains_exact;
using scenario::contains_ignoring_case;
using scenario::field_reader;

constexpr std::int64_t plan_metre_limit = 1'000'000;

// Curvature of each curve class, for the classes 1 to 6.
constexpr std::array<double, 6> curvature_by_class = {0.0001, 0.0002, 0.0004, 0.001, 0.002, 0.003};

// What only the line half keeps while it reads.
struct line_reading {
  scenario_model& model;
  const build_settings& settings;
  journal& log;
  field_reader in;
  text_notes& notes;
  line_handover& handover;
  std::size_t row_offset = 0;
  std::int32_t row = -1;  // the journal entry of the row being read
  std::int64_t gradient_cursor = 0;
  std::int32_t current_gradient = 0;
  std::vector<std::int32_t> tunnel_ends = {};  // of the tunnel rows read so far
  // The rows read into slots 81 ("tre"), 82 ("due") and 83 ("uno").
  std::array<std::int32_t, 3> progressive_rows{-1, -1, -1};
  bool ended_at_error = false;  // an error 15 ended the text before its end
  bool read_on = false;         // go on after errors, only to find more of them
  std::size_t row_first_field = 0;
  std::optional<std::int64_t> previous_curve_end = std::nullopt;  // where the last curve ended
  std::size_t general_offset = 0;  // where "[generale]" stands, where a length row belongs

  text_place here() const { return {text_id::line_text, row_offset}; }
  void begin_row(row_keyword keyword) {
    row = log.add_row(here(), keyword);
    row_first_field = in.fields_read();
  }
  void fail(error_code code) { log.add_error(here(), error_of(code, std::nullopt, row)); }
  void fail_at(error_code code, std::int32_t position) {
    log.add_error(here(), error_of(code, position, row));
  }
  // Error 25 for a value the model cannot hold, or a part the texts lack. A
  // missing length row is reported where it belongs, at "[generale]".
  void beyond_limit(reading_limit limit, std::int64_t value = 0) {
    if (limit == reading_limit::no_length_row) row_offset = general_offset;
    error_recorded error = error_of(error_code::reading_failure, std::nullopt, row);
    error.limit = limit;
    error.value = value;
    log.add_error(here(), error);
  }
  // Error 25 at the field that could not be read.
  void field_failed() {
    const scenario::field_failure& failure = in.failure();
    error_recorded error = error_of(error_code::reading_failure, std::nullopt, row);
    error.failure = failure.kind;
    error.number = failure.type;
    error.field_offset = failure.offset;
    error.field = static_cast<std::int32_t>(failure.index - row_first_field);
    log.add_error(here(), error);
  }
  // After an error: false when the reading ends there. A reading that only
  // looks for further mistakes goes on, unless the text has ended.
  bool goes_on() {
    if (!read_on) return false;
    in.forget_range_failure();
    return !in.failed();
  }
  // A placement: its cells go to the journal, and a refusal is recorded at
  // the row's position.
  bool placed(const placement& done, std::int32_t position) {
    log.add_writes(here(), row, done.cells());
    if (!done.refused) return true;
    error_recorded error = error_of(done.refused->code, position, row);
    if (done.refused->code == error_code::reading_failure) error.position.reset();
    error.limit = done.refused->limit;
    error.value = done.refused->value;
    error.cell = done.refused->cell;
    error.held_kind = done.refused->held_kind;
    error.held_by = log.owner_of(error.cell);
    log.add_error(here(), error);
    return false;
  }
};

// The outcome of handling one row of the main part.
enum class row_end { next, end_of_text, stop, fail };

row_end failed_field(line_reading& r) {
  r.field_failed();
  return row_end::fail;
}

void create_grid(const build_settings& settings, scenario_model& model, std::int32_t length) {
  model.plan_upper = length + grid_margin_m;
  const std::int64_t upper = cell_index(model.plan_upper);
  model.grid.cells.assign(static_cast<std::size_t>(upper + 1), track_cell{});
  model.plan = track_plan{};
  if (settings.with_plan) {
    model.plan.upper = model.plan_upper;
    const std::size_t metres = static_cast<std::size_t>(model.plan_upper) + 1;
    for (std::vector<double>* coordinate : {&model.plan.x, &model.plan.y}) {
      coordinate->reserve(metres);
      advise_huge_pages(coordinate->data(), metres * sizeof(double));
      coordinate->assign(metres, 0.0);
    }
  }
}

// The length row sizes the grid and the plan.
bool length_row(line_reading& r) {
  r.begin_row(row_keyword::length);
  const std::int32_t length = r.in.read_long();
  if (r.in.failed()) return r.field_failed(), false;
  r.log.set_row_position(r.row, length);
  r.model.stations.slots[line_parameter_slot].finish = length;
  if (length > max_line_length_m) {
    error_recorded error = error_of(error_code::line_too_long, std::nullopt, r.row);
    error.value = length;
    r.log.add_error(r.here(), error);
    return false;
  }
  // A grid without cell 1 could not take the fixed values: no grid is made,
  // as when the length cannot be read.
  if (length < min_line_length_m) {
    return r.beyond_limit(reading_limit::line_too_short, length), false;
  }
  create_grid(r.settings, r.model, length);
  return true;
}

// Reads the rows of the general section; false when an error ends the
// reading.
bool general_section(line_reading& r) {
  auto& slots = r.model.stations.slots;
  while (auto field = scenario::next_keyword_field(r.in, 10)) {
    const std::string_view f = *field;
    r.row_offset = r.in.field_offset();
    bool matched = false;
    if (contains_ignoring_case(f, "percorso") && contains_ignoring_case(f, "lunghezza")) {
      matched = true;
      if (!length_row(r) && !r.goes_on()) return false;
    }
    const std::array<std::string_view, 3> progressive_names = {"tre", "due", "uno"};
    for (std::size_t i = 0; i < progressive_names.size(); ++i) {
      if (contains_exact(f, progressive_names[i]) && contains_exact(f, "progressiva")) {
        matched = true;
        r.begin_row(row_keyword::progressive);
        const std::int32_t start = r.in.read_long();
        const std::int32_t reference = r.in.read_long();
        const std::int32_t flag = r.in.read_long();
        if (r.in.failed()) return r.field_failed(), false;
        r.log.set_row_position(r.row, start);
        station_record& slot = slots[progressive_slot_first + i];
        slot.start = start;
        slot.finish = reference;
        slot.position = flag;
        r.progressive_rows[i] = r.row;
      }
    }
    station_record& route = slots[route_parameter_slot];
    const std::array<std::int32_t*, 3> backgrounds = {&route.start, &route.position, &route.finish};
    const std::array<std::string_view, 3> background_names = {"uno", "due", "tre"};
    for (std::size_t i = 0; i < background_names.size(); ++i) {
      if (contains_exact(f, "sfondo") && contains_exact(f, background_names[i])) {
        matched = true;
        r.begin_row(row_keyword::background);
        const std::int32_t value = r.in.read_long();
        if (r.in.failed()) return r.field_failed(), false;
        *backgrounds[i] = value;
      }
    }
    if (contains_exact(f, "segnali") && contains_exact(f, "ripetizione")) {
      matched = true;
      r.begin_row(row_keyword::repetition);
      const std::int32_t from = r.in.read_long();
      const std::int32_t to = r.in.read_long();
      if (r.in.failed()) return r.field_failed(), false;
      station_record& train = slots[train_parameter_slot];
      train.start = from;
      train.finish = to;
      // Each error ends the reading, or, reading on, is followed by the next.
      const auto ends = [&](error_code code, std::int32_t value) {
        error_recorded error = error_of(code, std::nullopt, r.row);
        error.value = value;
        r.log.add_error(r.here(), error);
        return !r.goes_on();
      };
      if (from % 50 != 0 && ends(error_code::repetition_from_not_multiple_of_50, from)) {
        return false;
      }
      if (to % 50 != 0 && ends(error_code::repetition_to_not_multiple_of_50, to)) return false;
      if (contains_exact(f, "4")) {
        train.position = 4;
      } else if (contains_exact(f, "9")) {
        train.position = 9;
      } else {
        if (ends(error_code::repetition_code_count_missing, 0)) return false;
      }
      if (to == 0) train.position = 0;
    }
    if (matched) r.notes.check_row(r.row_offset, r.in);
    if (!matched) {
      // A row that these tests would take if they ignored letter case.
      const bool any_number_name = contains_ignoring_case(f, "uno") ||
                                   contains_ignoring_case(f, "due") ||
                                   contains_ignoring_case(f, "tre");
      const bool capital_progressive =
          ((contains_ignoring_case(f, "progressiva") || contains_ignoring_case(f, "sfondo")) &&
           any_number_name) ||
          (contains_ignoring_case(f, "segnali") && contains_ignoring_case(f, "ripetizione"));
      const bool header = contains_exact(f, "[") && contains_exact(f, "]");
      if (capital_progressive) {
        r.notes.add(warning_kind::progressive_in_capitals, r.row_offset);
      } else if (!header && !f.empty()) {
        r.notes.add(warning_kind::unknown_keyword, r.row_offset);
      }
    }
    // The section ends at a header: a field with both brackets that, less
    // its leading blanks, does not begin with "-".
    if (contains_exact(f, "[") && contains_exact(f, "]") && f.front() != '-') break;
  }
  return true;
}

// Checks a row's position against the grid. Rows whose objects sit on a cell
// refuse a negative position too, which would address cells before cell 0.
row_end check_position(line_reading& r, std::int64_t position, bool placed_on_cell) {
  r.log.set_row_position(r.row, static_cast<std::int32_t>(position));
  if (!r.model.grid.exists()) {
    r.beyond_limit(reading_limit::no_length_row);
    return row_end::fail;
  }
  if (!within_grid(r.model.grid, position) || (placed_on_cell && position < 0)) {
    r.fail_at(error_code::position_beyond_grid, static_cast<std::int32_t>(position));
    return row_end::end_of_text;
  }
  return row_end::next;
}

void write_gradient(line_reading& r) {
  if (r.gradient_cursor <= r.model.grid.upper()) {
    const auto value =
        static_cast<std::uint8_t>(((std::int64_t{r.current_gradient} + 100) % 256 + 256) % 256);
    r.model.grid.cells[static_cast<std::size_t>(r.gradient_cursor)].gradient = value;
  }
  ++r.gradient_cursor;
}

row_end gradient_row(line_reading& r) {
  r.begin_row(row_keyword::gradient);
  const std::int32_t p = r.in.read_long();
  const std::int32_t v = r.in.read_long();
  if (r.in.failed()) return failed_field(r);
  if (const row_end checked = check_position(r, p, false); checked != row_end::next) return checked;
  check_within_line(r.log, r.here(), r.row, r.model, p);
  check_plausible(r.log, r.here(), r.row, plausible_gradient, 1, v);
  if (std::int64_t{v} + 100 < 0 || std::int64_t{v} + 100 > 255) {
    warn(r.log, r.here(), r.row, warning_kind::value_cut, 1, v,
         ((std::int64_t{v} + 100) % 256 + 256) % 256);
  }
  const std::int64_t n = cell_index(p);
  if (n > 0) {
    // The cells up to n - 1 keep the gradient of the previous row; a row
    // whose cell is not beyond the cursor still writes the one at the cursor.
    do {
      write_gradient(r);
    } while (r.gradient_cursor < n);
  }
  r.current_gradient = v;
  return row_end::next;
}

// One metre of the plan: the step of the two metres before it, turned by the
// curvature k (0 on straight track).
void plan_step(track_plan& plan, std::int64_t m, double k) {
  const auto i = static_cast<std::size_t>(m);
  const double dx = plan.x[i - 1] - plan.x[i - 2];
  const double dy = plan.y[i - 1] - plan.y[i - 2];
  if (k == 0.0) {
    plan.x[i] = plan.x[i - 1] + dx;
    plan.y[i] = plan.y[i - 1] + dy;
  } else {
    plan.x[i] = plan.x[i - 1] + (dx + k * dy);
    plan.y[i] = plan.y[i - 1] + (dy - k * dx);
  }
}

// The curvature a curve keyword names: the first of the digits 1 to 6 it
// holds, negative with an "s"; nothing without a digit.
std::optional<double> curvature_of(std::string_view field) {
  for (std::size_t digit = 0; digit < curvature_by_class.size(); ++digit) {
    if (field.find(static_cast<char>('1' + digit)) != std::string_view::npos) {
      const double k = curvature_by_class[digit];
      return contains_ignoring_case(field, "s") ? -k : k;
    }
  }
  return std::nullopt;
}

row_end curve_row(line_reading& r, std::string_view field) {
  r.begin_row(row_keyword::curve);
  const std::int32_t p = r.in.read_long();
  const std::int32_t l = r.in.read_long();
  if (r.in.failed()) return failed_field(r);
  if (const row_end checked = check_position(r, p, false); checked != row_end::next) return checked;
  track_plan& plan = r.model.plan;
  if (!plan.exists()) return r.beyond_limit(reading_limit::no_length_row), row_end::fail;
  const std::optional<double> k = curvature_of(field);
  if (!k) return r.fail(error_code::curve_invalid), row_end::stop;
  // A curve that would run past the plan's last metre is refused whole.
  const std::int64_t curve_end = std::int64_t{p} + l;
  if (curve_end > plan.upper) return r.fail(error_code::curve_invalid), row_end::stop;
  check_within_line(r.log, r.here(), r.row, r.model, p);
  if (r.previous_curve_end && p < *r.previous_curve_end) {
    warn(r.log, r.here(), r.row, warning_kind::curves_overlap, 0, p, *r.previous_curve_end);
  }
  r.previous_curve_end = curve_end;

  std::int64_t m = plan.filled;
  bool past_limit = false;
  auto run = [&](std::int64_t last, double curvature) {
    while (!past_limit && m <= last) {
      plan_step(plan, m, curvature);
      ++m;
      past_limit = m > plan_metre_limit;
    }
  };
  run(p, 0.0);
  run(curve_end, *k);
  plan.filled = static_cast<std::int32_t>(m);
  if (past_limit) return r.fail(error_code::curve_invalid), row_end::stop;
  return row_end::next;
}

row_end tunnel_row(line_reading& r) {
  r.begin_row(row_keyword::tunnel);
  const std::int32_t start = r.in.read_long();
  const std::int32_t end = r.in.read_long();
  const std::int32_t type = r.in.read_long();
  if (r.in.failed()) return failed_field(r);
  if (const row_end checked = check_position(r, start, true); checked != row_end::next) {
    return checked;
  }
  // The tunnel list holds 80 tunnels; an 81st has nowhere to go.
  if (r.tunnel_ends.size() >= max_tunnel_rows) {
    return r.beyond_limit(reading_limit::tunnel_list_full), row_end::fail;
  }
  const std::optional<std::int32_t> previous_end =
      r.tunnel_ends.empty() ? std::nullopt : std::optional(r.tunnel_ends.back());
  r.tunnel_ends.push_back(end);
  const tunnel_placement done = place_tunnel(r.model, {start, end, type}, previous_end);
  r.log.add_writes(r.here(), r.row, done.markers);
  check_within_line(r.log, r.here(), r.row, r.model, start);
  if (done.type < 0 || done.type > 255) {
    warn(r.log, r.here(), r.row, warning_kind::value_cut, 2, done.type, done.type & 0xFF);
  }
  return row_end::next;
}

row_end speed_boards_row_read(line_reading& r) {
  r.begin_row(row_keyword::speed_boards);
  speed_boards_row row;
  row.position = r.in.read_long();
  for (std::int32_t& speed : row.s_speeds) speed = r.in.read_long();
  row.s_stripes = r.in.read_long();
  for (std::int32_t& speed : row.d_speeds) speed = r.in.read_long();
  row.d_stripes = r.in.read_long();
  if (r.in.failed()) return failed_field(r);
  if (const row_end checked = check_position(r, row.position, true); checked != row_end::next) {
    return checked;
  }
  const placement done = place_speed_boards(r.model, row);
  check_within_line(r.log, r.here(), r.row, r.model, row.position);
  for (std::int32_t i = 0; i < 3; ++i) {
    const auto side = static_cast<std::size_t>(i);
    check_plausible(r.log, r.here(), r.row, plausible_speed, 1 + i, row.s_speeds[side]);
    check_plausible(r.log, r.here(), r.row, plausible_speed, 5 + i, row.d_speeds[side]);
  }
  if (r.placed(done, row.position)) return row_end::next;
  return done.refused->code == error_code::reading_failure ? row_end::fail : row_end::stop;
}

row_end sign_row_read(line_reading& r) {
  r.begin_row(row_keyword::sign);
  sign_row row;
  row.position = r.in.read_long();
  row.text = r.in.read_text();
  if (r.in.failed()) return failed_field(r);
  if (row.text.size() > max_name_length) {
    r.beyond_limit(reading_limit::text_too_long, static_cast<std::int64_t>(row.text.size()));
    return row_end::fail;
  }
  if (const row_end checked = check_position(r, row.position, true); checked != row_end::next) {
    return checked;
  }
  // Slot 0 stays cleared and slots below it do not exist: an 81st sign has
  // no slot left, as if it had met the stations.
  const std::int64_t c = cell_index(row.position, 1);
  if (is_free(r.model.grid.cells[static_cast<std::size_t>(c)]) && r.handover.next_sign_slot < 1) {
    return r.fail(error_code::station_slots_exhausted), row_end::stop;
  }
  if (!r.placed(place_sign(r.model, row, r.handover.next_sign_slot), row.position)) {
    return row_end::stop;
  }
  check_within_line(r.log, r.here(), r.row, r.model, row.position);
  if (row.text.ends_with(' ') || row.text.ends_with('\t')) {
    warn(r.log, r.here(), r.row, warning_kind::name_ends_in_blanks, 1, 0);
  }
  r.handover.next_sign_slot -= 1;
  return row_end::next;
}

row_end profile_row(line_reading& r, std::string_view field) {
  bool matched = false;
  row_end result = row_end::next;
  auto handle = [&](bool applies, auto&& action) {
    if (!applies || result != row_end::next) return;
    matched = true;
    result = action();
  };
  handle(contains_ignoring_case(field, "pendenza"), [&] { return gradient_row(r); });
  handle(contains_ignoring_case(field, "curva") && r.settings.with_plan,
         [&] { return curve_row(r, field); });
  handle(contains_ignoring_case(field, "montagna"), [&] { return tunnel_row(r); });
  handle(contains_ignoring_case(field, "indicatori_v"), [&] { return speed_boards_row_read(r); });
  handle(contains_ignoring_case(field, "cartello") && contains_ignoring_case(field, "indicat"),
         [&] { return sign_row_read(r); });
  if (!matched && !(contains_exact(field, "[") && contains_exact(field, "]")) && !field.empty()) {
    r.notes.add(warning_kind::unknown_keyword, r.row_offset);
  }
  if (matched && result == row_end::next) r.notes.check_row(r.row_offset, r.in);
  // Without a plan a curve row is passed over whole, its values included.
  if (!r.settings.with_plan && contains_ignoring_case(field, "curva")) {
    r.notes.quiet_rest_of_line(r.row_offset);
  }
  return result;
}

// The end of the line text: the rest of the grid takes the last gradient and
// the plan runs straight to its last metres but two.
half_end complete_line(line_reading& r) {
  scenario_model& model = r.model;
  if (!model.grid.exists()) {
    r.row_offset = r.in.text().size();
    r.row = -1;
    r.beyond_limit(reading_limit::no_length_row);
    return half_end::failed;
  }
  do {
    write_gradient(r);
  } while (r.gradient_cursor < model.grid.upper() - 2);
  if (r.settings.with_plan) {
    track_plan& plan = model.plan;
    std::int64_t m = plan.filled;
    while (m <= std::int64_t{plan.upper} - 2) {
      plan_step(plan, m, 0.0);
      ++m;
    }
    plan.filled = static_cast<std::int32_t>(std::max<std::int64_t>(m, plan.filled));
  }
  return half_end::finished;
}

// The progressive rows follow their slots through the ordering, so that the
// check at the end of the service text can name the row it finds wrong.
bool order_progressive_rows(line_reading& r) {
  const progressive_order order = order_progressive_changes(r.model.stations);
  for (std::size_t slot = 0; slot < order.read_in.size(); ++slot) {
    const auto& from = order.read_in[slot];
    r.handover.progressive_rows[slot] = from ? r.progressive_rows[*from] : -1;
  }
  if (!order.reference_overflow) return true;
  // The error stands at the row whose reference could not take its 100 m.
  r.row = r.handover.progressive_rows[order.overflow_slot];
  const journal_entry* row =
      r.row >= 0 ? &r.log.entries()[static_cast<std::size_t>(r.row)] : nullptr;
  r.row_offset = row != nullptr ? row->place.offset : r.in.cursor();
  const auto& slot = r.model.stations.slots[progressive_slot_first + order.overflow_slot];
  r.beyond_limit(reading_limit::progressive_reference, slot.finish);
  return false;
}

half_end read_line(line_reading& r) {
  // The general section opens at the first field that names it.
  if (!scenario::skip_to_marker(r.in, "[generale]")) {
    r.row_offset = r.in.text().size();
    r.fail(error_code::general_section_missing);
    return half_end::stopped;
  }
  r.general_offset = r.in.field_offset();
  if (!general_section(r)) {
    return r.log.recorded().code == error_code::reading_failure ? half_end::failed
                                                                : half_end::stopped;
  }
  // Without a grid every later row would only fail for the want of one.
  if (r.read_on && !r.model.grid.exists()) return half_end::failed;

  if (!order_progressive_rows(r) && !r.goes_on()) return half_end::failed;
  r.handover.next_sign_slot = sign_slot_first;
  if (r.settings.with_plan) {
    if (!r.model.plan.exists()) {
      r.row_offset = r.in.cursor();
      r.row = -1;
      r.beyond_limit(reading_limit::no_length_row);
      return half_end::failed;
    }
    // The track starts at the origin, heading along the second coordinate.
    track_plan& plan = r.model.plan;
    plan.x[0] = 0;
    plan.y[0] = 0;
    plan.x[1] = 0;
    plan.y[1] = 1;
    plan.filled = 2;
  }

  while (auto field = scenario::next_keyword_field(r.in, 2)) {
    r.row_offset = r.in.field_offset();
    r.row = -1;
    const row_end result = profile_row(r, *field);
    if (result == row_end::next || r.goes_on()) continue;
    if (result == row_end::end_of_text) {
      r.ended_at_error = true;
      break;
    }
    if (result == row_end::stop) return half_end::stopped;
    if (result == row_end::fail) return half_end::failed;
  }
  return complete_line(r);
}

reading_end reading_end_of(half_end end, bool ended_at_error) {
  switch (end) {
    case half_end::finished:
      return ended_at_error ? reading_end::stopped_at_error : reading_end::end_of_text;
    case half_end::stopped:
      return reading_end::ended_by_error;
    case half_end::failed:
      return reading_end::failed;
  }
  return reading_end::failed;
}

}  // namespace

half_end read_line_text(const build_settings& settings, std::string_view text,
                        scenario_model& model, journal& log, line_handover& handover,
                        bool read_on) {
  check_text_form(log, text_id::line_text, text);
  text_notes notes(log, text_id::line_text, text);
  line_reading r{model, settings, log, field_reader(text, notes.field_notes()), notes, handover};
  r.read_on = read_on;
  const half_end end = read_line(r);
  notes.flush();
  log.add_stop({text_id::line_text, r.in.cursor()}, reading_end_of(end, r.ended_at_error));
  return end;
}

}  // namespace compiler
