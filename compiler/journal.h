#pragma once
// The record of one build: every keyword row read, every object placed or
// overwritten, every error and warning, and where each reading stopped, in
// the order they happened, each tied to its text and to the byte where its
// row (or field) stands. Reports, `inspect --source` and the page read it;
// none of them works out again what a placer decided.
//
// The recorded error keeps its last-writer-wins meaning: the code of the last
// error, with the position of the last error that keeps one.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <variant>
#include <vector>

#include "compiler/error_code.h"
#include "compiler/placement.h"
#include "compiler/rows.h"
#include "scenario/field_reader.h"

namespace compiler {

enum class text_id : std::uint8_t { none, line_text, service_text };

// Where an event stands: a text and the byte offset of the row's keyword
// field, or of the field concerned. Events of the protection pass and the
// final checks stand in no text.
struct text_place {
  text_id text = text_id::none;
  std::size_t offset = 0;
};

// What the reader passed over, or took otherwise than an author may think.
enum class warning_kind : std::uint8_t {
  unknown_keyword,          // a candidate keyword field that matched nothing
  dash_field_dropped,       // dropped by the dash rule
  progressive_in_capitals,  // a general row that matches only in lower case, written otherwise
  non_numeric_number,       // a number field whose text is not a number
  number_rounded,           // a number with a decimal point or exponent, rounded to a whole one
  values_from_next_line,    // a row too short for its keyword took values from the next line
  values_left_over,         // a row too long for its keyword left values to be read as keywords
  text_empty,               // a text with nothing in it
  no_general_section,       // a service text without "[generale]": nothing of it is read
  not_windows_1252,         // UTF-8 sequences, a byte-order mark or NUL bytes in a text
  object_overwritten,       // an object written over another one placed by an earlier row
  value_cut,                // a value stored modulo 256, or cut to its field's width
  beyond_line_end,          // a position past the line's length, in its 7000 m margin
  beyond_last_station,      // an object past the end of the last station's area
  curves_overlap,           // a curve that starts before the previous one ends
  unlikely_value,           // a speed, gradient or adhesion outside what a line can have
  name_ends_in_blanks,      // a station name or sign text with blanks at its end
  // What a row means, as against what its author most likely meant:
  curve_sense_from_word,    // a curve keyword whose sense comes from a word's letters
  position_goes_back,       // a row behind the previous row of its keyword
  negative_length,          // a curve, slowdown or station length below 0
  tunnel_covers_no_cell,    // a tunnel whose end lies before its start, or too close to it
  digits_run_over,          // a one-digit value given more digits, packed into the next
  not_a_time_of_day,        // an hour, minute or second no clock shows
  timetable_goes_back,      // a station that departs before one behind it on the line
  unknown_type_code,        // a station or tunnel type the program gives no meaning to
  object_half_overwritten,  // a stop written over an object whose other values stay
};

// What kind of not-Windows-1252 text a not_windows_1252 warning found, in its
// `other`.
enum class foreign_text : std::uint8_t { utf16, utf8_mark, nul_bytes, utf8 };

// The plausible bounds of the values a line can have; a value outside them
// is taken as written, with a warning.
struct plausible_range {
  std::string_view what;  // "speed", "gradient", "adhesion"
  std::int32_t lowest;
  std::int32_t highest;
  std::string_view unit;
};
inline constexpr plausible_range plausible_speed{"speed", 0, 350, "km/h"};
inline constexpr plausible_range plausible_gradient{"gradient", -60, 60, "per mille"};
inline constexpr plausible_range plausible_adhesion{"adhesion", 0, 100, "%"};

// How the reading of a text ended.
enum class reading_end : std::uint8_t {
  end_of_text,       // the text was read to its end
  stopped_at_error,  // an error 15: the rest of this text is not read
  ended_by_error,    // an error that ends the whole reading
  failed,            // error 25: the reading could not go on
};

struct row_read {
  row_keyword keyword;
  std::int32_t position = 0;  // the row's first number, when it has been read
};

// An object (kind not 0) or an approach mark (kind 0) written into a cell.
struct object_placed {
  std::int32_t cell = 0;
  std::uint8_t kind = 0;
  std::uint8_t approach_mark = 0;
  std::int32_t row = -1;  // the entry of the row that placed it; -1 for the protection pass
};

// An object written over another one: `previous_kind`, placed by the entry
// `previous` (-1 when the journal does not know it), now `kind`. A protection
// point that lowers a code cut's code overwrites the code cut.
struct object_overwritten {
  std::int32_t cell = 0;
  std::uint8_t kind = 0;
  std::uint8_t previous_kind = 0;
  std::int32_t previous = -1;
  std::int32_t row = -1;
};

// What an error holds besides its code, its position and its row: one shape
// for each kind of error that occurs.
//
// Nothing more: the code and the row say it all.
struct plain_error {};
// A number the row gave that the code refuses (a line length, a bound of the
// signal repetition, a station length).
struct refused_value {
  std::int64_t value = 0;
};
// The cell a position fell on or past.
struct cell_named {
  std::int32_t cell = -1;
};
// An object refused because its cell holds another one: the cell, what held
// it and the entry that placed that. A final check that found slot 85 taken
// names no cell (-1).
struct cell_held {
  std::int32_t cell = -1;
  std::uint8_t held_kind = 0;
  std::int32_t held_by = -1;
};
// A cell the protection pass found wanting, what holds it, and the entry of
// the slowdown it protects.
struct cell_unprotected {
  cell_held held;
  std::int32_t concerns = -1;
};
// A station refused: its slot in the table and, for a stop that falls before
// the line, the stop's cell.
struct station_refused {
  std::int32_t slot = -1;
  std::int32_t cell = -1;
  // Two stations too close: where this one's area starts and the previous
  // one's ends, as they were then (a reading that goes on past the error
  // writes the next station into the same slot).
  std::int32_t start = 0;
  std::int32_t previous_finish = 0;
};
// A progressive change found wrong at the end of the service text: the entry
// of its row, which of its values (0 the start, 1 the reference), the value
// as the slot holds it, and the slot.
struct progressive_refused {
  std::int32_t concerns = -1;
  std::int32_t field = -1;
  std::int64_t value = 0;
  std::int32_t slot = -1;
};
// Error 25 from a field: why and where it failed, and which value of its row
// it was (0 for the first after the keyword).
struct field_refused {
  scenario::field_failure_kind failure = scenario::field_failure_kind::none;
  scenario::number_type number = scenario::number_type::long32;
  std::size_t field_offset = 0;
  std::int32_t field = -1;
};
// Error 25 that no field raised: what could not be held, and the value.
struct limit_passed {
  reading_limit limit = reading_limit::none;
  std::int64_t value = 0;
};
// The code was left by an earlier error: this row only ends the reading, and
// the recorded error takes its position. `cause` is the entry of that error.
struct carried_error {
  std::int32_t cause = -1;
};
// Why a curve was refused: its keyword names no class, it would run past the
// plan's last metre (`value` its end, `limit` that metre), or the plan
// passed the metre the reading never goes beyond.
enum class curve_fault : std::uint8_t { no_class_digit, past_plan_end, past_metre_limit };
struct curve_refused {
  curve_fault fault = curve_fault::no_class_digit;
  std::int64_t value = 0;
  std::int64_t limit = 0;
};

using error_detail = std::variant<plain_error, refused_value, cell_named, cell_held,
                                  cell_unprotected, station_refused, progressive_refused,
                                  field_refused, limit_passed, carried_error, curve_refused>;

struct error_recorded {
  error_code code = error_code::none;
  std::optional<std::int32_t> position;  // metres, for the codes that keep one
  std::int32_t row = -1;                 // the entry of the row that raised it
  error_detail detail;
};

// The cell an error names, whatever its shape; -1 for none.
std::int32_t cell_of(const error_recorded& error);
// The earlier object that held the error's cell; nothing for an error of
// another shape.
const cell_held* held_of(const error_recorded& error);

// An error with its code, the position it keeps, and its row's entry.
inline error_recorded error_of(error_code code, std::optional<std::int32_t> position = std::nullopt,
                               std::int32_t row = -1, error_detail detail = plain_error{}) {
  error_recorded error;
  error.code = code;
  error.position = position;
  error.row = row;
  error.detail = detail;
  return error;
}

struct warning_noted {
  warning_kind kind;
  std::int32_t field = -1;  // the value of the row concerned, 0 for the first after the keyword
  std::int64_t value = 0;   // the value written
  std::int64_t other = 0;   // what it became, or the bound it passed
  std::int32_t row = -1;    // the entry of the row concerned
  std::int32_t other_row = -1;  // the entry of an earlier row it is compared with
};

struct reading_stopped {
  reading_end how;
};

using journal_event = std::variant<row_read, object_placed, object_overwritten, error_recorded,
                                   warning_noted, reading_stopped>;

struct journal_entry {
  text_place place;
  journal_event event;
};

// The error a build records: the last code, and the position of the last
// error that keeps one (0 when none did).
struct recorded_error {
  error_code code = error_code::none;
  std::int32_t position = 0;

