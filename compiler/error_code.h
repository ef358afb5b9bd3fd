#pragma once
// Every error code the builder records or reports. The numbers are seen by
// users and kept in their notes and reports: never renumber them.

#include <cstdint>
#include <span>
#include <string_view>

namespace compiler {

enum class error_code : std::int32_t {
  none = 0,
  line_too_long = 1,
  progressive_not_multiple_of_50 = 2,
  repetition_from_not_multiple_of_50 = 3,
  repetition_to_not_multiple_of_50 = 4,
  repetition_code_count_missing = 5,
  sign_cell_occupied = 6,
  code_cut_cell_occupied = 7,
  station_position_not_multiple_of_50 = 8,
  station_length_not_multiple_of_100 = 9,
  station_slots_exhausted = 10,
  signal_before_warning_unprotected = 11,
  slowdown_approach_unprotected = 12,
  slowdown_spacing_unprotected = 13,
  position_beyond_grid = 15,
  signal_cell_occupied = 16,
  slowdown_warning_occupied = 17,
  slowdown_start_occupied = 18,
  slowdown_end_occupied = 19,
  warning_approach_occupied = 20,
  speed_boards_cell_occupied = 21,
  stations_too_close = 22,
  station_stop_before_line = 24,
  reading_failure = 25,
  line_text_missing = 101,
  general_section_missing = 102,
  curve_invalid = 103,
  fixed_values_taken = 1250,
  competition_codes_taken = 1251,
};

// What a code's report can say of where the error lies.
enum class error_place : std::uint8_t {
  row_only,       // no position: the report names the row
  position,       // a position in metres
  cell_conflict,  // a position, and the cell an earlier object holds
};

// What an author needs to know about one code. The diagnostics print
// `meaning`; `explain` and the authors' guide print all of it, and a test
// holds the guide's error table to these words.
struct error_explanation {
  error_code code;
  std::string_view meaning;    // one line in plain words
  std::string_view raised_by;  // the row or step that records it
  std::string_view position;   // what the report gives as its position
  std::string_view fix;        // the usual change to the texts
  error_place place;
  // For a conflict: the cell as the report names it, by its role in the row,
  // with "{}" standing for its number.
  std::string_view conflict_cell;
};

// Every code but `none`, in ascending order.
std::span<const error_explanation> error_explanations();

// The entry of `code`; nothing for a number that is not a code.
const error_explanation* find_explanation(std::int32_t number);

// One line in plain words.
std::string_view meaning(error_code code);

// True for the codes that keep a position in metres.
bool keeps_position(error_code code);

// True for the codes of an object refused because its cell is occupied.
bool is_cell_conflict(error_code code);

constexpr std::int32_t code_number(error_code code) { return static_cast<std::int32_t>(code); }

}  // namespace compiler
