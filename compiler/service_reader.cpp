#include "compiler/service_reader.h"

#include <array>
#include <limits>
#include <optional>
#include <type_traits>

#include "compiler/cell_views.h"
#include "compiler/encoding.h"
#include "compiler/rounding.h"
#include "compiler/signals.h"
#include "compiler/stations.h"

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
  // The row that set `current`, where a value the cells cannot hold is
  // reported: it is written only when the next row, or the end, comes.
  std::int32_t row = -1;
  std::size_t row_offset = 0;
};

// What only the service half keeps while it reads.
struct service_reading {
  scenario_model& model;
  journal& log;
  field_reader in;
  const line_handover& handover;
  text_notes& notes;
  std::size_t row_offset = 0;
  std::int32_t row = -1;  // the journal entry of the row being read
  std::int32_t station_slot = 1;
  profile speed{&track_cell::speed_limit, true};
  profile adhesion{&track_cell::adhesion, false};
  bool ended_at_error = false;  // an error 15 ended the text before its end
  bool read_on = false;         // go on after errors, only to find more of them
  std::size_t row_first_field = 0;

  text_place here() const { return {text_id::service_text, row_offset}; }
  void begin_row(row_keyword keyword) {
    row = log.add_row(here(), keyword);
    row_first_field = in.fields_read();
  }
  // After an error: false when the reading ends there. A reading that only
  // looks for further mistakes goes on, unless the text has ended.
  bool goes_on() {
    if (!read_on) return false;
    in.forget_range_failure();
    return !in.failed();
  }
  void fail(error_code code) { log.add_error(here(), error_of(code, std::nullopt, row)); }
  void fail_at(error_code code, std::int32_t position) {
    log.add_error(here(), error_of(code, position, row));
  }
  track_cell& cell(std::int64_t index) { return model.grid.cells[static_cast<std::size_t>(index)]; }
};

// Error 25 at the field that could not be read.
row_end failed_field(service_reading& r) {
  const scenario::field_failure& failure = r.in.failure();
  error_recorded error = error_of(error_code::reading_failure, std::nullopt, r.row);
  error.failure = failure.kind;
  error.number = failure.type;
  error.field_offset = failure.offset;
  error.field = static_cast<std::int32_t>(failure.index - r.row_first_field);
  r.log.add_error(r.here(), error);
  return row_end::fail;
}

// Error 25 for a value the model cannot hold.
row_end failure(service_reading& r, reading_limit limit, std::int64_t value = 0) {
  error_recorded error = error_of(error_code::reading_failure, std::nullopt, r.row);
  error.limit = limit;
  error.value = value;
  r.log.add_error(r.here(), error);
  return row_end::fail;
}

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
// A speed whose fifth does not fit a byte is error 25, reported at the row
// that gave it.
bool fill_profile(service_reading& r, profile& p, std::int64_t until) {
  const auto value = profile_byte(p);
  if (!value) {
    error_recorded error = error_of(error_code::reading_failure, std::nullopt, p.row);
    error.limit = reading_limit::speed_not_a_byte;
    error.value = p.current;
    r.log.add_error({text_id::service_text, p.row_offset}, error);
    return false;
  }
  const std::int64_t upper = r.model.grid.upper();
  do {
    if (p.cursor <= upper) r.cell(p.cursor).*p.field = *value;
    ++p.cursor;
  } while (p.cursor < until && p.cursor <= upper);
  return true;
}

row_end check_position(service_reading& r, std::int64_t position, bool placed_on_cell) {
  r.log.set_row_position(r.row, static_cast<std::int32_t>(position));
  if (!within_grid(r.model.grid, position) || (placed_on_cell && position < 0)) {
    r.fail_at(error_code::position_beyond_grid, static_cast<std::int32_t>(position));
    return row_end::end_of_text;
  }
  return row_end::next;
}

