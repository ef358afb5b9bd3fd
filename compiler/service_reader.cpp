#include "compiler/service_reader.h"

#include <array>
#include <limits>
#include <optional>
#include <type_traits>

#include "compiler/cell_views.h"
#include "compiler/encoding.h"
#include "compiler/rounding.h"
#include "compiler/row_reading.h"
#include "compiler/signals.h"
#include "compiler/slot_views.h"
#include "compiler/stations.h"

namespace compiler {

namespace {

using scenario::field_reader;

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
struct service_reading : text_reading {
  scenario_model& model;
  const line_handover& handover;
  std::int32_t station_slot = 1;
  profile speed{&track_cell::speed_limit, true};
  profile adhesion{&track_cell::adhesion, false};

  track_cell& cell(std::int64_t index) { return model.grid.cells[static_cast<std::size_t>(index)]; }
  row_end check_position(std::int64_t position, bool placed_on_cell) {
    return text_reading::check_position(model.grid, position, placed_on_cell);
  }
  // Warns when the value at `index` was stored as other than it reads.
  void check_cut(std::int32_t index, std::int64_t value, std::int64_t stored) {
    if (value != stored) warn_value(warning_kind::value_cut, index, value, stored);
  }
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
// A speed whose fifth does not fit a byte is error 25, reported at the row
// that gave it.
bool fill_profile(service_reading& r, profile& p, std::int64_t until) {
  const auto value = profile_byte(p);
  if (!value) {
    r.log.add_error({text_id::service_text, p.row_offset},
                    error_of(error_code::reading_failure, std::nullopt, p.row,
                             limit_passed{reading_limit::speed_not_a_byte, p.current}));
    return false;
  }
  const std::int64_t upper = r.model.grid.upper();
  do {
    if (p.cursor <= upper) r.cell(p.cursor).*p.field = *value;
    ++p.cursor;
  } while (p.cursor < until && p.cursor <= upper);
  return true;
}

// A profile row: the value holds from its position on, and the cells up to
// it take the value of the row before.
template <class Row>
row_end read_profile(service_reading& r, profile& p, row_keyword keyword) {
  r.begin_row(keyword);
  Row row;
  if (read_values(r.in, row) != value_count<Row>) return r.field_failed();
  const std::int32_t position = row.*std::get<0>(row_values<Row>);
  const std::int32_t value = row.*std::get<1>(row_values<Row>);
  if (const row_end checked = r.check_position(position, false); checked != row_end::next) {
    return checked;
  }
  const std::int64_t n = cell_index(position);
  if (n > 0 && !fill_profile(r, p, n)) return row_end::fail;
  p.current = value;
  p.row = r.row;
  p.row_offset = r.row_offset;
  check_within_line(r.log, r.here(), r.row, r.model, position);
  r.check_meaning(row);
  // The value the profile takes, after the position.
  constexpr std::int32_t value_field = 1;
  if (p.in_units_of_5) {
    const std::int64_t stored = round_half_even(static_cast<double>(value) / 5.0) * 5;
    // A speed no byte holds is error 25 when the profile writes it: that
    // report says it, not one that it is taken as written.
    if (stored >= 0 && stored <= 255 * 5) {
      check_plausible(r.log, r.here(), r.row, plausible_speed, value_field, value);
    }
    r.check_cut(value_field, value, stored);
  } else {
    if (value < 0 || value > 255) {
      r.warn_value(warning_kind::value_cut, value_field, value, (value % 256 + 256) % 256);
    } else {
      check_plausible(r.log, r.here(), r.row, plausible_adhesion, value_field, value);
    }
  }
  return row_end::next;
}

// After a placer call: its cells go to the journal, and a refusal, or any
// code recorded before (even one left by the line half), ends the reading at
// this row.
row_end placed(service_reading& r, const placement& done, std::int32_t position) {
  r.log.add_writes(r.here(), r.row, done.cells());
  if (done.refused) {
    const cell_held held{done.refused->cell, done.refused->held_kind,
                         r.log.owner_of(done.refused->cell)};
    r.log.add_error(r.here(), error_of(done.refused->code, position, r.row, held));
    return row_end::stop;
  }
  if (!r.log.has_error() || r.read_on) return row_end::next;
  // The code an earlier error left stays, and takes this row's position.
  r.log.add_error(r.here(), error_of(r.log.recorded().code, position, r.row,
                                     carried_error{r.log.last_error()}));
  return row_end::stop;
}

row_end read_signal(service_reading& r) {
  r.begin_row(row_keyword::signal);
  signal_row row;
  if (read_values(r.in, row) != value_count<signal_row>) return r.field_failed();
  if (const row_end checked = r.check_position(row.position, true); checked != row_end::next) {
    return checked;
  }
  const signal_placement done = place_signal(r.model, row);
  if (!done.done.refused) {
    check_within_line(r.log, r.here(), r.row, r.model, row.position);
    r.check_meaning(row);
    const std::int64_t pairs[][3] = {{value_index<&signal_row::s1>, row.s1, row.d1},
                                     {value_index<&signal_row::s2>, row.s2, row.d2},
                                     {value_index<&signal_row::s3>, row.s3, row.d3}};
    for (const auto& [field, s, d] : pairs) {
      r.check_cut(static_cast<std::int32_t>(field), s * 10 + d, signal_pair(s, d));
    }
    const std::int64_t repeat = std::int64_t{row.rapp} * 10 + signal_sides(row.sx, row.dx);
    r.check_cut(value_index<&signal_row::rapp>, repeat, low16(repeat));
    if (row.sx == 2) r.check_cut(value_index<&signal_row::time>, done.time, low8(done.time));
    const std::int64_t mark = signal_sides(row.sx, row.dx) * 10 + 4;
    r.check_cut(value_index<&signal_row::sx>, mark, low8(mark));
  }
  return placed(r, done.done, row.position);
}

row_end read_slowdown(service_reading& r) {
  r.begin_row(row_keyword::slowdown);
  slowdown_row row;
  if (read_values(r.in, row) != value_count<slowdown_row>) return r.field_failed();
  if (const row_end checked = r.check_position(row.start, true); checked != row_end::next) {
    return checked;
  }
  // The end cell is not covered by the position check: a slowdown that ends
  // outside the grid is refused like a position beyond it.
  const std::int64_t end = cells_of(row).end;
  if (end < 0 || end > r.model.grid.upper()) {
    r.log.add_error(r.here(), error_of(error_code::position_beyond_grid, row.start, r.row,
                                       cell_named{static_cast<std::int32_t>(end)}));
    return row_end::end_of_text;
  }
  const placement done = place_slowdown(r.model, row);
  check_within_line(r.log, r.here(), r.row, r.model, row.start);
  r.check_meaning(row);
  check_plausible(r.log, r.here(), r.row, plausible_speed, value_index<&slowdown_row::speed>,
                  row.speed);
  r.check_cut(value_index<&slowdown_row::speed>, row.speed, low16(row.speed));
  r.check_cut(value_index<&slowdown_row::f_tt>, row.f_tt, low16(row.f_tt));
  r.check_cut(value_index<&slowdown_row::d_v>, row.d_v, low16(row.d_v));
  return placed(r, done, row.start);
}

row_end read_code_cut(service_reading& r) {
  r.begin_row(row_keyword::code_cut);
  code_cut_row row;
  const std::size_t read = read_values(r.in, row);
  // The word a code cut without a code is written with reads as 0 on
  // purpose.
  r.notes.allow_word(r.in, no_code_word);
  if (read != value_count<code_cut_row>) return r.field_failed();
  if (const row_end checked = r.check_position(row.position, true); checked != row_end::next) {
    return checked;
  }
  check_within_line(r.log, r.here(), r.row, r.model, row.position);
  r.check_meaning(row);
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
    return r.beyond_limit(reading_limit::code_too_large, row.code);
  }
  put_code_cut(cell, {static_cast<std::int16_t>(row.code)});
  return row_end::next;
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

// Stores the values `from` to `to` - 1 of a station row that its record
// keeps as they are (the length makes the area, the time is stored whole).
void store_station_values(station_record& record, const station_row& row, std::size_t from,
                          std::size_t to) {
  const auto stores = [&](std::int32_t index) {
    return static_cast<std::size_t>(index) >= from && static_cast<std::size_t>(index) < to;
  };
  if (stores(value_index<&station_row::position>)) record.position = row.position;
  if (stores(value_index<&station_row::type>)) record.station_type = row.type;
  if (stores(value_index<&station_row::flag_a>)) record.flag_a = row.flag_a;
  if (stores(value_index<&station_row::flag_b>)) record.flag_b = row.flag_b;
  if (stores(value_index<&station_row::flag_c>)) record.flag_c = row.flag_c;
  if (stores(value_index<&station_row::group1_a>)) record.group1_a = row.group1_a;
  if (stores(value_index<&station_row::group1_b>)) record.group1_b = row.group1_b;
  if (stores(value_index<&station_row::group1_c>)) record.group1_c = row.group1_c;
  if (stores(value_index<&station_row::group2_a>)) record.group2_a = row.group2_a;
  if (stores(value_index<&station_row::group2_b>)) record.group2_b = row.group2_b;
  if (stores(value_index<&station_row::group2_c>)) record.group2_c = row.group2_c;
  if (stores(value_index<&station_row::dwell>)) record.dwell = row.dwell;
  if (stores(value_index<&station_row::name>)) record.name.assign(row.name);
}

// Reads the values from `from` up to `to`, storing each in the record as it
// is read: a field that fails leaves the ones before it stored and nothing
// after it.
bool read_station_values(service_reading& r, station_row& row, station_record& record,
                         std::size_t from, std::size_t to) {
  const std::size_t read = read_values(r.in, row, from, to);
  store_station_values(record, row, from, read);
  return read == to;
}

// The values of a station row after its position. The length is not
// stored; it comes back to make the area.
row_end read_station_values(service_reading& r, station_row& row, station_record& record) {
  constexpr auto length_index = static_cast<std::size_t>(value_index<&station_row::length>);
  constexpr auto hours_index = static_cast<std::size_t>(value_index<&station_row::hours>);
  constexpr auto name_index = static_cast<std::size_t>(value_index<&station_row::name>);
  if (!read_station_values(r, row, record, 1, length_index + 1)) return r.field_failed();
  if (row.length % 100 != 0) {
    r.log.add_error(r.here(), error_of(error_code::station_length_not_multiple_of_100,
                                       record.position, r.row, refused_value{row.length}));
    return row_end::stop;
  }
  if (!read_station_values(r, row, record, length_index + 1, hours_index)) {
    return r.field_failed();
  }
  if (read_values(r.in, row, hours_index, name_index) != name_index) return r.field_failed();
  const auto time = seconds_since_midnight(row.hours, row.minutes, row.seconds);
  if (!time) return r.beyond_limit(reading_limit::departure_time);
  record.departure_time = *time;
  if (read_values(r.in, row, name_index, name_index + 1) != name_index + 1) {
    return r.field_failed();
  }
  if (row.name.size() > max_name_length) {
    return r.beyond_limit(reading_limit::text_too_long, static_cast<std::int64_t>(row.name.size()));
  }
  store_station_values(record, row, name_index, name_index + 1);
  if (row.name.ends_with(' ') || row.name.ends_with('\t')) {
    r.warn_value(warning_kind::name_ends_in_blanks, value_index<&station_row::name>, 0);
  }
  return row_end::next;
}

row_end read_station(service_reading& r) {
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
  station_row row;
  if (!read_station_values(r, row, record, 0, 1)) return r.field_failed();
  const std::int32_t position = record.position;
  r.log.set_row_position(r.row, position);
  if (!within_grid(r.model.grid, position, 800)) {
    r.fail_at(error_code::position_beyond_grid, position);
    return row_end::end_of_text;
  }
  check_within_line(r.log, r.here(), r.row, r.model, position);
  if (position % 50 != 0) {
    r.log.add_error(r.here(),
                    error_of(error_code::station_position_not_multiple_of_50, position, r.row,
                             cell_named{static_cast<std::int32_t>(cell_index(position))}));
    return row_end::stop;
  }
  if (const row_end read = read_station_values(r, row, record); read != row_end::next) return read;
  r.check_meaning(row);
  const std::int32_t length = row.length;
  if (!set_station_area(record, length)) return r.beyond_limit(reading_limit::station_area);
  if (length < 600) record.flag_b = 0;
  if (r.station_slot == 1) {
    record.flag_c = 0;
    record.flag_b = 0;
  }
  // A station whose stop would lie past the grid is refused like a position
  // beyond it; its length, unlike its position, is not otherwise bounded.
  if (record.station_type < 25 && stop_cell_of(record.finish) > r.model.grid.upper()) {
    r.log.add_error(r.here(),
                    error_of(error_code::position_beyond_grid, position, r.row,
                             cell_named{static_cast<std::int32_t>(stop_cell_of(record.finish))}));
    return row_end::end_of_text;
  }
  const placement done = place_station_cells(r.model, r.station_slot);
  r.log.add_writes(r.here(), r.row, done.cells());
  if (done.refused) {
    r.log.add_error(r.here(), error_of(done.refused->code, std::nullopt, r.row,
                                       station_refused{r.station_slot, done.refused->cell}));
    return row_end::stop;
  }
  if (r.station_slot > 1 && std::int64_t{record.start} - 350 <
                                slots[static_cast<std::size_t>(r.station_slot - 1)].finish) {
    r.log.add_error(
        r.here(),
        error_of(error_code::stations_too_close, position, r.row,
                 station_refused{r.station_slot, -1, record.start,
                                 slots[static_cast<std::size_t>(r.station_slot - 1)].finish}));
    return row_end::stop;
  }
  r.station_slot += 1;
  if (r.station_slot >= r.handover.next_sign_slot) {
    r.fail(error_code::station_slots_exhausted);
    return row_end::stop;
  }
  return row_end::next;
}

// A row of one value, handed whole to `store` for its parameter slot.
template <class Row, class Store>
row_end read_parameter(service_reading& r, row_keyword keyword, Store store) {
  r.begin_row(keyword);
  Row row;
  if (read_values(r.in, row) != value_count<Row>) return r.field_failed();
  store(row.*std::get<0>(row_values<Row>));
  return row_end::next;
}

row_end read_clock(service_reading& r) {
  r.begin_row(row_keyword::clock);
  clock_row row;
  if (read_values(r.in, row) != value_count<clock_row>) return r.field_failed();
  r.check_meaning(row);
  train_parameters train = train_parameters_of(r.model.stations);
  train.clock_hours = row.hours;
  train.clock_minutes = row.minutes;
  train.clock_seconds = row.seconds;
  put_train_parameters(r.model.stations, train);
  return row_end::next;
}

// The rows of the service text, recognised wherever they stand after
// "[generale]".
struct service_rows {
  service_reading& r;

