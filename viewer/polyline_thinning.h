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

struct kept_point {
  std::size_t index = 0;
  point at;
};

// Thins the points handed to it one by one, in a single pass that holds none
// of them but the last: the points of a long plan are read once from its
// file and never stored. Each kept point ends the longest run from the point
// kept before it whose points all lie within the tolerance of the segment
// between the two (a sleeve of twice the tolerance around it).
//
// A plan has a point a metre, hundreds to a pixel at full view: a point
// nearer than an eighth of the tolerance to the last one weighed is passed
// over unweighed, and the sleeve is narrowed by as much, so that it still
// holds every point.
class polyline_thinner {
 public:
  explicit polyline_thinner(double tolerance);

  // The next point; its index is the number of points added before it. A
  // point this near the last one weighed lies within an eighth of the
  // tolerance of it, and so within the tolerance of any segment the sleeve
  // lets pass near that one: it is only remembered, in case it is the last.
  void add(point p) {
    const std::size_t index = added_++;
    const double dx = p.x - last_.at.x;
    const double dy = p.y - last_.at.y;
    if (index != 0 && dx * dx + dy * dy < step_squared_) {
      // Stored field by field: a whole kept_point built and copied here
      // would be read back before its parts are written out.
      passed_over_.index = index;
      passed_over_.at.x = p.x;
      passed_over_.at.y = p.y;
      return;
    }
    weigh(kept_point{index, p});
  }

  // The kept points, in increasing order of index: always the first and the
  // last, and enough of the others that every dropped point lies within the
  // tolerance of the segment drawn between the kept points around it. The
  // thinner is spent afterwards.
  std::vector<kept_point> finish();

 private:
  bool can_end_run(point p) const;
  void narrow_to(point p);
  void weigh(const kept_point& current);

  double step_squared_;  // nearer than this to the last point weighed: passed over
  double tolerance_;     // the sleeve's half-width
  double tolerance_squared_;
  std::vector<kept_point> kept_;
  kept_point last_;         // the last point weighed
  kept_point passed_over_;  // the last point passed over, when it is later than last_
  std::size_t added_ = 0;
  // The directions from the last kept point along which a segment passes
  // within the tolerance of every point of the run so far: the unit vectors
  // from `right_` counter-clockwise to `left_`, always under half a turn.
  bool narrowed_ = false;
  point left_;
  point right_;
  // The largest squared distance of a point of the run from the kept point:
  // a segment that ends nearer would leave such a point beyond its end.
  double farthest_squared_ = 0.0;
};

// The indices of the points to keep, as polyline_thinner keeps them. An empty
// input gives no index, a single point its own.
std::vector<std::size_t> thin_polyline(std::span<const point> points, double tolerance);

}  // namespace viewer
