#pragma once
// Placement of the line's own elements: the order of the kilometric
// progressive changes, tunnels with their types and markers, speed indicator
// boards and line-side signs.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "compiler/model.h"
#include "compiler/placement.h"
#include "compiler/rows.h"

namespace compiler {

struct progressive_order {
  // For each of slots 81, 82 and 83, the slot (0 for 81, 1 for 82, 2 for 83)
  // whose row it holds after the ordering; nothing for a slot left empty.
  std::array<std::optional<std::size_t>, 3> read_in{};
  // A reference of 2147483548 or more cannot take its 100 m: the slots before
  // it have theirs, and the reading fails there.
  bool reference_overflow = false;
  std::size_t overflow_slot = 0;  // 0 to 2, when the reference overflowed
};

// Puts the three progressive rows of slots 81 to 83 into their fixed order
// (greatest start in slot 81) and adds 100 to each reference whose flag is 1.
// Runs once per build.
progressive_order order_progressive_changes(station_table& stations);

// What a tunnel row did: the type it wrote into the cells it covers, and the
// markers it dropped on every fourth of them that was free.
struct tunnel_placement {
  std::int32_t type = 0;      // the row's type, less 10 above 10, or 3 close behind the previous
  bool with_markers = false;  // the row's type was above 10
  std::int64_t first_cell = 0;
  std::int64_t last_cell = -1;  // below first_cell when the tunnel covers no cell
  std::vector<cell_write> markers;
};

// Writes a tunnel's type into every cell from start / 50 to end / 50 - 1 that
// lies on the grid, and markers (kind 11) on its 4th, 8th, ... cell where the
// cell holds nothing. `previous_end` is the end of the tunnel row before it,
// if any: a tunnel that starts 150 m or less after it takes type 3.
tunnel_placement place_tunnel(scenario_model& model, const tunnel_row& row,
                              std::optional<std::int32_t> previous_end);

// Places one pair of speed boards at cell position / 50 + 1, packing the
// speeds of both groups. An occupied cell is error 21, a packed value beyond
// 16 bits error 25; either leaves the grid unchanged.
placement place_speed_boards(scenario_model& model, const speed_boards_row& row);

// Places a line-side sign at cell position / 50 + 1 and its text in `slot`.
// An occupied cell is error 6 and changes nothing.
placement place_sign(scenario_model& model, const sign_row& row, std::int32_t slot);

}  // namespace compiler