  bool applies(const keyword_fact&) const { return true; }
  row_end read_row(const keyword_fact& keyword, const keyword_test&, std::string_view) {
    station_table& stations = r.model.stations;
    line_parameters line = line_parameters_of(stations);
    train_parameters train = train_parameters_of(stations);
    switch (keyword.keyword) {
      case row_keyword::braked_mass:
        return read_parameter<braked_mass_row>(r, keyword.keyword, [&](std::int32_t value) {
          line.braked_mass_percent = value;
          put_line_parameters(stations, line);
        });
      case row_keyword::cars:
        return read_parameter<cars_row>(r, keyword.keyword, [&](std::int32_t value) {
          line.car_count = value;
          put_line_parameters(stations, line);
        });
      case row_keyword::speed:
        return read_profile<speed_row>(r, r.speed, keyword.keyword);
      case row_keyword::adhesion:
        return read_profile<adhesion_row>(r, r.adhesion, keyword.keyword);
      case row_keyword::clock:
        return read_clock(r);
      case row_keyword::sand:
        return read_parameter<sand_row>(r, keyword.keyword, [&](std::int16_t value) {
          train.sand = value;
          put_train_parameters(stations, train);
        });
      case row_keyword::signal:
        return read_signal(r);
      case row_keyword::slowdown:
        return read_slowdown(r);
      case row_keyword::code_cut:
        return read_code_cut(r);
      case row_keyword::station:
        return read_station(r);
      default:
        return row_end::next;
    }
  }
  void not_matched(std::string_view field) {
    if (!field.empty() && !is_section_header(field)) {
      r.notes.add(warning_kind::unknown_keyword, r.row_offset);
    }
  }
  void after_row(std::string_view) {}
};

// The end of the service text: the profiles run on to the end of the line,
// and the progressive changes, now in their final order, are checked.
half_end complete_service(service_reading& r) {
  r.row = -1;
  r.row_offset = r.in.text().size();
  const std::int64_t until = std::int64_t{r.model.grid.upper()} - 2;
  if (!fill_profile(r, r.speed, until) || !fill_profile(r, r.adhesion, until)) {
    return half_end::failed;
  }
  for (std::size_t i = 0; i < progressive_change_count; ++i) {
    const progressive_change change = progressive_change_of(r.model.stations, i);
    if (change.start % 50 != 0 || change.reference % 50 != 0) {
      const bool start = change.start % 50 != 0;
      const progressive_refused refused{r.handover.progressive_rows[i], start ? 0 : 1,
                                        start ? change.start : change.reference,
                                        static_cast<std::int32_t>(progressive_slot_first + i)};
      r.log.add_error(
          {}, error_of(error_code::progressive_not_multiple_of_50, std::nullopt, -1, refused));
      break;
    }
  }
  return half_end::finished;
}

half_end read_service(service_reading& r) {
  const bool general = scenario::skip_to_marker(r.in, general_header);
  // An empty text has had its warning; one with text but no "[generale]" is
  // read to its end without a row taken.
  if (!general && r.in.text().find_first_not_of(" \t\r\n") != std::string_view::npos) {
    warn(r.log, {text_id::service_text, 0}, -1, warning_kind::no_general_section, -1, 0);
  }
  if (general) {
    service_rows rows{r};
    switch (read_rows(r, text_section::service, 2, rows)) {
      case row_end::stop:
        return half_end::stopped;
      case row_end::fail:
        return half_end::failed;
      case row_end::next:
      case row_end::end_of_text:
        break;
    }
  }
  return complete_service(r);
}

}  // namespace

half_end read_service_text(std::string_view text, scenario_model& model, journal& log,
                           const line_handover& handover, bool read_on) {
  check_text_form(log, text_id::service_text, text);
  text_notes notes(log, text_id::service_text, text);
  service_reading r{{log, field_reader(text, notes.field_notes()), notes, text_id::service_text},
                    model,
                    handover};
  r.read_on = read_on;
  const half_end end = read_service(r);
  notes.flush();
  log.add_stop({text_id::service_text, r.in.cursor()}, reading_end_of(end, r.ended_at_error));
  return end;
}

}  // namespace compiler
