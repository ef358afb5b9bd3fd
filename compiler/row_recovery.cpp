#include "compiler/row_recovery.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <bit>
#include <limits>
#include <optional>

#include "compiler/cell_views.h"
#include "compiler/compile.h"
#include "compiler/competition_codes.h"
#include "compiler/line_elements.h"
#include "compiler/line_reader.h"
#include "compiler/plan_geometry.h"
#include "compiler/protection.h"
#include "compiler/rounding.h"
#include "compiler/stations.h"
#include "compiler/slot_views.h"
#include "compiler/decoding.h"

namespace compiler {

namespace {

// Division and remainder rounded down, so that s * 10 + d unpacks into an s
// and a d of 0 to 9 for a negative packed value too.
constexpr std::int64_t floor_div(std::int64_t value, std::int64_t by) {
  const std::int64_t q = value / by;
  return (value % by != 0 && (value < 0) != (by < 0)) ? q - 1 : q;
}
constexpr std::int64_t floor_mod(std::int64_t value, std::int64_t by) {
  return value - floor_div(value, by) * by;
}

std::int32_t as_long(std::int64_t value) { return static_cast<std::int32_t>(value); }

// The position of an object placed at position / 50 + 1.
std::int32_t position_before_cell(std::int64_t cell) { return as_long((cell - 1) * cell_length_m); }
// The position of a profile change or a code cut, placed at position / 50.
std::int32_t position_of_cell(std::int64_t cell) { return as_long(cell * cell_length_m); }

std::string cell_place(std::int64_t cell) { return fmt::format("cell {}", cell); }

struct recovery {
  const scenario_model& model;
  // The grid without the fixed values the final checks stamp into cell 1.
  std::vector<track_cell> cells;
  recovered_rows out;

