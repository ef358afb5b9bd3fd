#include "compiler/line_reader.h"

#include <array>
#include <limits>
#include <optional>

#include "compiler/encoding.h"
#include "compiler/huge_pages.h"
#include "compiler/line_elements.h"
#include "compiler/plan_geometry.h"
#include "compiler/rounding.h"
#include "compiler/row_reading.h"
#include "compiler/slot_views.h"

namespace compiler {

namespace {

using scenario::field_reader;

constexpr std::int64_t plan_metre_limit = 1'000'000;

// What only the line half keeps while it reads.
struct line_reading : text_reading {
  scenario_model& model;
  const build_settings& settings;
  line_handover& handover;
  std::int64_t gradient_cursor = 0;
  std::int32_t current_gradient = 0;
  std::vector<std::int32_t> tunnel_ends = {};  // of the tunnel rows read so far
  // The rows read into slots 81 ("tre"), 82 ("due") and 83 ("uno").
  std::array<std::int32_t, 3> progressive_rows{-1, -1, -1};
  std::optional<std::int64_t> previous_curve_end = std::nullopt;  // where the last curve ended
  std::size_t general_offset = 0;  // where "[generale]" stands, where a length row belongs

  // Error 25 for a value the model cannot hold, or a part the texts lack. A
  // missing length row is reported where it belongs, at "[generale]".
  row_end beyond_limit(reading_limit limit, std::int64_t value = 0) {
    if (limit == reading_limit::no_length_row) row_offset = general_offset;
    return text_reading::beyond_limit(limit, value);
  }
  // A row's position, on a grid the length row must have made.
  row_end check_position(std::int64_t position, bool placed_on_cell) {
    log.set_row_position(row, static_cast<std::int32_t>(position));
    if (!model.grid.exists()) return beyond_limit(reading_limit::no_length_row);
    return text_reading::check_position(model.grid, position, placed_on_cell);
  }
  // Error 103, with the reason the curve is refused.
  row_end refuse_curve(const curve_refused& why) {
    log.add_error(here(), error_of(error_code::curve_invalid, std::nullopt, row, why));
    return row_end::stop;
  }
  // A placement: its cells go to the journal, and a refusal is recorded at
  // the row's position.
  bool placed(const placement& done, std::int32_t position) {
    log.add_writes(here(), row, done.cells());
    if (!done.refused) return true;
    const cell_conflict& refused = *done.refused;
    if (refused.code == error_code::reading_failure) {
      log.add_error(here(), error_of(refused.code, std::nullopt, row,
                                     limit_passed{refused.limit, refused.value}));
    } else {
      const cell_held held{refused.cell, refused.held_kind, log.owner_of(refused.cell)};
      log.add_error(here(), error_of(refused.code, position, row, held));
    }
    return false;
  }
};

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
row_end read_length(line_reading& r) {
  r.begin_row(row_keyword::length);
  length_row row;
  if (read_values(r.in, row) != value_count<length_row>) return r.field_failed();
  r.log.set_row_position(r.row, row.length);
  line_parameters line = line_parameters_of(r.model.stations);
  line.line_length_m = row.length;
  put_line_parameters(r.model.stations, line);
  if (row.length > max_line_length_m) {
    r.log.add_error(r.here(), error_of(error_code::line_too_long, std::nullopt, r.row,
                                       refused_value{row.length}));
    return row_end::stop;
  }
  // A grid without cell 1 could not take the fixed values: no grid is made,
  // as when the length cannot be read.
  if (row.length < min_line_length_m) {
    return r.beyond_limit(reading_limit::line_too_short, row.length);
  }
  create_grid(r.settings, r.model, row.length);
  return row_end::next;
}

// Slots 81, 82 and 83 hold the "tre", "due" and "uno" rows as read.
std::size_t progressive_index(numbered which) {
  switch (which) {
    case numbered::three:
      return 0;
    case numbered::two:
      return 1;
    case numbered::one:
      return 2;
  }
  return 2;
}

row_end read_progressive(line_reading& r, numbered which) {
  r.begin_row(row_keyword::progressive);
  progressive_row row{which};
  if (read_values(r.in, row) != value_count<progressive_row>) return r.field_failed();
  r.log.set_row_position(r.row, row.start);
  const std::size_t index = progressive_index(which);
  put_progressive_change(r.model.stations, index,
                         {.start = row.start, .reference = row.reference, .flag = row.flag});
  r.progressive_rows[index] = r.row;
  return row_end::next;
}

row_end read_background(line_reading& r, numbered which) {
  r.begin_row(row_keyword::background);
  background_row row{which};
  if (read_values(r.in, row) != value_count<background_row>) return r.field_failed();
  route_parameters route = route_parameters_of(r.model.stations);
  switch (which) {
    case numbered::one:
      route.background_one = row.value;
      break;
    case numbered::two:
      route.background_two = row.value;
      break;
    case numbered::three:
      route.background_three = row.value;
      break;
  }
  put_route_parameters(r.model.stations, route);
  return row_end::next;
}

row_end read_repetition(line_reading& r, std::string_view field) {
  r.begin_row(row_keyword::repetition);
  repetition_row row{repetition_codes_of(field)};
  if (read_values(r.in, row) != value_count<repetition_row>) return r.field_failed();
  r.check_meaning(row);
  train_parameters train = train_parameters_of(r.model.stations);
  train.repetition_from_m = row.from;
  train.repetition_to_m = row.to;
  put_train_parameters(r.model.stations, train);
  // Each error ends the reading, or, reading on, is followed by the next.
  const auto ends = [&](error_code code, std::int32_t value) {
    r.log.add_error(r.here(), error_of(code, std::nullopt, r.row, refused_value{value}));
    return !r.goes_on();
  };
  if (row.from % 50 != 0 && ends(error_code::repetition_from_not_multiple_of_50, row.from)) {
    return row_end::stop;
  }
  if (row.to % 50 != 0 && ends(error_code::repetition_to_not_multiple_of_50, row.to)) {
    return row_end::stop;
  }
  if (row.codes != 0) {
    train.repetition_codes = row.codes;
  } else if (ends(error_code::repetition_code_count_missing, 0)) {
    return row_end::stop;
  }
  if (row.to == 0) train.repetition_codes = 0;
  put_train_parameters(r.model.stations, train);
  return row_end::next;
}

// The general section's rows. A row that these tests would take if they
// ignored letter case is warned as such; another field is an unknown keyword.
struct general_rows {
  line_reading& r;