row_end profile_row(service_reading& r, profile& p, row_keyword keyword) {
  r.begin_row(keyword);
  const std::int32_t position = r.in.read_long();
  const std::int32_t value = r.in.read_long();
  if (r.in.failed()) return failed_field(r);
  if (const row_end checked = check_position(r, position, false); checked != row_end::next) {
    return checked;
  }
  const std::int64_t n = cell_index(position);
  if (n > 0 && !fill_profile(r, p, n)) return row_end::fail;
  p.current = value;
  p.row = r.row;
  p.row_offset = r.row_offset;
  check_within_line(r.log, r.here(), r.row, r.model, position);
  if (p.in_units_of_5) {
    check_plausible(r.log, r.here(), r.row, plausible_speed, 1, value);
    const std::int64_t stored = round_half_even(static_cast<double>(value) / 5.0) * 5;
    if (stored != value) warn(r.log, r.here(), r.row, warning_kind::value_cut, 1, value, stored);
  } else {
    check_plausible(r.log, r.here(), r.row, plausible_adhesion, 1, value);
    if (value < 0 || value > 255) {
      warn(r.log, r.here(), r.row, warning_kind::value_cut, 1, value, (value % 256 + 256) % 256);
    }
  }
  return row_end::next;
}

// Warns about each value of a row that its field keeps only the low bits
// of: `field` is its place in the row, `stored` what the field holds.
void check_cut(service_reading& r, std::int32_t field, std::int64_t value, std::int64_t stored) {
  if (value != stored) warn(r.log, r.here(), r.row, warning_kind::value_cut, field, value, stored);
}

// After a placer call: its cells go to the journal, and a refusal, or any
// code recorded before (even one left by the line half), ends the reading at
// this row.
row_end placed(service_reading& r, const placement& done, std::int32_t position) {
  r.log.add_writes(r.here(), r.row, done.cells());
  if (done.refused) {
    error_recorded error = error_of(done.refused->code, position, r.row);
    error.cell = done.refused->cell;
    error.held_kind = done.refused->held_kind;
    error.held_by = r.log.owner_of(error.cell);
    r.log.add_error(r.here(), error);
    return row_end::stop;
  }
  if (!r.log.has_error() || r.read_on) return row_end::next;
  // The code an earlier error left stays, and takes this row's position.
  error_recorded carried = error_of(r.log.recorded().code, position, r.row);
  carried.carried = true;
  r.log.add_error(r.here(), carried);
  return row_end::stop;
}

row_end signal_row_read(service_reading& r) {
  r.begin_row(row_keyword::signal);
  signal_row row;
  for (std::int32_t* value : {&row.position, &row.sx, &row.s1, &row.s2, &row.s3, &row.rapp, &row.dx,
                              &row.d1, &row.d2, &row.d3, &row.time}) {
    *value = r.in.read_long();
  }
  if (r.in.failed()) return failed_field(r);
  if (const row_end checked = check_position(r, row.position, true); checked != row_end::next) {
    return checked;
  }
  const signal_placement done = place_signal(r.model, row);
  if (!done.done.refused) {
    check_within_line(r.log, r.here(), r.row, r.model, row.position);
    const std::int64_t pairs[][3] = {{2, row.s1, row.d1}, {3, row.s2, row.d2}, {4, row.s3, row.d3}};
    for (const auto& [field, s, d] : pairs)
      check_cut(r, static_cast<std::int32_t>(field), s * 10 + d, signal_pair(s, d));
    const std::int64_t repeat = std::int64_t{row.rapp} * 10 + signal_sides(row.sx, row.dx);
    check_cut(r, 5, repeat, low16(repeat));
    if (row.sx == 2) check_cut(r, 10, done.time, low8(done.time));
    const std::int64_t mark = signal_sides(row.sx, row.dx) * 10 + 4;
    check_cut(r, 1, mark, low8(mark));
  }
  return placed(r, done.done, row.position);
}

row_end slowdown_row_read(service_reading& r) {
  r.begin_row(row_keyword::slowdown);
  slowdown_row row;
  for (std::int32_t* value :
       {&row.start, &row.speed, &row.length, &row.f_tt, &row.f_ta, &row.d_v}) {
    *value = r.in.read_long();
  }
  if (r.in.failed()) return failed_field(r);
  if (const row_end checked = check_position(r, row.start, true); checked != row_end::next) {
    return checked;
  }
  // The end cell is not covered by the position check: a slowdown that ends
  // outside the grid is refused like a position beyond it.
  const std::int64_t end = cells_of(row).end;
  if (end < 0 || end > r.model.grid.upper()) {
    error_recorded error = error_of(error_code::position_beyond_grid, row.start, r.row);
    error.cell = static_cast<std::int32_t>(end);
    r.log.add_error(r.here(), error);
    return row_end::end_of_text;
  }
  const placement done = place_slowdown(r.model, row);
  check_within_line(r.log, r.here(), r.row, r.model, row.start);
  check_plausible(r.log, r.here(), r.row, plausible_speed, 1, row.speed);
  check_cut(r, 1, row.speed, low16(row.speed));
  check_cut(r, 3, row.f_tt, low16(row.f_tt));
  check_cut(r, 5, row.d_v, low16(row.d_v));
  return placed(r, done, row.start);
}

