#include "viewer/line_objects.h"

#include <fmt/format.h>

#include "compiler/cell_views.h"
#include "compiler/decoding.h"
#include "compiler/protection.h"
#include "viewer/html_text.h"

namespace viewer {

namespace {

using compiler::cell_kind;
using compiler::track_cell;

std::string place(std::size_t cell) {
  return fmt::format("cell {} · {} m", cell,
                     static_cast<std::int64_t>(cell) * compiler::cell_length_m);
}

// The hover text of a cell's object: where it stands and what it is, its
// values unpacked by the object's own view.
std::string tip_of(std::size_t i, const track_cell& c, const compiler::station_table& stations) {
  return escape_html(fmt::format("{} · {}", place(i), compiler::describe_object(c, stations)));
}

std::string sign_label(const track_cell& c, const compiler::station_table& stations) {
  const auto sign = compiler::slot_of(c);
  if (!sign || sign->slot < 0 || static_cast<std::size_t>(sign->slot) >= stations.slots.size()) {
    return {};
  }
  return page_text(stations.slots[static_cast<std::size_t>(sign->slot)].name);
}

}  // namespace

std::vector<line_object> point_objects(const compiler::route_grid& grid,
                                       const compiler::station_table& stations) {
  std::vector<line_object> objects;
  for (std::size_t i = 0; i < grid.cells.size(); ++i) {
    const track_cell& c = grid.cells[i];
    switch (static_cast<cell_kind>(c.kind)) {
      case cell_kind::signal:
        objects.push_back({"signal", i, "", tip_of(i, c, stations)});
        break;
      case cell_kind::speed_boards: {
        const compiler::speed_boards_cell boards = *compiler::speed_boards_of(c);
        objects.push_back({"speed-boards", i,
                           fmt::format("{}/{}/{}", compiler::s_speed_kmh(boards.rank_a),
                                       compiler::s_speed_kmh(boards.rank_b),
                                       compiler::s_speed_kmh(boards.rank_c)),
                           tip_of(i, c, stations)});
        break;
      }
      case cell_kind::slowdown_warning:
        objects.push_back({"slowdown-warning", i,
                           fmt::format("{}", compiler::slowdown_of(c)->speed),
                           tip_of(i, c, stations)});
        break;
      case cell_kind::slowdown_start:
        objects.push_back({"slowdown-start", i, "", tip_of(i, c, stations)});
        break;
      case cell_kind::slowdown_end:
        objects.push_back({"slowdown-end", i, "", tip_of(i, c, stations)});
        break;
      case cell_kind::warning_approach:
        objects.push_back({"slowdown-approach", i, "", tip_of(i, c, stations)});
        break;
      case cell_kind::code_cut: {
        const std::int16_t code = compiler::code_cut_of(c)->code;
        if (code == compiler::protection_code) {
          objects.push_back({"protection", i, "",
                             fmt::format("{} · protection point · code {}", place(i), code)});
        } else {
          objects.push_back({"code-cut", i, fmt::format("{}", code), tip_of(i, c, stations)});
        }
        break;
      }
      case cell_kind::code_cut_without_code:
        objects.push_back({"code-cut", i, "", tip_of(i, c, stations)});
        break;
      case cell_kind::line_sign:
        objects.push_back({"sign", i, sign_label(c, stations), tip_of(i, c, stations)});
        break;
      case cell_kind::free_track:
      case cell_kind::station_stop:
      case cell_kind::tunnel_marker:
        break;
      default:
        if (c.kind != 0) objects.push_back({"unknown", i, "", tip_of(i, c, stations)});
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
                     run.last_cell,
                     static_cast<std::int64_t>(run.first_cell) * compiler::cell_length_m,
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
    spans.push_back({i, end, compiler::slowdown_of(grid.cells[i])->speed});
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
