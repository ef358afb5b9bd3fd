#include "viewer/plan_drawing.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <vector>

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

  point map(compiler::plan_point p) const {
    return {offset_x + (p.x - min_x) * scale, offset_y + (max_y - p.y) * scale};
  }
};

plan_frame frame_of(const compiler::plan_points& plan) {
  const double extent_x = std::max(plan.max_x - plan.min_x, 1.0);
  const double extent_y = std::max(plan.max_y - plan.min_y, 1.0);
  const double inner_w = plan_width_px - 2 * margin_px;
  const double height = std::clamp(std::round(inner_w * extent_y / extent_x) + 2 * margin_px,
                                   min_height_px, max_height_px);
  const double inner_h = height - 2 * margin_px;
  const double scale = std::min(inner_w / extent_x, inner_h / extent_y);
  return {plan.min_x,
          plan.max_y,
          scale,
          margin_px + (inner_w - (plan.max_x - plan.min_x) * scale) / 2,
          margin_px + (inner_h - (plan.max_y - plan.min_y) * scale) / 2,
          height};
}

// The drawn line, and the drawn points of the few metres the page marks
// besides it (kilometre ticks, stations, the ends of tunnels), all from one
// walk over the plan.
class drawn_plan {
 public:
  drawn_plan(const compiler::plan_points& plan, const plan_frame& frame,
             std::vector<std::size_t> marked)
      : count_(plan.drawable), marked_(std::move(marked)) {
    std::sort(marked_.begin(), marked_.end());
    marked_.erase(std::unique(marked_.begin(), marked_.end()), marked_.end());
    marked_points_.resize(marked_.size());
    polyline_thinner thinner(plan_tolerance_px);
    std::size_t next_mark = 0;
    std::size_t next_mark_metre = marked_.empty() ? count_ : marked_.front();
    std::size_t m = 0;
    compiler::for_each_plan_point(plan, count_, [&](compiler::plan_point metre) {
      const point p = frame.map(metre);
      thinner.add(p);
      if (m++ == next_mark_metre) {
        marked_points_[next_mark++] = p;
        next_mark_metre = next_mark < marked_.size() ? marked_[next_mark] : count_;
      }
    });
    kept_ = thinner.finish();
  }

  std::size_t count() const { return count_; }
  std::size_t last() const { return count_ - 1; }
  std::size_t kept() const { return kept_.size(); }

  // A marked metre's point; only the metres handed to the constructor have
  // one.
  point at(std::size_t metre) const {
    const auto it = std::lower_bound(marked_.begin(), marked_.end(), metre);
    assert(it != marked_.end() && *it == metre);
    return marked_points_[static_cast<std::size_t>(it - marked_.begin())];
  }

  // The points attribute of the stretch from marked metre `first` to marked
  // metre `last`: its ends and the kept points between them.
  std::string points(std::size_t first, std::size_t last) const {
    std::string out;
    auto add = [&](point p) {
      if (!out.empty()) out += ' ';
      out += px(p.x);
      out += ',';
      out += px(p.y);
    };
    add(at(first));
    auto it = std::upper_bound(kept_.begin(), kept_.end(), first,
                               [](std::size_t m, const kept_point& k) { return m < k.index; });
    for (; it != kept_.end() && it->index < last; ++it) add(it->at);
    if (last != first) add(at(last));
    return out;
  }

 private:
  std::size_t count_;
  std::vector<std::size_t> marked_;
  std::vector<point> marked_points_;
  std::vector<kept_point> kept_;
};

// The smallest of 1, 2, 5, 10, 20, 50 ... kilometres that gives at most
// `most` steps over the line.
std::size_t step_km(std::size_t length_km, std::size_t most) {
  for (std::size_t decade = 1;; decade *= 10) {
    for (const std::size_t f : std::array<std::size_t, 3>{1, 2, 5}) {
      if (length_km / (f * decade) <= most) return f * decade;
    }
  }
}

std::size_t kilometres_of(std::size_t count) { return (count - 1) / 1000; }

// The metres whose points the ticks need: each kilometre and its neighbours,
// which give the direction of the track there.
void tick_metres(std::size_t count, std::vector<std::size_t>& marked) {
  const std::size_t length_km = kilometres_of(count);
  if (length_km == 0) return;
  const std::size_t tick = step_km(length_km, max_ticks);
  for (std::size_t km = tick; km <= length_km; km += tick) {
    const std::size_t m = km * 1000;
    marked.insert(marked.end(), {m - 1, m, std::min(m + 1, count - 1)});
  }
}

