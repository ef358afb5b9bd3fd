#include "compiler/line_reader.h"

#include <array>
#include <limits>

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

struct line_reading {
  build_state& state;
  field_reader in;
  reading_context& context;
  text_notes& notes;
  std::size_t row_offset = 0;
  std::int64_t gradient_cursor = 0;
  std::int32_t current_gradient = 0;

  void fail(error_code code) { record_error(state, code, error_source::line_text, row_offset); }
  void fail_at(error_code code, std::int32_t position) {
    record_error(state, code, position, error_source::line_text, row_offset);
  }
  void note(reading_note_kind kind) { notes.add(kind, row_offset); }
};

// The outcome of handling one row of the main part.
enum class row_end { next, end_of_text, stop, fail };

bool general_section(line_reading& r);
row_end profile_row(line_reading& r, std::string_view field);
half_end complete_line(line_reading& r);

void create_grid(build_state& state, std::int32_t length) {
  state.plan_upper = length + grid_margin_m;
  const std::int64_t upper = cell_index(state.plan_upper);
  state.grid.cells.assign(static_cast<std::size_t>(upper + 1), track_cell{});
  state.plan = track_plan{};
  if (state.plan_wanted != 0) {
    state.plan.upper = state.plan_upper;
    const std::size_t metres = static_cast<std::size_t>(state.plan_upper) + 1;
    for (std::vector<double>* coordinate : {&state.plan.x, &state.plan.y}) {
      coordinate->reserve(metres);
      advise_huge_pages(coordinate->data(), metres * sizeof(double));
      coordinate->assign(metres, 0.0);
    }
  }
}

// Reads the rows of the general section; false when an error ends the
// reading.
bool general_section(line_reading& r) {
  auto& slots = r.state.stations.slots;
  while (auto field = scenario::next_keyword_field(r.in, 10)) {
    const std::string_view f = *field;
    r.row_offset = r.in.field_offset();
    bool matched = false;
    if (contains_ignoring_case(f, "percorso") && contains_ignoring_case(f, "lunghezza")) {
      matched = true;
      const std::int32_t length = r.in.read_long();
      if (r.in.failed()) return r.fail(error_code::reading_failure), false;
      slots[line_parameter_slot].finish = length;
      // A negative length would leave no grid to hold cell 1.
      if (length > max_line_length_m || length < 0) return r.fail(error_code::line_too_long), false;
      create_grid(r.state, length);
    }
    const std::array<std::string_view, 3> progressive_names = {"tre", "due", "uno"};
    for (std::size_t i = 0; i < progressive_names.size(); ++i) {
      if (contains_exact(f, progressive_names[i]) && contains_exact(f, "progressiva")) {
        matched = true;
        const std::int32_t start = r.in.read_long();
        const std::int32_t finish = r.in.read_long();
        const std::int32_t flag = r.in.read_long();
        if (r.in.failed()) return r.fail(error_code::reading_failure), false;
        station_record& slot = slots[progressive_slot_first + i];
        slot.start = start;
        slot.finish = finish;
        slot.position = flag;
        r.note(reading_note_kind::progressive_row);
      }
    }
    station_record& route = slots[route_parameter_slot];
    const std::array<std::int32_t*, 3> backgrounds = {&route.start, &route.position, &route.finish};
    const std::array<std::string_view, 3> background_names = {"uno", "due", "tre"};
    for (std::size_t i = 0; i < background_names.size(); ++i) {
      if (contains_exact(f, "sfondo") && contains_exact(f, background_names[i])) {
        matched = true;
        const std::int32_t value = r.in.read_long();
        if (r.in.failed()) return r.fail(error_code::reading_failure), false;
        *backgrounds[i] = value;
      }
    }
    if (contains_exact(f, "segnali") && contains_exact(f, "ripetizione")) {
      matched = true;
      const std::int32_t from = r.in.read_long();
      const std::int32_t to = r.in.read_long();
      if (r.in.failed()) return r.fail(error_code::reading_failure), false;
      station_record& train = slots[train_parameter_slot];
      train.start = from;
      train.finish = to;
      if (train.start % 50 != 0)
        return r.fail(error_code::repetition_from_not_multiple_of_50), false;
      if (train.finish % 50 != 0)
        return r.fail(error_code::repetition_to_not_multiple_of_50), false;
      if (contains_exact(f, "4")) {
        train.position = 4;
      } else if (contains_exact(f, "9")) {
        train.position = 9;
      } else {
        return r.fail(error_code::repetition_code_count_missing), false;
      }
      if (train.finish == 0) train.position = 0;
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
        r.note(reading_note_kind::progressive_in_capitals);
      } else if (!header && !f.empty()) {
        r.note(reading_note_kind::unknown_keyword);
      }
    }
    if (contains_exact(f, "[") && contains_exact(f, "]") && f.front() != '-') break;
  }
  return true;
}

