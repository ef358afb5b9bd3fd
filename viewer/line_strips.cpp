#include "viewer/line_strips.h"

#include <fmt/compile.h>
#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <iterator>
#include <vector>

#include "compiler/decoding.h"
#include "viewer/curvature.h"
#include "viewer/html_text.h"
#include "viewer/label_layout.h"
#include "viewer/line_objects.h"
#include "viewer/page_assets.h"

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
  const auto count = static_cast<std::size_t>((axis.length_m + compiler::cell_length_m - 1) /
                                              compiler::cell_length_m);
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
    out += fmt::format("<path class=\"zero\" d=\"M0 {}H{}\"/>", px(scale.y(0)), px(strip_width_px));
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

// Rows of the object lane, from the top: the markers of each kind, and
// under or beside them the lanes their labels may take. Each label takes
// the first of its lanes where it covers no marker and meets no other
// label, to the right of its marker or else to its left, and is hidden when
// none is free; the page's script does the same again at each zoom.
constexpr double lane_height = 262.0;
constexpr double station_area_row = 4.0;
constexpr double station_row = 24.0;
constexpr double signal_row = 86.0;
constexpr double board_row = 112.0;
constexpr double slowdown_row = 146.0;
constexpr double tunnel_row = 180.0;
constexpr double cut_row = 202.0;
constexpr double sign_row = 236.0;
constexpr double label_dx = 8.0;  // a label's near end from its marker
constexpr double label_font_px = 10.0;

// A kind's markers stand on one row; its labels' first lane runs beside
// them, and the others under them, clear of every marker of the row. Lanes
// lie 13 px apart or more, for 10 px text.
struct row_place {
  double marker;
  std::vector<double> lanes;
};

row_place row_of(std::string_view kind) {
  if (kind == "station")
    return {station_row, {station_row + 16, station_row + 29, station_row + 42}};
  if (kind == "signal") return {signal_row, {}};
  if (kind == "speed-boards") return {board_row, {board_row + 4, board_row + 19}};
  if (kind.starts_with("slowdown")) return {slowdown_row, {slowdown_row + 4, slowdown_row + 20}};
  if (kind == "code-cut" || kind == "protection") return {cut_row, {cut_row + 4, cut_row + 17}};
  if (kind == "sign") return {sign_row, {sign_row + 4, sign_row + 20}};
  return {tunnel_row, {}};
}

std::string lanes_text(const std::vector<double>& lanes) {
  std::string out;
  for (const double lane : lanes) {
    if (!out.empty()) out += ' ';
    out += px(lane);
  }
  return out;
}

// " · from Alpe_linea.txt:57", when the notes know the row.
std::string source_tip(const std::string& source) {
  return source.empty() ? std::string() : " · from " + escape_html(source);
}

// One marker that keeps its size at any zoom, with its label if it has one.
struct pinned_marker {
  std::string_view kind;
  std::string_view element;  // of a marker with a label: "g", or "a" for a link
  double x;
  double row;
  std::string label;       // escaped; may be empty
  std::string attributes;  // the element's own, after its kind
  lane_label place;        // where its label may go
};

// The room each kind's marker takes, its rows' extents included, for the
// page's script to keep labels clear of: {"signal":[-5,73,5,95],...}.
std::string marker_rooms(const std::vector<pinned_marker>& markers) {
  std::string out = "{";
  std::vector<std::string_view> seen;
  for (const pinned_marker& m : markers) {
    if (std::find(seen.begin(), seen.end(), m.kind) != seen.end()) continue;
    seen.push_back(m.kind);
    const layout_box room = marker_room(m.kind);
    fmt::format_to(std::back_inserter(out), "{}&quot;{}&quot;:[{},{},{},{}]",
                   seen.size() == 1 ? "" : ",", m.kind, px(room.left), px(m.row + room.top),
                   px(room.right), px(m.row + room.bottom));
  }
  return out + "}";
}

