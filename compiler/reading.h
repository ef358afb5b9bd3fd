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
#include "compiler/keywords.h"
#include "compiler/meaning_checks.h"
#include "compiler/model.h"
#include "compiler/slot_views.h"
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

// The outcome of handling one row.
enum class row_end {
  next,         // go on with the next row
  end_of_text,  // an error 15: the rest of this text is not read
  stop,         // an error that ends the whole reading
  fail,         // error 25: the reading cannot go on
};

// p + margin lies within the grid: (p + margin) / 50 does not pass G.
inline bool within_grid(const route_grid& grid, std::int64_t position, std::int64_t margin = 100) {
  return position + margin <= std::int64_t{cell_length_m} * grid.upper();
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
  const std::int32_t length = line_parameters_of(model.stations).line_length_m;
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

// What both readers keep while they read a text: where the row being read
// stands, its journal entry, and how errors end the reading.
struct text_reading {
  journal& log;
  scenario::field_reader in;
  text_notes& notes;
  text_id text;
  std::size_t row_offset = 0;
  std::int32_t row = -1;  // the journal entry of the row being read
  std::size_t row_first_field = 0;
  bool read_on = false;         // go on after errors, only to find more of them
  bool ended_at_error = false;  // an error 15 ended the text before its end
  meaning_state meaning{};      // what the checks on meaning remember of the rows read

  text_place here() const { return {text, row_offset}; }
  void begin_row(row_keyword keyword) {
    row = log.add_row(here(), keyword);
    row_first_field = in.fields_read();
  }
  void fail(error_code code) { log.add_error(here(), error_of(code, std::nullopt, row)); }
  void fail_at(error_code code, std::int32_t position) {
    log.add_error(here(), error_of(code, position, row));
  }
  // Error 25 at the field that could not be read.
  row_end field_failed();
  // Error 25 for a value the model cannot hold.
  row_end beyond_limit(reading_limit limit, std::int64_t value = 0);
  // After an error: false when the reading ends there. A reading that only
  // looks for further mistakes goes on, unless the text has ended.
  bool goes_on() {
    if (!read_on) return false;
    in.forget_range_failure();
    return !in.failed();
  }
  // Records the row's position, and refuses one the grid does not take: a
  // row whose object sits on a cell refuses a negative position too.
  row_end check_position(const route_grid& grid, std::int64_t position, bool placed_on_cell,
                         std::int64_t margin = 100);
  // Checks what the row being read means, once the reader has taken it.
  void check_meaning(const typed_row& values) {
    compiler::check_meaning(log, meaning, here(), row, values);
  }
  // A warning about the value at `index` of the row being read.
  void warn_value(warning_kind kind, std::int32_t index, std::int64_t value,
                  std::int64_t other = 0) {
    warn(log, here(), row, kind, index, value, other);
  }
};

// A header ends the line text's general section: a field with both brackets
// that, less its leading blanks, does not begin with "-".
inline bool is_section_header(std::string_view field) {
  return scenario::contains_exact(field, "[") && scenario::contains_exact(field, "]");
}

// The one loop over the rows of a part of a text. Each pass takes a
// candidate keyword field (with the dash rule), makes every test of the
// part's keywords on it in the table's order, and hands each test that
// matches to the reader, which reads its row. A field that matches nothing
// goes to the reader's `not_matched`. Returns how the part ended: `next` at
// the end of the text (or at the header that closes the general section).
//
// The reader provides `applies(const keyword_fact&)`, `read_row(const
// keyword_fact&, const keyword_test&, std::string_view field)`,
// `not_matched(std::string_view field)` and `after_row(std::string_view
// field)`.
template <class Reader>
row_end read_rows(text_reading& r, text_section section, int dash_limit, Reader& reader) {
  const bool closes_at_header = section == text_section::line_general;
  while (auto field = scenario::next_keyword_field(r.in, dash_limit)) {
    const std::string_view f = *field;
    r.row_offset = r.in.field_offset();
    r.row = -1;
    bool matched = false;
    row_end result = row_end::next;
    for (const keyword_fact& keyword : keyword_table()) {
      if (keyword.section != section || !reader.applies(keyword)) continue;
      for (const keyword_test& test : keyword.tests) {
        if (result != row_end::next || !passes(test, keyword.exact_case, f)) continue;
        matched = true;
        result = reader.read_row(keyword, test, f);
      }
    }
    if (!matched) reader.not_matched(f);
    if (matched && result == row_end::next) r.notes.check_row(r.row_offset, r.in);
    reader.after_row(f);
    if (result != row_end::next) {
      if (!r.goes_on()) {
        if (result == row_end::end_of_text) r.ended_at_error = true;
        return result;
      }
      // Reading on past an error, the values the row did not read are no
      // keywords of their own: the error says all there is to say of them.
      r.notes.quiet_rest_of_line(r.in.cursor());
    }
    if (closes_at_header && is_section_header(f) && f.front() != '-') break;
  }
  return row_end::next;
}

// How the reading of a text ended, for the journal.
reading_end reading_end_of(half_end end, bool ended_at_error);

}  // namespace compiler
