#pragma once
// The signal protection pass: protection points (code cuts with 180) in front
// of the signals before every slowdown warning, at three distances before
// every slowdown start, every 8 cells through a slowdown slower than
// 110 km/h, and in front of the first signal after it. Errors 11 to 13 are
// recorded with the cell's metres and the pass goes on.

#include <cstdint>

#include "compiler/journal.h"
#include "compiler/model.h"

namespace compiler {

inline constexpr std::int16_t protection_code = 180;

// The smaller of two codes; x on equal values.
std::int16_t smaller_code(std::int16_t x, std::int16_t y);

// Runs the pass over the whole grid, recording what it places and the errors
// it finds in the journal. Never reads or writes outside the grid.
void protect_slowdowns(scenario_model& model, journal& log);

}  // namespace compiler