// Checks a row's position against the grid. Rows whose objects sit on a cell
// refuse a negative position too, which would address cells before cell 0.
row_end check_position(line_reading& r, std::int64_t position, bool placed_on_cell) {
  if (!r.state.grid.exists()) {
    r.fail(error_code::reading_failure);
    return row_end::fail;
  }
  if (!within_grid(r.state, position) || (placed_on_cell && position < 0)) {
    r.fail_at(error_code::position_beyond_grid, static_cast<std::int32_t>(position));
    return row_end::end_of_text;
  }
  return row_end::next;
}

void write_gradient(line_reading& r) {
  if (r.gradient_cursor <= r.state.grid.upper()) {
    const auto value =
        static_cast<std::uint8_t>(((std::int64_t{r.current_gradient} + 100) % 256 + 256) % 256);
    r.state.grid.cells[static_cast<std::size_t>(r.gradient_cursor)].gradient = value;
  }
  ++r.gradient_cursor;
}

row_end gradient_row(line_reading& r) {
  const std::int32_t p = r.in.read_long();
  const std::int32_t v = r.in.read_long();
  if (r.in.failed()) return r.fail(error_code::reading_failure), row_end::fail;
  if (const row_end checked = check_position(r, p, false); checked != row_end::next) return checked;
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

row_end curve_row(line_reading& r, std::string_view field) {
  const std::int32_t p = r.in.read_long();
  const std::int32_t l = r.in.read_long();
  if (r.in.failed()) return r.fail(error_code::reading_failure), row_end::fail;
  if (const row_end checked = check_position(r, p, false); checked != row_end::next) return checked;
  track_plan& plan = r.state.plan;
  if (!plan.exists()) return r.fail(error_code::reading_failure), row_end::fail;
  double k = 0.0;
  for (std::size_t digit = 0; digit < curvature_by_class.size() && k == 0.0; ++digit) {
    if (field.find(static_cast<char>('1' + digit)) != std::string_view::npos) {
      k = curvature_by_class[digit];
    }
  }
  if (k == 0.0) return r.fail(error_code::curve_invalid), row_end::stop;
  if (contains_ignoring_case(field, "s")) k = -k;
  // A curve that would run past the plan's last metre is refused whole.
  const std::int64_t curve_end = std::int64_t{p} + l;
  if (curve_end > plan.upper) return r.fail(error_code::curve_invalid), row_end::stop;

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
  run(curve_end, k);
  plan.filled = static_cast<std::int32_t>(m);
  if (past_limit) return r.fail(error_code::curve_invalid), row_end::stop;
  return row_end::next;
}

// After a placer call: a recorded code ends the reading at this row.
row_end placer_result(line_reading& r, std::int32_t position) {
  if (r.state.error == error_code::none) return row_end::next;
  if (r.state.error == error_code::reading_failure) {
    r.fail(error_code::reading_failure);
    return row_end::fail;
  }
  r.fail_at(r.state.error, position);
  return row_end::stop;
}

row_end tunnel_row(line_reading& r) {
  std::int32_t inizio = r.in.read_long();
  std::int32_t fine = r.in.read_long();
  std::int32_t tipo = r.in.read_long();
  if (r.in.failed()) return r.fail(error_code::reading_failure), row_end::fail;
  if (const row_end checked = check_position(r, inizio, true); checked != row_end::next)
    return checked;
  const std::int32_t position = inizio;
  memo_montagna(r.state, inizio, fine, tipo);
  return placer_result(r, position);
}

row_end speed_board_row(line_reading& r) {
  std::array<std::int32_t, 9> v{};
  for (std::int32_t& value : v) value = r.in.read_long();
  if (r.in.failed()) return r.fail(error_code::reading_failure), row_end::fail;
  if (const row_end checked = check_position(r, v[0], true); checked != row_end::next)
    return checked;
  memo_indicatori_v_max(r.state, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]);
  return placer_result(r, v[0]);
}

