#include "compiler/service_reader.h"

#include <array>
#include <limits>

#include "compiler/encoding.h"
#include "compiler/rounding.h"
#include "compiler/signals.h"

namespace compiler {

namespace {

using scenario::contains_exact;
using scenario::contains_ignoring_case;
using scenario::field_reader;

enum class row_end { next, end_of_text, stop, fail };

bool fits_int32(std::int64_t value) {
  return value >= std::numeric_limits<std::int32_t>::min() &&
         value <= std::numeric_limits<std::int32_t>::max();
}

// One profile of the grid (speed limit or adhesion) written from a cursor.
struct profile {
  std::uint8_t track_cell::*field;
  bool in_units_of_5 = false;  // speeds are stored in units of 5 km/h
  std::int64_t cursor = 0;
  // The value before the first row: cells ahead of a first row that does not
  // start at 0 hold 0, as an untouched grid would.
  std::int32_t current = 0;
};

struct service_reading {
  build_state& state;
  field_reader in;
  const reading_context& context;
  text_notes& notes;
  std::size_t row_offset = 0;
  std::int32_t station_slot = 1;
  profile speed{&track_cell::speed_limit, true};
  profile adhesion{&track_cell::adhesion, false};

  void fail(error_code code) { record_error(state, code, error_source::service_text, row_offset); }
  void fail_at(error_code code, std::int32_t position) {
    record_error(state, code, position, error_source::service_text, row_offset);
  }
  track_cell& cell(std::int64_t index) { return state.grid.cells[static_cast<std::size_t>(index)]; }
};

// The byte a profile writes: a speed in units of 5 km/h must fit a byte,
// an adhesion is kept modulo 256.
std::optional<std::uint8_t> profile_byte(const profile& p) {
  if (p.in_units_of_5) {
    const std::int64_t units = round_half_even(static_cast<double>(p.current) / 5.0);
    if (units < 0 || units > 255) return std::nullopt;
    return static_cast<std::uint8_t>(units);
  }
  return static_cast<std::uint8_t>((std::int64_t{p.current} % 256 + 256) % 256);
}

// Writes the current value at the cursor and advances, at least once and
// while the cursor is below `until`; cells past the grid are never written.
bool fill_profile(service_reading& r, profile& p, std::int64_t until) {
  const auto value = profile_byte(p);
  if (!value) return false;
  const std::int64_t upper = r.state.grid.upper();
  do {
    if (p.cursor <= upper) r.cell(p.cursor).*p.field = *value;
    ++p.cursor;
  } while (p.cursor < until && p.cursor <= upper);
  return true;
}

row_end check_position(service_reading& r, std::int64_t position, bool placed_on_cell) {
  if (!within_grid(r.state, position) || (placed_on_cell && position < 0)) {
    r.fail_at(error_code::position_beyond_grid, static_cast<std::int32_t>(position));
    return row_end::end_of_text;
  }
  return row_end::next;
}

row_end range_failure(service_reading& r) {
  r.fail(error_code::reading_failure);
  return row_end::fail;
}

row_end profile_row(service_reading& r, profile& p) {
  const std::int32_t position = r.in.read_long();
  const std::int32_t value = r.in.read_long();
  if (r.in.failed()) return range_failure(r);
  if (const row_end checked = check_position(r, position, false); checked != row_end::next) {
    return checked;
  }
  const std::int64_t n = cell_index(position);
  if (n > 0 && !fill_profile(r, p, n)) return range_failure(r);
  p.current = value;
  return row_end::next;
}

// After a placer call: any recorded code (even one left by the line half)
// ends the reading at this row.
row_end placer_result(service_reading& r, std::int32_t position) {
  if (r.state.error == error_code::none) return row_end::next;
  r.fail_at(r.state.error, position);
  return row_end::stop;
}

row_end signal_row(service_reading& r) {
  std::array<std::int32_t, 11> v{};
  for (std::int32_t& value : v) value = r.in.read_long();
  if (r.in.failed()) return range_failure(r);
  if (const row_end checked = check_position(r, v[0], true); checked != row_end::next)
    return checked;
  memo_segnale(r.state, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10]);
  return placer_result(r, v[0]);
}

row_end slowdown_row(service_reading& r) {
  std::array<std::int32_t, 6> v{};
  for (std::int32_t& value : v) value = r.in.read_long();
  if (r.in.failed()) return range_failure(r);
  if (const row_end checked = check_position(r, v[0], true); checked != row_end::next)
    return checked;
  // The end cell is not covered by the position check: a slowdown that ends
  // outside the grid is refused like a position beyond it.
  const std::int64_t end = slowdown_end_cell(v[0], v[2]);
  if (end < 0 || end > r.state.grid.upper()) {
    r.fail_at(error_code::position_beyond_grid, v[0]);
    return row_end::end_of_text;
  }
  memo_rallentamento(r.state, v[0], v[1], v[2], v[3], v[4], v[5]);
  r.notes.add(reading_note_kind::slowdown_row, r.row_offset);
  return placer_result(r, v[0]);
}

row_end code_cut_row(service_reading& r) {
  const std::int32_t position = r.in.read_long();
  const std::int32_t code = r.in.read_long();
  // "AC" is how a code cut without a code is written; it reads as 0 on purpose.
  r.notes.allow_word(r.in, "AC");
  if (r.in.failed()) return range_failure(r);
  if (const row_end checked = check_position(r, position, true); checked != row_end::next) {
    return checked;
  }
  track_cell& cell = r.cell(cell_index(position));
  if (!is_free(cell)) {
    r.fail_at(error_code::code_cut_cell_occupied, position);
    return row_end::stop;
  }
  if (code <= 0) {
    cell.kind = kind_value(cell_kind::code_cut_without_code);
    return row_end::next;
  }
  if (code > std::numeric_limits<std::int16_t>::max()) return range_failure(r);
  cell.kind = kind_value(cell_kind::code_cut);
  cell.param1 = static_cast<std::int16_t>(code);
  return row_end::next;
}

// The station area by type, from the position and the length.
bool station_area(station_record& record, std::int64_t length) {
  const std::int64_t p = record.position;
  std::int64_t start = 0;
  std::int64_t finish = 0;
  switch (record.station_type) {
    case 5:
    case 6:
      start = p - length;
      finish = p + 150;
      record.flag_c = 0;
      break;
    case 7:
    case 8:
      start = p - length;
      finish = p + length;
      record.flag_c = 0;
      break;
    default:
      start = p - length / 2;
      finish = p + length / 2 + (record.flag_c != 0 ? 50 : 0);
      break;
  }
  if (!fits_int32(start) || !fits_int32(finish)) return false;
  record.start = static_cast<std::int32_t>(start);
  record.finish = static_cast<std::int32_t>(finish);
  return true;
}

// Stores a value just read, unless its field failed.
template <class T>
bool store(const field_reader& in, T& field, T value) {
  if (in.failed()) return false;
  field = value;
  return true;
}

// (hours x 60 + minutes) x 60 + seconds in 32-bit arithmetic, where every
// step must fit.
std::optional<std::int32_t> seconds_since_midnight(std::int64_t hours, std::int64_t minutes,
                                                   std::int64_t seconds) {
  const std::int64_t steps[] = {hours * 60, hours * 60 + minutes, (hours * 60 + minutes) * 60,
                                (hours * 60 + minutes) * 60 + seconds};
  for (const std::int64_t step : steps) {
    if (!fits_int32(step)) return std::nullopt;
  }
  return static_cast<std::int32_t>(steps[3]);
}

row_end station_row(service_reading& r) {
  auto& slots = r.state.stations.slots;
  // The slots above the next sign slot hold sign texts: a station never
  // takes one. The slot at the next sign slot is still free and is taken;
  // the check after the station then records error 10.
  if (r.station_slot > r.context.next_sign_slot) {
    r.fail(error_code::station_slots_exhausted);
    return row_end::stop;
  }
  // The values go into the record as they are read, so a field that fails
  // leaves the ones before it stored and nothing after it.
  station_record& record = slots[static_cast<std::size_t>(r.station_slot)];
  field_reader& in = r.in;
  if (!store(in, record.position, in.read_long())) return range_failure(r);
  const std::int32_t position = record.position;
  if (!within_grid(r.state, position, 800)) {
    r.fail_at(error_code::position_beyond_grid, position);
    return row_end::end_of_text;
  }
  if (position % 50 != 0) {
    r.fail_at(error_code::station_position_not_multiple_of_50, position);
    return row_end::stop;
  }
  if (!store(in, record.station_type, in.read_byte())) return range_failure(r);
  const std::int32_t length = in.read_long();
  if (in.failed()) return range_failure(r);
  if (length % 100 != 0) {
    r.fail_at(error_code::station_length_not_multiple_of_100, position);
    return row_end::stop;
  }
  const bool values_stored =
      store(in, record.flag_a, in.read_byte()) && store(in, record.flag_b, in.read_byte()) &&
      store(in, record.flag_c, in.read_byte()) && store(in, record.group1_a, in.read_integer()) &&
      store(in, record.group1_b, in.read_integer()) && store(in, record.group1_c, in.read_byte()) &&
      store(in, record.group2_a, in.read_integer()) &&
      store(in, record.group2_b, in.read_integer()) &&
      store(in, record.group2_c, in.read_integer()) && store(in, record.dwell, in.read_byte());
  if (!values_stored) return range_failure(r);
  const std::int64_t hours = in.read_long();
  const std::int64_t minutes = in.read_long();
  const std::int64_t seconds = in.read_long();
  if (in.failed()) return range_failure(r);
  const auto time = seconds_since_midnight(hours, minutes, seconds);
  if (!time) return range_failure(r);
  record.departure_time = *time;
  const std::string_view name = in.read_text();
  if (in.failed() || name.size() > max_name_length) return range_failure(r);
  record.name.assign(name);
  if (!station_area(record, length)) return range_failure(r);
  if (length < 600) record.flag_b = 0;
  if (r.station_slot == 1) {
    record.flag_c = 0;
    record.flag_b = 0;
  }

  const bool has_stop = record.station_type < 25;
  const std::int64_t stop = cell_index(record.finish, -1);
  // A station whose stop would lie past the grid is refused like a position
  // beyond it; its length, unlike its position, is not otherwise bounded.
  if (has_stop && stop > r.state.grid.upper()) {
    r.fail_at(error_code::position_beyond_grid, position);
    return row_end::end_of_text;
  }
  if (has_stop && record.station_type != 5 && record.station_type != 6) {
    for (std::int64_t k = 1; k <= 4; ++k) {
      const std::int64_t marked = cell_index(record.finish, -k - 1);
      if (marked > 1) r.cell(marked).approach_mark = static_cast<std::uint8_t>(80 + k);
    }
  }
  if (has_stop) {
    if (stop <= 1) {
      r.fail(error_code::station_stop_before_line);
      return row_end::stop;
    }
    track_cell& cell = r.cell(stop);
    cell.kind = kind_value(cell_kind::station_stop);
    cell.param1 = static_cast<std::int16_t>(r.station_slot);
  }
  if (r.station_slot > 1 && std::int64_t{record.start} - 350 <
                                slots[static_cast<std::size_t>(r.station_slot - 1)].finish) {
    r.fail_at(error_code::stations_too_close, position);
    return row_end::stop;
  }
  r.station_slot += 1;
  if (r.station_slot >= r.context.next_sign_slot) {
    r.fail(error_code::station_slots_exhausted);
    return row_end::stop;
  }
  return row_end::next;
}

row_end service_row(service_reading& r, std::string_view field) {
  auto& slots = r.state.stations.slots;
  bool matched = false;
  row_end result = row_end::next;
  auto handle = [&](bool applies, auto&& action) {
    if (!applies || result != row_end::next) return;
    matched = true;
    result = action();
  };
  auto single_long = [&](std::int32_t& target) {
    const std::int32_t value = r.in.read_long();
    if (r.in.failed()) return range_failure(r);
    target = value;
    return row_end::next;
  };
  handle(contains_ignoring_case(field, "frenata") && contains_ignoring_case(field, "massa"),
         [&] { return single_long(slots[line_parameter_slot].start); });
  handle(contains_ignoring_case(field, "vetture"),
         [&] { return single_long(slots[line_parameter_slot].position); });
  handle(contains_ignoring_case(field, "velocit"), [&] { return profile_row(r, r.speed); });
  handle(contains_ignoring_case(field, "aderenza"), [&] { return profile_row(r, r.adhesion); });
  handle(contains_ignoring_case(field, "orologio"), [&] {
    const std::int16_t hours = r.in.read_integer();
    const std::int16_t minutes = r.in.read_integer();
    const std::int16_t seconds = r.in.read_integer();
    if (r.in.failed()) return range_failure(r);
    station_record& train = slots[train_parameter_slot];
    train.group2_a = hours;
    train.group2_b = minutes;
    train.group2_c = seconds;
    return row_end::next;
  });
  handle(contains_ignoring_case(field, "sabbia"), [&] {
    const std::int16_t sand = r.in.read_integer();
    if (r.in.failed()) return range_failure(r);
    slots[train_parameter_slot].group1_a = sand;
    return row_end::next;
  });
  handle(contains_ignoring_case(field, "segnale"), [&] { return signal_row(r); });
  handle(contains_ignoring_case(field, "rallentamento"), [&] { return slowdown_row(r); });
  handle(contains_ignoring_case(field, "abbattimento"), [&] { return code_cut_row(r); });
  handle(contains_ignoring_case(field, "stazione"), [&] { return station_row(r); });
  if (!matched && !field.empty() && !(contains_exact(field, "[") && contains_exact(field, "]"))) {
    r.notes.add(reading_note_kind::unknown_keyword, r.row_offset);
  }
  if (matched && result == row_end::next) r.notes.check_row(r.row_offset, r.in);
  return result;
}

// The end of the service text: the profiles run on to the end of the line,
// and the progressive changes, now in their final order, are checked.
half_end complete_service(service_reading& r) {
  const std::int64_t until = std::int64_t{r.state.grid.upper()} - 2;
  if (!fill_profile(r, r.speed, until) || !fill_profile(r, r.adhesion, until)) {
    r.fail(error_code::reading_failure);
    return half_end::failed;
  }
  const auto& slots = r.state.stations.slots;
  for (std::size_t slot = 81; slot <= 83; ++slot) {
    if (slots[slot].start % 50 != 0 || slots[slot].finish % 50 != 0) {
      r.row_offset = r.in.text().size();
      r.fail(error_code::progressive_not_multiple_of_50);
      break;
    }
  }
  return half_end::finished;
}

half_end read_service(build_state& state, std::string_view text, const reading_context& context,
                      text_notes& notes) {
  service_reading r{state, field_reader(text, notes.field_notes()), context, notes};
  if (scenario::skip_to_marker(r.in, "[generale]")) {
    while (auto field = scenario::next_keyword_field(r.in, 2)) {
      r.row_offset = r.in.field_offset();
      const row_end result = service_row(r, *field);
      if (result == row_end::end_of_text) break;
      if (result == row_end::stop) return half_end::stopped;
      if (result == row_end::fail) return half_end::failed;
    }
  }
  return complete_service(r);
}

}  // namespace

half_end read_service_text(build_state& state, std::string_view text,
                           const reading_context& context, reading_notes* notes) {
  text_notes collected(notes, error_source::service_text, text);
  const half_end end = read_service(state, text, context, collected);
  collected.flush();
  return end;
}

}  // namespace compiler
