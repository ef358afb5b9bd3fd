#include "compiler/meaning_checks.h"

#include <tuple>
#include <type_traits>

#include "compiler/keywords.h"
#include "compiler/rounding.h"

namespace compiler {

namespace {

constexpr std::int64_t seconds_a_day = 24 * 60 * 60;

// The warning a value outside its field's range gets, by the field's check;
// nothing for a value the check lets pass.
std::optional<warning_kind> out_of_range(row_keyword keyword, const field_fact& field,
                                         std::int64_t value) {
  switch (field.check) {
    case value_check::none:
      return std::nullopt;
    case value_check::one_digit:
      if (value < field.lowest || value > field.highest) return warning_kind::digits_run_over;
      return std::nullopt;
    case value_check::time_of_day:
      if (value < field.lowest || value > field.highest) return warning_kind::not_a_time_of_day;
      return std::nullopt;
    case value_check::type_code: {
      const bool known = keyword == row_keyword::tunnel
                             ? is_known_tunnel_type(value)
                             : value >= field.lowest && value <= field.highest;
      if (!known) return warning_kind::unknown_type_code;
      return std::nullopt;
    }
    case value_check::length:
      if (value < 0) return warning_kind::negative_length;
      return std::nullopt;
  }
  return std::nullopt;
}

// Every value of the row that lies outside what its field means.
template <class Row>
void check_fields(journal& log, text_place place, std::int32_t row, row_keyword keyword,
                  const Row& values) {
  const auto fields = facts_of(keyword).fields;
  std::int32_t index = 0;
  const auto check_one = [&](auto member) {
    const std::int32_t i = index++;
    using value_type = std::remove_cvref_t<decltype(values.*member)>;
    if constexpr (!std::is_same_v<value_type, std::string_view>) {
      const field_fact& field = fields[static_cast<std::size_t>(i)];
      const auto value = static_cast<std::int64_t>(values.*member);
      if (const auto kind = out_of_range(keyword, field, value)) {
        warn(log, place, row, *kind, i, value, field.highest);
      }
    }
  };
  std::apply([&](auto... member) { (check_one(member), ...); }, row_values<Row>);
}

// Whether the rows of a keyword are expected in the order of the line: the
// profiles and the objects, where a row behind the one before is most
// likely a mistyped digit. Curves have their own warning for it.
bool runs_along_the_line(const keyword_fact& keyword) {
  return keyword.names_place && keyword.section != text_section::line_general &&
         keyword.keyword != row_keyword::curve;
}

template <class Row>
std::int64_t first_value(const Row& values) {
  const auto member = std::get<0>(row_values<Row>);
  if constexpr (std::is_same_v<std::remove_cvref_t<decltype(values.*member)>, std::string_view>) {
    return 0;
  } else {
    return static_cast<std::int64_t>(values.*member);
  }
}

void check_order(journal& log, meaning_state& state, text_place place, std::int32_t row,
                 row_keyword keyword, std::int64_t position) {
  std::optional<meaning_state::row_at>& last = state.last[static_cast<std::size_t>(keyword)];
  if (last && position < last->position) {
    warn(log, place, row, warning_kind::position_goes_back, 0, position, last->position, last->row);
  }
  last = meaning_state::row_at{position, row};
}

void check_timetable(journal& log, meaning_state& state, text_place place, std::int32_t row,
                     const station_row& station) {
  if (station.hours == 0 && station.minutes == 0 && station.seconds == 0) return;
  const std::int64_t time =
      (std::int64_t{station.hours} * 60 + station.minutes) * 60 + station.seconds;
  auto& last = state.last_timed;
  // A train that runs past midnight departs "earlier" by most of a day: only
  // a step back of less than half a day is taken for a mistake.
  if (last && station.position > last->position && time < last->time &&
      last->time - time < seconds_a_day / 2) {
    warn(log, place, row, warning_kind::timetable_goes_back, value_index<&station_row::hours>, time,
         last->time, last->row);
  }
  last = meaning_state::timed_station{time, station.position, row};
}

// A tunnel covers the cells from its start's to the one before its end's:
// none, when its end lies before its start or within the start's cell.
void check_tunnel_cells(journal& log, text_place place, std::int32_t row,
                        const tunnel_row& tunnel) {
  const std::int64_t first = cell_index(tunnel.start);
  const std::int64_t last = cell_index(tunnel.end) - 1;
  if (first <= last) return;
  warn(log, place, row, warning_kind::tunnel_covers_no_cell, value_index<&tunnel_row::end>,
       tunnel.end, tunnel.start);
}

}  // namespace

bool is_known_tunnel_type(std::int64_t type) {
  const std::int64_t stored = type > 10 ? type - 10 : type;
  return stored >= 1 && stored <= 3;
}

void check_meaning(journal& log, meaning_state& state, text_place place, std::int32_t row,
                   const typed_row& values) {
  std::visit(
      [&](const auto& typed) {
        using row_type = std::remove_cvref_t<decltype(typed)>;
        const keyword_fact& keyword = facts_of(keyword_of(values));
        check_fields(log, place, row, keyword.keyword, typed);
        if (runs_along_the_line(keyword)) {
          check_order(log, state, place, row, keyword.keyword, first_value(typed));
        }
        if constexpr (std::is_same_v<row_type, station_row>) {
          check_timetable(log, state, place, row, typed);
        } else if constexpr (std::is_same_v<row_type, repetition_row>) {
          state.repetition = meaning_state::repetition_seen{place, row, typed};
        } else if constexpr (std::is_same_v<row_type, tunnel_row>) {
          check_tunnel_cells(log, place, row, typed);
        }
      },
      values);
}

void check_curve_keyword(journal& log, text_place place, std::int32_t row, std::string_view field) {
  if (curve_sense_written_plainly(field)) return;
  warn(log, place, row, warning_kind::curve_sense_from_word, -1,
       curve_sense_negative(field) ? 1 : 0, 0);
}

void check_line_reach(journal& log, const meaning_state& state, std::int64_t line_length) {
  if (!state.repetition) return;
  const auto& [place, row, values] = *state.repetition;
  // A repetition that ends at 0 is off; its start means nothing then.
  if (values.to == 0) return;
  if (values.from > line_length) {
    warn(log, place, row, warning_kind::beyond_line_end, value_index<&repetition_row::from>,
         values.from, line_length);
  }
  if (values.to > line_length) {
    warn(log, place, row, warning_kind::beyond_line_end, value_index<&repetition_row::to>,
         values.to, line_length);
  }
}

}  // namespace compiler
