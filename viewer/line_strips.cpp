#include "viewer/line_strips.h"

#include <fmt/compile.h>
#include <fmt/format.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <vector>

#include "viewer/html_text.h"
#include "viewer/line_objects.h"

namespace viewer {

namespace {

using compiler::track_cell;
using cell_value = std::function<double(const track_cell&)>;

// A profile as the cells where its value changes.
struct change {
  std::size_t cell;
  double value;
};

// The cells the strips draw: those that begin before the axis ends.
std::size_t drawn_cells(const route_view& view, const line_axis& axis) {
  const auto count = static_cast<std::size_t>(
      (axis.length_m + compiler::cell_length_m - 1) / compiler::cell_length_m);
  return std::min(count, view.grid.cells.size());
}

std::vector<change> changes(const route_view& view, std::size_t cells, const cell_value& value) {
  std::vector<change> out;
  for (std::size_t i = 0; i < cells; ++i) {
    const double v = value(view.grid.cells[i]);
    if (out.empty() || out.back().value != v) out.push_back({i, v});
  }
  return out;
}

// Maps a value range onto a strip's height, the larger values on top.
struct value_scale {
  double low;
  double high;
  double height;
  double y(double v) const {
    constexpr double margin = 8.0;
    return height - margin - (v - low) / (high - low) * (height - 2 * margin);
  }
};

value_scale scale_of(const std::vector<double>& values, double height, bool with_zero) {
  double low = values.empty() ? 0.0 : *std::min_element(values.begin(), values.end());
  double high = values.empty() ? 1.0 : *std::max_element(values.begin(), values.end());
  if (with_zero) {
    low = std::min(low, 0.0);
    high = std::max(high, 0.0);
  }
  if (high - low < 1.0) high = low + 1.0;
  return {low, high, height};
}

std::string step_path(const std::vector<change>& steps, std::size_t cells, const line_axis& axis,
                      const value_scale& scale) {
  std::string d;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const double y = scale.y(steps[i].value);
    d += i == 0 ? "M0 " : "V";
    d += px(y);
    const std::size_t end = i + 1 < steps.size() ? steps[i + 1].cell : cells;
    d += 'H';
    d += px(axis.cell_x(end));
  }
  return d;
}

// The strip's frame: its name, the values at its top and bottom, and the
// group that the script scales with the zoom.
std::string strip_open(const char* name, const char* title, const value_scale& scale,
                       const char* unit) {
  return fmt::format(
      "<div class=\"strip-row\"><div class=\"strip-name\">{}<br><small>{} to {} {}</small></div>"
      "<svg class=\"strip\" data-strip=\"{}\" width=\"{}\" height=\"{}\" viewBox=\"0 0 {} {}\">"
      "<g class=\"scaled\">",
      title, px(scale.low), px(scale.high), unit, name, px(strip_width_px), px(scale.height),
      px(strip_width_px), px(scale.height));
}

std::string profile_strip(const char* name, const char* title, const char* unit,
                          const std::vector<change>& steps, std::size_t cells,
                          const line_axis& axis, double height, bool with_zero) {
  std::vector<double> values;
  for (const change& c : steps) values.push_back(c.value);
  const value_scale scale = scale_of(values, height, with_zero);
  std::string out = strip_open(name, title, scale, unit);
  if (with_zero) {
    out += fmt::format("<path class=\"zero\" d=\"M0 {}H{}\"/>", px(scale.y(0)),
                       px(strip_width_px));
  }
  out += fmt::format("<path class=\"profile\" d=\"{}\"/></g></svg></div>\n",
                     step_path(steps, cells, axis, scale));
  return out;
}

// Elevation climbs by the gradient in per mille over each 50 m cell, from 0
// at the start of the line.
std::string elevation_strip(const std::vector<change>& gradients, std::size_t cells,
                            const line_axis& axis) {
  std::vector<double> heights{0.0};
  for (std::size_t i = 0; i < gradients.size(); ++i) {
    const std::size_t end = i + 1 < gradients.size() ? gradients[i + 1].cell : cells;
    heights.push_back(heights.back() + gradients[i].value * compiler::cell_length_m / 1000.0 *
                                           static_cast<double>(end - gradients[i].cell));
  }
  const value_scale scale = scale_of(heights, 110.0, false);
  std::string out = strip_open("elevation", "elevation", scale, "m");
  std::string d = fmt::format("M0 {}", px(scale.y(heights[0])));
  for (std::size_t i = 0; i < gradients.size(); ++i) {
    const std::size_t end = i + 1 < gradients.size() ? gradients[i + 1].cell : cells;
    d += 'L';
    d += px(axis.cell_x(end));
    d += ' ';
    d += px(scale.y(heights[i + 1]));
  }
  out += fmt::format("<path class=\"profile\" d=\"{}\"/></g></svg></div>\n", d);
  return out;
}

// Rows of the object lane, from the top.
constexpr double lane_height = 214.0;
constexpr double station_row = 6.0;
constexpr double signal_row = 70.0;
constexpr double board_row = 96.0;
constexpr double slowdown_row = 122.0;
constexpr double tunnel_row = 148.0;
constexpr double cut_row = 172.0;
constexpr double sign_row = 196.0;

double row_of(const char* kind) {
  const std::string_view k(kind);
  if (k == "signal") return signal_row;
  if (k == "speed-boards") return board_row;
  if (k.starts_with("slowdown")) return slowdown_row;
  if (k == "code-cut" || k == "protection") return cut_row;
  if (k == "sign") return sign_row;
  return tunnel_row + 12;
}

void add_marker(std::string& out, const char* kind, double x, double y, const std::string& label,
                const std::string& tip) {
  if (label.empty()) {
    fmt::format_to(std::back_inserter(out),
        FMT_COMPILE("<use data-kind=\"{}\" data-x=\"{}\" data-tip=\"{}\" href=\"#m-{}\" x=\"{}\" y=\"{}\"/>"),
        kind, px(x), tip, kind, px(x), px(y));
    return;
  }
  fmt::format_to(std::back_inserter(out),
      FMT_COMPILE("<g data-kind=\"{}\" data-x=\"{}\" data-tip=\"{}\"><use href=\"#m-{}\" x=\"{}\" y=\"{}\"/>"
      "<text x=\"{}\" y=\"{}\">{}</text></g>"),
      kind, px(x), tip, kind, px(x), px(y), px(x + 4), px(y + 4), label);
}

void object_lane(const route_view& view, const line_axis& axis, std::string& out) {
  std::string scaled;
  std::string pinned;
  // Station areas and the stations themselves, names on two rows so that
  // neighbours do not write over each other.
  const std::vector<std::size_t> slots = station_slots(view.stations);
  for (std::size_t n = 0; n < slots.size(); ++n) {
    const compiler::station_record& r = view.stations.slots[slots[n]];
    const std::string tip = station_tip(slots[n], r);
    fmt::format_to(std::back_inserter(scaled),
        FMT_COMPILE("<rect data-kind=\"station-area\" data-tip=\"{}\" x=\"{}\" y=\"{}\" width=\"{}\" "
        "height=\"12\"/>"),
        tip, px(axis.x(r.start)), px(station_row), px(axis.x(r.finish) - axis.x(r.start)));
    const double x = axis.x(r.position);
    const double name_y = station_row + (n % 2 == 0 ? 34 : 50);
    fmt::format_to(std::back_inserter(pinned),
        FMT_COMPILE("<g data-kind=\"station\" data-slot=\"{}\" data-x=\"{}\" data-tip=\"{}\">"
        "<use href=\"#m-station\" x=\"{}\" y=\"{}\"/><text x=\"{}\" y=\"{}\">{}</text></g>"),
        slots[n], px(x), tip, px(x), px(station_row + 20), px(x), px(name_y),
        page_text(r.name));
  }
  for (const slowdown_span& s : slowdown_spans(view.grid)) {
    const double x0 = axis.cell_x(s.start_cell);
    const double x1 = axis.cell_x(s.end_cell + 1);
    fmt::format_to(std::back_inserter(scaled),
        FMT_COMPILE("<rect data-kind=\"slowdown\" data-tip=\"cells {} to {} · {} to {} m · slowdown {} "
        "km/h\" x=\"{}\" y=\"{}\" width=\"{}\" height=\"10\"/>"),
        s.start_cell, s.end_cell, s.start_cell * compiler::cell_length_m,
        (s.end_cell + 1) * compiler::cell_length_m, s.speed, px(x0), px(slowdown_row - 5),
        px(x1 - x0));
  }
  for (const tunnel_run& t : tunnel_runs(view.grid)) {
    const double x0 = axis.cell_x(t.first_cell);
    const double x1 = axis.cell_x(t.last_cell + 1);
    fmt::format_to(std::back_inserter(scaled),
        FMT_COMPILE("<rect data-kind=\"tunnel\" class=\"t{}\" data-tip=\"{}\" x=\"{}\" y=\"{}\" width=\"{}\" "
        "height=\"14\"/>"),
        t.type, tunnel_tip(t), px(x0), px(tunnel_row - 7), px(x1 - x0));
  }
  for (const line_object& o : point_objects(view.grid, view.stations)) {
    add_marker(pinned, o.kind, axis.cell_x(o.cell), row_of(o.kind), o.label, o.tip);
  }
  fmt::format_to(
      std::back_inserter(out),
      "<div class=\"strip-row\"><div class=\"strip-name\">objects<br><small>stations, signals, "
      "boards, slowdown, tunnels, cuts, signs</small></div>"
      "<svg class=\"strip lane\" data-strip=\"objects\" width=\"{}\" height=\"{}\" "
      "viewBox=\"0 0 {} {}\"><g class=\"scaled\">",
      px(strip_width_px), px(lane_height), px(strip_width_px), px(lane_height));
  out += scaled;
  out += "</g><g class=\"pinned\">";
  out += pinned;
  out += "</g></svg></div>\n";
}

void append_pairs(std::string& out, const char* name, const std::vector<change>& steps) {
  fmt::format_to(std::back_inserter(out), FMT_COMPILE("\"{}\":["), name);
  for (std::size_t i = 0; i < steps.size(); ++i) {
    if (i != 0) out += ',';
    fmt::format_to(std::back_inserter(out), FMT_COMPILE("{},{}"), steps[i].cell, px(steps[i].value));
  }
  out += "]";
}

// A profile's values turned into the units a strip shows; the cells where
// they change stay the same.
std::vector<change> in_units(std::vector<change> steps, double scale, double shift) {
  for (change& c : steps) c.value = c.value * scale + shift;
  return steps;
}

// The profiles as stored in the cells, which the strips draw and the page's
// hover reads.
struct cell_profiles {
  std::vector<change> gradient, speed, adhesion, tunnel;
};

// The cell profiles as change lists, and the object kind and approach mark
// of every cell that holds one, for the hover over the strips.
void profile_data(const route_view& view, std::size_t cells, const line_axis& axis,
                  const cell_profiles& profiles, std::string& out) {
  fmt::format_to(std::back_inserter(out), FMT_COMPILE("{{\"cells\":{},\"length\":{},\"width\":{},"), cells,
                                px(axis.length_m), px(strip_width_px));
  append_pairs(out, "g", profiles.gradient);
  out += ",";
  append_pairs(out, "s", profiles.speed);
  out += ",";
  append_pairs(out, "a", profiles.adhesion);
  out += ",";
  append_pairs(out, "t", profiles.tunnel);
  std::vector<change> kinds;
  std::vector<change> marks;
  for (std::size_t i = 0; i < cells; ++i) {
    if (view.grid.cells[i].kind != 0) kinds.push_back({i, double(view.grid.cells[i].kind)});
    if (view.grid.cells[i].approach_mark != 0) {
      marks.push_back({i, double(view.grid.cells[i].approach_mark)});
    }
  }
  out += ",";
  append_pairs(out, "k", kinds);
  out += ",";
  append_pairs(out, "m", marks);
  out += "}";
}

}  // namespace