  friend bool operator==(const recorded_error&, const recorded_error&) = default;
};

class journal {
 public:
  const std::vector<journal_entry>& entries() const { return entries_; }
  const recorded_error& recorded() const { return recorded_; }
  bool has_error() const { return recorded_.code != error_code::none; }
  // The entry of the error last recorded; -1 before any.
  std::int32_t last_error() const { return last_error_; }

  // The entry that placed the object a cell holds now; -1 when no row or
  // pass placed one there.
  std::int32_t owner_of(std::int32_t cell) const;

  // Appends a row and returns its entry.
  std::int32_t add_row(text_place place, row_keyword keyword, std::int32_t position = 0);
  // Sets the position of a row whose first number was read after the entry.
  void set_row_position(std::int32_t row, std::int32_t position);
  // The cells a placement wrote, as placed or overwritten by `row`.
  void add_writes(text_place place, std::int32_t row, std::span<const cell_write> writes);
  // Appends an error and makes it the recorded one; the fatal 1250 and 1251
  // are reported, not recorded.
  std::int32_t add_error(text_place place, const error_recorded& error);
  // Warnings of one kind in one text are kept up to a cap and then only
  // counted: a text of a million wrong rows must not make a million reports.
  void add_warning(text_place place, const warning_noted& warning);
  static constexpr std::size_t warnings_kept_per_kind = 1000;
  static constexpr std::size_t warning_kinds_counted = 26;
  // How many warnings of a kind in a text were counted past the cap.
  std::size_t warnings_not_kept(text_id text, warning_kind kind) const;
  void add_stop(text_place place, reading_end how);

 private:
  void own(std::int32_t cell, std::int32_t entry);

  std::vector<journal_entry> entries_;
  std::vector<std::int32_t> owners_;  // by cell, the entry that placed its object
  recorded_error recorded_;
  std::int32_t last_error_ = -1;
  // Warnings by text (none, line, service) and kind: kept, then counted.
  std::array<std::array<std::size_t, warning_kinds_counted>, 3> warnings_seen_{};
};

// A warning about value `field` of the row at `place` (journal entry `row`),
// compared, where `other_row` is given, with that earlier row.
inline void warn(journal& log, text_place place, std::int32_t row, warning_kind kind,
                 std::int32_t field, std::int64_t value, std::int64_t other = 0,
                 std::int32_t other_row = -1) {
  warning_noted warning{kind};
  warning.row = row;
  warning.field = field;
  warning.value = value;
  warning.other = other;
  warning.other_row = other_row;
  log.add_warning(place, warning);
}

// The error entries, in the order they were recorded.
std::vector<const error_recorded*> errors_of(const journal& log);

}  // namespace compiler
