#pragma once
// Checks on what a row means, as against what its author most likely meant.
// The rows are taken as the rules take them and the files do not change: an
// author is only told, with a warning at the row, that a curve turns the
// other way, that a profile went back, that a digit ran into the next field.
// The ranges come from the keyword table: a field whose `check` is set and
// whose value lies outside its range is warned by the kind of its check.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "compiler/journal.h"
#include "compiler/rows.h"

namespace compiler {

// What the checks remember of the rows of one text read so far.
struct meaning_state {
  struct row_at {
    std::int64_t position = 0;
    std::int32_t row = -1;
  };
  // The last row of each keyword that names a place, for the rows that go
  // back.
  std::array<std::optional<row_at>, row_keyword_count> last{};
  // The last station row that gives a departure time.
  struct timed_station {
    std::int64_t time = 0;  // seconds since midnight
    std::int64_t position = 0;
    std::int32_t row = -1;
  };
  std::optional<timed_station> last_timed;
  // The repetition row, checked against the line's length once it is known.
  struct repetition_seen {
    text_place place;
    std::int32_t row = -1;
    repetition_row values;
  };
  std::optional<repetition_seen> repetition;
};

// Checks the values of a row the reader took, at `place` and journal entry
// `row`.
void check_meaning(journal& log, meaning_state& state, text_place place, std::int32_t row,
                   const typed_row& values);

// A curve keyword field whose sense is not written as one letter: "curva
// destra 3" holds the "s" of "destra", and so turns the negative way.
void check_curve_keyword(journal& log, text_place place, std::int32_t row, std::string_view field);

// Once the line's length is known: a repetition that reaches past the line.
void check_line_reach(journal& log, const meaning_state& state, std::int64_t line_length);

// Whether the program gives a meaning to a tunnel type: 1, 2 and 3, and the
// same with 10 added for a tunnel with markers.
bool is_known_tunnel_type(std::int64_t type);

}  // namespace compiler
