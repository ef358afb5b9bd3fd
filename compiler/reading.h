#pragma once
// What the two halves of the reading share: the working values handed from
// the line half to the service half, how a half ended, and the recording of
// an error with the row that raised it.

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
  unknown_keyword,       // a candidate keyword field that matched nothing
  dash_field_dropped,    // dropped by the dash rule
  progressive_in_capitals,  // a progressive row the general section ignores
  non_numeric_number,    // a number field whose text is not a number
};

struct reading_note {
  reading_note_kind kind;
  error_source text;
  std::size_t offset;
};

// Collects notes when not null; collecting never changes what is read.
using reading_notes = std::vector<reading_note>;

}  // namespace compiler
