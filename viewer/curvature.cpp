#include "viewer/curvature.h"

#include <cmath>

namespace viewer {

namespace {

// Curvatures closer than this are one and the same: the plan's coordinates
// carry rounding of about 1e-10 m a metre, and the gentlest curve a text can
// ask for turns by 1e-4 a metre.
constexpr double same_curvature = 1e-6;

}  // namespace

std::vector<curve_stretch> curve_stretches(const compiler::plan_points& plan) {
  std::vector<curve_stretch> stretches;
  compiler::plan_point before{}, last{};
  std::size_t m = 0;
  bool open = false;
  compiler::for_each_plan_point(plan, plan.drawable, [&](compiler::plan_point p) {
    if (m >= 2) {
      // The step into metre m is the one before it turned by k times its
      // normal: their cross product is -k times the earlier step's square.
      const double dx1 = last.x - before.x, dy1 = last.y - before.y;
      const double dx2 = p.x - last.x, dy2 = p.y - last.y;
      const double square = dx1 * dx1 + dy1 * dy1;
      const double k = square > 0 ? -(dx1 * dy2 - dy1 * dx2) / square : 0.0;
      const bool curved = std::abs(k) > same_curvature;
      if (open && (!curved || std::abs(k - stretches.back().curvature) > same_curvature)) {
        open = false;
      }
      if (open) {
        stretches.back().last_metre = m;
      } else if (curved) {
        stretches.push_back({m - 1, m, k});
        open = true;
      }
    }
    before = last;
    last = p;
    ++m;
  });
  return stretches;
}

}  // namespace viewer
