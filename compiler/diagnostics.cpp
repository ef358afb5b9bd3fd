#include "compiler/diagnostics.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <limits>
#include <optional>
#include <set>
#include <span>
#include <tuple>

#include "compiler/cell_views.h"
#include "compiler/decoding.h"
#include "compiler/keywords.h"
#include "scenario/control_bytes.h"
#include "scenario/field_reader.h"
#include "scenario/text_file.h"

namespace compiler {

namespace {

constexpr std::size_t max_row_bytes = 200;
constexpr std::size_t max_field_bytes = 60;

// A text with its name and its lines, when it was there to be read (a
// missing text has no body, and no lines).
struct source {
  std::string_view name;
  std::optional<std::string_view> body;
  line_index lines;

  source(std::string_view file_name, const std::optional<std::string>& text)
      : name(file_name),
        body(text ? std::optional<std::string_view>(*text) : std::nullopt),
        lines(text ? std::string_view(*text) : std::string_view()) {}

  bool holds(std::size_t offset) const { return body && offset < body->size(); }
};

// Everything a report reads: the journal, the model it describes, and the
// two texts.
struct report_context {
  const journal& log;
  const scenario_model& model;
  source line;
  source service;

  const source* of(text_id text) const {
    if (text == text_id::line_text) return &line;
    if (text == text_id::service_text) return &service;
    return nullptr;
  }
  const journal_entry* entry(std::int32_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= log.entries().size()) return nullptr;
    return &log.entries()[static_cast<std::size_t>(index)];
  }
  // The row an entry belongs to: itself when it is a row, else the row that
  // placed it.
  const journal_entry* row_of(std::int32_t index) const {
    const journal_entry* e = entry(index);
    if (e == nullptr) return nullptr;
    if (const auto* placed = std::get_if<object_placed>(&e->event)) return entry(placed->row);
    if (const auto* over = std::get_if<object_overwritten>(&e->event)) return entry(over->row);
    if (const auto* error = std::get_if<error_recorded>(&e->event)) return entry(error->row);
    return e;
  }
};

// The field that starts at `offset`, cut as the reader cut it.
std::string_view field_at(std::string_view body, std::size_t offset) {
  scenario::field_reader in(body.substr(offset));
  return in.read_text();
}

// A number field's text as written, up to the blank, comma or line end.
std::string_view token_at(std::string_view body, std::size_t offset) {
  const std::size_t end = body.find_first_of(" \t,\r\n", offset);
  return body.substr(offset, end == std::string_view::npos ? end : end - offset);
}

// A field quoted in a message, cut short when it is longer than a message
// can carry.
std::string shown(std::string_view field) {
  if (field.size() <= max_field_bytes) return std::string(field);
  return std::string(field.substr(0, max_field_bytes)) + " ...";
}

// Places the diagnostic at the row that stands at `place`.
void place_at(diagnostic& d, const report_context& context, const text_place& place) {
  const source* text = context.of(place.text);
  if (text == nullptr) return;
  d.file = std::string(text->name);
  if (!text->holds(place.offset)) return;
  d.line = text->lines.line_of(place.offset);
  d.row = text->lines.row(d.line);
}

// "line 31" in the same text, "L_linea.txt:31" in the other one.
std::string where(const report_context& context, const text_place& place, text_id from) {
  const source* text = context.of(place.text);
  if (text == nullptr || !text->holds(place.offset)) return {};
  const std::size_t line = text->lines.line_of(place.offset);
  if (place.text == from) return fmt::format("line {}", line);
  return fmt::format("{}:{}", text->name, line);
}

// What holds a cell, and the row that put it there: "the station stop of
// MOLINELLA (line 31)".
std::string holder(const report_context& context, const cell_held& e, text_id from) {
  const auto cell_index = static_cast<std::size_t>(e.cell);
  const track_cell* held = e.cell >= 0 && cell_index < context.model.grid.cells.size()
                               ? &context.model.grid.cells[cell_index]
                               : nullptr;
  std::string what = fmt::format("the {}", kind_name(e.held_kind));
  if (held != nullptr && held->kind == e.held_kind) {
    const auto slot = static_cast<std::size_t>(held->param1);
    const bool named = held->param1 >= 0 && slot < context.model.stations.slots.size();
    if (has_kind(*held, cell_kind::station_stop) && named) {
      what += fmt::format(" of {}",
                          scenario::from_windows_1252(context.model.stations.slots[slot].name));
    } else if (has_kind(*held, cell_kind::line_sign) && named) {
      what = fmt::format("the line-side sign \"{}\"",
                         scenario::from_windows_1252(context.model.stations.slots[slot].name));
    }
  }
  const journal_entry* placed = context.entry(e.held_by);
  if (placed == nullptr) return what;
  if (placed->place.text == text_id::none) return what + " (a protection point)";
  const std::string line = where(context, placed->place, from);
  return line.empty() ? what : fmt::format("{} ({})", what, line);
}

// The number an error holds for the row's value it refused; 0 for none.
std::int64_t refused_value_of(const error_recorded& e) {
  if (const auto* refused = std::get_if<refused_value>(&e.detail)) return refused->value;
  if (const auto* limit = std::get_if<limit_passed>(&e.detail)) return limit->value;
  if (const auto* progressive = std::get_if<progressive_refused>(&e.detail)) {
    return progressive->value;
  }
  return 0;
}

// The cell of a conflict, named by its role in the row.
std::string conflict_cell(error_code code, std::int32_t cell) {
  return fmt::format(fmt::runtime(find_explanation(code_number(code))->conflict_cell), cell);
}

const row_read* row_event(const journal_entry* row) {
  return row == nullptr ? nullptr : std::get_if<row_read>(&row->event);
}

// The detail after the position of an error 15: which bound the row passed.
std::string beyond_grid_detail(const report_context& context, const error_recorded& e) {
  const std::int64_t upper = context.model.grid.exists() ? context.model.grid.upper() : 0;
  const row_read* row = row_event(context.entry(e.row));
  const bool station = row != nullptr && row->keyword == row_keyword::station;
  if (cell_of(e) >= 0) {
    return fmt::format(" (its {} lies past the grid's last cell {})", station ? "stop" : "end",
                       upper);
  }
  if (e.position && *e.position < 0) return " (before the start of the line)";
  const std::int64_t limit = std::int64_t{cell_length_m} * upper - (station ? 800 : 100);
  return fmt::format(" (the grid takes positions up to {} m)", limit);
}

std::string_view type_words(scenario::number_type type) {
  switch (type) {
    case scenario::number_type::long32:
      return "a 32-bit integer (-2147483648..2147483647)";
    case scenario::number_type::integer16:
      return "a 16-bit integer (-32768..32767)";
    case scenario::number_type::byte8:
      return "a byte (0..255)";
  }
  return "its field";
}

// The name of the failing value of a row: "hours", "tempo"; nothing when the
// row is not known.
std::optional<std::string_view> value_name(const report_context& context, const error_recorded& e,
                                           const field_refused& f) {
  const row_read* row = row_event(context.entry(e.row));
  if (row == nullptr || f.field < 0) return std::nullopt;
  const field_fact* field = field_of(row->keyword, f.field);
  if (field == nullptr) return std::nullopt;
  return field->name;
}

// Why the reading failed at a field: "hours 99999 does not fit a 16-bit
// integer (-32768..32767)".
std::string field_failure_message(const report_context& context, const error_recorded& e,
                                  const field_refused& f, text_id from) {
  const source* text = context.of(from);
  const auto name = value_name(context, e, f);
  if (f.failure == scenario::field_failure_kind::past_end) {
    return fmt::format("the text ends before the row's {}: the row lacks its last values",
                       name.value_or("last value"));
  }
  const std::string token = text != nullptr && text->holds(f.field_offset)
                                ? shown(token_at(*text->body, f.field_offset))
                                : std::string("the number");
  return fmt::format("{}{} does not fit {}", name ? fmt::format("{} ", *name) : std::string(),
                     token, type_words(f.number));
}

// Why the reading failed when no field did: what the model could not hold,
// or what the texts lack.
std::string limit_message(error_code code, const limit_passed& e) {
  switch (e.limit) {
    case reading_limit::no_length_row:
      return "the line text has no \"lunghezza percorso\" row in its [generale] section: there "
             "is no grid to place anything on";
    case reading_limit::line_too_short:
      return fmt::format(
          "a line length of {} m leaves no cell 1 for the build's fixed values "
          "(the shortest is {} m)",
          e.value, min_line_length_m);
    case reading_limit::service_text_missing:
      return "the service text is missing";
    case reading_limit::tunnel_list_full:
      return "an 81st \"montagna\" row: the tunnel list holds 80";
    case reading_limit::text_too_long:
      return fmt::format("a text of {} bytes does not fit its record (32767 bytes at the most)",
                         e.value);
    case reading_limit::packed_speed:
      return fmt::format(
          "the packed speeds {} (s speed x 20 + d speed / 5) do not fit a 16-bit integer "
          "(-32768..32767)",
          e.value);
    case reading_limit::stripes:
      return fmt::format(
          "the stripes {} (strisces x 10 + strisced) do not fit a 16-bit integer (-32768..32767)",
          e.value);
    case reading_limit::code_too_large:
      return fmt::format("code {} does not fit a 16-bit integer (-32768..32767)", e.value);
    case reading_limit::speed_not_a_byte:
      return fmt::format(
          "speed {} km/h does not fit: a speed is stored in units of 5 km/h in a byte "
          "(-2..1277 km/h)",
          e.value);
    case reading_limit::station_area:
      return "the station area, from its position and length, does not fit a 32-bit integer";
    case reading_limit::departure_time:
      return "the departure time (hours x 60 + minutes) x 60 + seconds does not fit a 32-bit "
             "integer";
    case reading_limit::progressive_reference:
      return fmt::format("reference {} cannot take its 100 m within a 32-bit integer", e.value);
    case reading_limit::none:
      break;
  }
  return std::string(meaning(code));
}

// An error of the protection pass: where it found the cell wanting, and the
// slowdown it protects, at that slowdown's row.
void pass_error(diagnostic& d, const report_context& context, const error_recorded& e) {
  const auto* pass = std::get_if<cell_unprotected>(&e.detail);
  d.message += fmt::format(", at {} m (cell {})", e.position.value_or(0), cell_of(e));
  const journal_entry* row = context.row_of(pass != nullptr ? pass->concerns : -1);
  if (const row_read* read = row_event(row)) {
    d.message += fmt::format(", for the slowdown at {} m", read->position);
    place_at(d, context, row->place);
  }
}

// A final check found cell 1 or slot 85 taken: what took it, at the row that
// put it there.
void fatal_error(diagnostic& d, const report_context& context, const error_recorded& error) {
  const cell_held e = held_of(error) != nullptr ? *held_of(error) : cell_held{};
  if (e.cell != 1) {
    d.message += " (slot 85)";
    return;
  }
  d.message += fmt::format(" (cell 1 holds {}: an object at the very start of the line takes it)",
                           kind_name(e.held_kind));
  if (const journal_entry* row = context.row_of(e.held_by)) place_at(d, context, row->place);
}

// The detail of an error that keeps a position: the cell and what it holds.
std::string position_detail(const report_context& context, const error_recorded& e, text_id from) {
  const std::int32_t position = e.position.value_or(0);
  const std::int32_t cell = cell_of(e);
  if (is_cell_conflict(e.code) && cell >= 0) {
    const cell_held held = held_of(e) != nullptr ? *held_of(e) : cell_held{cell};
    return fmt::format(", at {} m: {} already holds {}", position, conflict_cell(e.code, cell),
                       holder(context, held, from));
  }
  switch (e.code) {
    case error_code::position_beyond_grid:
      return fmt::format(", at {} m{}", position, beyond_grid_detail(context, e));
    case error_code::stations_too_close:
      if (const auto* station = std::get_if<station_refused>(&e.detail);
          station && station->slot > 1) {
        return fmt::format(", at {} m (its area starts at {} m, the previous one ends at {} m)",
                           position, station->start, station->previous_finish);
      }
      break;
    case error_code::station_length_not_multiple_of_100:
      return fmt::format(", at {} m: its length is {} m", position, refused_value_of(e));
    default:
      break;
  }
  std::string detail = fmt::format(", at {} m", position);
  if (cell >= 0) detail += fmt::format(" (cell {})", cell);
  return detail;
}

// Marks `d` as following from the error at entry `cause`: it names that
// error, and is sorted after it.
void follow(diagnostic& d, const report_context& context, std::int32_t cause) {
  const journal_entry* entry = context.entry(cause);
  const auto* error = entry != nullptr ? std::get_if<error_recorded>(&entry->event) : nullptr;
  if (error == nullptr) return;
  diagnostic::cause c;
  c.code = code_number(error->code);
  const source* text = context.of(entry->place.text);
  if (text != nullptr) {
    c.file = std::string(text->name);
    if (text->holds(entry->place.offset)) c.line = text->lines.line_of(entry->place.offset);
  }
  const std::string line = c.line == 0        ? std::string()
                           : c.file == d.file ? fmt::format(" at line {}", c.line)
                                              : fmt::format(" at {}:{}", c.file, c.line);
  d.message += fmt::format(" (follows from error {}{})", c.code, line);
  d.follows = std::move(c);
}

// The keyword field of the row at `place`.
std::string_view field_at_row(const report_context& context, const text_place& place) {
  const source* text = context.of(place.text);
  if (text == nullptr || !text->holds(place.offset)) return {};
  return field_at(*text->body, place.offset);
}

// Error 103 by its cause.
std::string curve_message(const curve_refused& curve, std::string_view field) {
  switch (curve.fault) {
    case curve_fault::no_class_digit:
      return fmt::format(
          "the curve keyword \"{}\" names no class: it holds none of the digits 1 to 6",
          shown(field));
    case curve_fault::past_plan_end:
      return fmt::format(
          "the curve would end at {} m, past the track plan's last metre {} (the line's length "
          "and 7000 m)",
          curve.value, curve.limit);
    case curve_fault::past_metre_limit:
      return fmt::format("the track plan would pass metre {}, which it never goes beyond",
                         curve.limit);
  }
  return {};
}

diagnostic error_diagnostic(const report_context& context, const journal_entry& entry,
                            const error_recorded& e) {
  diagnostic d;
  d.level = severity::error;
  d.code = code_number(e.code);
  d.message = std::string(meaning(e.code));
  d.position = e.position;
  d.cell = cell_of(e);
  const text_id from = entry.place.text;

  if (e.code == error_code::fixed_values_taken || e.code == error_code::competition_codes_taken) {
    fatal_error(d, context, e);
    return d;
  }
  if (const auto* carried = std::get_if<carried_error>(&e.detail)) {
    d.message = fmt::format(
        "the reading stops at this row, at {} m: error {} was recorded before it, and now keeps "
        "this row's position",
        e.position.value_or(0), d.code);
    place_at(d, context, entry.place);
    follow(d, context, carried->cause);
    return d;
  }
  if (const auto* curve = std::get_if<curve_refused>(&e.detail)) {
    d.message = curve_message(*curve, field_at_row(context, entry.place));
    place_at(d, context, entry.place);
    return d;
  }
  if (from == text_id::none) {
    if (e.code == error_code::progressive_not_multiple_of_50) {
      // Found at the end of the service text, about a row of the line text.
      d.file = std::string(context.line.name);
      const auto* found = std::get_if<progressive_refused>(&e.detail);
      const progressive_refused p = found != nullptr ? *found : progressive_refused{};
      d.message += fmt::format(": {} {}", p.field == 0 ? "start" : "reference", p.value);
      const bool moved =
          p.field == 1 && p.slot > 0 &&
          context.model.stations.slots[static_cast<std::size_t>(p.slot)].position == 1;
      if (moved)
        d.message += fmt::format(" ({} in the text, and 100 m for its flag 1)", p.value - 100);
      if (const journal_entry* row = context.entry(p.concerns)) place_at(d, context, row->place);
      return d;
    }
    pass_error(d, context, e);
    return d;
  }
  if (e.code == error_code::reading_failure) {
    // The report stands where the failing number stands, which a row that
    // ran on into the next line puts on a later line than its keyword.
    const auto* f = std::get_if<field_refused>(&e.detail);
    if (f != nullptr && f->failure != scenario::field_failure_kind::none) {
      d.message = field_failure_message(context, e, *f, from);
      const bool field_known = f->failure == scenario::field_failure_kind::out_of_range;
      place_at(d, context, field_known ? text_place{from, f->field_offset} : entry.place);
      return d;
    }
    const auto* limit = std::get_if<limit_passed>(&e.detail);
    d.message = limit_message(e.code, limit != nullptr ? *limit : limit_passed{});
    place_at(d, context, entry.place);
    return d;
  }
  if (e.position) d.message += position_detail(context, e, from);
  if (!e.position && refused_value_of(e) != 0) {
    d.message += fmt::format(": {}", refused_value_of(e));
  }
  place_at(d, context, entry.place);
  return d;
}

// The name of value `field` of the row at entry `row`: "gradient", "tempo".
std::string name_of_value(const report_context& context, std::int32_t row, std::int32_t field) {
  const row_read* read = row_event(context.entry(row));
  if (read == nullptr || field < 0) return "the value";
  if (read->keyword == row_keyword::signal) {
    // The values a signal packs are named by how they are packed.
    if (field == value_index<&signal_row::sx>) return "the approach mark sx x 30 + dx x 10 + 4";
    if (field >= value_index<&signal_row::s1> && field <= value_index<&signal_row::s3>) {
      return fmt::format("s{0} x 10 + d{0}", field - value_index<&signal_row::sx>);
    }
    if (field == value_index<&signal_row::rapp>) return "rapp x 10 + sx x 3 + dx";
  }
  const field_fact* fact = field_of(read->keyword, field);
  if (fact == nullptr) return "the value";
  return std::string(fact->name);
}

// Why a value is stored otherwise than written.
std::string_view why_cut(const report_context& context, const warning_noted& w) {
  const row_read* read = row_event(context.entry(w.row));
  if (read == nullptr) return "its field keeps only its low bits";
  switch (read->keyword) {
    case row_keyword::speed:
      return "speeds are kept in units of 5 km/h";
    case row_keyword::gradient:
      return "a cell keeps the gradient + 100, modulo 256";
    case row_keyword::adhesion:
      return "a cell keeps the adhesion modulo 256";
    case row_keyword::tunnel:
      return "a cell keeps the tunnel type's low 8 bits";
    case row_keyword::signal:
      return w.field == value_index<&signal_row::sx> || w.field == value_index<&signal_row::time>
                 ? "its field keeps only its low 8 bits"
                 : "its field keeps only its low 16 bits";
    default:
      return "its field keeps only its low 16 bits";
  }
}

// The bytes of a UTF-8 sequence at `offset`, as the author meant them and as
// the files will show them.
std::string foreign_bytes(std::string_view body, std::size_t offset) {
  std::size_t end = offset + 1;
  while (end < body.size() && end < offset + 4 &&
         (static_cast<unsigned char>(body[end]) & 0xC0) == 0x80) {
    ++end;
  }
  const std::string_view bytes = body.substr(offset, end - offset);
  std::string hex;
  for (const char c : bytes) {
    hex += fmt::format("{}{:02X}", hex.empty() ? "" : " ", static_cast<unsigned char>(c));
  }
  return fmt::format("\"{}\" is UTF-8 (bytes {}), which the files store as \"{}\"", bytes, hex,
                     scenario::from_windows_1252(bytes));
}

std::string foreign_message(std::string_view body, std::size_t offset, std::int64_t what,
                            std::int64_t more_lines) {
  constexpr std::string_view save = "; save the text as Windows-1252 (ANSI)";
  switch (static_cast<foreign_text>(what)) {
    case foreign_text::utf16:
      return fmt::format(
          "the text begins with a UTF-16 byte-order mark: read as it is, no row "
          "of it is recognised{}",
          save);
    case foreign_text::utf8_mark:
      return fmt::format("the text begins with a UTF-8 byte-order mark (EF BB BF){}", save);
    case foreign_text::nul_bytes:
      return fmt::format("the text holds NUL bytes, as UTF-16 text does{}", save);
    case foreign_text::utf8:
      return fmt::format("{}{}{}", foreign_bytes(body, offset), save,
                         more_lines == 0 ? std::string()
                                         : fmt::format(" ({} more line{} of this text hold UTF-8)",
                                                       more_lines, more_lines == 1 ? "" : "s"));
  }
  return {};
}

// The line of the row after the one at `offset`, its number and its text:
// the row that a row too short for its keyword took its values from.
std::string swallowed_row(const source& text, std::size_t offset) {
  const std::size_t line = text.lines.line_of(offset);
  const std::string next = text.lines.row(line + 1);
  if (next.empty()) return {};
  return fmt::format(", so the row on line {} (\"{}\") is lost", line + 1, shown(next));
}

// The name a value has in its row's keyword table: "s1", "hours".
std::string field_name(const report_context& context, std::int32_t row, std::int32_t field) {
  const row_read* read = row_event(context.entry(row));
  const field_fact* fact = read != nullptr ? field_of(read->keyword, field) : nullptr;
  return fact != nullptr ? std::string(fact->name) : std::string("the value");
}

std::string keyword_name(const report_context& context, std::int32_t row) {
  const row_read* read = row_event(context.entry(row));
  return read != nullptr ? std::string(facts_of(read->keyword).name) : std::string("row");
}

std::string time_of_day(std::int64_t seconds) {
  return fmt::format("{:02}:{:02}:{:02}", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

// " (line 12)", or " (L_linea.txt:12)" for a row of the other text.
std::string at_row(const report_context& context, std::int32_t row, text_id from) {
  const journal_entry* earlier = context.entry(row);
  if (earlier == nullptr) return {};
  const std::string line = where(context, earlier->place, from);
  return line.empty() ? std::string() : fmt::format(" ({})", line);
}

std::string curve_sense_message(std::string_view field, bool negative) {
  const std::int32_t curve_class = curve_class_of(field);
  if (negative) {
    return fmt::format(
        "\"{}\" takes its sense from any \"{}\" it holds, here in \"{}\": the curve turns "
        "left, as \"{}\" would; write \"{}\" for a right curve",
        shown(field), negative_sense_letter, shown(curve_sense_word(field)),
        curve_keyword(true, curve_class), curve_keyword(false, curve_class));
  }
  return fmt::format(
      "\"{}\" holds no \"{}\", so the curve turns right, as \"{}\" would, whatever its "
      "words say; write \"{}\" for a left curve",
      shown(field), negative_sense_letter, curve_keyword(false, curve_class),
      curve_keyword(true, curve_class));
}

// What a row behind the one before it does, by its keyword.
std::string_view going_back_effect(const report_context& context, std::int32_t row) {
  const row_read* read = row_event(context.entry(row));
  const row_keyword keyword = read != nullptr ? read->keyword : row_keyword::signal;
  if (keyword == row_keyword::gradient || keyword == row_keyword::speed ||
      keyword == row_keyword::adhesion) {
    return "a profile does not go back: the row writes one cell where the profile has got to, "
           "and its value holds from there on";
  }
  return "the rows of a keyword are expected along the line: check for a mistyped digit";
}

std::string unknown_type_message(const report_context& context, const warning_noted& w) {
  const row_read* read = row_event(context.entry(w.row));
  if (read != nullptr && read->keyword == row_keyword::tunnel) {
    return fmt::format(
        "tunnel type {} is none of 1, 2 and 3 (11, 12 and 13 with markers): the cells keep "
        "type {}, which the program gives no meaning to",
        w.value, w.value > 10 ? w.value - 10 : w.value);
  }
  return fmt::format(
      "station type {} lies outside the types the program knows (1..{}): it is stored as "
      "written, and taken as {}",
      w.value, w.other,
      w.value > w.other ? "a type from 25 up: a record with no stop cell and no approach marks"
                        : "a type below 25: a stop cell and approach marks");
}

std::string warning_message(const report_context& context, const source& text,
                            const journal_entry& entry, const warning_noted& w) {
  const std::string_view body = *text.body;
  const std::size_t offset = entry.place.offset;
  switch (w.kind) {
    case warning_kind::unknown_keyword:
      return fmt::format("\"{}\" matches no keyword here and is passed over",
                         shown(field_at(body, offset)));
    case warning_kind::dash_field_dropped:
      return fmt::format(
          "\"{}\" contains \"-\" and is dropped; the field after it is read as the "
          "keyword in its place",
          shown(field_at(body, offset)));
    case warning_kind::progressive_in_capitals:
      return fmt::format("\"{}\" is ignored: this general keyword is recognised only in lower case",
                         shown(field_at(body, offset)));
    case warning_kind::non_numeric_number:
      return fmt::format("\"{}\" is not a number and reads as 0", shown(token_at(body, offset)));
    case warning_kind::number_rounded: {
      const std::string_view token = token_at(body, offset);
      scenario::field_reader number(token);
      return fmt::format(
          "\"{}\" is written as a decimal number and reads as {}, rounded half to even (a point "
          "is not a thousands separator: 32.000 is 32)",
          shown(token), number.read_long());
    }
    case warning_kind::values_from_next_line:
      return fmt::format(
          "the \"{}\" row has fewer values than its keyword takes; the rest were "
          "read from the next line{}",
          shown(field_at(body, offset)), swallowed_row(text, offset));
    case warning_kind::values_left_over:
      return fmt::format(
          "the \"{}\" row has more values than its keyword takes; the rest of the "
          "line is read as keyword fields",
          shown(field_at(body, offset)));
    case warning_kind::text_empty:
      return "the text is empty: nothing of it is read";
    case warning_kind::no_general_section:
      return "the text has no \"[generale]\" line: it is read to its end and nothing of it is "
             "taken (no station, speed, adhesion or signal)";
    case warning_kind::not_windows_1252:
      return foreign_message(body, offset, w.other, w.value);
    case warning_kind::value_cut: {
      const row_read* read = row_event(context.entry(w.row));
      // A cell's gradient byte reads back as the byte less 100.
      const std::string read_back =
          read != nullptr && read->keyword == row_keyword::gradient
              ? fmt::format(", which reads as {} per mille", w.other - 100)
              : std::string();
      return fmt::format("{} {} is stored as {}{}: {}", name_of_value(context, w.row, w.field),
                         w.value, w.other, read_back, why_cut(context, w));
    }
    case warning_kind::beyond_line_end:
      if (w.value > w.other + grid_margin_m) {
        return fmt::format("{} {} m lies past the line's end at {} m, and past the {} m after it",
                           name_of_value(context, w.row, w.field), w.value, w.other, grid_margin_m);
      }
      return fmt::format("{} {} m lies past the line's end at {} m, in the 7000 m margin after it",
                         name_of_value(context, w.row, w.field), w.value, w.other);
    case warning_kind::beyond_last_station:
      return fmt::format(
          "{} {} m lies past the end of the last station's area at {} m: the train stops before "
          "it",
          name_of_value(context, w.row, w.field), w.value, w.other);
    case warning_kind::curves_overlap:
      return fmt::format(
          "the curve starts at {} m, before the previous curve ends at {} m: it bends from "
          "metre {} on",
          w.value, w.other, w.other + 1);
    case warning_kind::unlikely_value: {
      const row_read* read = row_event(context.entry(w.row));
      const plausible_range& range =
          read != nullptr && read->keyword == row_keyword::gradient   ? plausible_gradient
          : read != nullptr && read->keyword == row_keyword::adhesion ? plausible_adhesion
                                                                      : plausible_speed;
      return fmt::format(
          "{} {} {} lies outside what a line can have ({}..{} {}); it is taken "
          "as written",
          name_of_value(context, w.row, w.field), w.value, range.unit, range.lowest, range.highest,
          range.unit);
    }
    case warning_kind::name_ends_in_blanks:
      return fmt::format("the {} ends in blanks, which the scenario table keeps",
                         name_of_value(context, w.row, w.field));
    case warning_kind::curve_sense_from_word:
      return curve_sense_message(field_at(body, offset), w.value != 0);
    case warning_kind::position_goes_back:
      return fmt::format("{} {} m lies behind the previous \"{}\" row at {} m{}: {}",
                         field_name(context, w.row, w.field), w.value, keyword_name(context, w.row),
                         w.other, at_row(context, w.other_row, entry.place.text),
                         going_back_effect(context, w.row));
    case warning_kind::negative_length:
      return fmt::format("{} {} m is below 0: the {} ends before it starts",
                         field_name(context, w.row, w.field), w.value,
                         keyword_name(context, w.row));
    case warning_kind::tunnel_covers_no_cell:
      if (w.value < w.other) {
        return fmt::format(
            "the tunnel ends at {} m, before its start at {} m: it covers no cell and is dropped",
            w.value, w.other);
      }
      return fmt::format(
          "the tunnel from {} m to {} m is shorter than a cell: it covers none and is dropped",
          w.other, w.value);
    case warning_kind::digits_run_over:
      return fmt::format(
          "{} {} is more than one digit (0..{}): it is packed digit by digit with the value "
          "beside it, runs into it, and reads back as other values",
          field_name(context, w.row, w.field), w.value, w.other);
    case warning_kind::not_a_time_of_day:
      return fmt::format("{} {} is not part of a time of day (0..{}): it is stored as written",
                         field_name(context, w.row, w.field), w.value, w.other);
    case warning_kind::timetable_goes_back:
      return fmt::format(
          "the departure at {} comes before the one at {} of the station behind it{}: the "
          "timetable runs backwards along the line",
          time_of_day(w.value), time_of_day(w.other),
          at_row(context, w.other_row, entry.place.text));
    case warning_kind::unknown_type_code:
      return unknown_type_message(context, w);
    case warning_kind::object_overwritten:
    case warning_kind::object_half_overwritten:
      break;
  }
  return {};
}

// What an overwritten object leaves behind when the object written over it
// sets only its kind and first value: the other values still in the cell,
// and the approach marks of the earlier row still where it put them.
std::string left_behind(const report_context& context, const object_overwritten& over) {
  const auto& cells = context.model.grid.cells;
  if (over.cell < 0 || static_cast<std::size_t>(over.cell) >= cells.size()) return {};
  const track_cell& cell = cells[static_cast<std::size_t>(over.cell)];
  if (cell.kind != over.kind) return {};
  std::vector<std::string> parts;
  for (const auto& [name, value] : values_past_the_first(cell)) {
    parts.push_back(fmt::format("{} {}", name, value));
  }
  std::string out;
  if (!parts.empty()) {
    out = fmt::format("the {}'s {} stay{} in the cell", kind_name(over.previous_kind),
                      fmt::join(parts, ", "), parts.size() == 1 ? "s" : "");
  }
  // The approach marks follow their row in the journal, with its object.
  std::vector<std::int32_t> marks;
  const auto& entries = context.log.entries();
  const journal_entry* earlier = context.entry(over.previous);
  const auto* earlier_object =
      earlier != nullptr ? std::get_if<object_placed>(&earlier->event) : nullptr;
  const std::int32_t earlier_row = earlier_object != nullptr ? earlier_object->row : -1;
  for (std::size_t i = static_cast<std::size_t>(std::max(earlier_row, 0)) + 1;
       earlier_row >= 0 && i < entries.size(); ++i) {
    const auto* placed = std::get_if<object_placed>(&entries[i].event);
    if (placed == nullptr || placed->row != earlier_row) break;
    if (placed->kind != 0 || placed->cell < 0 ||
        static_cast<std::size_t>(placed->cell) >= cells.size()) {
      continue;
    }
    if (cells[static_cast<std::size_t>(placed->cell)].approach_mark == placed->approach_mark) {
      marks.push_back(placed->cell);
    }
  }
  if (!marks.empty()) {
    out += fmt::format("{}its approach marks stay in cell{} {}", out.empty() ? "" : "; ",
                       marks.size() == 1 ? "" : "s", fmt::join(marks, ", "));
  }
  return out;
}

// A station stop written over an object that an earlier row placed.
std::optional<diagnostic> overwrite_warning(const report_context& context,
                                            const journal_entry& entry,
                                            const object_overwritten& over) {
  if (over.row < 0 || entry.place.text == text_id::none) return std::nullopt;
  const journal_entry* earlier = context.entry(over.previous);
  if (earlier == nullptr || earlier->place.text == text_id::none) return std::nullopt;
  diagnostic d;
  d.level = severity::warning;
  d.kind = warning_kind::object_overwritten;
  d.message = fmt::format("the {} overwrites the {} in cell {}, placed by {}", kind_name(over.kind),
                          kind_name(over.previous_kind), over.cell,
                          where(context, earlier->place, entry.place.text));
  const std::string left = left_behind(context, over);
  if (!left.empty()) {
    d.kind = warning_kind::object_half_overwritten;
    d.message += fmt::format(", and writes only its kind and first value: {}", left);
  }
  place_at(d, context, entry.place);
  return d;
}

std::optional<diagnostic> warning_diagnostic(const report_context& context,
                                             const journal_entry& entry,
                                             const warning_noted& warning) {
  const source* text = context.of(entry.place.text);
  if (text == nullptr || !text->body) return std::nullopt;
  diagnostic d;
  d.level = severity::warning;
  d.kind = warning.kind;
  d.message = warning_message(context, *text, entry, warning);
  place_at(d, context, entry.place);
  return d;
}

// The checks on meaning read the values as the row gives them: one that is
// not a number reads as 0, and what the check then says of it follows from
// that. Such a report names the warning and stands after it.
bool weighs_values(warning_kind kind) {
  switch (kind) {
    case warning_kind::position_goes_back:
    case warning_kind::negative_length:
    case warning_kind::tunnel_covers_no_cell:
    case warning_kind::timetable_goes_back:
    case warning_kind::unknown_type_code:
    case warning_kind::not_a_time_of_day:
    case warning_kind::digits_run_over:
      return true;
    default:
      return false;
  }
}

void follow_numbers_not_read(std::vector<diagnostic>& out) {
  std::set<std::pair<std::string, std::size_t>> unread;
  for (const diagnostic& d : out) {
    if (d.level == severity::warning && d.kind == warning_kind::non_numeric_number && d.line > 0) {
      unread.emplace(d.file, d.line);
    }
  }
  if (unread.empty()) return;
  for (diagnostic& d : out) {
    if (d.level != severity::warning || !weighs_values(d.kind) || d.follows) continue;
    if (!unread.contains({d.file, d.line})) continue;
    d.message += " (follows from the value on this line that is not a number)";
    d.follows = diagnostic::cause{d.file, d.line, 0};
  }
}

// The entry of the error that ended the reading of the service text before
// its end; -1 when it was read to its end, or not at all.
std::int32_t error_ending_service(const journal& log) {
  std::int32_t last_error = -1;
  const auto& entries = log.entries();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (std::holds_alternative<error_recorded>(entries[i].event)) {
      last_error = static_cast<std::int32_t>(i);
    } else if (const auto* stop = std::get_if<reading_stopped>(&entries[i].event)) {
      if (entries[i].place.text == text_id::service_text) {
        return stop->how == reading_end::end_of_text ? -1 : last_error;
      }
    }
  }
  return -1;
}

int text_rank(const diagnostic& d, const text_names& names) {
  if (d.file.empty()) return 2;
  return d.file == names.line ? 0 : 1;
}

// In text order; the count of warnings not listed closes its text. A report
// that follows from an error stands right after that error, whatever its
// own place.
void sort_by_text(std::vector<diagnostic>& out, const text_names& names) {
  const auto line_rank = [](const diagnostic& d) {
    return d.line == 0 && d.level == severity::warning ? std::numeric_limits<std::size_t>::max()
                                                       : d.line;
  };
  const auto key = [&](const diagnostic& d) {
    const int own_text = text_rank(d, names);
    const std::size_t own_line = line_rank(d);
    if (!d.follows) return std::tuple(own_text, own_line, 0, own_text, own_line);
    diagnostic cause;
    cause.file = d.follows->file;
    cause.line = d.follows->line;
    return std::tuple(text_rank(cause, names), cause.line, 1, own_text, own_line);
  };
  std::stable_sort(out.begin(), out.end(),
                   [&](const diagnostic& a, const diagnostic& b) { return key(a) < key(b); });
}

// How far the build read each text: the offset where its reading stopped
// early, nothing when it read the text to its end, and whether it read the
// text at all.
struct text_reach {
  bool read = false;
  std::optional<std::size_t> stopped_at;
};

struct reach {
  text_reach line;
  text_reach service;
};

reach reach_of(const journal& log) {
  reach out;
  for (const journal_entry& entry : log.entries()) {
    const auto* stop = std::get_if<reading_stopped>(&entry.event);
    if (stop == nullptr) continue;
    text_reach& text = entry.place.text == text_id::line_text ? out.line : out.service;
    text.read = true;
    if (stop->how != reading_end::end_of_text) text.stopped_at = entry.place.offset;
  }
  return out;
}

// Whether the build never read as far as `place`.
bool beyond_reach(const reach& r, const text_place& place) {
  const text_reach* text = place.text == text_id::line_text      ? &r.line
                           : place.text == text_id::service_text ? &r.service
                                                                 : nullptr;
  if (text == nullptr) return false;
  if (!text->read) return true;
  return text->stopped_at && place.offset >= *text->stopped_at;
}

constexpr warning_explanation warning_table[] = {
    {warning_kind::unknown_keyword, "unknown-keyword",
     "a field that matches no keyword, and the values after it on its line",
     "correct the keyword's spelling"},
    {warning_kind::dash_field_dropped, "dash-field-dropped",
     "a field that holds \"-\" is dropped, and the field after it read as the keyword",
     "take the \"-\" out of the keyword, or the value left over before it"},
    {warning_kind::progressive_in_capitals, "progressive-in-capitals",
     "a general row recognised only in lower case, written otherwise",
     "write the keyword in lower case"},
    {warning_kind::non_numeric_number, "not-a-number", "a value that is not a number reads as 0",
     "write the number"},
    {warning_kind::number_rounded, "number-rounded",
     "a number written with a point or an exponent is rounded to a whole one",
     "write whole numbers, without a thousands point"},
    {warning_kind::values_from_next_line, "values-from-next-line",
     "a row with too few values takes the rest from the next line, which is lost",
     "give the row all its values"},
    {warning_kind::values_left_over, "values-left-over",
     "a row with too many values: the rest of its line is read as keywords",
     "take the extra values out"},
    {warning_kind::text_empty, "text-empty", "the text is empty", "write the text"},
    {warning_kind::no_general_section, "no-general-section",
     "a service text without \"[generale]\": nothing of it is read",
     "begin the text with a \"[generale]\" line"},
    {warning_kind::not_windows_1252, "not-windows-1252",
     "UTF-8 or UTF-16 text, a byte-order mark or NUL bytes: each byte is stored as a character",
     "save the text as Windows-1252 (ANSI)"},
    {warning_kind::object_overwritten, "object-overwritten",
     "a station stop written over an object an earlier row placed",
     "move the object or the station"},
    {warning_kind::value_cut, "value-cut",
     "a value stored otherwise than written: modulo 256, cut to its field's bits, or in units "
     "of 5 km/h",
     "keep the value within its field"},
    {warning_kind::beyond_line_end, "beyond-line-end",
     "a position past the line's length, in the 7000 m margin after it",
     "move the row within the line, or lengthen the line"},
    {warning_kind::beyond_last_station, "beyond-last-station",
     "an object past the end of the last station's area, which the train never reaches",
     "move the object before the terminus"},
    {warning_kind::curves_overlap, "curves-overlap",
     "a curve that starts before the previous one ends: it bends only from where that one ends",
     "start each curve after the previous one ends"},
    {warning_kind::unlikely_value, "unlikely-value",
     "a speed (0..350 km/h), gradient (-60..60 per mille) or adhesion (0..100 %) outside what "
     "a line can have",
     "check the value"},
    {warning_kind::name_ends_in_blanks, "name-ends-in-blanks",
     "a station name or sign text ending in blanks, which the table keeps", "take the blanks off"},
    {warning_kind::curve_sense_from_word, "curve-sense-from-word",
     "a curve keyword whose sense comes from an \"s\" anywhere in it (\"curva destra 3\" turns "
     "left)",
     "write the sense as one letter: \"curvas3\" (left) or \"curvad3\" (right)"},
    {warning_kind::position_goes_back, "position-goes-back",
     "a profile or object row behind the previous row of its keyword",
     "check the position for a mistyped digit, or put the rows in line order"},
    {warning_kind::negative_length, "negative-length",
     "a curve, slowdown or station length below 0", "write the length as a positive number"},
    {warning_kind::tunnel_covers_no_cell, "tunnel-covers-no-cell",
     "a tunnel whose end lies before its start, or within 50 m of it: it is dropped",
     "check the tunnel's start and end"},
    {warning_kind::digits_run_over, "digits-run-over",
     "a signal or speed-board value of one digit given more: it runs into the value packed "
     "beside it",
     "write one digit (sx and dx: 0, 1 or 2)"},
    {warning_kind::not_a_time_of_day, "not-a-time-of-day",
     "a clock or departure hour, minute or second no clock shows (hours 0..23, minutes and "
     "seconds 0..59)",
     "write the time as a time of day"},
    {warning_kind::timetable_goes_back, "timetable-goes-back",
     "a station that departs before a station behind it on the line", "check the departure times"},
    {warning_kind::unknown_type_code, "unknown-type-code",
     "a station type outside 1..25, or a tunnel type other than 1, 2, 3, 11, 12 and 13",
     "use a type the program knows"},
    {warning_kind::object_half_overwritten, "object-half-overwritten",
     "a station stop written over an object whose other values or approach marks stay",
     "move the object or the station"},
};

static_assert(std::size(warning_table) == journal::warning_kinds_counted,
              "every warning kind is explained");

}  // namespace

std::span<const warning_explanation> warning_explanations() { return warning_table; }

std::string_view warning_name(warning_kind kind) {
  return warning_table[static_cast<std::size_t>(kind)].name;
}

line_index::line_index(std::string_view text) : text_(text) {
  starts_.push_back(0);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool ends_line =
        text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'));
    if (ends_line) starts_.push_back(i + 1);
  }
}

