#pragma once
// The way back from a compiled model to the keyword rows that make it: each
// object in the grid, the table and the plan is read as the row that writes
// it. Only what a row writes comes back as a row; what the compile derives
// (approach marks, stop cells, the protection points, the fixed values and
// the competition codes) comes back when the rows are compiled again.
//
// Positions come back on the 50 m multiple that gives the same cell. Where
// the model holds something that no row writes, or that no row can write
// in the order the program lays its texts out, a note says what and where,
// and the rest is recovered all the same.

#include <cstdint>
#include <string>
#include <vector>

#include "compiler/model.h"
#include "compiler/rows.h"

namespace compiler {

// Something the model holds that the recovered rows do not give back.
struct recovery_note {
  std::string what;   // "a slowdown end that no start pairs with"
  std::string where;  // "cell 812"
};

struct recovered_rows {
  std::vector<typed_row> line;     // the rows of the line text, each keyword's rows in order
  std::vector<typed_row> service;  // the rows of the service text
  // Cells of kind 12 with the code 180: each a protection point that the
  // compile adds, or a code cut that a row wrote (or that the protection
  // pass lowered). Only a compile of the other rows tells which; their rows
  // are not in `service`.
  std::vector<std::int64_t> code_180_cells;
  std::vector<recovery_note> notes;
};

// The rows' texts (station names, sign texts) point into `model`, which must
// outlive them. The plan is read when the model has one.
recovered_rows recover_rows(const scenario_model& model);

// The rows of one keyword among `rows`, in their order.
template <class Row>
std::vector<Row> rows_of(const std::vector<typed_row>& rows) {
  std::vector<Row> out;
  for (const typed_row& row : rows) {
    if (const Row* r = std::get_if<Row>(&row)) out.push_back(*r);
  }
  return out;
}

// The code-cut row that writes the kind 12 cell `cell` with the code 180.
code_cut_row protection_code_cut(std::int64_t cell);

}  // namespace compiler
