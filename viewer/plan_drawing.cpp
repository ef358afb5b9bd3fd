#include "viewer/plan_drawing.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "compiler/huge_pages.h"
#include "viewer/html_text.h"
#include "viewer/line_objects.h"
#include "viewer/page_layout.h"
#include "viewer/polyline_thinning.h"

namespace viewer {

namespace {

constexpr double margin_px = 30.0;
constexpr double min_height_px = 240.0;
constexpr double max_height_px = 640.0;
constexpr std::size_t max_ticks = 80;
constexpr std::size_t max_labels = 16;

// Plan coordinates onto the drawing, the second coordinate upward, one scale
// for both so that curves keep their shape.
struct plan_frame {
  double min_x, max_y, scale, offset_x, offset_y, height;

  point map(double x, double y) const {
    return {offset_x + (x - min_x) * scale, offset_y + (max_y - y) * scale};
  }
};

plan_frame frame_of(const std::vector<compiler::plan_point>& points, std::size_t count) {
  double min_x = points[0].x, max_x = min_x, min_y = points[0].y, max_y = min_y;
  for (std::size_t m = 0; m < count; ++m) {
    min_x = std::min(min_x, points[m].x);
    max_x = std::max(max_x, points[m].x);
    min_y = std::min(min_y, points[m].y);
    max_y = std::max(max_y, points[m].y);
  }
  const double extent_x = std::max(max_x - min_x, 1.0);
  const double extent_y = std::max(max_y - min_y, 1.0);
  const double inner_w = plan_width_px - 2 * margin_px;
  const double height =
      std::clamp(std::round(inner_w * extent_y / extent_x) + 2 * margin_px, min_height_px,
                 max_height_px);
  const double inner_h = height - 2 * margin_px;
  const double scale = std::min(inner_w / extent_x, inner_h / extent_y);
  return {min_x,
          max_y,
          scale,
          margin_px + (inner_w - (max_x - min_x) * scale) / 2,
          margin_px + (inner_h - (max_y - min_y) * scale) / 2,
          height};
}

std::string points_attribute(const std::vector<point>& drawn, const std::vector<std::size_t>& kept,
                             std::size_t first, std::size_t last) {
  std::string out;
  auto add = [&](std::size_t i) {
    if (!out.empty()) out += ' ';
    out += px(drawn[i].x) + ',' + px(drawn[i].y);
  };
  add(first);
  auto it = std::upper_bound(kept.begin(), kept.end(), first);
  for (; it != kept.end() && *it < last; ++it) add(*it);
  if (last != first) add(last);
  return out;
}

// The smallest of 1, 2, 5, 10, 20, 50 ... kilometres that gives at most
// `most` steps over the line.
std::size_t step_km(std::size_t length_km, std::size_t most) {
  for (std::size_t decade = 1;; decade *= 10) {
    for (const std::size_t f : std::array<std::size_t, 3>{1, 2, 5}) {
      if (length_km / (f * decade) <= most) return f * decade;
    }
  }
}

std::string kilometre_ticks(const std::vector<point>& drawn) {
  const std::size_t length_km = (drawn.size() - 1) / 1000;
  if (length_km == 0) return {};
  const std::size_t tick = step_km(length_km, max_ticks);
  const std::size_t label = std::max(tick, step_km(length_km, max_labels));
  std::string out = "<g class=\"km\">";
  for (std::size_t km = tick; km <= length_km; km += tick) {
    const std::size_t m = km * 1000;
    const point a = drawn[m - 1];
    const point b = drawn[std::min(m + 1, drawn.size() - 1)];
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double norm = std::max(std::hypot(dx, dy), 1e-9);
    const double nx = -dy / norm * 5, ny = dx / norm * 5;
    const point p = drawn[m];
    out += fmt::format("<path d=\"M{} {}L{} {}\"/>", px(p.x - nx), px(p.y - ny), px(p.x + nx),
                       px(p.y + ny));
    if (km % label == 0) {
      out += fmt::format("<text x=\"{}\" y=\"{}\">{}</text>", px(p.x + nx * 1.6),
                         px(p.y + ny * 1.6 + 3), km);
    }
  }
  return out + "</g>";
}

}  // namespace

std::string plan_drawing(const route_view& view) {
  if (!view.plan) {
    return "<section id=\"plan\"><p class=\"note\" data-kind=\"no-plan\">This build has no track "
           "plan: there is no _linea.dat file beside its grid and table.</p></section>\n";
  }
  // A complete plan leaves only its last two metres empty.
  const std::size_t count = view.plan->drawable;
  if (count < 2) {
    return "<section id=\"plan\"><p class=\"note\" data-kind=\"no-plan\">The track plan of this "
           "build holds no points to draw.</p></section>\n";
  }
  const std::vector<compiler::plan_point>& metres = view.plan->metres;
  const plan_frame frame = frame_of(metres, count);
  std::vector<point> drawn;
  drawn.reserve(count);
  compiler::advise_huge_pages(drawn.data(), count * sizeof(point));
  for (std::size_t m = 0; m < count; ++m) {
    drawn.push_back(frame.map(metres[m].x, metres[m].y));
  }
  const std::vector<std::size_t> kept = thin_polyline(drawn, plan_tolerance_px);
  const std::size_t last = drawn.size() - 1;
  auto metre = [&](std::int64_t m) {
    return static_cast<std::size_t>(std::clamp<std::int64_t>(m, 0, static_cast<std::int64_t>(last)));
  };

  std::string out = fmt::format(
      "<section id=\"plan\"><svg id=\"plan-view\" data-points=\"{}\" data-kept=\"{}\" "
      "width=\"{}\" height=\"{}\" viewBox=\"0 0 {} {}\">",
      drawn.size(), kept.size(), px(plan_width_px), px(frame.height), px(plan_width_px),
      px(frame.height));
  out += fmt::format("<polyline class=\"track\" points=\"{}\"/>",
                     points_attribute(drawn, kept, 0, last));
  for (const tunnel_run& t : tunnel_runs(view.grid)) {
    const std::size_t a = metre(static_cast<std::int64_t>(t.first_cell) * compiler::cell_length_m);
    const std::size_t b =
        metre(static_cast<std::int64_t>(t.last_cell + 1) * compiler::cell_length_m);
    if (a >= b) continue;
    out += fmt::format("<polyline data-kind=\"plan-tunnel\" class=\"t{}\" data-tip=\"{}\" points=\"{}\"/>",
                       t.type, tunnel_tip(t), points_attribute(drawn, kept, a, b));
  }
  out += kilometre_ticks(drawn);
  for (const std::size_t slot : station_slots(view.stations)) {
    const compiler::station_record& r = view.stations.slots[slot];
    const point p = drawn[metre(r.position)];
    out += fmt::format(
        "<g data-kind=\"plan-station\" data-tip=\"{}\"><circle cx=\"{}\" cy=\"{}\" r=\"4\"/>"
        "<text x=\"{}\" y=\"{}\">{}</text></g>",
        station_tip(slot, r), px(p.x), px(p.y), px(p.x + 7), px(p.y - 6), page_text(r.name));
  }
  return out + "</svg></section>\n";
}

}  // namespace viewer
