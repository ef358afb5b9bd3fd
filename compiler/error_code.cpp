#include "compiler/error_code.h"

#include <algorithm>
#include <array>

namespace compiler {

namespace {

// The one table of the codes: the diagnostics, `explain` and the authors'
// guide all take their words from here. Plain text only, without "|", so
// that each entry can stand as one row of a Markdown table.
constexpr std::array<error_explanation, 29> table = {{
    {error_code::none, "no error", "", "", "", error_place::row_only, ""},
    {error_code::line_too_long, "the line length is above 1000000 m",
     "the \"lunghezza percorso\" row of the line text",
     "none; no grid is made, so no binary file is written", "give a length up to 1000000 m",
     error_place::row_only, ""},
    {error_code::progressive_not_multiple_of_50,
     "a start or reference of a kilometric progressive change is not a multiple of 50",
     "the \"progressiva chilometrica\" rows of the line text, checked after the service text "
     "has been read",
     "none; the report points at the first progressive row at fault",
     "write the start and the reference of each progressive row as multiples of 50",
     error_place::row_only, ""},
    {error_code::repetition_from_not_multiple_of_50,
     "the first number of the signal repetition row is not a multiple of 50",
     "the \"ripetizione segnali\" row of the line text", "none",
     "write the first number (the start of the repetition) as a multiple of 50",
     error_place::row_only, ""},
    {error_code::repetition_to_not_multiple_of_50,
     "the second number of the signal repetition row is not a multiple of 50",
     "the \"ripetizione segnali\" row of the line text, when its first number passed", "none",
     "write the second number (the end of the repetition) as a multiple of 50",
     error_place::row_only, ""},
    {error_code::repetition_code_count_missing,
     "the signal repetition row names neither 4 nor 9 codes",
     "the \"ripetizione segnali\" row of the line text, when both numbers passed: its keyword "
     "field holds neither the digit 4 nor the digit 9",
     "none",
     "write the keyword as \"ripetizione segnali 4 codici\" or \"ripetizione segnali 9 codici\"",
     error_place::row_only, ""},
    {error_code::sign_cell_occupied, "a line-side sign falls on an occupied cell",
     "a \"cartello_indicatore\" row whose cell (position / 50 + 1) already holds a speed board or "
     "another sign",
     "the row's position, and the cell", "move the sign or the object in its cell by 50 m or more",
     error_place::cell_conflict, "cell {}"},
    {error_code::code_cut_cell_occupied, "a code cut falls on an occupied cell",
     "an \"abbattimento\" row whose cell (position / 50, no + 1) already holds an object",
     "the row's position, and the cell",
     "move the code cut or the object in its cell by 50 m or more", error_place::cell_conflict,
     "cell {}"},
    {error_code::station_position_not_multiple_of_50, "a station position is not a multiple of 50",
     "the first value of a \"stazione\" row; the rest of the row is not read",
     "the station's position, and its cell", "write the position as a multiple of 50",
     error_place::position, ""},
    {error_code::station_length_not_multiple_of_100, "a station length is not a multiple of 100",
     "the third value of a \"stazione\" row; the rest of the row is not read",
     "the station's position, and its cell", "write the length as a multiple of 100",
     error_place::position, ""},
    {error_code::station_slots_exhausted,
     "the stations have reached the slots of the line-side signs",
     "a \"stazione\" row once stations (slots 1 upward) meet sign texts (slots 80 downward), or "
     "an 81st \"cartello_indicatore\" row",
     "none", "use fewer stations and signs: at most 78 of them together, and at most 80 signs",
     error_place::row_only, ""},
    {error_code::signal_before_warning_unprotected,
     "a signal before a slowdown warning has no free cell and no code cut in front of it",
     "the protection pass: a signal up to 20 cells (1000 m) before a slowdown warning, whose two "
     "cells in front are both taken and neither is a code cut",
     "the signal's cell times 50 m, and the slowdown",
     "free one of the two cells in front of that signal, or put a code cut in one of them",
     error_place::position, ""},
    {error_code::slowdown_approach_unprotected,
     "no free cell for a protection point at one of the distances before a slowdown start",
     "the protection pass: none of the cells 5 to 7, 11 to 13 or 18 to 20 before a slowdown's "
     "start cell is free",
     "the start cell times 50 m, and the slowdown",
     "move objects away from 250 to 350 m, 550 to 650 m and 900 to 1000 m before the slowdown "
     "start",
     error_place::position, ""},
    {error_code::slowdown_spacing_unprotected,
     "no free cell for a protection point inside a slowdown or before the signal after it",
     "the protection pass: inside a slowdown slower than 110 km/h, the cell due every 8 cells and "
     "both its neighbours are taken; or the two cells in front of the first signal within 12 "
     "cells after the slowdown are taken",
     "the walk cell times 50 m (for the signal after the slowdown, its end cell), and the "
     "slowdown",
     "move objects out of the slowdown, or free the cells in front of the signal after it",
     error_place::position, ""},
    {error_code::position_beyond_grid, "a position lies outside the line and its 7000 m margin",
     "a row whose position + 100 m (a station: + 800 m) passes 50 times the last cell; a negative "
     "position for a tunnel, speed board, sign, signal, slowdown or code cut; a slowdown end or "
     "station stop past the last cell",
     "the row's position (a slowdown: its start), and the bound it passed",
     "keep positions from 0 up to about the line length + 6900 m (a station: + 6200 m)",
     error_place::position, ""},
    {error_code::signal_cell_occupied, "a signal falls on an occupied cell",
     "a \"segnale\" row whose cell (position / 50 + 1) already holds an object",
     "the row's position, and the cell",
     "move the signal or the object in its cell by 50 m or more", error_place::cell_conflict,
     "cell {}"},
    {error_code::slowdown_warning_occupied, "the cell of a slowdown warning is occupied",
     "a \"rallentamento\" row starting beyond 1500 m whose warning cell ((start - 1200) / 50 + 1) "
     "already holds an object",
     "the slowdown's start, and the warning cell",
     "move the slowdown, or the object 1200 m before its start", error_place::cell_conflict,
     "its warning cell {}"},
    {error_code::slowdown_start_occupied, "the start cell of a slowdown is occupied",
     "a \"rallentamento\" row whose start cell (start / 50 + 1) already holds an object",
     "the slowdown's start, and the cell", "move the slowdown or the object at its start",
     error_place::cell_conflict, "its start cell {}"},
    {error_code::slowdown_end_occupied, "the end cell of a slowdown is occupied",
     "a \"rallentamento\" row whose end cell ((start + length) / 50 + 1) already holds an object",
     "the slowdown's start, and the end cell",
     "change the slowdown's length, or move the object at its end", error_place::cell_conflict,
     "its end cell {}"},
    {error_code::warning_approach_occupied,
     "one of the four cells ahead of a slowdown warning is occupied",
     "a \"rallentamento\" row starting beyond 1500 m with a fifth value other than 0: one of the "
     "four cells before its warning already holds an object; the warning, start and end stay "
     "placed",
     "the slowdown's start, and the four cells",
     "write 0 as the fifth value, or move the objects 1200 to 1350 m before the start",
     error_place::cell_conflict, "cell {}, ahead of its warning,"},
    {error_code::speed_boards_cell_occupied, "speed indicator boards fall on an occupied cell",
     "an \"indicatori_vmax\" row whose cell (position / 50 + 1) already holds a board or a sign",
     "the row's position, and the cell",
     "move the boards or the object in their cell by 50 m or more", error_place::cell_conflict,
     "cell {}"},
    {error_code::stations_too_close,
     "a station area begins less than 350 m after the end of the previous one",
     "a \"stazione\" row whose area start minus 350 m lies before the area end of the station "
     "row before it; the station is already stored",
     "the station's position, and both area bounds",
     "move the stations apart, or shorten them, or write the rows in line order",
     error_place::position, ""},
    {error_code::station_stop_before_line,
     "a station area ends at 100 m or less, leaving no room for its stop",
     "a \"stazione\" row of a type below 25 whose stop cell (area end / 50 - 1) is cell 1 or lower",
     "none", "move the station on, or lengthen it, so that its area ends beyond 100 m",
     error_place::row_only, ""},
    {error_code::reading_failure,
     "the description texts could not be read (missing text, number out of range, "
     "or a row beyond what the tables hold)",
     "a number outside its field's range, a value asked for after the text ended, a line text "
     "without a length row, a line length below -6974 m (its grid would not reach cell 1), more "
     "than 80 "
     "\"montagna\" rows, packed board values outside 16 bits, a code cut code above 32767, a "
     "speed below -2 or above 1277 km/h, a station time or area beyond 32 bits, a name or sign "
     "text over 32767 bytes",
     "none; the report names the row",
     "bring the value within its range (Byte 0 to 255, Integer -32768 to 32767, Long 32 bits)",
     error_place::row_only, ""},
    {error_code::line_text_missing, "the line description text does not exist",
     "the build, when its line text is gone before it is read; compile reports a text it cannot "
     "read with status 1 instead",
     "none", "write the line text, or give compile its path", error_place::row_only, ""},
    {error_code::general_section_missing, "the line description text has no [generale] section",
     "the line text, when no field before its last one contains \"[generale]\"",
     "none; no grid is made, so no binary file is written",
     "begin the line text with a \"[generale]\" line", error_place::row_only, ""},
    {error_code::curve_invalid,
     "a curve names no class 1 to 6, or runs past the end of the track plan",
     "a \"curva\" row whose keyword field holds none of the digits 1 to 6, or whose start + "
     "length passes the plan's last metre (line length + 7000 m) or metre 1000000",
     "none", "write the class digit in the keyword (\"curvas4\"), or shorten the curve",
     error_place::row_only, ""},
    {error_code::fixed_values_taken,
     "the reserved fixed-value fields of cell 1 or slot 85 are already in use",
     "the final checks: an object the texts placed in cell 1 holds a first value",
     "none; the report names what cell 1 holds; no binary file is written",
     "move the object on: objects at positions below 75 m land in cell 1", error_place::row_only,
     ""},
    {error_code::competition_codes_taken,
     "the reserved competition-code fields of cell 1 or slot 85 are already in use",
     "the final checks: an object the texts placed in cell 1 holds a second value",
     "none; the report names what cell 1 holds; no binary file is written",
     "move the object on: objects at positions below 75 m land in cell 1", error_place::row_only,
     ""},
}};

// True for every named code. The switch has no default, so a code added to
// the enum and not here is flagged by the compiler, and the check below then
// asks for its entry in the table.
constexpr bool is_named(error_code code) {
  switch (code) {
    case error_code::none:
    case error_code::line_too_long:
    case error_code::progressive_not_multiple_of_50:
    case error_code::repetition_from_not_multiple_of_50:
    case error_code::repetition_to_not_multiple_of_50:
    case error_code::repetition_code_count_missing:
    case error_code::sign_cell_occupied:
    case error_code::code_cut_cell_occupied:
    case error_code::station_position_not_multiple_of_50:
    case error_code::station_length_not_multiple_of_100:
    case error_code::station_slots_exhausted:
    case error_code::signal_before_warning_unprotected:
    case error_code::slowdown_approach_unprotected:
    case error_code::slowdown_spacing_unprotected:
    case error_code::position_beyond_grid:
    case error_code::signal_cell_occupied:
    case error_code::slowdown_warning_occupied:
    case error_code::slowdown_start_occupied:
    case error_code::slowdown_end_occupied:
    case error_code::warning_approach_occupied:
    case error_code::speed_boards_cell_occupied:
    case error_code::stations_too_close:
    case error_code::station_stop_before_line:
    case error_code::reading_failure:
    case error_code::line_text_missing:
    case error_code::general_section_missing:
    case error_code::curve_invalid:
    case error_code::fixed_values_taken:
    case error_code::competition_codes_taken:
      return true;
  }
  return false;
}

constexpr bool in_table(std::int32_t number) {
  return std::any_of(table.begin(), table.end(),
                     [&](const error_explanation& e) { return code_number(e.code) == number; });
}

// The table holds every named code and nothing else, in ascending order, so
// that a binary search finds each one; its columns agree with each other.
constexpr bool table_is_complete() {
  for (std::size_t i = 1; i < table.size(); ++i) {
    if (code_number(table[i - 1].code) >= code_number(table[i].code)) return false;
  }
  // A conflict names its cell, and only a conflict does.
  for (const error_explanation& e : table) {
    if ((e.place == error_place::cell_conflict) == e.conflict_cell.empty()) return false;
  }
  for (std::int32_t number = 0; number <= code_number(table.back().code); ++number) {
    if (is_named(static_cast<error_code>(number)) != in_table(number)) return false;
  }
  return true;
}
static_assert(table_is_complete());

}  // namespace

std::span<const error_explanation> error_explanations() {
  return std::span<const error_explanation>(table).subspan(1);
}

const error_explanation* find_explanation(std::int32_t number) {
  const auto found = std::lower_bound(
      table.begin(), table.end(), number,
      [](const error_explanation& e, std::int32_t n) { return code_number(e.code) < n; });
  if (found == table.end() || code_number(found->code) != number) return nullptr;
  return &*found;
}

std::string_view meaning(error_code code) {
  const error_explanation* entry = find_explanation(code_number(code));
  return entry != nullptr ? entry->meaning : "unknown error";
}

bool keeps_position(error_code code) {
  const error_explanation* entry = find_explanation(code_number(code));
  return entry != nullptr && entry->place != error_place::row_only;
}

bool is_cell_conflict(error_code code) {
  const error_explanation* entry = find_explanation(code_number(code));
  return entry != nullptr && entry->place == error_place::cell_conflict;
}

}  // namespace compiler