// The markers and their labels, each label where the layout put it at full
// view: `text-anchor` end when it stands before its marker, hidden when it
// found no room.
void add_pinned(const std::vector<pinned_marker>& markers, std::string& out) {
  std::vector<layout_box> rooms;
  std::vector<lane_label> labels;
  std::vector<std::size_t> labelled;
  for (std::size_t i = 0; i < markers.size(); ++i) {
    const pinned_marker& m = markers[i];
    const layout_box room = marker_room(m.kind);
    rooms.push_back({m.x + room.left, m.row + room.top, m.x + room.right, m.row + room.bottom});
    if (m.label.empty() || m.place.lanes.empty()) continue;
    labels.push_back(m.place);
    labelled.push_back(i);
  }
  const std::vector<label_place> places = lay_out_labels(rooms, labels, strip_width_px);
  std::size_t next = 0;
  for (std::size_t i = 0; i < markers.size(); ++i) {
    const pinned_marker& m = markers[i];
    if (next == labelled.size() || labelled[next] != i) {
      fmt::format_to(std::back_inserter(out),
                     FMT_COMPILE("<path data-kind=\"{}\" data-x=\"{}\"{} d=\"M{} {}{}\"/>"), m.kind,
                     px(m.x), m.attributes, px(m.x), px(m.row), marker_path(m.kind));
      continue;
    }
    const label_place& p = places[next];
    const lane_label& l = labels[next++];
    const double anchor = p.before_marker ? m.x - l.dx : m.x + l.dx;
    fmt::format_to(
        std::back_inserter(out),
        FMT_COMPILE("<{} data-kind=\"{}\" data-x=\"{}\"{}><path d=\"M{} {}{}\"/><text x=\"{}\" "
                    "y=\"{}\" data-dx=\"{}\" data-w=\"{}\" data-lanes=\"{}\"{}{}{}>{}</text></{}>"),
        m.element, m.kind, px(m.x), m.attributes, px(m.x), px(m.row), marker_path(m.kind),
        px(anchor), px(p.shown ? p.baseline : l.lanes.front()), px(l.dx), px(std::ceil(l.width)),
        lanes_text(l.lanes), l.priority != 0 ? " data-priority=\"1\"" : "",
        p.before_marker ? " text-anchor=\"end\"" : "", p.shown ? "" : " style=\"display:none\"",
        m.label, m.element);
  }
}

pinned_marker marker_of(std::string_view kind, double x, std::string label, std::string attributes,
                        int priority = 0) {
  const row_place row = row_of(kind);
  const double width = label_width_px(label, label_font_px);
  return {kind,
          "g",
          x,
          row.marker,
          std::move(label),
          std::move(attributes),
          lane_label{x, kind == "station" ? 0.0 : label_dx, width, row.lanes, priority}};
}

