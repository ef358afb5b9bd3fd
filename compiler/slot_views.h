#pragma once
// What the generic fields of the table's parameter slots (81 to 86) mean. A
// slot is a station record whatever it holds; the line, the route and the
// train keep their parameters in its `start`, `finish`, `position`, groups and
// `departure_time`. Each slot has one view here, read and written whole, so
// that the readers, the final checks, the page and the tools agree on which
// field holds what. A station's own flags have their view here too.

#include <cstddef>
#include <cstdint>

#include "compiler/model.h"

namespace compiler {

inline constexpr std::size_t progressive_change_count = 3;  // slots 81, 82, 83

// Slots 81 to 83: from `start` on, the kilometres count from `reference`; a
// `flag` of 1 moves the reference 100 m on once the changes are ordered.
struct progressive_change {
  std::int32_t start = 0;
  std::int32_t reference = 0;
  std::int32_t flag = 0;

  bool operator==(const progressive_change&) const = default;
};

// Slot 84.
struct line_parameters {
  std::int32_t braked_mass_percent = 0;
  std::int32_t line_length_m = 0;
  std::int32_t car_count = 0;

  bool operator==(const line_parameters&) const = default;
};

// Slot 85: the three backgrounds, and what the final checks stamp there.
struct route_parameters {
  std::int32_t background_one = 0;
  std::int32_t background_two = 0;
  std::int32_t background_three = 0;
  std::int16_t fixed_value = 0;  // 610 once the build has ended
  std::int32_t weighted_competition_code = 0;

  bool operator==(const route_parameters&) const = default;
};

// Slot 86: the stretch of signal repetition and its code count (4, 9, or 0
// without an end), the sand and the clock the run starts at.
struct train_parameters {
  std::int32_t repetition_from_m = 0;
  std::int32_t repetition_to_m = 0;
  std::int32_t repetition_codes = 0;
  std::int16_t sand = 0;
  std::int16_t clock_hours = 0;
  std::int16_t clock_minutes = 0;
  std::int16_t clock_seconds = 0;

  bool operator==(const train_parameters&) const = default;
};

// `index` 0 to 2 stands for slot 81 to 83.
progressive_change progressive_change_of(const station_table& stations, std::size_t index);
line_parameters line_parameters_of(const station_table& stations);
route_parameters route_parameters_of(const station_table& stations);
train_parameters train_parameters_of(const station_table& stations);

// Writes the view's fields into its slot; the slot's name and every field the
// view does not name stay as they were.
void put_progressive_change(station_table& stations, std::size_t index,
                            const progressive_change& change);
void put_line_parameters(station_table& stations, const line_parameters& line);
void put_route_parameters(station_table& stations, const route_parameters& route);
void put_train_parameters(station_table& stations, const train_parameters& train);

// Slots 1 up: a station whose area ends 50 m further on (its row's sixth
// number), and the clearing of that flag where the station's type fixes the
// area's end itself.
bool area_ends_further(const station_record& station);
void clear_area_ends_further(station_record& station);

}  // namespace compiler
