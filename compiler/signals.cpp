#include "compiler/signals.h"

#include "compiler/rounding.h"

namespace compiler {

namespace {

// Row values are stored as their low 16 or 8 bits.
std::int16_t low16(std::int64_t value) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(value & 0xFFFF));
}
std::uint8_t low8(std::int64_t value) { return static_cast<std::uint8_t>(value & 0xFF); }

track_cell& cell_at(build_state& state, std::int64_t index) {
  return state.grid.cells[static_cast<std::size_t>(index)];
}

}  // namespace

std::int64_t slowdown_start_cell(std::int32_t x) { return cell_index(x, 1); }

std::int64_t slowdown_end_cell(std::int32_t x, std::int32_t l) {
  return cell_index(std::int64_t{x} + l, 1);
}

void memo_segnale(build_state& state, std::int32_t posizione, std::int32_t& sx, std::int32_t& s1,
                  std::int32_t& s2, std::int32_t& s3, std::int32_t& rapp, std::int32_t& dx,
                  std::int32_t& d1, std::int32_t& d2, std::int32_t& d3, std::int32_t& tempo) {
  const std::int64_t c = cell_index(posizione, 1);
  track_cell& cell = cell_at(state, c);
  if (!is_free(cell)) {
    state.error = error_code::signal_cell_occupied;
    return;
  }
  const std::int64_t sides = std::int64_t{sx} * 3 + dx;
  cell.kind = kind_value(cell_kind::signal);
  cell.param4 = low16(std::int64_t{rapp} * 10 + sides);
  cell.param1 = low16(std::int64_t{s1} * 10 + d1);
  cell.param2 = low16(std::int64_t{s2} * 10 + d2);
  cell.param3 = low16(std::int64_t{s3} * 10 + d3);
  if (tempo >= 1 && tempo <= 100) tempo = 101;
  cell.signal_time = sx == 2 ? low8(tempo) : 0;
  for (std::int64_t n = 1; n <= 4; ++n) {
    const std::int64_t marked = c - 2 * n;
    if (marked < 0) break;
    cell_at(state, marked).approach_mark = low8(sides * 10 + n);
  }
}

void memo_rallentamento(build_state& state, std::int32_t x, std::int32_t& v, std::int32_t& l,
                        std::int32_t& f_tt, std::int32_t f_ta, std::int32_t& d_v) {
  const std::int64_t start = slowdown_start_cell(x);
  const std::int64_t end = slowdown_end_cell(x, l);
  const std::int64_t warning = cell_index(std::int64_t{x} - 1200, 1);
  const std::int64_t ahead = cell_index(std::int64_t{x} - 1200);
  const bool has_warning = x > 1500;
  if (!has_warning) f_ta = 0;

  if (has_warning && !is_free(cell_at(state, warning))) {
    state.error = error_code::slowdown_warning_occupied;
    return;
  }
  if (!is_free(cell_at(state, start))) {
    state.error = error_code::slowdown_start_occupied;
    return;
  }
  if (!is_free(cell_at(state, end))) {
    state.error = error_code::slowdown_end_occupied;
    return;
  }
  // The end is written before the start: with l = 0 both fall in one cell,
  // which must end up as the start.
  track_cell& end_cell = cell_at(state, end);
  end_cell.kind = kind_value(cell_kind::slowdown_end);
  if (d_v != 0) end_cell.param2 = low16(d_v);
  track_cell& start_cell = cell_at(state, start);
  start_cell.kind = kind_value(cell_kind::slowdown_start);
  if (d_v != 0) start_cell.param2 = low16(d_v);
  if (has_warning) {
    track_cell& warning_cell = cell_at(state, warning);
    warning_cell.kind = kind_value(cell_kind::slowdown_warning);
    if (d_v != 0) warning_cell.param2 = low16(d_v);
    warning_cell.param1 = low16(v);
  }
  cell_at(state, start).param1 = low16(v);
  cell_at(state, end).param1 = low16(v);
  cell_at(state, start).param3 = low16(f_tt);
  cell_at(state, end).param3 = low16(f_tt);

  if (f_ta == 0) return;
  for (std::int64_t k = 0; k <= 3; ++k) {
    if (!is_free(cell_at(state, ahead - k))) {
      state.error = error_code::warning_approach_occupied;
      return;
    }
  }
  for (std::int64_t k = 0; k <= 3; ++k) {
    track_cell& cell = cell_at(state, ahead - k);
    cell.kind = kind_value(cell_kind::warning_approach);
    cell.param1 = low16(k + 1);
    if (d_v != 0) cell.param2 = low16(k + 1);
  }
}

}  // namespace compiler
