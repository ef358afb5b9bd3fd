#include "viewer/route_tables.h"

#include <fmt/format.h>

#include "viewer/html_text.h"
#include "viewer/line_objects.h"

namespace viewer {

namespace {

void add_row(std::string& out, std::string_view name, const std::string& value) {
  out += fmt::format("<tr><th>{}</th><td>{}</td></tr>", name, value);
}

std::string progressive_changes(const compiler::station_table& t) {
  std::string out;
  for (std::size_t s = compiler::progressive_slot_first; s < compiler::line_parameter_slot; ++s) {
    const compiler::station_record& r = t.slots[s];
    if (r.start == 0 && r.finish == 0 && r.position == 0) continue;
    if (!out.empty()) out += "<br>";
    out += fmt::format("from {} m the kilometres count from {} m (flag {}, slot {})", r.start,
                       r.finish, r.position, s);
  }
  return out.empty() ? "none" : out;
}

}  // namespace

std::string station_table_html(const route_view& view) {
  std::string out =
      "<table id=\"station-table\"><caption>Stations</caption><thead><tr><th>slot</th>"
      "<th>name</th><th>type</th><th>position m</th><th>area m</th><th>dwell s</th>"
      "<th>time</th></tr></thead><tbody>";
  for (const std::size_t slot : station_slots(view.stations)) {
    const compiler::station_record& r = view.stations.slots[slot];
    out += fmt::format(
        "<tr data-slot=\"{}\"><td>{}</td><td>{}</td><td>{}</td><td>{}</td><td>{} to {}</td>"
        "<td>{}</td><td>{}</td></tr>",
        slot, slot, page_text(r.name), r.station_type, r.position, r.start, r.finish, r.dwell,
        clock_text(r.departure_time));
  }
  return out + "</tbody></table>\n";
}

std::string parameter_panel_html(const route_view& view) {
  const compiler::station_table& t = view.stations;
  const compiler::station_record& line = t.slots[compiler::line_parameter_slot];
  const compiler::station_record& route = t.slots[compiler::route_parameter_slot];
  const compiler::station_record& train = t.slots[compiler::train_parameter_slot];
  std::string out = "<table id=\"parameters\"><caption>Line and train</caption><tbody>";
  add_row(out, "route", page_text(route.name));
  add_row(out, "train", page_text(train.name));
  add_row(out, "line length", fmt::format("{} m", line.finish));
  add_row(out, "grid",
          fmt::format("{} cells of {} m", view.grid.cells.size(), compiler::cell_length_m));
  add_row(out, "progressive changes", progressive_changes(t));
  add_row(out, "signal repetition",
          train.position == 0
              ? fmt::format("{} to {} m, none", train.start, train.finish)
              : fmt::format("{} to {} m, {} codes", train.start, train.finish, train.position));
  add_row(out, "braked mass", fmt::format("{} %", line.start));
  add_row(out, "cars", fmt::format("{}", line.position));
  add_row(out, "sand", fmt::format("{}", train.group1_a));
  // The clock's hours, minutes and seconds, as a clock shows them.
  add_row(out, "clock",
          fmt::format("{:02}:{:02}:{:02}", train.group2_a, train.group2_b, train.group2_c));
  add_row(out, "background", fmt::format("{} {} {}", route.start, route.position, route.finish));
  const compiler::track_cell first =
      view.grid.cells.size() > 1 ? view.grid.cells[1] : compiler::track_cell{};
  add_row(out, "competition codes",
          fmt::format("plain {} (cell 1, beside {}), weighted {} (slot 85, beside {})",
                      first.param2, first.param1, route.departure_time, route.group1_a));
  return out + "</tbody></table>\n";
}

}  // namespace viewer