row_end sign_row(line_reading& r) {
  const std::int32_t p = r.in.read_long();
  const std::string_view text = r.in.read_text();
  if (r.in.failed() || text.size() > max_name_length) {
    return r.fail(error_code::reading_failure), row_end::fail;
  }
  r.state.input_field.assign(text);
  if (const row_end checked = check_position(r, p, true); checked != row_end::next) return checked;
  const std::int64_t c = cell_index(p, 1);
  track_cell& cell = r.state.grid.cells[static_cast<std::size_t>(c)];
  if (!is_free(cell)) return r.fail_at(error_code::sign_cell_occupied, p), row_end::stop;
  // Slot 0 stays cleared and slots below it do not exist: an 81st sign has
  // no slot left, as if it had met the stations.
  if (r.context.next_sign_slot < 1)
    return r.fail(error_code::station_slots_exhausted), row_end::stop;
  cell.kind = kind_value(cell_kind::line_sign);
  cell.param1 = static_cast<std::int16_t>(r.context.next_sign_slot);
  r.state.stations.slots[static_cast<std::size_t>(r.context.next_sign_slot)].name =
      r.state.input_field;
  r.context.next_sign_slot -= 1;
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
  handle(contains_ignoring_case(field, "curva") && r.state.plan_wanted != 0,
         [&] { return curve_row(r, field); });
  handle(contains_ignoring_case(field, "montagna"), [&] { return tunnel_row(r); });
  handle(contains_ignoring_case(field, "indicatori_v"), [&] { return speed_board_row(r); });
  handle(contains_ignoring_case(field, "cartello") && contains_ignoring_case(field, "indicat"),
         [&] { return sign_row(r); });
  if (!matched && !(contains_exact(field, "[") && contains_exact(field, "]")) && !field.empty()) {
    r.note(reading_note_kind::unknown_keyword);
  }
  if (matched && result == row_end::next) r.notes.check_row(r.row_offset, r.in);
  // Without a plan a curve row is passed over whole, its values included.
  if (r.notes.enabled() && r.state.plan_wanted == 0 && contains_ignoring_case(field, "curva")) {
    r.notes.quiet_rest_of_line(r.row_offset);
  }
  return result;
}

// The end of the line text: the rest of the grid takes the last gradient and
// the plan runs straight to its last metres but two.
half_end complete_line(line_reading& r) {
  build_state& state = r.state;
  if (!state.grid.exists()) {
    r.fail(error_code::reading_failure);
    return half_end::failed;
  }
  do {
    write_gradient(r);
  } while (r.gradient_cursor < state.grid.upper() - 2);
  if (state.plan_wanted != 0) {
    track_plan& plan = state.plan;
    std::int64_t m = plan.filled;
    while (m <= std::int64_t{plan.upper} - 2) {
      plan_step(plan, m, 0.0);
      ++m;
    }
    plan.filled = static_cast<std::int32_t>(std::max<std::int64_t>(m, plan.filled));
  }
  return half_end::finished;
}

half_end read_line(build_state& state, std::string_view text, reading_context& context,
                   text_notes& notes) {
  line_reading r{state, field_reader(text, notes.field_notes()), context, notes};

  // The general section opens at the first field that names it.
  if (!scenario::skip_to_marker(r.in, "[generale]")) {
    r.row_offset = text.size();
    r.fail(error_code::general_section_missing);
    return half_end::stopped;
  }
  if (!general_section(r)) {
    return state.error == error_code::reading_failure ? half_end::failed : half_end::stopped;
  }

  progressive_ordina(state);
  state.mountain_count = 0;
  context.next_sign_slot = sign_slot_first;
  if (state.plan_wanted != 0) {
    if (!state.plan.exists()) {
      r.fail(error_code::reading_failure);
      return half_end::failed;
    }
    // The track starts at the origin, heading along the second coordinate.
    state.plan.x[0] = 0;
    state.plan.y[0] = 0;
    state.plan.x[1] = 0;
    state.plan.y[1] = 1;
    state.plan.filled = 2;
  }

  while (auto field = scenario::next_keyword_field(r.in, 2)) {
    r.row_offset = r.in.field_offset();
    const row_end result = profile_row(r, *field);
    if (result == row_end::end_of_text) break;
    if (result == row_end::stop) return half_end::stopped;
    if (result == row_end::fail) return half_end::failed;
  }
  return complete_line(r);
}

}  // namespace

half_end read_line_text(build_state& state, std::string_view text, reading_context& context,
                        reading_notes* notes) {
  text_notes collected(notes, error_source::line_text, text);
  const half_end end = read_line(state, text, context, collected);
  collected.flush();
  return end;
}

}  // namespace compiler