void line_strips(const route_view& view, const line_axis& axis, std::string& out) {
  const std::size_t cells = drawn_cells(view, axis);
  const cell_profiles profiles = {
      changes(view, cells, [](const track_cell& c) { return c.gradient; }),
      changes(view, cells, [](const track_cell& c) { return c.speed_limit; }),
      changes(view, cells, [](const track_cell& c) { return c.adhesion; }),
      changes(view, cells, [](const track_cell& c) { return c.mountain_type; }),
  };
  // Gradients are stored per mille plus 100, speeds in units of 5 km/h.
  const auto gradients = in_units(profiles.gradient, 1.0, -100.0);
  const auto speeds = in_units(profiles.speed, 5.0, 0.0);
  const auto& adhesion = profiles.adhesion;

  out += "<section id=\"strips\">\n";
  out += elevation_strip(gradients, cells, axis);
  out += profile_strip("gradient", "gradient", "‰", gradients, cells, axis, 80.0, true);
  out += profile_strip("speed", "speed limit", "km/h", speeds, cells, axis, 80.0, true);
  out += profile_strip("adhesion", "adhesion", "%", adhesion, cells, axis, 60.0, true);
  object_lane(view, axis, out);
  out += fmt::format(
      "<div class=\"strip-row\"><div class=\"strip-name\">km</div><svg class=\"strip axis\" "
      "data-strip=\"axis\" width=\"{}\" height=\"28\" viewBox=\"0 0 {} 28\"></svg></div>\n",
      px(strip_width_px), px(strip_width_px));
  out += "</section>\n<script type=\"application/json\" id=\"profile-data\">";
  profile_data(view, cells, axis, profiles, out);
  out += "</script>\n";
}

}  // namespace viewer