std::size_t line_index::line_of(std::size_t offset) const {
  return static_cast<std::size_t>(std::upper_bound(starts_.begin(), starts_.end(), offset) -
                                  starts_.begin());
}

std::string line_index::row(std::size_t line) const {
  if (line == 0 || line > starts_.size()) return {};
  const std::size_t begin = starts_[line - 1];
  std::size_t end = line < starts_.size() ? starts_[line] : text_.size();
  while (end > begin && (text_[end - 1] == '\r' || text_[end - 1] == '\n')) --end;
  // Kept as the text holds it: its control bytes are escaped where it is
  // shown (format_diagnostic, the JSON writer, the page).
  std::string row(text_.substr(begin, std::min(end - begin, max_row_bytes)));
  return end - begin <= max_row_bytes ? row : row + " ...";
}

std::vector<diagnostic> diagnose(const journal& log, const scenario_model& model,
                                 const description_texts& texts, const text_names& names) {
  const report_context context{log, model, source(names.line, texts.line),
                               source(names.service, texts.service)};
  std::vector<diagnostic> out;
  const std::int32_t service_cut_short = error_ending_service(log);
  for (const journal_entry& entry : log.entries()) {
    if (const auto* warning = std::get_if<warning_noted>(&entry.event)) {
      if (auto d = warning_diagnostic(context, entry, *warning)) {
        // The last station is the last one read: one the error kept from
        // being read would have moved the end of the service.
        if (warning->kind == warning_kind::beyond_last_station) {
          follow(*d, context, service_cut_short);
        }
        out.push_back(std::move(*d));
      }
    } else if (const auto* over = std::get_if<object_overwritten>(&entry.event)) {
      if (auto d = overwrite_warning(context, entry, *over)) out.push_back(std::move(*d));
    } else if (const auto* error = std::get_if<error_recorded>(&entry.event)) {
      out.push_back(error_diagnostic(context, entry, *error));
    }
  }
  // What the journal only counted, once a kind of warning passed its cap.
  for (const text_id text : {text_id::line_text, text_id::service_text}) {
    for (std::size_t k = 0; k < journal::warning_kinds_counted; ++k) {
      const auto kind = static_cast<warning_kind>(k);
      const std::size_t more = log.warnings_not_kept(text, kind);
      if (more == 0) continue;
      diagnostic d;
      d.level = severity::warning;
      d.kind = kind;
      d.file = std::string(context.of(text)->name);
      d.message = fmt::format("{} more warnings like the {} above are not listed", more,
                              journal::warnings_kept_per_kind);
      out.push_back(std::move(d));
    }
  }
  follow_numbers_not_read(out);
  sort_by_text(out, names);
  return out;
}