void object_lane(const route_view& view, const line_axis& axis, const build_notes* notes,
                 std::string& out) {
  std::string scaled;
  std::vector<pinned_marker> pinned;
  auto source = [&](std::string (build_notes::*of)(std::size_t) const, std::size_t index) {
    return notes == nullptr ? std::string() : source_tip((notes->*of)(index));
  };
  // Station areas and the stations themselves; the names of the first and
  // the last station keep their place before the others.
  const std::vector<std::size_t> slots = station_slots(view.stations);
  for (std::size_t n = 0; n < slots.size(); ++n) {
    const compiler::station_record& r = view.stations.slots[slots[n]];
    const std::string tip = station_tip(slots[n], r) + source(&build_notes::slot_source, slots[n]);
    fmt::format_to(
        std::back_inserter(scaled),
        FMT_COMPILE(
            "<rect data-kind=\"station-area\" data-tip=\"{}\" x=\"{}\" y=\"{}\" width=\"{}\" "
            "height=\"12\"/>"),
        tip, px(axis.x(r.start)), px(station_area_row), px(axis.x(r.finish) - axis.x(r.start)));
    const bool end = n == 0 || n + 1 == slots.size();
    pinned.push_back(marker_of("station", axis.x(r.position), page_text(r.name),
                               fmt::format(" data-slot=\"{}\" data-metre=\"{}\" data-tip=\"{}\"",
                                           slots[n], r.position, tip),
                               end ? 1 : 0));
  }
  for (const slowdown_span& s : slowdown_spans(view.grid)) {
    const double x0 = axis.cell_x(s.start_cell);
    const double x1 = axis.cell_x(s.end_cell + 1);
    fmt::format_to(
        std::back_inserter(scaled),
        FMT_COMPILE(
            "<rect data-kind=\"slowdown\" data-tip=\"cells {} to {} · {} to {} m · slowdown {} "
            "km/h{}\" x=\"{}\" y=\"{}\" width=\"{}\" height=\"10\"/>"),
        s.start_cell, s.end_cell, s.start_cell * compiler::cell_length_m,
        (s.end_cell + 1) * compiler::cell_length_m, s.speed,
        source(&build_notes::cell_source, s.start_cell), px(x0), px(slowdown_row - 5), px(x1 - x0));
  }
  for (const tunnel_run& t : tunnel_runs(view.grid)) {
    const double x0 = axis.cell_x(t.first_cell);
    const double x1 = axis.cell_x(t.last_cell + 1);
    // The rows behind a run are those of its markers; the first one names it.
    std::string from;
    for (std::size_t c = t.first_cell; c <= t.last_cell && from.empty() && t.markers > 0; ++c) {
      if (compiler::has_kind(view.grid.cells[c], compiler::cell_kind::tunnel_marker)) {
        from = source(&build_notes::cell_source, c);
      }
    }
    fmt::format_to(
        std::back_inserter(scaled),
        FMT_COMPILE("<rect data-kind=\"tunnel\" class=\"t{}\" data-tip=\"{}{}\" x=\"{}\" y=\"{}\" "
                    "width=\"{}\" height=\"14\"/>"),
        t.type, tunnel_tip(t), from, px(x0), px(tunnel_row - 7), px(x1 - x0));
  }
  for (line_object& o : point_objects(view.grid, view.stations)) {
    pinned.push_back(marker_of(
        o.kind, axis.cell_x(o.cell), std::move(o.label),
        fmt::format(" data-tip=\"{}{}\"", o.tip, source(&build_notes::cell_source, o.cell))));
  }
  fmt::format_to(
      std::back_inserter(out),
      "<div class=\"strip-row\"><div class=\"strip-name\">objects<br><small>stations, signals, "
      "boards, slowdown, tunnels, cuts, signs</small></div>"
      "<svg class=\"strip lane\" data-strip=\"objects\" width=\"{}\" height=\"{}\" "
      "viewBox=\"0 0 {} {}\" data-marker-rooms=\"{}\"><g class=\"scaled\">",
      px(strip_width_px), px(lane_height), px(strip_width_px), px(lane_height),
      marker_rooms(pinned));
  out += scaled;
  out += "</g><g class=\"pinned\">";
  add_pinned(pinned, out);
  out += "</g></svg></div>\n";
}

// The errors whose rows place an object, each marked where that object
// would stand, with its code, and linked to its entry in the list of
// errors. The strip keeps its colours when the drawing under it is greyed.
constexpr double fault_height = 34.0;
constexpr double fault_row = 16.0;

void fault_strip(std::span<const fault_mark> faults, const line_axis& axis, std::string& out) {
  std::vector<pinned_marker> pinned;
  for (const fault_mark& f : faults) {
    const double x = axis.x(f.metre);
    // A place off the drawn axis (past the grid's end) has nowhere to stand:
    // the list still tells it.
    if (x < 0 || x > strip_width_px) continue;
    pinned.push_back(
        {"fault", "a", x, fault_row, fmt::format("{}", f.code),
         fmt::format(" id=\"fault-{0}\" href=\"#diagnostic-{0}\" data-diagnostic=\"{0}\" "
                     "data-metre=\"{1}\" data-tip=\"error {2}: {3}\"",
                     f.entry, f.metre, f.code, f.words),
         lane_label{x,
                    label_dx,
                    label_width_px(fmt::format("{}", f.code), label_font_px),
                    {fault_row + 3, fault_row + 15},
                    0}});
  }
  if (pinned.empty()) return;
  fmt::format_to(
      std::back_inserter(out),
      "<div class=\"strip-row faults\"><div class=\"strip-name\">errors<br><small>where the "
      "object would stand</small></div><svg class=\"strip lane faults\" data-strip=\"faults\" "
      "width=\"{}\" height=\"{}\" viewBox=\"0 0 {} {}\" data-marker-rooms=\"{}\"><g "
      "class=\"scaled\"></g><g class=\"pinned\">",
      px(strip_width_px), px(fault_height), px(strip_width_px), px(fault_height),
      marker_rooms(pinned));
  add_pinned(pinned, out);
  out += "</g></svg></div>\n";
}

