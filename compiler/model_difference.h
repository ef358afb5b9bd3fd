#pragma once
// The first place where two models differ, named as the tools name it: a
// cell of the grid, a slot of the table or a metre of the plan, the field,
// and what each side holds. Models that differ nowhere encode to the same
// bytes.

#include <optional>
#include <string>

#include "compiler/model.h"

namespace compiler {

struct model_difference {
  std::string where;  // "cell 812", "slot 3", "plan metre 1200", "grid"
  std::string field;  // "kind", "name", "x", "cells"
  std::string first;  // what the first model holds there
  std::string second;
};

// Compares the grids cell by cell, then the tables slot by slot, then the
// plans metre by metre (a plan only one side has is a difference).
std::optional<model_difference> first_difference(const scenario_model& first,
                                                 const scenario_model& second);

}  // namespace compiler
