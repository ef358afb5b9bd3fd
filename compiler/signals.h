#pragma once
// Placement of the service's signals and slowdowns on the grid.
//
// Both expect the reader to have checked the row's position against the
// grid; a slowdown's end is checked by the reader too.

#include <cstdint>

#include "compiler/model.h"

namespace compiler {

// Places a signal at cell posizione / 50 + 1 with its packed side values, its
// time (raised to 101 when between 1 and 100, kept only when sx is 2) and
// approach markers 2, 4, 6 and 8 cells before it (markers that would fall
// before cell 0 are skipped). An occupied cell is error 16 and nothing is
// written.
void memo_segnale(build_state& state, std::int32_t posizione, std::int32_t& sx, std::int32_t& s1,
                  std::int32_t& s2, std::int32_t& s3, std::int32_t& rapp, std::int32_t& dx,
                  std::int32_t& d1, std::int32_t& d2, std::int32_t& d3, std::int32_t& tempo);

// Places a slowdown: a warning 1200 m ahead of the start (for a start beyond
// 1500 m), the start and end cells, and, when f_ta is not 0, the four cells
// ahead of the warning. Errors 17 to 19 leave the grid unchanged; error 20
// leaves the end, start and warning cells written.
void memo_rallentamento(build_state& state, std::int32_t x, std::int32_t& v, std::int32_t& l,
                        std::int32_t& f_tt, std::int32_t f_ta, std::int32_t& d_v);

// Cells of a slowdown row at x with length l.
std::int64_t slowdown_start_cell(std::int32_t x);
std::int64_t slowdown_end_cell(std::int32_t x, std::int32_t l);

}  // namespace compiler