// The curves, as bars above the middle for a right turn and below it for a
// left one, as high as their curvature; a note where there is no plan. The
// hover tells a curve's radius and stretch from the page's data.
void curvature_strip(const route_view& view, const line_axis& axis,
                     const std::vector<curve_stretch>& curves, std::string& out) {
  constexpr double height = 70.0;
  constexpr double middle = height / 2;
  double sharpest = 0.0;
  for (const curve_stretch& c : curves) sharpest = std::max(sharpest, std::abs(c.curvature));
  const std::string range =
      !view.plan       ? std::string("no track plan")
      : curves.empty() ? std::string("straight throughout")
                       : fmt::format("radius down to {} m",
                                     static_cast<std::int64_t>(std::nearbyint(1.0 / sharpest)));
  fmt::format_to(
      std::back_inserter(out),
      "<div class=\"strip-row\"><div class=\"strip-name\">curvature<br><small>right up, left "
      "down<br>{}</small></div><svg class=\"strip\" data-strip=\"curvature\" width=\"{}\" "
      "height=\"{}\" viewBox=\"0 0 {} {}\"><g class=\"scaled\"><path class=\"zero\" "
      "d=\"M0 {}H{}\"/>",
      range, px(strip_width_px), px(height), px(strip_width_px), px(height), px(middle),
      px(strip_width_px));
  // One path a side: a long line has thousands of curves.
  std::string right_bars, left_bars;
  for (const curve_stretch& c : curves) {
    const bool right = c.curvature > 0;
    const double bar = std::max(2.0, std::abs(c.curvature) / sharpest * (middle - 4));
    const double x0 = axis.x(static_cast<double>(c.first_metre));
    const double x1 = axis.x(static_cast<double>(c.last_metre));
    fmt::format_to(std::back_inserter(right ? right_bars : left_bars),
                   FMT_COMPILE("M{} {}h{}v{}H{}z"), px(x0), px(right ? middle - bar : middle),
                   px(std::max(x1 - x0, 0.0)), px(bar), px(x0));
  }
  fmt::format_to(
      std::back_inserter(out),
      "<path data-kind=\"curve-right\" d=\"{}\"/><path data-kind=\"curve-left\" d=\"{}\"/>",
      right_bars, left_bars);
  out += "</g></svg></div>\n";
}

