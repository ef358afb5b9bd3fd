#include "compiler/line_elements.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>

#include "compiler/cell_views.h"
#include "compiler/rounding.h"
#include "compiler/slot_views.h"

namespace compiler {

namespace {

progressive_row row_of(const station_table& stations, std::size_t index) {
  const progressive_change change = progressive_change_of(stations, index);
  return {.start = change.start, .reference = change.reference, .flag = change.flag};
}

void store(station_table& stations, std::size_t index, const progressive_row& row) {
  put_progressive_change(stations, index,
                         {.start = row.start, .reference = row.reference, .flag = row.flag});
}

// A row and the slot (0 to 2 for 81 to 83) it was read into.
struct read_row {
  progressive_row row;
  std::size_t read_in;
};

// The three rows in slots 81, 82, 83, or nothing when the ordering places
// none of them.
using arrangement = std::optional<std::array<read_row, 3>>;

arrangement order_by_start(const read_row& t, const read_row& d, const read_row& u) {
  // Slot 81 takes a row whose start beats both others; the remaining two go
  // to 82 and 83 by descending start, a tie preferring U, then D, then T for
  // slot 82.
  auto pair_in_order = [](const read_row& preferred, const read_row& other) {
    return other.row.start > preferred.row.start ? std::array{other, preferred}
                                                 : std::array{preferred, other};
  };
  const auto beats = [](const read_row& a, const read_row& b, const read_row& c) {
    return a.row.start > b.row.start && a.row.start > c.row.start;
  };
  if (beats(t, d, u)) {
    const auto rest = pair_in_order(u, d);
    return std::array{t, rest[0], rest[1]};
  }
  if (beats(d, t, u)) {
    const auto rest = pair_in_order(u, t);
    return std::array{d, rest[0], rest[1]};
  }
  if (beats(u, t, d)) {
    const auto rest = pair_in_order(d, t);
    return std::array{u, rest[0], rest[1]};
  }
  return std::nullopt;
}

arrangement order_by_reference(const read_row& t, const read_row& d, const read_row& u) {
  // Each later match replaces the arrangement of an earlier one.
  arrangement result;
  if (t.row.reference > 0) result = std::array{t, d, u};
  if (d.row.reference > 0) result = std::array{d, t, u};
  if (u.row.reference > 0) result = std::array{u, d, t};
  return result;
}

}  // namespace

progressive_order order_progressive_changes(station_table& stations) {
  const read_row t{row_of(stations, 0), 0};
  const read_row d{row_of(stations, 1), 1};
  const read_row u{row_of(stations, 2), 2};
  const std::int64_t start_sum = std::int64_t{t.row.start} + d.row.start + u.row.start;
  const arrangement ordered =
      start_sum != 0 ? order_by_start(t, d, u) : order_by_reference(t, d, u);
  progressive_order order;
  for (std::size_t i = 0; i < progressive_change_count; ++i) {
    store(stations, i, ordered ? (*ordered)[i].row : progressive_row{});
    if (ordered) order.read_in[i] = (*ordered)[i].read_in;
  }
  for (std::size_t i = 0; i < progressive_change_count; ++i) {
    // The flag 1 moves the reference 100 m on, in 32-bit arithmetic.
    progressive_change change = progressive_change_of(stations, i);
    if (change.flag != 1) continue;
    if (change.reference > std::numeric_limits<std::int32_t>::max() - 100) {
      order.reference_overflow = true;
      order.overflow_slot = i;
      break;
    }
    change.reference += 100;
    put_progressive_change(stations, i, change);
  }
  return order;
}

tunnel_placement place_tunnel(scenario_model& model, const tunnel_row& row,
                              std::optional<std::int32_t> previous_end) {
  tunnel_placement done;
  done.type = row.type;
  if (done.type > 10) {
    done.with_markers = true;
    done.type -= 10;
  }
  if (previous_end && std::int64_t{row.start} - *previous_end <= 150) done.type = 3;

  done.first_cell = cell_index(row.start);
  done.last_cell = std::min<std::int64_t>(cell_index(row.end, -1), model.grid.upper());
  const auto type_byte = low8(done.type);
  for (std::int64_t i = std::max<std::int64_t>(done.first_cell, 0); i <= done.last_cell; ++i) {
    // Cells are counted from the tunnel's first cell, so that markers fall on
    // its 4th, 8th, ... cell; cells before the line's start are never written.
    track_cell& cell = model.grid.cells[static_cast<std::size_t>(i)];
    const std::int64_t counted = i - done.first_cell + 1;
    cell.mountain_type = type_byte;
    if (done.with_markers && counted % 4 == 0 && has_kind(cell, cell_kind::free_track)) {
      cell.kind = kind_value(cell_kind::tunnel_marker);
      done.markers.push_back({static_cast<std::int32_t>(i), cell.kind, 0, 0});
    }
  }
  return done;
}

namespace {

// vad / 5 + vas x 20 as one floating expression, rounded.
std::int64_t packed_value(std::int32_t s_speed, std::int32_t d_speed) {
  return round_half_even(static_cast<double>(d_speed) / 5.0 + static_cast<double>(s_speed) * 20.0);
}

// The same, when it fits the 16 bits of its field.
std::optional<std::int16_t> packed_speeds(std::int32_t s_speed, std::int32_t d_speed) {
  const std::int64_t value = packed_value(s_speed, d_speed);
  if (value < std::numeric_limits<std::int16_t>::min() ||
      value > std::numeric_limits<std::int16_t>::max()) {
    return std::nullopt;
  }
  return static_cast<std::int16_t>(value);
}

}  // namespace

placement place_speed_boards(scenario_model& model, const speed_boards_row& row) {
  const std::int64_t c = cell_index(row.position, 1);
  track_cell& cell = model.grid.cells[static_cast<std::size_t>(c)];
  if (!is_free(cell)) return refused_at(error_code::speed_boards_cell_occupied, c, cell.kind);
  placement done;
  done.add({static_cast<std::int32_t>(c), kind_value(cell_kind::speed_boards), 0, cell.kind});
  // The kind and the values are written one after the other: a value that
  // does not fit 16 bits fails the reading there, and what was written
  // before it stays.
  cell.kind = kind_value(cell_kind::speed_boards);
  speed_boards_cell boards = *speed_boards_of(cell);
  const std::array<std::int16_t*, 3> ranks = {&boards.rank_a, &boards.rank_b, &boards.rank_c};
  const auto s = s_speeds(row);
  const auto d = d_speeds(row);
  for (std::size_t i = 0; i < ranks.size(); ++i) {
    const auto packed = packed_speeds(s[i], d[i]);
    if (!packed) {
      put_speed_boards(cell, boards);
      done.refused = cell_conflict{error_code::reading_failure, static_cast<std::int32_t>(c), 0,
                                   reading_limit::packed_speed,
                                   packed_value(s[i], d[i])};
      return done;
    }
    *ranks[i] = *packed;
  }
  const std::int64_t stripes = std::int64_t{row.s_stripes} * 10 + row.d_stripes;
  if (stripes < std::numeric_limits<std::int16_t>::min() ||
      stripes > std::numeric_limits<std::int16_t>::max()) {
    put_speed_boards(cell, boards);
    done.refused = cell_conflict{error_code::reading_failure, static_cast<std::int32_t>(c), 0,
                                 reading_limit::stripes, stripes};
    return done;
  }
  boards.stripes = static_cast<std::int16_t>(stripes);
  put_speed_boards(cell, boards);
  return done;
}

placement place_sign(scenario_model& model, const sign_row& row, std::int32_t slot) {
  const std::int64_t c = cell_index(row.position, 1);
  track_cell& cell = model.grid.cells[static_cast<std::size_t>(c)];
  if (!is_free(cell)) return refused_at(error_code::sign_cell_occupied, c, cell.kind);
  placement done;
  done.add({static_cast<std::int32_t>(c), kind_value(cell_kind::line_sign), 0, cell.kind});
  put_slot(cell, cell_kind::line_sign, {static_cast<std::int16_t>(slot)});
  model.stations.slots[static_cast<std::size_t>(slot)].name.assign(row.text);
  return done;
}

}  // namespace compiler