std::string kilometre_ticks(const drawn_plan& drawn) {
  const std::size_t length_km = kilometres_of(drawn.count());
  if (length_km == 0) return {};
  const std::size_t tick = step_km(length_km, max_ticks);
  const std::size_t label = std::max(tick, step_km(length_km, max_labels));
  std::string out = "<g class=\"km\">";
  for (std::size_t km = tick; km <= length_km; km += tick) {
    const std::size_t m = km * 1000;
    const point a = drawn.at(m - 1);
    const point b = drawn.at(std::min(m + 1, drawn.last()));
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double norm = std::max(std::hypot(dx, dy), 1e-9);
    const double nx = -dy / norm * 5, ny = dx / norm * 5;
    const point p = drawn.at(m);
    out += fmt::format("<path d=\"M{} {}L{} {}\"/>", px(p.x - nx), px(p.y - ny), px(p.x + nx),
                       px(p.y + ny));
    // The page's script scales a label's offset from its tick with the zoom.
    if (km % label == 0) {
      out += fmt::format(
          "<text x=\"{}\" y=\"{}\" data-px=\"{}\" data-py=\"{}\" data-offsets=\"{} {}\">{}</text>",
          px(p.x + nx * 1.6), px(p.y + ny * 1.6 + 3), px(p.x), px(p.y), px(nx * 1.6),
          px(ny * 1.6 + 3), km);
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
  const std::size_t last = count - 1;
  auto metre = [&](std::int64_t m) {
    return static_cast<std::size_t>(
        std::clamp<std::int64_t>(m, 0, static_cast<std::int64_t>(last)));
  };
  struct stretch {
    const tunnel_run* tunnel;
    std::size_t first, last;
  };
  const std::vector<tunnel_run> tunnels = tunnel_runs(view.grid);
  std::vector<stretch> tunnel_stretches;
  std::vector<std::size_t> marked = {0, last};
  for (const tunnel_run& t : tunnels) {
    const std::size_t a = metre(static_cast<std::int64_t>(t.first_cell) * compiler::cell_length_m);
    const std::size_t b =
        metre(static_cast<std::int64_t>(t.last_cell + 1) * compiler::cell_length_m);
    if (a >= b) continue;
    tunnel_stretches.push_back({&t, a, b});
    marked.insert(marked.end(), {a, b});
  }
  const std::vector<std::size_t> stations = station_slots(view.stations);
  for (const std::size_t slot : stations)
    marked.push_back(metre(view.stations.slots[slot].position));
  tick_metres(count, marked);

  const plan_frame frame = frame_of(*view.plan);
  const drawn_plan drawn(*view.plan, frame, std::move(marked));

  std::string out = fmt::format(
      "<section id=\"plan\"><svg id=\"plan-view\" data-points=\"{}\" data-kept=\"{}\" "
      "width=\"{}\" height=\"{}\" viewBox=\"0 0 {} {}\">",
      count, drawn.kept(), px(plan_width_px), px(frame.height), px(plan_width_px),
      px(frame.height));
  out += fmt::format("<polyline class=\"track\" points=\"{}\"/>", drawn.points(0, last));
  for (const stretch& s : tunnel_stretches) {
    out += fmt::format(
        "<polyline data-kind=\"plan-tunnel\" class=\"t{}\" data-tip=\"{}\" points=\"{}\"/>",
        s.tunnel->type, tunnel_tip(*s.tunnel), drawn.points(s.first, s.last));
  }
  out += kilometre_ticks(drawn);
  // A station's name may stand at any corner of its dot: the page's script
  // takes the first corner where it meets no other name, and hides it when
  // none is free, the names of the first and last station first.
  for (std::size_t n = 0; n < stations.size(); ++n) {
    const compiler::station_record& r = view.stations.slots[stations[n]];
    const point p = drawn.at(metre(r.position));
    out += fmt::format(
        "<g data-kind=\"plan-station\" data-tip=\"{}\"><circle cx=\"{}\" cy=\"{}\" r=\"4\"/>"
        "<text x=\"{}\" y=\"{}\" data-px=\"{}\" data-py=\"{}\" "
        "data-offsets=\"7 -6 7 15 -7 -6 -7 15\" data-priority=\"{}\">{}</text></g>",
        station_tip(stations[n], r), px(p.x), px(p.y), px(p.x + 7), px(p.y - 6), px(p.x), px(p.y),
        n == 0 || n + 1 == stations.size() ? 2 : 1, page_text(r.name));
  }
  return out + "</svg></section>\n";
}

}  // namespace viewer
