#include "compiler/error_code.h"

namespace compiler {

std::string_view meaning(error_code code) {
  switch (code) {
    case error_code::none:
      return "no error";
    case error_code::line_too_long:
      return "the line length is above 1000000 m (or below 0)";
    case error_code::progressive_not_multiple_of_50:
      return "a start or reference of a kilometric progressive change is not a multiple of 50";
    case error_code::repetition_from_not_multiple_of_50:
      return "the first number of the signal repetition row is not a multiple of 50";
    case error_code::repetition_to_not_multiple_of_50:
      return "the second number of the signal repetition row is not a multiple of 50";
    case error_code::repetition_code_count_missing:
      return "the signal repetition row names neither 4 nor 9 codes";
    case error_code::sign_cell_occupied:
      return "a line-side sign falls on an occupied cell";
    case error_code::code_cut_cell_occupied:
      return "a code cut falls on an occupied cell";
    case error_code::station_position_not_multiple_of_50:
      return "a station position is not a multiple of 50";
    case error_code::station_length_not_multiple_of_100:
      return "a station length is not a multiple of 100";
    case error_code::station_slots_exhausted:
      return "the stations have reached the slots of the line-side signs";
    case error_code::signal_before_warning_unprotected:
      return "a signal before a slowdown warning has no free cell and no code cut in front of it";
    case error_code::slowdown_approach_unprotected:
      return "no free cell for a protection point at one of the distances before a slowdown start";
    case error_code::slowdown_spacing_unprotected:
      return "no free cell for a protection point inside a slowdown or before the signal after it";
    case error_code::position_beyond_grid:
      return "a position lies outside the line and its 7000 m margin";
    case error_code::signal_cell_occupied:
      return "a signal falls on an occupied cell";
    case error_code::slowdown_warning_occupied:
      return "the cell of a slowdown warning is occupied";
    case error_code::slowdown_start_occupied:
      return "the start cell of a slowdown is occupied";
    case error_code::slowdown_end_occupied:
      return "the end cell of a slowdown is occupied";
    case error_code::warning_approach_occupied:
      return "one of the four cells ahead of a slowdown warning is occupied";
    case error_code::speed_boards_cell_occupied:
      return "speed indicator boards fall on an occupied cell";
    case error_code::stations_too_close:
      return "a station area begins less than 350 m after the end of the previous one";
    case error_code::station_stop_before_line:
      return "a station area ends at 100 m or less, leaving no room for its stop";
    case error_code::reading_failure:
      return "the description texts could not be read (missing text, number out of range, "
             "or a row beyond what the tables hold)";
    case error_code::line_text_missing:
      return "the line description text does not exist";
    case error_code::general_section_missing:
      return "the line description text has no [generale] section";
    case error_code::curve_invalid:
      return "a curve names no class 1 to 6, or runs past the end of the track plan";
    case error_code::fixed_values_taken:
      return "the reserved fixed-value fields of cell 1 or slot 85 are already in use";
    case error_code::competition_codes_taken:
      return "the reserved competition-code fields of cell 1 or slot 85 are already in use";
  }
  return "unknown error";
}

bool keeps_position(error_code code) {
  switch (code) {
    case error_code::sign_cell_occupied:
    case error_code::code_cut_cell_occupied:
    case error_code::station_position_not_multiple_of_50:
    case error_code::station_length_not_multiple_of_100:
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
      return true;
    default:
      return false;
  }
}

}  // namespace compiler
