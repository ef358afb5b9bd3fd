#pragma once
// The curves of the line, read back from the track plan: each step of the
// plan turns the one before it by the curvature of its metre, so the turn
// between two steps gives that curvature again, and runs of one curvature
// are the curves the texts asked for.

#include <cstddef>
#include <vector>

#include "compiler/decoding.h"

namespace viewer {

struct curve_stretch {
  std::size_t first_metre;
  std::size_t last_metre;
  double curvature;  // per metre; positive turns right, negative left

  double radius_m() const { return 1.0 / (curvature < 0 ? -curvature : curvature); }
};

// The stretches of the drawable plan whose curvature is not 0, in order.
std::vector<curve_stretch> curve_stretches(const compiler::plan_points& plan);

}  // namespace viewer