bool stopped_early(const journal& log) {
  const reach r = reach_of(log);
  return (!r.line.read || r.line.stopped_at || !r.service.read || r.service.stopped_at) &&
         log.has_error();
}

std::vector<diagnostic> diagnose_after_stop(const journal& build, const journal& read_on,
                                            const scenario_model& model,
                                            const description_texts& texts,
                                            const text_names& names) {
  const reach r = reach_of(build);
  const report_context context{read_on, model, source(names.line, texts.line),
                               source(names.service, texts.service)};
  // The check of the progressive changes at the end of the service text is
  // news when the build never got there.
  const bool service_not_finished = !r.service.read || r.service.stopped_at.has_value();
  // What the build reported itself is no news, even where its place lies at
  // the very point the reading stopped (an empty text stops at its start).
  std::set<std::tuple<text_id, std::size_t, int, int>> reported;
  const auto key_of =
      [](const journal_entry& entry) -> std::optional<std::tuple<text_id, std::size_t, int, int>> {
    if (const auto* error = std::get_if<error_recorded>(&entry.event)) {
      return std::tuple(entry.place.text, entry.place.offset, 0, code_number(error->code));
    }
    if (const auto* warning = std::get_if<warning_noted>(&entry.event)) {
      return std::tuple(entry.place.text, entry.place.offset, 1, static_cast<int>(warning->kind));
    }
    return std::nullopt;
  };
  for (const journal_entry& entry : build.entries()) {
    if (const auto key = key_of(entry)) reported.insert(*key);
  }
  std::vector<diagnostic> out;
  for (const journal_entry& entry : read_on.entries()) {
    if (const auto key = key_of(entry); key && reported.contains(*key)) continue;
    std::optional<diagnostic> found;
    if (const auto* error = std::get_if<error_recorded>(&entry.event)) {
      const bool progressive_check = error->code == error_code::progressive_not_multiple_of_50 &&
                                     entry.place.text == text_id::none;
      if (!beyond_reach(r, entry.place) && !(progressive_check && service_not_finished)) continue;
      found = error_diagnostic(context, entry, *error);
    } else if (const auto* warning = std::get_if<warning_noted>(&entry.event)) {
      // The warnings of the rows the build never read, found in the same
      // round as the errors there.
      if (entry.place.text == text_id::none || !beyond_reach(r, entry.place)) continue;
      found = warning_diagnostic(context, entry, *warning);
    } else if (const auto* over = std::get_if<object_overwritten>(&entry.event)) {
      if (!beyond_reach(r, entry.place)) continue;
      found = overwrite_warning(context, entry, *over);
    }
    if (!found) continue;
    found->after_stop = true;
    out.push_back(std::move(*found));
  }
  follow_numbers_not_read(out);
  sort_by_text(out, names);
  return out;
}