  bool applies(const keyword_fact&) const { return true; }
  row_end read_row(const keyword_fact& keyword, const keyword_test& test, std::string_view field) {
    switch (keyword.keyword) {
      case row_keyword::length:
        return read_length(r);
      case row_keyword::progressive:
        return read_progressive(r, test.variant);
      case row_keyword::background:
        return read_background(r, test.variant);
      case row_keyword::repetition:
        return read_repetition(r, field);
      default:
        return row_end::next;
    }
  }
  void not_matched(std::string_view field) {
    bool in_capitals = false;
    for (const keyword_fact& keyword : keyword_table()) {
      if (keyword.section != text_section::line_general || !keyword.exact_case) continue;
      for (const keyword_test& test : keyword.tests) {
        in_capitals = in_capitals || passes(test, false, field);
      }
    }
    if (in_capitals) {
      r.notes.add(warning_kind::progressive_in_capitals, r.row_offset);
    } else if (!is_section_header(field) && !field.empty()) {
      r.notes.add(warning_kind::unknown_keyword, r.row_offset);
    }
  }
  void after_row(std::string_view) {}
};

void write_gradient(line_reading& r) {
  if (r.gradient_cursor <= r.model.grid.upper()) {
    const auto value =
        static_cast<std::uint8_t>(((std::int64_t{r.current_gradient} + 100) % 256 + 256) % 256);
    r.model.grid.cells[static_cast<std::size_t>(r.gradient_cursor)].gradient = value;
  }
  ++r.gradient_cursor;
}

row_end read_gradient(line_reading& r) {
  r.begin_row(row_keyword::gradient);
  gradient_row row;
  if (read_values(r.in, row) != value_count<gradient_row>) return r.field_failed();
  if (const row_end checked = r.check_position(row.position, false); checked != row_end::next) {
    return checked;
  }
  check_within_line(r.log, r.here(), r.row, r.model, row.position);
  r.check_meaning(row);
  constexpr std::int32_t gradient_value = value_index<&gradient_row::gradient>;
  // A gradient the cell cannot hold reads back as another one: that is the
  // warning, not that it is taken as written.
  const std::int64_t stored = std::int64_t{row.gradient} + 100;
  if (stored < 0 || stored > 255) {
    r.warn_value(warning_kind::value_cut, gradient_value, row.gradient, (stored % 256 + 256) % 256);
  } else {
    check_plausible(r.log, r.here(), r.row, plausible_gradient, gradient_value, row.gradient);
  }
  const std::int64_t n = cell_index(row.position);
  if (n > 0) {
    // The cells up to n - 1 keep the gradient of the previous row; a row
    // whose cell is not beyond the cursor still writes the one at the cursor.
    do {
      write_gradient(r);
    } while (r.gradient_cursor < n);
  }
  r.current_gradient = row.gradient;
  return row_end::next;
}

row_end read_curve(line_reading& r, std::string_view field) {
  r.begin_row(row_keyword::curve);
  curve_row row = row_named_by<curve_row>(facts_of(row_keyword::curve).tests.front(), field);
  if (read_values(r.in, row) != value_count<curve_row>) return r.field_failed();
  if (const row_end checked = r.check_position(row.start, false); checked != row_end::next) {
    return checked;
  }
  track_plan& plan = r.model.plan;
  if (!plan.exists()) return r.beyond_limit(reading_limit::no_length_row);
  if (row.curve_class == 0) return r.refuse_curve({curve_fault::no_class_digit});
  const double magnitude = curvature_by_class[static_cast<std::size_t>(row.curve_class - 1)];
  const double k = row.negative_sense ? -magnitude : magnitude;
  // A curve that would run past the plan's last metre is refused whole.
  const std::int64_t curve_end = std::int64_t{row.start} + row.length;
  if (curve_end > plan.upper) {
    return r.refuse_curve({curve_fault::past_plan_end, curve_end, plan.upper});
  }
  check_within_line(r.log, r.here(), r.row, r.model, row.start);
  check_curve_keyword(r.log, r.here(), r.row, field);
  r.check_meaning(row);
  if (r.previous_curve_end && row.start < *r.previous_curve_end) {
    r.warn_value(warning_kind::curves_overlap, value_index<&curve_row::start>, row.start,
                 *r.previous_curve_end);
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
  run(row.start, 0.0);
  run(curve_end, k);
  plan.filled = static_cast<std::int32_t>(m);
  if (past_limit) return r.refuse_curve({curve_fault::past_metre_limit, m, plan_metre_limit});
  return row_end::next;
}

row_end read_tunnel(line_reading& r) {
  r.begin_row(row_keyword::tunnel);
  tunnel_row row;
  if (read_values(r.in, row) != value_count<tunnel_row>) return r.field_failed();
  if (const row_end checked = r.check_position(row.start, true); checked != row_end::next) {
    return checked;
  }
  // The tunnel list holds 80 tunnels; an 81st has nowhere to go.
  if (r.tunnel_ends.size() >= max_tunnel_rows) {
    return r.beyond_limit(reading_limit::tunnel_list_full);
  }
  const std::optional<std::int32_t> previous_end =
      r.tunnel_ends.empty() ? std::nullopt : std::optional(r.tunnel_ends.back());
  r.tunnel_ends.push_back(row.end);
  const tunnel_placement done = place_tunnel(r.model, row, previous_end);
  r.log.add_writes(r.here(), r.row, done.markers);
  check_within_line(r.log, r.here(), r.row, r.model, row.start);
  r.check_meaning(row);
  if (done.type < 0 || done.type > 255) {
    r.warn_value(warning_kind::value_cut, value_index<&tunnel_row::type>, done.type,
                 done.type & 0xFF);
  }
  return row_end::next;
}

row_end read_speed_boards(line_reading& r) {
  r.begin_row(row_keyword::speed_boards);
  speed_boards_row row;
  if (read_values(r.in, row) != value_count<speed_boards_row>) return r.field_failed();
  if (const row_end checked = r.check_position(row.position, true); checked != row_end::next) {
    return checked;
  }
  const placement done = place_speed_boards(r.model, row);
  check_within_line(r.log, r.here(), r.row, r.model, row.position);
  r.check_meaning(row);
  const auto s = s_speeds(row);
  const auto d = d_speeds(row);
  constexpr std::int32_t s_first = value_index<&speed_boards_row::s_speed_a>;
  constexpr std::int32_t d_first = value_index<&speed_boards_row::d_speed_a>;
  for (std::int32_t i = 0; i < 3; ++i) {
    const auto rank = static_cast<std::size_t>(i);
    check_plausible(r.log, r.here(), r.row, plausible_speed, s_first + i, s[rank]);
    check_plausible(r.log, r.here(), r.row, plausible_speed, d_first + i, d[rank]);
  }
  if (r.placed(done, row.position)) return row_end::next;
  return done.refused->code == error_code::reading_failure ? row_end::fail : row_end::stop;
}

row_end read_sign(line_reading& r) {
  r.begin_row(row_keyword::sign);
  sign_row row;
  if (read_values(r.in, row) != value_count<sign_row>) return r.field_failed();
  if (row.text.size() > max_name_length) {
    return r.beyond_limit(reading_limit::text_too_long, static_cast<std::int64_t>(row.text.size()));
  }
  if (const row_end checked = r.check_position(row.position, true); checked != row_end::next) {
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
  r.check_meaning(row);
  if (row.text.ends_with(' ') || row.text.ends_with('\t')) {
    r.warn_value(warning_kind::name_ends_in_blanks, value_index<&sign_row::text>, 0);
  }
  r.handover.next_sign_slot -= 1;
  return row_end::next;
}

// The rows after the general section. Without a plan a curve row is not
// taken, and is passed over whole, its values included.
struct main_rows {
  line_reading& r;

  bool applies(const keyword_fact& keyword) const {
    return keyword.keyword != row_keyword::curve || r.settings.with_plan;
  }
  row_end read_row(const keyword_fact& keyword, const keyword_test&, std::string_view field) {
    switch (keyword.keyword) {
      case row_keyword::gradient:
        return read_gradient(r);
      case row_keyword::curve:
        return read_curve(r, field);
      case row_keyword::tunnel:
        return read_tunnel(r);
      case row_keyword::speed_boards:
        return read_speed_boards(r);
      case row_keyword::sign:
        return read_sign(r);
      default:
        return row_end::next;
    }
  }
  void not_matched(std::string_view field) {
    if (!is_section_header(field) && !field.empty()) {
      r.notes.add(warning_kind::unknown_keyword, r.row_offset);
    }
  }
  void after_row(std::string_view field) {
    if (r.settings.with_plan) return;
    const keyword_fact& curve = facts_of(row_keyword::curve);
    if (passes(curve.tests.front(), curve.exact_case, field)) {
      r.notes.quiet_rest_of_line(r.row_offset);
    }
  }
};

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
  r.beyond_limit(reading_limit::progressive_reference,
                 progressive_change_of(r.model.stations, order.overflow_slot).reference);
  return false;
}

half_end read_line(line_reading& r) {
  // The general section opens at the first field that names it.
  if (!scenario::skip_to_marker(r.in, general_header)) {
    r.row_offset = r.in.text().size();
    r.fail(error_code::general_section_missing);
    return half_end::stopped;
  }
  r.general_offset = r.in.field_offset();
  general_rows general{r};
  if (const row_end end = read_rows(r, text_section::line_general, 10, general);
      end != row_end::next) {
    return end == row_end::fail ? half_end::failed : half_end::stopped;
  }
  check_line_reach(r.log, r.meaning, line_parameters_of(r.model.stations).line_length_m);
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

  main_rows rows{r};
  switch (read_rows(r, text_section::line_main, 2, rows)) {
    case row_end::stop:
      return half_end::stopped;
    case row_end::fail:
      return half_end::failed;
    case row_end::next:
    case row_end::end_of_text:
      break;
  }
  return complete_line(r);
}

}  // namespace

half_end read_line_text(const build_settings& settings, std::string_view text,
                        scenario_model& model, journal& log, line_handover& handover,
                        bool read_on) {
  check_text_form(log, text_id::line_text, text);
  text_notes notes(log, text_id::line_text, text);
  line_reading r{{log, field_reader(text, notes.field_notes()), notes, text_id::line_text},
                 model,
                 settings,
                 handover};
  r.read_on = read_on;
  const half_end end = read_line(r);
  notes.flush();
  log.add_stop({text_id::line_text, r.in.cursor()}, reading_end_of(end, r.ended_at_error));
  return end;
}

}  // namespace compiler
