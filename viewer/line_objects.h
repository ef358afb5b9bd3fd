#pragma once
// What the grid and the table of a build hold, told object by object for the
// page: each with the words a reader of the page needs, already escaped.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "compiler/model.h"

namespace viewer {

// One object that stands in one cell of the grid.
struct line_object {
  const char* kind;  // the page's name for it: "signal", "speed-boards", ...
  std::size_t cell;
  std::string label;  // drawn beside the marker; may be empty
  std::string tip;    // shown on hover
};

// Signals, speed boards, the slowdown cells, code cuts, protection points and
// line-side signs, in the order of their cells. Tunnel markers and station
// stop cells are left to the tunnels and the stations.
std::vector<line_object> point_objects(const compiler::route_grid& grid,
                                       const compiler::station_table& stations);

// A run of cells under one tunnel type.
struct tunnel_run {
  std::size_t first_cell;
  std::size_t last_cell;
  std::uint8_t type;
  std::size_t markers;  // cells of the run that hold a tunnel marker
};

std::vector<tunnel_run> tunnel_runs(const compiler::route_grid& grid);
std::string tunnel_tip(const tunnel_run& run);

// A slowdown from its start cell to the end cell that follows it.
struct slowdown_span {
  std::size_t start_cell;
  std::size_t end_cell;
  std::int16_t speed;
};

std::vector<slowdown_span> slowdown_spans(const compiler::route_grid& grid);

// The slots of the table that hold stations, in slot order.
std::vector<std::size_t> station_slots(const compiler::station_table& stations);
std::string station_tip(std::size_t slot, const compiler::station_record& record);

// Seconds since midnight as hh:mm:ss; hours go on past 23.
std::string clock_text(std::int32_t seconds);

}  // namespace viewer
