#pragma once
// Placement of the service's signals and slowdowns on the grid.
//
// Both expect the reader to have checked the row's position against the
// grid; a slowdown's end is checked by the reader too.

#include <cstdint>

#include "compiler/model.h"
#include "compiler/placement.h"
#include "compiler/rows.h"

namespace compiler {

// What a signal row did, and the time it stored: a time of 1 to 100 is
// raised to 101.
struct signal_placement {
  placement done;
  std::int32_t time = 0;
};

// Places a signal at cell position / 50 + 1 with its packed side values, its
// time (kept only when sx is 2) and approach marks 2, 4, 6 and 8 cells before
// it (marks that would fall before cell 0 are skipped). An occupied cell is
// error 16 and nothing is written.
signal_placement place_signal(scenario_model& model, const signal_row& row);

// The cells of a slowdown row.
struct slowdown_cells {
  std::int64_t warning = 0;  // (x - 1200) / 50 + 1, only used when x > 1500
  std::int64_t start = 0;    // x / 50 + 1
  std::int64_t end = 0;      // (x + l) / 50 + 1
  std::int64_t ahead = 0;    // (x - 1200) / 50: the first of the four cells ahead of the warning
};

slowdown_cells cells_of(const slowdown_row& row);

// Places a slowdown: a warning 1200 m ahead of the start (for a start beyond
// 1500 m), the start and end cells, and, when f_ta is not 0, the four cells
// ahead of the warning. Errors 17 to 19 leave the grid unchanged; error 20
// leaves the end, start and warning cells written.
placement place_slowdown(scenario_model& model, const slowdown_row& row);

}  // namespace compiler