void append_pairs(std::string& out, const char* name, const std::vector<change>& steps) {
  fmt::format_to(std::back_inserter(out), FMT_COMPILE("\"{}\":["), name);
  for (std::size_t i = 0; i < steps.size(); ++i) {
    if (i != 0) out += ',';
    fmt::format_to(std::back_inserter(out), FMT_COMPILE("{},{}"), steps[i].cell,
                   px(steps[i].value));
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

// The cells a change list covers when a strip draws the first `cells`.
std::vector<change> first_cells(const std::vector<change>& steps, std::size_t cells) {
  std::vector<change> out;
  for (const change& c : steps) {
    if (c.cell >= cells) break;
    out.push_back(c);
  }
  return out;
}

// Everything else a cell holds, for the cells where any of it is not 0:
// the cell, its kind, its four values and its signal time.
void append_objects(std::string& out, const compiler::route_grid& grid) {
  out += "\"o\":[";
  bool first = true;
  for (std::size_t i = 0; i < grid.cells.size(); ++i) {
    // The kind, the four values and the signal time lead the cell's fields.
    const std::array<compiler::named_field, 11> f = compiler::cell_fields(grid.cells[i]);
    if (f[0].value == 0 && f[1].value == 0 && f[2].value == 0 && f[3].value == 0 &&
        f[4].value == 0 && f[5].value == 0) {
      continue;
    }
    if (!first) out += ',';
    first = false;
    fmt::format_to(std::back_inserter(out), FMT_COMPILE("{},{},{},{},{},{},{}"), i, f[0].value,
                   f[1].value, f[2].value, f[3].value, f[4].value, f[5].value);
  }
  out += "]";
}

// The cell profiles as change lists over the whole grid, the object kind
// and approach mark of every cell that holds one, for the hover over the
// strips; every field of every cell, for the page's table of cells; and the
// curves.
void profile_data(const route_view& view, std::size_t cells, const line_axis& axis,
                  const cell_profiles& profiles, const std::vector<curve_stretch>& curves,
                  std::string& out) {
  fmt::format_to(std::back_inserter(out),
                 FMT_COMPILE("{{\"cells\":{},\"grid\":{},\"length\":{},\"width\":{},"), cells,
                 view.grid.cells.size(), px(axis.length_m), px(strip_width_px));
  append_pairs(out, "g", profiles.gradient);
  out += ",";
  append_pairs(out, "s", profiles.speed);
  out += ",";
  append_pairs(out, "a", profiles.adhesion);
  out += ",";
  append_pairs(out, "t", profiles.tunnel);
  std::vector<change> kinds;
  std::vector<change> marks;
  for (std::size_t i = 0; i < view.grid.cells.size(); ++i) {
    if (view.grid.cells[i].kind != 0) kinds.push_back({i, double(view.grid.cells[i].kind)});
    if (view.grid.cells[i].approach_mark != 0) {
      marks.push_back({i, double(view.grid.cells[i].approach_mark)});
    }
  }
  out += ",";
  append_pairs(out, "k", kinds);
  out += ",";
  append_pairs(out, "m", marks);
  out += ",";
  append_objects(out, view.grid);
  // The names the cell fields go by in the files' tools, in their order.
  out += ",\"fields\":[";
  const auto fields = compiler::cell_fields(compiler::track_cell{});
  for (std::size_t f = 0; f < fields.size(); ++f) {
    fmt::format_to(std::back_inserter(out), FMT_COMPILE("{}\"{}\""), f == 0 ? "" : ",",
                   fields[f].name);
  }
  out += "],\"c\":[";
  for (std::size_t i = 0; i < curves.size(); ++i) {
    fmt::format_to(std::back_inserter(out), FMT_COMPILE("{}{},{},{}"), i == 0 ? "" : ",",
                   curves[i].first_metre, curves[i].last_metre,
                   static_cast<std::int64_t>(std::nearbyint(curves[i].radius_m())) *
                       (curves[i].curvature > 0 ? 1 : -1));
  }
  out += "]}";
}

}  // namespace

void line_strips(const route_view& view, const line_axis& axis, const build_notes* notes,
                 std::span<const fault_mark> faults, std::string& out) {
  const std::size_t cells = drawn_cells(view, axis);
  const std::size_t all = view.grid.cells.size();
  const cell_profiles profiles = {
      changes(view, all, [](const track_cell& c) { return c.gradient; }),
      changes(view, all, [](const track_cell& c) { return c.speed_limit; }),
      changes(view, all, [](const track_cell& c) { return c.adhesion; }),
      changes(view, all, [](const track_cell& c) { return c.mountain_type; }),
  };
  // Gradients are stored per mille plus 100, speeds in units of 5 km/h.
  const auto gradients = in_units(first_cells(profiles.gradient, cells), 1.0, -100.0);
  const auto speeds = in_units(first_cells(profiles.speed, cells), 5.0, 0.0);
  const auto adhesion = first_cells(profiles.adhesion, cells);
  const std::vector<curve_stretch> curves =
      view.plan ? curve_stretches(*view.plan) : std::vector<curve_stretch>{};

  out += "<section id=\"strips\">\n";
  out += elevation_strip(gradients, cells, axis);
  out += profile_strip("gradient", "gradient", "‰", gradients, cells, axis, 80.0, true);
  curvature_strip(view, axis, curves, out);
  out += profile_strip("speed", "speed limit", "km/h", speeds, cells, axis, 80.0, true);
  out += profile_strip("adhesion", "adhesion", "%", adhesion, cells, axis, 60.0, true);
  fault_strip(faults, axis, out);
  object_lane(view, axis, notes, out);
  out += fmt::format(
      "<div class=\"strip-row\"><div class=\"strip-name\">km</div><svg class=\"strip axis\" "
      "data-strip=\"axis\" width=\"{}\" height=\"28\" viewBox=\"0 0 {} 28\"></svg></div>\n",
      px(strip_width_px), px(strip_width_px));
  out += "</section>\n<script type=\"application/json\" id=\"profile-data\">";
  profile_data(view, cells, axis, profiles, curves, out);
  out += "</script>\n";
}

}  // namespace viewer