std::vector<diagnostic> author_report(const build_settings& settings,
                                      const description_texts& texts, const journal& log,
                                      const scenario_model& model, const text_names& names) {
  std::vector<diagnostic> out = diagnose(log, model, texts, names);
  if (!stopped_early(log)) return out;
  scenario_model read_on_model;
  journal read_on_log;
  read_description_texts(settings, texts, read_on_model, read_on_log, true);
  std::vector<diagnostic> more = diagnose_after_stop(log, read_on_log, read_on_model, texts, names);
  out.insert(out.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
  sort_by_text(out, names);
  return out;
}

std::string format_diagnostic(const diagnostic& d) {
  std::string out;
  if (!d.file.empty()) {
    out += d.file;
    if (d.line > 0) out += fmt::format(":{}", d.line);
    out += ": ";
  }
  if (d.level == severity::error) {
    out += fmt::format("error {}", d.code);
  } else {
    out += "warning";
  }
  out += d.after_stop ? " (found after the build stopped reading): " : ": ";
  // The message may quote a field and the row is the author's line: their
  // control bytes are shown escaped, not sent to the terminal.
  out += scenario::visible_control_bytes(d.message);
  if (d.line > 0) out += fmt::format("\n    {}", scenario::visible_control_bytes(d.row));
  return out;
}

}  // namespace compiler