row_end code_cut_row_read(service_reading& r) {
  r.begin_row(row_keyword::code_cut);
  code_cut_row row;
  row.position = r.in.read_long();
  row.code = r.in.read_long();
  // "AC" is how a code cut without a code is written; it reads as 0 on purpose.
  r.notes.allow_word(r.in, "AC");
  if (r.in.failed()) return failed_field(r);
  if (const row_end checked = check_position(r, row.position, true); checked != row_end::next) {
    return checked;
  }
  check_within_line(r.log, r.here(), r.row, r.model, row.position);
  const std::int64_t c = cell_index(row.position);
  track_cell& cell = r.cell(c);
  placement done;
  if (!is_free(cell)) {
    done.refused =
        cell_conflict{error_code::code_cut_cell_occupied, static_cast<std::int32_t>(c), cell.kind};
    return placed(r, done, row.position);
  }
  const cell_kind kind = row.code <= 0 ? cell_kind::code_cut_without_code : cell_kind::code_cut;
  done.add({static_cast<std::int32_t>(c), kind_value(kind), 0, cell.kind});
  r.log.add_writes(r.here(), r.row, done.cells());
  cell.kind = kind_value(kind);
  if (kind == cell_kind::code_cut_without_code) return row_end::next;
  // The kind is written before the code: a code that does not fit 16 bits
  // fails the reading with the kind already in place.
  if (row.code > std::numeric_limits<std::int16_t>::max()) {
    return failure(r, reading_limit::code_too_large, row.code);
  }
  put_code_cut(cell, {static_cast<std::int16_t>(row.code)});
  return row_end::next;
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

// The values of a station row after its position go into its record as they
// are read, so a field that fails leaves the ones before it stored and
// nothing after it. The length is not stored; it comes back with the end.
struct station_values {
  row_end end = row_end::next;
  std::int32_t length = 0;
};

station_values read_station_values(service_reading& r, station_record& record) {
  field_reader& in = r.in;
  if (!store(in, record.station_type, in.read_byte())) return {failed_field(r)};
  const std::int32_t length = in.read_long();
  if (in.failed()) return {failed_field(r)};
  if (length % 100 != 0) {
    error_recorded error =
        error_of(error_code::station_length_not_multiple_of_100, record.position, r.row);
    error.value = length;
    r.log.add_error(r.here(), error);
    return {row_end::stop};
  }
  const bool values_stored =
      store(in, record.flag_a, in.read_byte()) && store(in, record.flag_b, in.read_byte()) &&
      store(in, record.flag_c, in.read_byte()) && store(in, record.group1_a, in.read_integer()) &&
      store(in, record.group1_b, in.read_integer()) && store(in, record.group1_c, in.read_byte()) &&
      store(in, record.group2_a, in.read_integer()) &&
      store(in, record.group2_b, in.read_integer()) &&
      store(in, record.group2_c, in.read_integer()) && store(in, record.dwell, in.read_byte());
  if (!values_stored) return {failed_field(r)};
  const std::int64_t hours = in.read_long();
  const std::int64_t minutes = in.read_long();
  const std::int64_t seconds = in.read_long();
  if (in.failed()) return {failed_field(r)};
  const auto time = seconds_since_midnight(hours, minutes, seconds);
  if (!time) return {failure(r, reading_limit::departure_time)};
  record.departure_time = *time;
  const std::string_view name = in.read_text();
  if (in.failed()) return {failed_field(r)};
  if (name.size() > max_name_length) {
    return {failure(r, reading_limit::text_too_long, static_cast<std::int64_t>(name.size()))};
  }
  record.name.assign(name);
  if (name.ends_with(' ') || name.ends_with('\t')) {
    warn(r.log, r.here(), r.row, warning_kind::name_ends_in_blanks, 16, 0);
  }
  return {row_end::next, length};
}

row_end station_row_read(service_reading& r) {
  r.begin_row(row_keyword::station);
  auto& slots = r.model.stations.slots;
  // The slots above the next sign slot hold sign texts: a station never
  // takes one. The slot at the next sign slot is still free and is taken;
  // the check after the station then records error 10.
  if (r.station_slot > r.handover.next_sign_slot) {
    r.fail(error_code::station_slots_exhausted);
    return row_end::stop;
  }
  station_record& record = slots[static_cast<std::size_t>(r.station_slot)];
  if (!store(r.in, record.position, r.in.read_long())) return failed_field(r);
  const std::int32_t position = record.position;
  r.log.set_row_position(r.row, position);
  if (!within_grid(r.model.grid, position, 800)) {
    r.fail_at(error_code::position_beyond_grid, position);
    return row_end::end_of_text;
  }
  check_within_line(r.log, r.here(), r.row, r.model, position);
  if (position % 50 != 0) {
    error_recorded error =
        error_of(error_code::station_position_not_multiple_of_50, position, r.row);
    error.cell = static_cast<std::int32_t>(cell_index(position));
    r.log.add_error(r.here(), error);
    return row_end::stop;
  }
  const station_values values = read_station_values(r, record);
  if (values.end != row_end::next) return values.end;
  const std::int32_t length = values.length;
  if (!set_station_area(record, length)) return failure(r, reading_limit::station_area);
  if (length < 600) record.flag_b = 0;
  if (r.station_slot == 1) {
    record.flag_c = 0;
    record.flag_b = 0;
  }
  // A station whose stop would lie past the grid is refused like a position
  // beyond it; its length, unlike its position, is not otherwise bounded.
  if (record.station_type < 25 && stop_cell_of(record.finish) > r.model.grid.upper()) {
    error_recorded error = error_of(error_code::position_beyond_grid, position, r.row);
    error.cell = static_cast<std::int32_t>(stop_cell_of(record.finish));
    r.log.add_error(r.here(), error);
    return row_end::end_of_text;
  }
  const placement done = place_station_cells(r.model, r.station_slot);
  r.log.add_writes(r.here(), r.row, done.cells());
  if (done.refused) {
    error_recorded error = error_of(done.refused->code, std::nullopt, r.row);
    error.cell = done.refused->cell;
    error.slot = r.station_slot;
    r.log.add_error(r.here(), error);
    return row_end::stop;
  }
  if (r.station_slot > 1 && std::int64_t{record.start} - 350 <
                                slots[static_cast<std::size_t>(r.station_slot - 1)].finish) {
    error_recorded error = error_of(error_code::stations_too_close, position, r.row);
    error.slot = r.station_slot;
    r.log.add_error(r.here(), error);
    return row_end::stop;
  }
  r.station_slot += 1;
  if (r.station_slot >= r.handover.next_sign_slot) {
    r.fail(error_code::station_slots_exhausted);
    return row_end::stop;
  }
  return row_end::next;
}

// A row of one value stored whole in a parameter slot.
template <class T>
row_end parameter_row(service_reading& r, row_keyword keyword, T& target) {
  r.begin_row(keyword);
  const T value = [&] {
    if constexpr (std::is_same_v<T, std::int16_t>) {
      return r.in.read_integer();
    } else {
      return r.in.read_long();
    }
  }();
  if (r.in.failed()) return failed_field(r);
  target = value;
  return row_end::next;
}

row_end clock_row(service_reading& r) {
  r.begin_row(row_keyword::clock);
  const std::int16_t hours = r.in.read_integer();
  const std::int16_t minutes = r.in.read_integer();
  const std::int16_t seconds = r.in.read_integer();
  if (r.in.failed()) return failed_field(r);
  station_record& train = r.model.stations.slots[train_parameter_slot];
  train.group2_a = hours;
  train.group2_b = minutes;
  train.group2_c = seconds;
  return row_end::next;
}

row_end service_row(service_reading& r, std::string_view field) {
  auto& slots = r.model.stations.slots;
  bool matched = false;
  row_end result = row_end::next;
  auto handle = [&](bool applies, auto&& action) {
    if (!applies || result != row_end::next) return;
    matched = true;
    result = action();
  };
  handle(contains_ignoring_case(field, "frenata") && contains_ignoring_case(field, "massa"), [&] {
    return parameter_row(r, row_keyword::braked_mass, slots[line_parameter_slot].start);
  });
  handle(contains_ignoring_case(field, "vetture"),
         [&] { return parameter_row(r, row_keyword::cars, slots[line_parameter_slot].position); });
  handle(contains_ignoring_case(field, "velocit"),
         [&] { return profile_row(r, r.speed, row_keyword::speed); });
  handle(contains_ignoring_case(field, "aderenza"),
         [&] { return profile_row(r, r.adhesion, row_keyword::adhesion); });
  handle(contains_ignoring_case(field, "orologio"), [&] { return clock_row(r); });
  handle(contains_ignoring_case(field, "sabbia"),
         [&] { return parameter_row(r, row_keyword::sand, slots[train_parameter_slot].group1_a); });
  handle(contains_ignoring_case(field, "segnale"), [&] { return signal_row_read(r); });
  handle(contains_ignoring_case(field, "rallentamento"), [&] { return slowdown_row_read(r); });
  handle(contains_ignoring_case(field, "abbattimento"), [&] { return code_cut_row_read(r); });
  handle(contains_ignoring_case(field, "stazione"), [&] { return station_row_read(r); });
  if (!matched && !field.empty() && !(contains_exact(field, "[") && contains_exact(field, "]"))) {
    r.notes.add(warning_kind::unknown_keyword, r.row_offset);
  }
  if (matched && result == row_end::next) r.notes.check_row(r.row_offset, r.in);
  return result;
}

// The end of the service text: the profiles run on to the end of the line,
// and the progressive changes, now in their final order, are checked.
half_end complete_service(service_reading& r) {
  r.row = -1;
  r.row_offset = r.in.text().size();
  const std::int64_t until = std::int64_t{r.model.grid.upper()} - 2;
  if (!fill_profile(r, r.speed, until) || !fill_profile(r, r.adhesion, until)) {
    return half_end::failed;
  }
  const auto& slots = r.model.stations.slots;
  for (std::size_t i = 0; i < 3; ++i) {
    const station_record& slot = slots[progressive_slot_first + i];
    if (slot.start % 50 != 0 || slot.finish % 50 != 0) {
      error_recorded error = error_of(error_code::progressive_not_multiple_of_50, std::nullopt, -1);
      error.concerns = r.handover.progressive_rows[i];
      error.field = slot.start % 50 != 0 ? 0 : 1;
      error.value = slot.start % 50 != 0 ? slot.start : slot.finish;
      error.slot = static_cast<std::int32_t>(progressive_slot_first + i);
      r.log.add_error({}, error);
      break;
    }
  }
  return half_end::finished;
}

half_end read_service(service_reading& r) {
  const bool general = scenario::skip_to_marker(r.in, "[generale]");
  // An empty text has had its warning; one with text but no "[generale]" is
  // read to its end without a row taken.
  if (!general && r.in.text().find_first_not_of(" \t\r\n") != std::string_view::npos) {
    warn(r.log, {text_id::service_text, 0}, -1, warning_kind::no_general_section, -1, 0);
  }
  if (general) {
    while (auto field = scenario::next_keyword_field(r.in, 2)) {
      r.row_offset = r.in.field_offset();
      r.row = -1;
      const row_end result = service_row(r, *field);
      if (result == row_end::next || r.goes_on()) continue;
      if (result == row_end::end_of_text) {
        r.ended_at_error = true;
        break;
      }
      if (result == row_end::stop) return half_end::stopped;
      if (result == row_end::fail) return half_end::failed;
    }
  }
  return complete_service(r);
}

}  // namespace

half_end read_service_text(std::string_view text, scenario_model& model, journal& log,
                           const line_handover& handover, bool read_on) {
  check_text_form(log, text_id::service_text, text);
  text_notes notes(log, text_id::service_text, text);
  service_reading r{model, log, field_reader(text, notes.field_notes()), handover, notes};
  r.read_on = read_on;
  const half_end end = read_service(r);
  notes.flush();
  reading_end how = reading_end::failed;
  switch (end) {
    case half_end::finished:
      how = r.ended_at_error ? reading_end::stopped_at_error : reading_end::end_of_text;
      break;
    case half_end::stopped:
      how = reading_end::ended_by_error;
      break;
    case half_end::failed:
      break;
  }
  log.add_stop({text_id::service_text, r.in.cursor()}, how);
  return end;
}

}  // namespace compiler
