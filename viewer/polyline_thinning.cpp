#include "viewer/polyline_thinning.h"

#include <algorithm>
#include <cmath>

namespace viewer {

namespace {

double cross(point a, point b) { return a.x * b.y - a.y * b.x; }
double dot(point a, point b) { return a.x * b.x + a.y * b.y; }
point minus(point a, point b) { return {a.x - b.x, a.y - b.y}; }

}  // namespace

// An eighth of the tolerance goes to the points passed over, the rest to the
// sleeve, a hair under it so that rounding never lets a dropped point land
// just outside.
polyline_thinner::polyline_thinner(double tolerance)
    : step_squared_(std::max(tolerance, 0.0) * std::max(tolerance, 0.0) / 64),
      tolerance_(std::max(tolerance, 0.0) * (7.0 / 8.0) * (1.0 - 1e-9)),
      tolerance_squared_(tolerance_ * tolerance_) {}

// A point can end the run when the segment to it from the kept point runs
// inside the sleeve of every point before it, and no point before it lies
// farther from the kept point. Then every point of the run projects onto the
// segment, at most the tolerance away from it.
bool polyline_thinner::can_end_run(point p) const {
  const point v = minus(p, kept_.back().at);
  if (dot(v, v) < farthest_squared_) return false;
  if (!narrowed_) return true;
  const point middle{left_.x + right_.x, left_.y + right_.y};
  return cross(right_, v) >= 0.0 && cross(v, left_) >= 0.0 && dot(v, middle) > 0.0;
}

// The directions that pass within the tolerance of `p` make the angle
// asin(tolerance / distance) on either side of the direction to it; the run's
// directions are narrowed to those. A point within the tolerance of the kept
// point lies near any segment from it and narrows nothing.
void polyline_thinner::narrow_to(point p) {
  const point v = minus(p, kept_.back().at);
  const double d2 = dot(v, v);
  farthest_squared_ = std::max(farthest_squared_, d2);
  if (d2 <= tolerance_squared_) return;
  // v turned by the angle either way, then divided by its length squared:
  // unit vectors, with one square root and no trigonometry.
  const double along = std::sqrt(d2 - tolerance_squared_);
  const double t = tolerance_;
  const point left{(v.x * along - v.y * t) / d2, (v.x * t + v.y * along) / d2};
  const point right{(v.x * along + v.y * t) / d2, (v.y * along - v.x * t) / d2};
  if (!narrowed_) {
    left_ = left;
    right_ = right;
    narrowed_ = true;
    return;
  }
  // Both ranges hold the direction to `p` (it could end the run), so the
  // nearer bound on each side is the one to keep.
  if (cross(left_, left) < 0.0) left_ = left;
  if (cross(right_, right) > 0.0) right_ = right;
}

void polyline_thinner::weigh(const kept_point& current) {
  if (current.index == 0) {
    kept_.push_back(current);
    last_ = current;
    return;
  }
  if (!can_end_run(current.at)) {
    // The run ends at the point before: it is kept, and a new run starts
    // from it, in which `current` is the first point.
    kept_.push_back(last_);
    narrowed_ = false;
    farthest_squared_ = 0.0;
  }
  narrow_to(current.at);
  last_ = current;
}

std::vector<kept_point> polyline_thinner::finish() {
  // The last point is always kept, so it is weighed even when near.
  if (added_ > 1 && passed_over_.index > last_.index) weigh(passed_over_);
  if (added_ > 1) kept_.push_back(last_);
  return std::move(kept_);
}

std::vector<std::size_t> thin_polyline(std::span<const point> points, double tolerance) {
  polyline_thinner thinner(tolerance);
  for (const point& p : points) thinner.add(p);
  std::vector<std::size_t> indices;
  for (const kept_point& k : thinner.finish()) indices.push_back(k.index);
  return indices;
}

}  // namespace viewer