  const track_cell& cell(std::int64_t i) const { return cells[static_cast<std::size_t>(i)]; }
  std::int64_t upper() const { return static_cast<std::int64_t>(cells.size()) - 1; }
  void note(std::string what, std::string where) {
    out.notes.push_back({std::move(what), std::move(where)});
  }
};

// ---- The line text's general section and the parameter rows ----

progressive_row progressive_as_read(const progressive_change& change, numbered which) {
  progressive_row row;
  row.which = which;
  row.start = change.start;
  // A flag of 1 moved the reference on by 100 m when the rows were ordered.
  row.reference =
      change.flag == 1 ? as_long(std::int64_t{change.reference} - 100) : change.reference;
  row.flag = change.flag;
  return row;
}

void store_progressive(station_table& stations, std::size_t index, const progressive_row& row) {
  put_progressive_change(stations, index,
                         {.start = row.start, .reference = row.reference, .flag = row.flag});
}

bool is_empty_row(const progressive_row& row) {
  return row.start == 0 && row.reference == 0 && row.flag == 0;
}

// The three progressive slots hold the rows after their ordering; the rows
// as read are found by trying which keyword ("tre", "due", "uno") each of
// them came with, and ordering again.
void recover_progressive(recovery& r) {
  const station_table& stations = r.model.stations;
  std::array<progressive_row, progressive_change_count> held{};
  bool any = false;
  for (std::size_t i = 0; i < progressive_change_count; ++i) {
    held[i] = progressive_as_read(progressive_change_of(stations, i), numbered::one);
    any = any || !is_empty_row(held[i]);
  }
  if (!any) return;
  std::array<std::size_t, 3> order{0, 1, 2};
  // Slot 81 is read from "tre", 82 from "due" and 83 from "uno".
  constexpr std::array<numbered, 3> keyword_of_slot{numbered::three, numbered::two, numbered::one};
  do {
    station_table trial;
    for (std::size_t i = 0; i < 3; ++i) {
      store_progressive(trial, i, held[order[i]]);
    }
    order_progressive_changes(trial);
    bool same = true;
    for (std::size_t i = 0; i < 3; ++i) {
      same = same && progressive_change_of(trial, i) == progressive_change_of(stations, i);
    }
    if (!same) continue;
    for (std::size_t i = 0; i < 3; ++i) {
      progressive_row row = held[order[i]];
      if (is_empty_row(row)) continue;
      row.which = keyword_of_slot[i];
      r.out.line.emplace_back(row);
    }
    return;
  } while (std::next_permutation(order.begin(), order.end()));
  r.note("kilometric progressive changes in an order that no rows give", "slots 81 to 83");
}

void recover_general(recovery& r) {
  const line_parameters line = line_parameters_of(r.model.stations);
  const route_parameters route = route_parameters_of(r.model.stations);
  const train_parameters train = train_parameters_of(r.model.stations);

  const std::int32_t length = line.line_length_m;
  const std::int64_t expected_upper = cell_index(std::int64_t{length} + grid_margin_m);
  if (expected_upper != r.upper()) {
    r.note(fmt::format("a grid of {} cells, where the line length {} m makes {}", r.upper() + 1,
                       length, expected_upper + 1),
           "slot 84");
  }
  r.out.line.emplace_back(length_row{length});
  recover_progressive(r);

  const std::array<std::pair<numbered, std::int32_t>, 3> backgrounds{
      {{numbered::one, route.background_one},
       {numbered::two, route.background_two},
       {numbered::three, route.background_three}}};
  for (const auto& [which, value] : backgrounds) {
    if (value != 0) r.out.line.emplace_back(background_row{which, value});
  }

  const std::int32_t codes = train.repetition_codes;
  if (codes == 4 || codes == 9) {
    r.out.line.emplace_back(repetition_row{codes, train.repetition_from_m, train.repetition_to_m});
  } else if (codes == 0 && train.repetition_to_m == 0) {
    // Without an end the row stores no code count, whichever it names.
    if (train.repetition_from_m != 0) {
      r.out.line.emplace_back(repetition_row{4, train.repetition_from_m, 0});
    }
  } else {
    r.note(fmt::format("a signal repetition of {} codes up to {} m, which no row gives", codes,
                       train.repetition_to_m),
           "slot 86");
  }

  if (line.car_count != 0) r.out.service.emplace_back(cars_row{line.car_count});
  if (line.braked_mass_percent != 0) {
    r.out.service.emplace_back(braked_mass_row{line.braked_mass_percent});
  }
  if (train.sand != 0) r.out.service.emplace_back(sand_row{train.sand});
  if (train.clock_hours != 0 || train.clock_minutes != 0 || train.clock_seconds != 0) {
    r.out.service.emplace_back(
        clock_row{train.clock_hours, train.clock_minutes, train.clock_seconds});
  }
}

// ---- Profiles: gradient, speed limit, adhesion ----

// A profile's rows from the bytes of its cells. The reading writes cells 0 to
// G - 3, each row's value from its cell on; the cells beyond keep 0 unless a
// row stands at G - 2, the last cell a row may name.
template <class Row, class Value>
void recover_profile(recovery& r, std::vector<typed_row>& rows, std::uint8_t track_cell::*field,
                     std::uint8_t before_first, Value value_of) {
  const std::int64_t last = r.upper() - 3;
  if (last < 0) return;
  std::uint8_t current = before_first;
  for (std::int64_t c = 0; c <= last; ++c) {
    const std::uint8_t byte = r.cell(c).*field;
    if (byte == current) continue;
    rows.emplace_back(Row{position_of_cell(c), value_of(byte)});
    current = byte;
  }
  const std::int64_t tail = r.upper() - 2;
  if (r.cell(tail).*field != 0) {
    rows.emplace_back(Row{position_of_cell(tail), value_of(r.cell(tail).*field)});
  }
  for (std::int64_t c = tail + 1; c <= r.upper(); ++c) {
    if (r.cell(c).*field != 0) {
      r.note("a profile value in the last two cells of the grid, which no row reaches",
             cell_place(c));
      break;
    }
  }
}

void recover_profiles(recovery& r) {
  // A gradient g is stored as g + 100, a speed in units of 5 km/h.
  recover_profile<gradient_row>(r, r.out.line, &track_cell::gradient, 100,
                                [](std::uint8_t b) { return std::int32_t{b} - 100; });
  recover_profile<adhesion_row>(r, r.out.service, &track_cell::adhesion, 0,
                                [](std::uint8_t b) { return std::int32_t{b}; });
  recover_profile<speed_row>(r, r.out.service, &track_cell::speed_limit, 0,
                             [](std::uint8_t b) { return std::int32_t{b} * 5; });
}

// ---- Curves, from the plan ----

bool same_bits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// The curvatures a metre can follow, straight track first.
constexpr std::array<double, 13> plan_curvatures = {
    0.0,     0.0001, -0.0001, 0.0002, -0.0002, 0.0004, -0.0004,
    0.001,   -0.001, 0.002,   -0.002, 0.003,   -0.003};

void recover_curves(recovery& r) {
  const track_plan& plan = r.model.plan;
  if (!plan.exists()) return;
  const auto point = [&](std::int64_t m) {
    return plan_point_xy{plan.x[static_cast<std::size_t>(m)], plan.y[static_cast<std::size_t>(m)]};
  };
  std::optional<std::int64_t> unexplained;
  std::int64_t run_first = 0;
  double run_k = 0.0;
  const auto close_run = [&](std::int64_t end_metre) {
    if (run_k == 0.0) return;
    curve_row row;
    row.negative_sense = run_k < 0;
    const double magnitude = run_k < 0 ? -run_k : run_k;
    const auto found = std::find(curvature_by_class.begin(), curvature_by_class.end(), magnitude);
    row.curve_class = static_cast<std::int32_t>(found - curvature_by_class.begin()) + 1;
    // A curve row turns the metres start + 1 to start + length.
    row.start = as_long(run_first - 1);
    row.length = as_long(end_metre - run_first + 1);
    r.out.line.emplace_back(row);
  };
  for (std::int64_t m = 2; m < plan.filled; ++m) {
    const plan_point_xy actual = point(m);
    double k = 0.0;
    bool explained = false;
    for (const double candidate : plan_curvatures) {
      const plan_point_xy next = next_plan_point(point(m - 2), point(m - 1), candidate);
      if (same_bits(next.x, actual.x) && same_bits(next.y, actual.y)) {
        k = candidate;
        explained = true;
        break;
      }
    }
    if (!explained && !unexplained) unexplained = m;
    if (k != run_k) {
      close_run(m - 1);
      run_first = m;
      run_k = k;
    }
  }
  close_run(plan.filled - 1);
  if (unexplained) {
    r.note("a plan point that follows from no curve class", fmt::format("metre {}", *unexplained));
  }
}

// ---- Tunnels ----

struct tunnel_run {
  std::int64_t first = 0;
  std::int64_t last = 0;
  std::uint8_t type = 0;
};

// The cells with a tunnel type, cut where the type changes and where the
// markers, every fourth cell from a tunnel's first, change their step.
std::vector<tunnel_run> tunnel_runs(recovery& r) {
  std::vector<tunnel_run> runs;
  for (std::int64_t c = 0; c <= r.upper(); ++c) {
    const std::uint8_t type = r.cell(c).mountain_type;
    if (type == 0) continue;
    if (!runs.empty() && runs.back().last == c - 1 && runs.back().type == type) {
      runs.back().last = c;
    } else {
      runs.push_back({c, c, type});
    }
  }
  std::vector<tunnel_run> split;
  for (tunnel_run run : runs) {
    for (std::int64_t c = run.first; c <= run.last; ++c) {
      if (!has_kind(r.cell(c), cell_kind::tunnel_marker) || (c - run.first) % 4 == 3) continue;
      // A marker out of step starts the next tunnel three cells before it:
      // one that began where the previous ended and so took type 3.
      const std::int64_t next_first = c - 3;
      if (run.type != 3 || next_first <= run.first) {
        r.note("a tunnel marker out of step with its tunnel's first cell", cell_place(c));
        continue;
      }
      split.push_back({run.first, next_first - 1, run.type});
      run.first = next_first;
    }
    split.push_back(run);
  }
  return split;
}

bool has_markers(recovery& r, const tunnel_run& run) {
  for (std::int64_t c = run.first + 3; c <= run.last; c += 4) {
    if (has_kind(r.cell(c), cell_kind::tunnel_marker)) return true;
  }
  return false;
}

// True when every cell that would take a marker holds another object, which
// a later row placed over the marker.
bool markers_all_covered(recovery& r, const tunnel_run& run) {
  for (std::int64_t c = run.first + 3; c <= run.last; c += 4) {
    if (has_kind(r.cell(c), cell_kind::free_track)) return false;
  }
  return true;
}

std::int32_t tunnel_end(const tunnel_run& run) { return position_of_cell(run.last + 1); }

void recover_tunnels(recovery& r) {
  std::vector<tunnel_run> runs = tunnel_runs(r);
  // A tunnel that starts 150 m or less after the end of the row before it
  // takes type 3. One tunnel of another type that lies so close behind its
  // neighbour can still be given first, where no row stands before it.
  const auto too_close = [&](std::size_t i) {
    return i > 0 && runs[i].type != 3 &&
           std::int64_t{position_of_cell(runs[i].first)} - tunnel_end(runs[i - 1]) <= 150;
  };
  for (std::size_t i = 1; i < runs.size(); ++i) {
    if (!too_close(i)) continue;
    const tunnel_run moved = runs[i];
    runs.erase(runs.begin() + static_cast<std::ptrdiff_t>(i));
    runs.insert(runs.begin(), moved);
    break;
  }
  for (std::size_t i = 1; i < runs.size(); ++i) {
    if (too_close(i)) {
      r.note(fmt::format("a tunnel of type {} close behind another, which no order of rows keeps",
                         runs[i].type),
             cell_place(runs[i].first));
    }
  }
  if (runs.size() > max_tunnel_rows) {
    r.note(fmt::format("{} tunnels, where the texts can hold {}", runs.size(), max_tunnel_rows),
           cell_place(runs[max_tunnel_rows].first));
  }
  for (const tunnel_run& run : runs) {
    std::int32_t type = run.type;
    // A type above 10 drops markers: a tunnel without them keeps its type
    // above 10 only as the same byte seen from below.
    if (has_markers(r, run)) {
      type += 10;
    } else if (type > 10) {
      type = markers_all_covered(r, run) ? type + 10 : type - 256;
    }
    r.out.line.emplace_back(tunnel_row{position_of_cell(run.first), tunnel_end(run), type});
  }
}

// ---- Speed boards and signs ----

// The lowest slot a sign text took: signs take slots 80 downward, each
// either named by a sign's cell or, hidden under a stop cell, holding a text
// and no number. Stations stand below it.
std::int32_t lowest_sign_slot(const recovery& r) {
  std::int32_t lowest_cell_slot = sign_slot_first + 1;
  for (const track_cell& cell : r.cells) {
    if (has_kind(cell, cell_kind::line_sign)) {
      lowest_cell_slot =
          std::min<std::int32_t>(lowest_cell_slot, std::max<std::int32_t>(slot_of(cell)->slot, 1));
    }
  }
  std::int32_t lowest = sign_slot_first + 1;
  for (std::int32_t s = sign_slot_first; s >= 1; --s) {
    const station_record& record = r.model.stations.slots[static_cast<std::size_t>(s)];
    const auto fields = slot_fields(record);
    const bool only_a_text =
        !record.name.empty() &&
        std::all_of(fields.begin(), fields.end(), [](const named_field& f) { return f.value == 0; });
    if (s < lowest_cell_slot && !only_a_text) break;
    lowest = s;
  }
  return lowest;
}

// ---- Boards and signs ----

void recover_boards_and_signs(recovery& r) {
  std::vector<std::pair<std::int16_t, std::int64_t>> signs;  // slot, cell
  for (std::int64_t c = 0; c <= r.upper(); ++c) {
    const track_cell& cell = r.cell(c);
    if (const auto boards = speed_boards_of(cell)) {
      if (c == 0) {
        r.note("speed boards ahead of the line's start", cell_place(c));
        continue;
      }
      speed_boards_row row;
      row.position = position_before_cell(c);
      const auto s_of = [](std::int16_t rank) { return as_long(floor_div(rank, 100) * 5); };
      const auto d_of = [](std::int16_t rank) { return as_long(floor_mod(rank, 100) * 5); };
      row.s_speed_a = s_of(boards->rank_a);
      row.s_speed_b = s_of(boards->rank_b);
      row.s_speed_c = s_of(boards->rank_c);
      row.d_speed_a = d_of(boards->rank_a);
      row.d_speed_b = d_of(boards->rank_b);
      row.d_speed_c = d_of(boards->rank_c);
      row.s_stripes = as_long(floor_div(boards->stripes, 10));
      row.d_stripes = as_long(floor_mod(boards->stripes, 10));
      r.out.line.emplace_back(row);
    } else if (has_kind(cell, cell_kind::line_sign)) {
      signs.emplace_back(slot_of(cell)->slot, c);
    }
  }
  // The first sign row takes slot 80, each further one the slot below. A
  // text whose cell a station's stop took over stands in its slot with no
  // cell: its row goes on that stop cell, which the stop overwrites again.
  std::sort(signs.begin(), signs.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  const std::int32_t lowest = lowest_sign_slot(r);
  std::vector<std::int64_t> stops;
  for (std::int32_t s = 1; s < lowest; ++s) {
    const station_record& record = r.model.stations.slots[static_cast<std::size_t>(s)];
    if (record.station_type < 25) stops.push_back(stop_cell_of(record.finish));
  }
  std::size_t next = 0;
  for (std::int32_t slot = sign_slot_first; slot >= lowest; --slot) {
    const std::string& text = r.model.stations.slots[static_cast<std::size_t>(slot)].name;
    if (next < signs.size() && signs[next].first == slot) {
      const std::int64_t c = signs[next++].second;
      if (c == 0) {
        r.note("a sign ahead of the line's start", cell_place(c));
        continue;
      }
      r.out.line.emplace_back(sign_row{position_before_cell(c), text});
      continue;
    }
    const auto stop = std::find_if(stops.begin(), stops.end(),
                                   [&](std::int64_t c) { return c >= 1 && c <= r.upper(); });
    if (stop == stops.end()) {
      r.note("a sign text without its cell, and no stop cell that covers one",
             fmt::format("slot {}", slot));
      continue;
    }
    r.out.line.emplace_back(sign_row{position_before_cell(*stop), text});
  }
  for (; next < signs.size(); ++next) {
    r.note(fmt::format("a sign whose text stands in slot {}, below the signs' slots",
                       signs[next].first),
           cell_place(signs[next].second));
  }
}

// ---- Stations ----

// A station's row; false beside it when no length gives its area as stored,
// the row then taking the length nearest to what its start gives.
std::pair<station_row, bool> station_row_of(const station_record& record, std::size_t slot) {
  station_row row;
  row.position = record.position;
  row.type = record.station_type;
  const std::int64_t p = record.position;
  std::int64_t length = 0;
  std::int64_t expected_finish = 0;
  switch (record.station_type) {
    case 5:
    case 6:
      length = p - record.start;
      expected_finish = p + 150;
      break;
    case 7:
    case 8:
      length = p - record.start;
      expected_finish = p + length;
      break;
    default:
      length = 2 * (p - record.start);
      expected_finish = p + length / 2;
      break;
  }
  row.flag_a = record.flag_a;
  row.flag_b = record.flag_b;
  row.flag_c = record.flag_c;
  const bool extends = record.station_type < 5 || record.station_type > 8;
  if (extends && record.finish == expected_finish + 50) {
    // The first slot clears the flag after it lengthened the area.
    if (slot == 1 && row.flag_c == 0) row.flag_c = 1;
    if (row.flag_c != 0) expected_finish += 50;
  }
  const std::int64_t whole = floor_div(length + 50, 100) * 100;
  const bool exact = record.finish == expected_finish && whole == length;
  row.length = as_long(std::clamp<std::int64_t>(whole, 0, std::numeric_limits<std::int32_t>::max() / 2 / 100 * 100));
  row.group1_a = record.group1_a;
  row.group1_b = record.group1_b;
  row.group1_c = record.group1_c;
  row.group2_a = record.group2_a;
  row.group2_b = record.group2_b;
  row.group2_c = record.group2_c;
  row.dwell = record.dwell;
  row.hours = record.departure_time / 3600;
  row.minutes = record.departure_time % 3600 / 60;
  row.seconds = record.departure_time % 60;
  row.name = record.name;
  return {row, exact && whole == row.length};
}

void recover_stations(recovery& r) {
  const auto& slots = r.model.stations.slots;
  const std::int32_t below = lowest_sign_slot(r);
  std::size_t count = 0;
  for (std::size_t slot = 1; slot < static_cast<std::size_t>(below); ++slot) {
    if (holds_anything(slots[slot])) count = slot;
  }
  for (std::size_t slot = 1; slot <= count; ++slot) {
    const auto [row, exact] = station_row_of(slots[slot], slot);
    if (!exact) {
      r.note("a station area that no position, type and length give", fmt::format("slot {}", slot));
    }
    r.out.service.emplace_back(row);
  }
}

// ---- Signals ----

signal_row signal_row_of(const signal_cell& cell, std::int64_t c) {
  signal_row row;
  row.position = position_before_cell(c);
  const auto s_of = [](std::int16_t pair) { return as_long(floor_div(pair, 10)); };
  const auto d_of = [](std::int16_t pair) { return as_long(floor_mod(pair, 10)); };
  row.s1 = s_of(cell.pair1);
  row.s2 = s_of(cell.pair2);
  row.s3 = s_of(cell.pair3);
  row.d1 = d_of(cell.pair1);
  row.d2 = d_of(cell.pair2);
  row.d3 = d_of(cell.pair3);
  row.rapp = as_long(floor_div(cell.repeat_and_sides, 10));
  const std::int32_t sides = as_long(floor_mod(cell.repeat_and_sides, 10));
  if (cell.time != 0) {
    // Only a signal whose sx is 2 keeps its time, and a time of 1 to 100
    // was raised to 101: a stored 1 to 100 is the low byte of a larger one.
    row.sx = 2;
    row.dx = sides - 6;
    row.time = cell.time > 100 ? cell.time : cell.time + 256;
  } else {
    row.sx = sides / 3;
    row.dx = sides % 3;
  }
  return row;
}

void recover_signals(recovery& r) {
  for (std::int64_t c = 0; c <= r.upper(); ++c) {
    const auto signal = signal_of(r.cell(c));
    if (!signal) continue;
    if (c == 0) {
      r.note("a signal ahead of the line's start", cell_place(c));
      continue;
    }
    r.out.service.emplace_back(signal_row_of(*signal, c));
  }
}

// ---- Slowdowns ----

constexpr std::int64_t warning_distance_cells = 24;  // 1200 m
constexpr std::int32_t last_start_without_warning = 1500;

void recover_slowdowns(recovery& r) {
  std::vector<std::int64_t> ends;
  std::vector<bool> end_taken;
  for (std::int64_t c = 0; c <= r.upper(); ++c) {
    if (has_kind(r.cell(c), cell_kind::slowdown_end)) ends.push_back(c);
  }
  end_taken.assign(ends.size(), false);
  std::vector<bool> warning_taken(r.cells.size(), false);
  std::vector<bool> approach_taken(r.cells.size(), false);

  for (std::int64_t s = 0; s <= r.upper(); ++s) {
    if (!has_kind(r.cell(s), cell_kind::slowdown_start)) continue;
    const slowdown_cell start = *slowdown_of(r.cell(s));
    if (s == 0) {
      r.note("a slowdown start ahead of the line's start", cell_place(s));
      continue;
    }
    slowdown_row row;
    row.speed = start.speed;
    row.d_v = start.d_v;
    row.f_tt = start.f_tt;
    row.start = position_before_cell(s);

    const std::int64_t w = s - warning_distance_cells;
    const bool warned = w >= 0 && has_kind(r.cell(w), cell_kind::slowdown_warning);
    if (warned) {
      warning_taken[static_cast<std::size_t>(w)] = true;
      // Only a start beyond 1500 m is warned; 1501 m still falls in cell 31.
      if (row.start <= last_start_without_warning) row.start = last_start_without_warning + 1;
      const slowdown_cell warning = *slowdown_of(r.cell(w));
      if (warning.speed != start.speed || warning.d_v != start.d_v) {
        r.note("a slowdown warning whose values differ from its start's", cell_place(w));
      }
      if (w >= 1 && has_kind(r.cell(w - 1), cell_kind::warning_approach)) {
        row.f_ta = 1;
        for (std::int64_t k = 1; k <= 4 && w - k >= 0; ++k) {
          approach_taken[static_cast<std::size_t>(w - k)] = true;
        }
      }
    }
    if (row.start > last_start_without_warning && !warned) {
      r.note("a slowdown start beyond 1500 m without its warning", cell_place(s));
    }
    if (cell_index(row.start, 1) != s) {
      r.note("a slowdown start that no position places", cell_place(s));
    }

    // The end: the nearest free end cell with the same values after the
    // start, else before it (a negative length); none when start and end
    // share the cell, which the start took over.
    const auto matches = [&](std::size_t i) {
      const slowdown_cell end = *slowdown_of(r.cell(ends[i]));
      return !end_taken[i] && end.speed == start.speed && end.d_v == start.d_v &&
             end.f_tt == start.f_tt;
    };
    std::optional<std::size_t> chosen;
    for (std::size_t i = 0; i < ends.size() && !chosen; ++i) {
      if (ends[i] > s && matches(i)) chosen = i;
    }
    for (std::size_t i = ends.size(); i-- > 0 && !chosen;) {
      if (ends[i] < s && matches(i)) chosen = i;
    }
    std::int64_t e = s;
    if (chosen) {
      end_taken[*chosen] = true;
      e = ends[*chosen];
    }
    row.length = as_long((e - 1) * cell_length_m - std::int64_t{row.start});
    r.out.service.emplace_back(row);
  }
  for (std::size_t i = 0; i < ends.size(); ++i) {
    if (!end_taken[i]) r.note("a slowdown end that no start pairs with", cell_place(ends[i]));
  }
  for (std::int64_t c = 0; c <= r.upper(); ++c) {
    const auto i = static_cast<std::size_t>(c);
    if (has_kind(r.cell(c), cell_kind::slowdown_warning) && !warning_taken[i]) {
      r.note("a slowdown warning without its start 24 cells on", cell_place(c));
    }
    if (has_kind(r.cell(c), cell_kind::warning_approach) && !approach_taken[i]) {
      r.note("a mark ahead of a slowdown warning without its warning", cell_place(c));
    }
  }
}

// ---- Code cuts ----

void recover_code_cuts(recovery& r) {
  for (std::int64_t c = 0; c <= r.upper(); ++c) {
    const track_cell& cell = r.cell(c);
    if (has_kind(cell, cell_kind::code_cut_without_code)) {
      r.out.service.emplace_back(code_cut_row{position_of_cell(c), 0});
    } else if (const auto cut = code_cut_of(cell)) {
      if (cut->code == protection_code) {
        r.out.code_180_cells.push_back(c);
      } else {
        // A code of 0 or less makes a cut without a code: a stored one is
        // the low 16 bits of a larger code.
        const std::int32_t code = cut->code > 0 ? cut->code : cut->code + 65536;
        r.out.service.emplace_back(code_cut_row{position_of_cell(c), code});
      }
    }
  }
}

void recover_unknown_kinds(recovery& r) {
  for (std::int64_t c = 0; c <= r.upper(); ++c) {
    const std::uint8_t kind = r.cell(c).kind;
    if (kind == 7 || kind == 8 || kind == 9 || kind > kind_value(cell_kind::line_sign)) {
      r.note(fmt::format("a cell of kind {}, which no row writes", kind), cell_place(c));
    }
  }
}

}  // namespace

code_cut_row protection_code_cut(std::int64_t cell) {
  return code_cut_row{position_of_cell(cell), protection_code};
}

recovered_rows recover_rows(const scenario_model& model) {
  recovery r{model, model.grid.cells, {}};
  if (r.cells.size() < 2) {
    r.note("a grid without cell 1, where every build stores its fixed values", "cell 1");
    return std::move(r.out);
  }
  // The final checks stamp their fixed value and the plain competition code
  // into cell 1; no row wrote them.
  route_stamp stamp = route_stamp_of(r.cells[1]);
  if (stamp.fixed_value == fixed_cell_value) stamp.fixed_value = 0;
  if (stamp.plain_competition_code == plain_competition_code(model.stations)) {
    stamp.plain_competition_code = 0;
  }
  put_route_stamp(r.cells[1], stamp);

  recover_general(r);
  recover_curves(r);
  recover_profiles(r);
  recover_tunnels(r);
  recover_boards_and_signs(r);
  recover_stations(r);
  recover_slowdowns(r);
  recover_signals(r);
  recover_code_cuts(r);
  recover_unknown_kinds(r);
  return std::move(r.out);
}

}  // namespace compiler
