#pragma once
// A station's area and its cells: the stop cell at the end of the area and
// the approach marks before it.

#include <cstdint>

#include "compiler/model.h"
#include "compiler/placement.h"

namespace compiler {

// Sets the record's start and finish from its position, type and length (a
// multiple of 100), clearing the flag of an area that ends further for the
// types 5 to 8. False when a value does not fit 32 bits; the values before it
// are stored.
bool set_station_area(station_record& record, std::int64_t length);

// The stop cell of a station whose area ends at `finish`: finish / 50 - 1.
std::int64_t stop_cell_of(std::int32_t finish);

// Marks the four cells before the stop cell (81 nearest to 84) for the types
// below 25 but 5 and 6, and writes the stop cell (kind 10, the slot) whatever
// it held, for the types below 25. A stop cell not beyond cell 1 is error 24,
// after the marks.
placement place_station_cells(scenario_model& model, std::int32_t slot);

}  // namespace compiler
