#include "viewer/line_objects.h"

#include <fmt/format.h>

#include "compiler/decoding.h"
#include "viewer/html_text.h"

namespace viewer {

namespace {

using compiler::cell_kind;
using compiler::track_cell;

// Codes that the protection pass gives the points it adds; a code cut lowered
// by the pass ends with the same code and cannot be told from one.
constexpr std::int16_t protection_code = 180;

std::string place(std::size_t cell) {
  return fmt::format("cell {} · {} m", cell, static_cast<std::int64_t>(cell) * compiler::cell_length_m);
}

// A speed board value holds the s speed / 5 in its hundreds and the d speed
// / 5 in its last two digits.
int s_speed(std::int16_t value) { return value / 100 * 5; }
int d_speed(std::int16_t value) { return value % 100 * 5; }

line_object signal_object(std::size_t i, const track_cell& c) {
  const int sides = c.param4 % 10;
  std::string tip = fmt::format(
      "{} · signal · s {} {} {} · d {} {} {} · rapp {} · sx {} · dx {}", place(i), c.param1 / 10,
      c.param2 / 10, c.param3 / 10, c.param1 % 10, c.param2 % 10, c.param3 % 10, c.param4 / 10,
      sides / 3, sides % 3);
  if (c.signal_time != 0) tip += fmt::format(" · time {}", c.signal_time);
  return {"signal", i, "", std::move(tip)};
}

line_object speed_boards_object(std::size_t i, const track_cell& c) {
  std::string label = fmt::format("{}/{}/{}", s_speed(c.param1), s_speed(c.param2), s_speed(c.param3));
  std::string tip = fmt::format("{} · speed boards · s {} {} {} km/h, {} stripes", place(i),
                                s_speed(c.param1), s_speed(c.param2), s_speed(c.param3),
                                c.param4 / 10);
  if (c.param1 % 100 != 0 || c.param2 % 100 != 0 || c.param3 % 100 != 0 || c.param4 % 10 != 0) {
    tip += fmt::format(" · d {} {} {} km/h, {} stripes", d_speed(c.param1), d_speed(c.param2),
                       d_speed(c.param3), c.param4 % 10);
  }
  return {"speed-boards", i, std::move(label), std::move(tip)};
}

std::string slowdown_values(const track_cell& c, bool with_tt) {
  std::string text = fmt::format("{} km/h", c.param1);
  if (c.param2 != 0) text += fmt::format(" · d_v {}", c.param2);
  if (with_tt) text += fmt::format(" · f_tt {}", c.param3);
  return text;
}

line_object sign_object(std::size_t i, const track_cell& c,
                        const compiler::station_table& stations) {
  std::string text;
  if (c.param1 >= 0 && static_cast<std::size_t>(c.param1) < stations.slots.size()) {
    text = page_text(stations.slots[static_cast<std::size_t>(c.param1)].name);
  }
  std::string tip = fmt::format("{} · line sign · slot {} · {}", place(i), c.param1, text);
  return {"sign", i, std::move(text), std::move(tip)};
}

}  // namespace

std::vector<line_object> point_objects(const compiler::route_grid& grid,
                                       const compiler::station_table& stations) {
  std::vector<line_object> objects;
  for (std::size_t i = 0; i < grid.cells.size(); ++i) {
    const track_cell& c = grid.cells[i];
    switch (static_cast<cell_kind>(c.kind)) {
      case cell_kind::signal:
        objects.push_back(signal_object(i, c));
        break;
      case cell_kind::speed_boards:
        objects.push_back(speed_boards_object(i, c));
        break;
      case cell_kind::slowdown_warning:
        objects.push_back({"slowdown-warning", i, fmt::format("{}", c.param1),
                           fmt::format("{} · slowdown warning · {}", place(i),
                                       slowdown_values(c, false))});
        break;
      case cell_kind::slowdown_start:
        objects.push_back({"slowdown-start", i, "",
                           fmt::format("{} · slowdown start · {}", place(i),
                                       slowdown_values(c, true))});
        break;
      case cell_kind::slowdown_end:
        objects.push_back({"slowdown-end", i, "",
                           fmt::format("{} · slowdown end · {}", place(i),
                                       slowdown_values(c, true))});
        break;
      case cell_kind::warning_approach:
        objects.push_back({"slowdown-approach", i, "",
                           fmt::format("{} · cell {} ahead of the slowdown warning", place(i),
                                       c.param1)});
        break;
      case cell_kind::code_cut:
        if (c.param1 == protection_code) {
          objects.push_back({"protection", i, "",
                             fmt::format("{} · protection point · code {}", place(i), c.param1)});
        } else {
          objects.push_back({"code-cut", i, fmt::format("{}", c.param1),
                             fmt::format("{} · code cut · code {}", place(i), c.param1)});
        }
        break;
      case cell_kind::code_cut_without_code:
        objects.push_back(
            {"code-cut", i, "", fmt::format("{} · code cut without a code", place(i))});
        break;
      case cell_kind::line_sign:
        objects.push_back(sign_object(i, c, stations));
        break;
      case cell_kind::free_track:
      case cell_kind::station_stop:
      case cell_kind::tunnel_marker:
        break;
      default:
        if (c.kind != 0) {
          objects.push_back({"unknown", i, "",
                             fmt::format("{} · kind {} · {} {} {} {}", place(i), c.kind,
                                         c.param1, c.param2, c.param3, c.param4)});
        }
    }
  }
  return objects;
}

std::vector<tunnel_run> tunnel_runs(const compiler::route_grid& grid) {
  std::vector<tunnel_run> runs;
  for (std::size_t i = 0; i < grid.cells.size(); ++i) {
    const track_cell& c = grid.cells[i];
    if (c.mountain_type == 0) continue;
    const bool marker = compiler::has_kind(c, cell_kind::tunnel_marker);
    if (!runs.empty() && runs.back().last_cell + 1 == i && runs.back().type == c.mountain_type) {
      runs.back().last_cell = i;
      runs.back().markers += marker ? 1 : 0;
    } else {
      runs.push_back({i, i, c.mountain_type, marker ? 1u : 0u});
    }
  }
  return runs;
}

std::string tunnel_tip(const tunnel_run& run) {
  return fmt::format("cells {} to {} · {} to {} m · tunnel type {} · {} markers", run.first_cell,
                     run.last_cell, static_cast<std::int64_t>(run.first_cell) * compiler::cell_length_m,
                     static_cast<std::int64_t>(run.last_cell + 1) * compiler::cell_length_m,
                     run.type, run.markers);
}

std::vector<slowdown_span> slowdown_spans(const compiler::route_grid& grid) {
  std::vector<slowdown_span> spans;
  for (std::size_t i = 0; i < grid.cells.size(); ++i) {
    if (!compiler::has_kind(grid.cells[i], cell_kind::slowdown_start)) continue;
    // A slowdown of length 0 ends in its own start cell.
    std::size_t end = i;
    for (std::size_t j = i + 1; j < grid.cells.size(); ++j) {
      if (compiler::has_kind(grid.cells[j], cell_kind::slowdown_end)) {
        end = j;
        break;
      }
      if (compiler::has_kind(grid.cells[j], cell_kind::slowdown_start)) break;
    }
    spans.push_back({i, end, grid.cells[i].param1});
  }
  return spans;
}

std::vector<std::size_t> station_slots(const compiler::station_table& stations) {
  std::vector<std::size_t> slots;
  for (std::size_t s = 1; s <= static_cast<std::size_t>(compiler::sign_slot_first); ++s) {
    const compiler::station_record& r = stations.slots[s];
    if (compiler::holds_anything(r) && compiler::slot_role(s, r) == "station") slots.push_back(s);
  }
  return slots;
}

std::string clock_text(std::int32_t seconds) {
  const char* sign = seconds < 0 ? "-" : "";
  const std::int64_t t = seconds < 0 ? -static_cast<std::int64_t>(seconds) : seconds;
  return fmt::format("{}{:02}:{:02}:{:02}", sign, t / 3600, t / 60 % 60, t % 60);
}

std::string station_tip(std::size_t slot, const compiler::station_record& r) {
  return fmt::format("{} · slot {} · type {} · at {} m · area {} to {} m · dwell {} s · {}",
                     page_text(r.name), slot, r.station_type, r.position, r.start, r.finish,
                     r.dwell, clock_text(r.departure_time));
}

}  // namespace viewer
