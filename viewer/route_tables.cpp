#include "viewer/route_tables.h"

#include <fmt/format.h>

#include "compiler/cell_views.h"
#include "compiler/slot_views.h"
#include "viewer/html_text.h"
#include "viewer/line_objects.h"

namespace viewer {

namespace {

void add_row(std::string& out, std::string_view name, const std::string& value) {
  out += fmt::format("<tr><th>{}</th><td>{}</td></tr>", name, value);
}

std::string progressive_changes(const compiler::station_table& t) {
  std::string out;
  for (std::size_t i = 0; i < compiler::progressive_change_count; ++i) {
    const compiler::progressive_change c = compiler::progressive_change_of(t, i);
    if (c.start == 0 && c.reference == 0 && c.flag == 0) continue;
    if (!out.empty()) out += "<br>";
    out += fmt::format("from {} m the kilometres count from {} m (flag {}, slot {})", c.start,
                       c.reference, c.flag, compiler::progressive_slot_first + i);
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
  const compiler::line_parameters line = compiler::line_parameters_of(t);
  const compiler::route_parameters route = compiler::route_parameters_of(t);
  const compiler::train_parameters train = compiler::train_parameters_of(t);
  std::string out = "<table id=\"parameters\"><caption>Line and train</caption><tbody>";
  add_row(out, "route", page_text(t.slots[compiler::route_parameter_slot].name));
  add_row(out, "train", page_text(t.slots[compiler::train_parameter_slot].name));
  add_row(out, "line length", fmt::format("{} m", line.line_length_m));
  add_row(out, "grid",
          fmt::format("{} cells of {} m", view.grid.cells.size(), compiler::cell_length_m));
  add_row(out, "progressive changes", progressive_changes(t));
  add_row(out, "signal repetition",
          train.repetition_codes == 0
              ? fmt::format("{} to {} m, none", train.repetition_from_m, train.repetition_to_m)
              : fmt::format("{} to {} m, {} codes", train.repetition_from_m, train.repetition_to_m,
                            train.repetition_codes));
  add_row(out, "braked mass", fmt::format("{} %", line.braked_mass_percent));
  add_row(out, "cars", fmt::format("{}", line.car_count));
  add_row(out, "sand", fmt::format("{}", train.sand));
  // The clock's hours, minutes and seconds, as a clock shows them.
  add_row(out, "clock",
          fmt::format("{:02}:{:02}:{:02}", train.clock_hours, train.clock_minutes,
                      train.clock_seconds));
  add_row(
      out, "background",
      fmt::format("{} {} {}", route.background_one, route.background_two, route.background_three));
  const compiler::route_stamp first = view.grid.cells.size() > 1
                                          ? compiler::route_stamp_of(view.grid.cells[1])
                                          : compiler::route_stamp{};
  add_row(out, "competition codes",
          fmt::format("plain {} (cell 1, beside {}), weighted {} (slot 85, beside {})",
                      first.plain_competition_code, first.fixed_value,
                      route.weighted_competition_code, route.fixed_value));
  return out + "</tbody></table>\n";
}

}  // namespace viewer
