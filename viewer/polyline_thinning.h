#pragma once
// Thinning of a long polyline for drawing: the points whose removal moves the
// drawn line by less than a tolerance are dropped, so a straight kilometre
// costs two points and a curve as many as its bend needs.

#include <cstddef>
#include <span>
#include <vector>

namespace viewer {

struct point {
  double x = 0.0;
  double y = 0.0;
};

// The indices of the points to keep, in increasing order: always the first
// and the last, and enough of the others that every dropped point lies within
// `tolerance` of the segment drawn between the kept points around it. An
// empty input gives no index, a single point its own.
std::vector<std::size_t> thin_polyline(std::span<const point> points, double tolerance);

// The distance from `p` to the segment from `a` to `b`.
double distance_to_segment(point p, point a, point b);

}  // namespace viewer
