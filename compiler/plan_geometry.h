#pragma once
// How the track plan grows metre by metre: each point continues the step of
// the two points before it, turned by the curvature of the curve it lies in.
// The reader builds the plan with it and the decompiler tells, metre by
// metre, which curvature made a plan, so both must compute the very same
// doubles.

#include <array>
#include <cstddef>
#include <cstdint>

#include "compiler/model.h"

namespace compiler {

// Curvature of each curve class, for the classes 1 to 6.
inline constexpr std::array<double, 6> curvature_by_class = {0.0001, 0.0002, 0.0004,
                                                             0.001,  0.002,  0.003};

struct plan_point_xy {
  double x = 0.0;
  double y = 0.0;
  friend bool operator==(const plan_point_xy&, const plan_point_xy&) = default;
};

// The point after `before_last` and `last`: their step, turned by the
// curvature k (0 on straight track). The step is not renormalised.
inline plan_point_xy next_plan_point(plan_point_xy before_last, plan_point_xy last, double k) {
  const double dx = last.x - before_last.x;
  const double dy = last.y - before_last.y;
  if (k == 0.0) return {last.x + dx, last.y + dy};
  return {last.x + (dx + k * dy), last.y + (dy - k * dx)};
}

// Computes metre m of the plan from metres m - 2 and m - 1.
inline void plan_step(track_plan& plan, std::int64_t m, double k) {
  const auto i = static_cast<std::size_t>(m);
  const plan_point_xy next =
      next_plan_point({plan.x[i - 2], plan.y[i - 2]}, {plan.x[i - 1], plan.y[i - 1]}, k);
  plan.x[i] = next.x;
  plan.y[i] = next.y;
}

}  // namespace compiler
