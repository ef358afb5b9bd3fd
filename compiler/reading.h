#pragma once
// What the two halves of the reading share: the values the line half hands
// to the service half, the grid check of a row's position, and the warnings
// gathered while a text is read.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "compiler/journal.h"
#include "compiler/model.h"
#include "scenario/field_reader.h"

namespace compiler {

// What the line half leaves for the service half.
struct line_handover {
  // The slot the next sign text would take: the stations stay below it.
  std::int32_t next_sign_slot = sign_slot_first;
  // The rows of the progressive changes now in slots 81, 82 and 83, as
  // journal entries (-1 for a slot no row filled), for the check made at the
  // end of the service text.
  std::array<std::int32_t, 3> progressive_rows{-1, -1, -1};
};

// How a half of the reading ended, and so what happens to the texts.
enum class half_end {
  finished,  // end of its text (or an error 15 that ends only this text)
  stopped,   // an error that ends the whole reading; the text is deleted
  failed,    // error 25: both texts are deleted
};

// p + margin lies within the grid: (p + margin) / 50 does not pass G.
inline bool within_grid(const route_grid& grid, std::int64_t position, std::int64_t margin = 100) {
  return position + margin <= std::int64_t{cell_length_m} * grid.upper();
}

// A warning about a value of the row at `place`.
inline void warn(journal& log, text_place place, std::int32_t row, warning_kind kind,
                 std::int32_t field, std::int64_t value, std::int64_t other = 0) {
  warning_noted warning{kind};
  warning.row = row;
  warning.field = field;
  warning.value = value;
  warning.other = other;
  log.add_warning(place, warning);
}

// Warns when `value` lies outside what a line can have.
inline void check_plausible(journal& log, text_place place, std::int32_t row,
                            const plausible_range& range, std::int32_t field, std::int64_t value) {
  if (value < range.lowest) {
    warn(log, place, row, warning_kind::unlikely_value, field, value, range.lowest);
  }
  if (value > range.highest) {
    warn(log, place, row, warning_kind::unlikely_value, field, value, range.highest);
  }
}

// Warns about a position past the line's end, inside its margin.
inline void check_within_line(journal& log, text_place place, std::int32_t row,
                              const scenario_model& model, std::int64_t position) {
  const std::int32_t length = model.stations.slots[line_parameter_slot].finish;
  if (position > length) warn(log, place, row, warning_kind::beyond_line_end, 0, position, length);
}

// Warns when a text is empty or is not Windows-1252 text: a byte-order mark,
// NUL bytes (as UTF-16 has), or UTF-8 sequences, each stored as the single
// bytes they are.
void check_text_form(journal& log, text_id text, std::string_view body);

// The warnings of one text while it is read: the reader's own and those the
// field reader gathers as it cuts fields. They go to the journal in text
// order when the text is done, less the ones that only follow from a row
// already noted.
class text_notes {
 public:
  text_notes(journal& log, text_id text, std::string_view body)
      : log_(log), text_(text), body_(body) {}

  // Where the field reader puts its notes.
  std::vector<scenario::field_note>* field_notes() { return &field_notes_; }

  void add(warning_kind kind, std::size_t offset) { record(kind, offset); }

  // After the values of the row whose keyword field starts at `row_offset`:
  // notes a row that ran into the next line, or one that left values on its
  // own line.
  void check_row(std::size_t row_offset, const scenario::field_reader& in);

  // The fields from `offset` to the end of its line are passed over on
  // purpose (the values of a curve row when no plan is built).
  void quiet_rest_of_line(std::size_t offset);

  // The last field read was `word`, which the text uses on purpose in place
  // of a number: no note for it.
  void allow_word(const scenario::field_reader& in, std::string_view word);

  // Hands the notes over to the journal, in text order.
  void flush();

 private:
  struct note {
    warning_kind kind;
    std::size_t offset;
  };
  struct span {
    std::size_t begin;
    std::size_t end;
  };

  void record(warning_kind kind, std::size_t offset);
  std::size_t line_end(std::size_t offset);
  // Hands over the notes before `limit`. A note can only be quieted by a
  // span that starts at or before it, and every span starts at or after the
  // row that makes it, so the notes before a row's start are settled: a text
  // of a million wrong rows never holds a million notes at once.
  void settle_before(std::size_t limit);
  void settle_if_many(std::size_t row_offset) {
    if (own_.size() + field_notes_.size() >= settle_every) settle_before(row_offset);
  }
  static constexpr std::size_t settle_every = 4096;

  journal& log_;
  text_id text_;
  std::string_view body_;
  std::vector<note> own_;
  std::vector<scenario::field_note> field_notes_;
  std::vector<span> quiet_;
  std::size_t quiet_until_ = 0;  // the furthest end of the spans passed so far
  // The line last looked up: many rows can share one line, and finding its
  // end again for each would cost the line's length every time.
  span known_line_{0, 0};
};

}  // namespace compiler
