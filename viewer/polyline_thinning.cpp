#include "viewer/polyline_thinning.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace viewer {

namespace {

double squared_distance_to_segment(point p, point a, point b) {
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  const double length_squared = dx * dx + dy * dy;
  double t = 0.0;
  if (length_squared > 0.0) {
    t = std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length_squared, 0.0, 1.0);
  }
  const double ex = p.x - (a.x + t * dx);
  const double ey = p.y - (a.y + t * dy);
  return ex * ex + ey * ey;
}

}  // namespace

double distance_to_segment(point p, point a, point b) {
  return std::sqrt(squared_distance_to_segment(p, a, b));
}

// Douglas-Peucker: a span keeps the point farthest from its chord when that
// point lies beyond the tolerance, and is split there. The spans wait on an
// explicit stack, since a plan of a million metres would nest too deep for
// recursion on a line that winds all the way.
std::vector<std::size_t> thin_polyline(std::span<const point> points, double tolerance) {
  if (points.empty()) return {};
  const std::size_t last = points.size() - 1;
  const double limit = tolerance * tolerance;
  std::vector<bool> keep(points.size(), false);
  keep[0] = true;
  keep[last] = true;
  std::vector<std::pair<std::size_t, std::size_t>> spans;
  if (last > 1) spans.emplace_back(0, last);
  while (!spans.empty()) {
    const auto [first, end] = spans.back();
    spans.pop_back();
    double farthest = -1.0;
    std::size_t split = first;
    for (std::size_t i = first + 1; i < end; ++i) {
      const double d = squared_distance_to_segment(points[i], points[first], points[end]);
      if (d > farthest) {
        farthest = d;
        split = i;
      }
    }
    if (farthest <= limit) continue;
    keep[split] = true;
    if (split - first > 1) spans.emplace_back(first, split);
    if (end - split > 1) spans.emplace_back(split, end);
  }
  std::vector<std::size_t> kept;
  for (std::size_t i = 0; i < keep.size(); ++i) {
    if (keep[i]) kept.push_back(i);
  }
  return kept;
}

}  // namespace viewer
