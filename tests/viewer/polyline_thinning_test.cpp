// Thinning keeps the ends and every point it drops stays within the
// tolerance of the line drawn through the points it keeps.

#include "viewer/polyline_thinning.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

using viewer::point;

// The distance from `p` to the segment from `a` to `b`: the measure the
// thinning's promise is held to.
double distance_to_segment(point p, point a, point b) {
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  const double length_squared = dx * dx + dy * dy;
  double t = 0.0;
  if (length_squared > 0.0) {
    t = std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length_squared, 0.0, 1.0);
  }
  return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

// The farthest any point lies from the segment of the thinned line that
// spans it.
double worst_deviation(const std::vector<point>& points, const std::vector<std::size_t>& kept) {
  double worst = 0.0;
  for (std::size_t k = 0; k + 1 < kept.size(); ++k) {
    for (std::size_t i = kept[k]; i <= kept[k + 1]; ++i) {
      worst = std::max(worst, distance_to_segment(points[i], points[kept[k]],
                                                          points[kept[k + 1]]));
    }
  }
  return worst;
}

std::vector<point> straight(std::size_t n) {
  std::vector<point> points;
  for (std::size_t i = 0; i < n; ++i) points.push_back({0.0, static_cast<double>(i)});
  return points;
}

std::vector<point> corner() {
  std::vector<point> points;
  for (int i = 0; i <= 100; ++i) points.push_back({0.0, double(i)});
  for (int i = 1; i <= 100; ++i) points.push_back({double(i), 100.0});
  return points;
}

std::vector<point> arc(double radius, std::size_t n) {
  std::vector<point> points;
  for (std::size_t i = 0; i < n; ++i) {
    const double a = std::numbers::pi * static_cast<double>(i) / static_cast<double>(n - 1);
    points.push_back({radius * std::cos(a), radius * std::sin(a)});
  }
  return points;
}

std::vector<point> zigzag(double amplitude) {
  std::vector<point> points;
  for (int i = 0; i <= 20; ++i) points.push_back({double(i) * 10.0, i % 2 == 0 ? 0.0 : amplitude});
  return points;
}

// A track as a plan holds it: a point every `step`, turning by a curvature
// that changes every so often, sometimes hard enough to wind back on itself.
std::vector<point> winding(std::uint32_t seed, std::size_t n, double step) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> curvature(-0.02, 0.02);
  std::uniform_int_distribution<int> run(50, 2000);
  std::vector<point> points;
  double x = 0, y = 0, heading = 0, k = 0;
  int left = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (left-- <= 0) {
      k = random() % 3 == 0 ? 0.0 : curvature(random) / step;
      left = run(random);
    }
    points.push_back({x, y});
    heading += k * step;
    x += step * std::cos(heading);
    y += step * std::sin(heading);
  }
  return points;
}

// Up a line and back down beside it, nearer than the tolerance.
std::vector<point> hairpin() {
  std::vector<point> points;
  for (int i = 0; i <= 100; ++i) points.push_back({0.0, double(i)});
  for (int i = 100; i >= 0; --i) points.push_back({0.3, double(i)});
  return points;
}

std::vector<point> dense_straight() {
  std::vector<point> points;
  for (int i = 0; i <= 1000; ++i) points.push_back({0.01 * i, 0.005 * i});
  return points;
}

TEST(PolylineThinning, KeepsEndsAndStaysWithinTolerance) {
  struct test_case {
    std::string name;
    std::vector<point> points;
    double tolerance;
    std::vector<std::size_t> expected;  // empty: only the bounds are checked
    std::size_t most_kept;
  };
  const std::vector<test_case> cases = {
      {"empty", {}, 0.5, {}, 0},
      {"one point", {{3, 4}}, 0.5, {0}, 1},
      {"two points", {{0, 0}, {5, 5}}, 0.5, {0, 1}, 2},
      {"a straight kilometre", straight(1001), 0.5, {0, 1000}, 2},
      {"a right angle keeps its corner", corner(), 0.5, {0, 100, 200}, 3},
      {"a zigzag above the tolerance keeps every peak", zigzag(2.0), 0.5,
       {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}, 21},
      {"a zigzag under the tolerance is a line", zigzag(0.4), 0.5, {0, 20}, 2},
      // A half circle of radius 500 under half a unit: the chord of angle t
      // sags r(1 - cos(t/2)), so about 50 points are needed, far below 2000.
      {"a half circle", arc(500.0, 2000), 0.5, {}, 80},
      // The way back lies within the tolerance of the way up, but a segment
      // from the start to the end would pass far from the turn.
      {"a hairpin keeps its turn", hairpin(), 0.5, {}, 4},
      // Points far nearer to each other than the tolerance: passed over, and
      // the last one still kept.
      {"a dense straight line", dense_straight(), 0.5, {0, 1000}, 2},
      {"a winding track, a point a unit", winding(7, 20000, 1.0), 2.0, {}, 2000},
      {"a winding track under a fine tolerance", winding(11, 20000, 1.0), 0.05, {}, 20000},
      {"a winding track, ten points a unit", winding(13, 50000, 0.1), 0.5, {}, 5000},
  };
  for (const test_case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::size_t> kept = viewer::thin_polyline(c.points, c.tolerance);
    if (!c.expected.empty() || c.points.empty()) {
      EXPECT_EQ(kept, c.expected);
    }
    EXPECT_LE(kept.size(), c.most_kept);
    if (c.points.empty()) continue;
    EXPECT_EQ(kept.front(), 0u);
    EXPECT_EQ(kept.back(), c.points.size() - 1);
    EXPECT_TRUE(std::is_sorted(kept.begin(), kept.end()));
    EXPECT_LE(worst_deviation(c.points, kept), c.tolerance);
  }
}

TEST(PolylineThinning, DistanceToSegment) {
  EXPECT_DOUBLE_EQ(distance_to_segment({0, 5}, {-1, 0}, {1, 0}), 5.0);
  EXPECT_DOUBLE_EQ(distance_to_segment({4, 3}, {-1, 0}, {0, 0}), 5.0);  // past the end
  EXPECT_DOUBLE_EQ(distance_to_segment({3, 4}, {0, 0}, {0, 0}), 5.0);   // a point
}

}  // namespace
