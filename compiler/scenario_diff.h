#pragma once
// Two scenarios compared by what they mean: the rows that make each of them,
// recovered from their models, side by side. A change is told by its cause
// (a station moved, a speed limit changed over a stretch), never by the
// derived cells it moves along with it (approach marks, stop cells,
// protection points, the competition codes).

#include <cstdint>
#include <string>
#include <vector>

#include "compiler/model.h"

namespace compiler {

// Its texts are UTF-8: names and sign texts are turned from the files'
// Windows-1252.
struct meaning_change {
  std::int64_t position = -1;  // metres along the line; -1 for the whole scenario
  std::string subject;         // "station ORMEDA", "speed limit", "signal"
  std::string change;          // the whole sentence, with kilometres
  std::string before;          // what the older scenario holds; empty when added
  std::string after;           // what the newer one holds; empty when removed
};

// The changes from `older` to `newer`, along the line: the whole-scenario
// changes first, then by position. None when the two mean the same.
std::vector<meaning_change> compare_meaning(const scenario_model& older,
                                            const scenario_model& newer);

// A position as the changes give it: "12.450 km".
std::string kilometres(std::int64_t metres);

}  // namespace compiler
