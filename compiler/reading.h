#pragma once
// What the two halves of the reading share: the working values handed from
// the line half to the service half, how a half ended, and the recording of
// an error with the row that raised it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "compiler/model.h"
#include "scenario/field_reader.h"

namespace compiler {

// Working values of one reading, shared by the two halves.
struct reading_context {
  std::int32_t next_sign_slot = sign_slot_first;
};

// How a half of the reading ended.
enum class half_end {
  finished,  // end of its text (or an error 15 that ends only this text)
  stopped,   // an error that ends the whole reading; the text is deleted
  failed,    // error 25: both texts are deleted
};

// Records `code` for the row whose keyword field starts at `row_offset`.
void record_error(build_state& state, error_code code, error_source from, std::size_t row_offset);
void record_error(build_state& state, error_code code, std::int32_t position, error_source from,
                  std::size_t row_offset);

// p + 100 lies within the grid: (p + 100) / 50 does not pass G.
inline bool within_grid(const build_state& state, std::int64_t position, std::int64_t margin = 100) {
  return position + margin <= std::int64_t{cell_length_m} * state.grid.upper();
}

// A silently passed-over part of a text, for authors' diagnostics.
enum class reading_note_kind : std::uint8_t {
  unknown_keyword,          // a candidate keyword field that matched nothing
  dash_field_dropped,       // dropped by the dash rule
  progressive_in_capitals,  // a general row that matches only in lower case, written otherwise
  non_numeric_number,       // a number field whose text is not a number
  values_from_next_line,    // a row too short for its keyword took values from the next line
  values_left_over,         // a row too long for its keyword left values to be read as keywords
  // Not warnings: where rows stand, so that an error found after the reading
  // (the progressive check, the protection pass) can point at its row.
  progressive_row,
  slowdown_row,
};

// False for the kinds that only mark where a row stands.
bool is_warning(reading_note_kind kind);

struct reading_note {
  reading_note_kind kind;
  error_source text;
  std::size_t offset;  // byte offset in the text: the row's keyword field, or the field noted
  // On the last warning of its kind kept for a text: how many more of that
  // kind the text gave, counted and not kept.
  std::size_t more = 0;
};

// A text full of mistakes would otherwise give a warning a row, and hold
// them all in memory: past this many of one kind in one text, the rest are
// only counted.
inline constexpr std::size_t warnings_kept_per_kind = 1000;

// Collects notes when not null; collecting never changes what is read.
using reading_notes = std::vector<reading_note>;

// The notes of one text while it is read: the reader's own and those the
// field reader gathers as it cuts fields. With notes off every member returns
// at once, so a build that does not ask for notes does no extra work.
class text_notes {
 public:
  text_notes(reading_notes* notes, error_source text, std::string_view body)
      : notes_(notes), text_(text), body_(body) {}

  bool enabled() const { return notes_ != nullptr; }

  // Where the field reader puts its notes; null when notes are off.
  std::vector<scenario::field_note>* field_notes() { return enabled() ? &field_notes_ : nullptr; }

  void add(reading_note_kind kind, std::size_t offset) {
    if (enabled()) record(kind, offset);
  }

  // After the values of the row whose keyword field starts at `row_offset`:
  // notes a row that ran into the next line, or one that left values on its
  // own line.
  void check_row(std::size_t row_offset, const scenario::field_reader& in) {
    if (enabled()) check_row_shape(row_offset, in);
  }

  // The fields from `offset` to the end of its line are passed over on
  // purpose (the values of a curve row when no plan is built).
  void quiet_rest_of_line(std::size_t offset) {
    if (enabled()) quiet_line_from(offset);
  }

  // The last field read was `word`, which the text uses on purpose in place
  // of a number: no note for it.
  void allow_word(const scenario::field_reader& in, std::string_view word) {
    if (enabled()) forget_non_numeric(in, word);
  }

  // Hands the notes over in text order, less the unknown, dashed and
  // non-numeric fields that only follow from a row already noted.
  void flush();

 private:
  static constexpr std::size_t kind_count =
      static_cast<std::size_t>(reading_note_kind::slowdown_row) + 1;
  // Notes held back before some are handed over: a later row can only quiet
  // notes at or after its own start, so those before it are settled.
  static constexpr std::size_t settle_every = 4096;

  void settle_before(std::size_t limit);
  void hand_over(const reading_note& note);
  void settle_if_many(std::size_t row_offset) {
    if (own_.size() + field_notes_.size() >= settle_every) settle_before(row_offset);
  }
  void record(reading_note_kind kind, std::size_t offset);
  void check_row_shape(std::size_t row_offset, const scenario::field_reader& in);
  void quiet_line_from(std::size_t offset);
  void forget_non_numeric(const scenario::field_reader& in, std::string_view word);
  std::size_t line_end(std::size_t offset);

  struct span {
    std::size_t begin;
    std::size_t end;
  };
  reading_notes* notes_;
  error_source text_;
  std::string_view body_;
  std::vector<reading_note> own_;
  std::vector<scenario::field_note> field_notes_;
  std::vector<span> quiet_;
  // The line last looked up: many rows can share one line, and finding its
  // end again for each would cost the line's length every time.
  span known_line_{0, 0};
  std::size_t quiet_until_ = 0;  // the furthest end of the spans already applied
  std::array<std::size_t, kind_count> kept_{};       // warnings handed over, by kind
  std::array<std::size_t, kind_count> last_kept_{};  // where the last of each went
};

}  // namespace compiler
