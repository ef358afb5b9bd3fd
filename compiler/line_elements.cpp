#include "compiler/line_elements.h"

#include <array>
#include <limits>
#include <optional>

#include "compiler/rounding.h"

namespace compiler {

namespace {

struct progressive_row {
  std::int32_t start = 0;
  std::int32_t finish = 0;
  std::int32_t position = 0;
};

progressive_row row_of(const station_record& slot) {
  return {slot.start, slot.finish, slot.position};
}

void store(station_record& slot, const progressive_row& row) {
  slot.start = row.start;
  slot.finish = row.finish;
  slot.position = row.position;
}

// The three rows in slots 81, 82, 83, or nothing when the ordering places
// none of them.
using arrangement = std::optional<std::array<progressive_row, 3>>;

arrangement order_by_start(const progressive_row& t, const progressive_row& d,
                           const progressive_row& u) {
  // Slot 81 takes a row whose start beats both others; the remaining two go
  // to 82 and 83 by descending start, a tie preferring U, then D, then T for
  // slot 82.
  auto pair_in_order = [](const progressive_row& preferred, const progressive_row& other) {
    return other.start > preferred.start ? std::array{other, preferred}
                                         : std::array{preferred, other};
  };
  if (t.start > d.start && t.start > u.start) {
    const auto rest = pair_in_order(u, d);
    return std::array{t, rest[0], rest[1]};
  }
  if (d.start > t.start && d.start > u.start) {
    const auto rest = pair_in_order(u, t);
    return std::array{d, rest[0], rest[1]};
  }
  if (u.start > t.start && u.start > d.start) {
    const auto rest = pair_in_order(d, t);
    return std::array{u, rest[0], rest[1]};
  }
  return std::nullopt;
}

arrangement order_by_finish(const progressive_row& t, const progressive_row& d,
                            const progressive_row& u) {
  // Each later match replaces the arrangement of an earlier one.
  arrangement result;
  if (t.finish > 0) result = std::array{t, d, u};
  if (d.finish > 0) result = std::array{d, t, u};
  if (u.finish > 0) result = std::array{u, d, t};
  return result;
}

}  // namespace

void progressive_ordina(build_state& state) {
  auto& slots = state.stations.slots;
  const progressive_row t = row_of(slots[81]);
  const progressive_row d = row_of(slots[82]);
  const progressive_row u = row_of(slots[83]);
  const std::int64_t start_sum = std::int64_t{t.start} + d.start + u.start;
  const arrangement ordered = start_sum != 0 ? order_by_start(t, d, u) : order_by_finish(t, d, u);
  for (std::size_t i = 0; i < 3; ++i) {
    store(slots[81 + i], ordered ? (*ordered)[i] : progressive_row{});
  }
  for (std::size_t slot = 81; slot <= 83; ++slot) {
    // The flag 1 moves the reference 100 m on; a 32-bit reference that cannot
    // take it keeps its value rather than wrap.
    if (slots[slot].position == 1 &&
        slots[slot].finish <= std::numeric_limits<std::int32_t>::max() - 100) {
      slots[slot].finish += 100;
    }
  }
}

void memo_montagna(build_state& state, std::int32_t& inizio, std::int32_t& fine,
                   std::int32_t& tipo) {
  if (state.mountain_count >= static_cast<std::int32_t>(state.mountain_start.size()) - 1) {
    state.error = error_code::reading_failure;
    return;
  }
  bool markers = false;
  if (tipo > 10) {
    markers = true;
    tipo -= 10;
  }
  const std::int32_t previous_end =
      state.mountain_end[static_cast<std::size_t>(state.mountain_count)];
  state.mountain_count += 1;
  const auto entry = static_cast<std::size_t>(state.mountain_count);
  state.mountain_start[entry] = inizio;
  state.mountain_end[entry] = fine;
  if (state.mountain_count > 1 && std::int64_t{inizio} - previous_end <= 150) tipo = 3;

  const std::int64_t first = cell_index(inizio);
  const std::int64_t last = std::min<std::int64_t>(cell_index(fine, -1), state.grid.upper());
  const auto type_byte = static_cast<std::uint8_t>(tipo & 0xFF);
  for (std::int64_t i = std::max<std::int64_t>(first, 0); i <= last; ++i) {
    // Cells are counted from the tunnel's first cell, so that markers fall on
    // its 4th, 8th, ... cell; cells before the line's start are never written.
    track_cell& cell = state.grid.cells[static_cast<std::size_t>(i)];
    const std::int64_t counted = i - first + 1;
    cell.mountain_type = type_byte;
    if (markers && counted % 4 == 0 && has_kind(cell, cell_kind::free_track)) {
      cell.kind = kind_value(cell_kind::tunnel_marker);
    }
  }
}

namespace {

std::optional<std::int16_t> packed_speeds(std::int32_t d_speed, std::int32_t s_speed) {
  const std::int64_t value =
      round_half_even(static_cast<double>(d_speed) / 5.0 + static_cast<double>(s_speed) * 20.0);
  if (value < std::numeric_limits<std::int16_t>::min() ||
      value > std::numeric_limits<std::int16_t>::max()) {
    return std::nullopt;
  }
  return static_cast<std::int16_t>(value);
}

}  // namespace

void memo_indicatori_v_max(build_state& state, std::int32_t posizione, std::int32_t& vas,
                           std::int32_t& vbs, std::int32_t& vcs, std::int32_t& strisces,
                           std::int32_t& vad, std::int32_t& vbd, std::int32_t& vcd,
                           std::int32_t& strisced) {
  const std::int64_t c = cell_index(posizione, 1);
  track_cell& cell = state.grid.cells[static_cast<std::size_t>(c)];
  if (!is_free(cell)) {
    state.error = error_code::speed_boards_cell_occupied;
    return;
  }
  const auto a = packed_speeds(vad, vas);
  const auto b = packed_speeds(vbd, vbs);
  const auto k = packed_speeds(vcd, vcs);
  const std::int64_t stripes = std::int64_t{strisces} * 10 + strisced;
  if (!a || !b || !k || stripes < std::numeric_limits<std::int16_t>::min() ||
      stripes > std::numeric_limits<std::int16_t>::max()) {
    state.error = error_code::reading_failure;
    return;
  }
  cell.kind = kind_value(cell_kind::speed_boards);
  cell.param1 = *a;
  cell.param2 = *b;
  cell.param3 = *k;
  cell.param4 = static_cast<std::int16_t>(stripes);
}

}  // namespace compiler
