#include "compiler/signals.h"

#include "compiler/cell_views.h"
#include "compiler/rounding.h"

namespace compiler {

namespace {

track_cell& cell_at(scenario_model& model, std::int64_t index) {
  return model.grid.cells[static_cast<std::size_t>(index)];
}

cell_write object_write(std::int64_t index, cell_kind kind, const track_cell& before) {
  return {static_cast<std::int32_t>(index), kind_value(kind), 0, before.kind};
}

}  // namespace

signal_placement place_signal(scenario_model& model, const signal_row& row) {
  signal_placement result;
  const std::int64_t c = cell_index(row.position, 1);
  track_cell& cell = cell_at(model, c);
  if (!is_free(cell)) {
    result.done = refused_at(error_code::signal_cell_occupied, c, cell.kind);
    result.time = row.time;
    return result;
  }
  result.time = row.time >= 1 && row.time <= 100 ? 101 : row.time;
  const std::int64_t sides = signal_sides(row.sx, row.dx);
  result.done.add(object_write(c, cell_kind::signal, cell));
  put_signal(cell, {signal_pair(row.s1, row.d1), signal_pair(row.s2, row.d2),
                    signal_pair(row.s3, row.d3), low16(std::int64_t{row.rapp} * 10 + sides),
                    row.sx == 2 ? low8(result.time) : std::uint8_t{0}});
  // The marks are written whatever their cells hold; nearest the signal is 1.
  for (std::int64_t n = 1; n <= 4; ++n) {
    const std::int64_t marked = c - 2 * n;
    if (marked < 0) break;
    const std::uint8_t mark = low8(sides * 10 + n);
    track_cell& target = cell_at(model, marked);
    result.done.add({static_cast<std::int32_t>(marked), 0, mark, target.kind});
    target.approach_mark = mark;
  }
  return result;
}

slowdown_cells cells_of(const slowdown_row& row) {
  const std::int64_t x = row.start;
  return {cell_index(x - 1200, 1), cell_index(x, 1), cell_index(x + row.length, 1),
          cell_index(x - 1200)};
}

placement place_slowdown(scenario_model& model, const slowdown_row& row) {
  const slowdown_cells at = cells_of(row);
  const bool has_warning = row.start > 1500;
  // Without a warning there are no cells ahead of it to mark.
  const bool mark_ahead = has_warning && row.f_ta != 0;

  if (has_warning && !is_free(cell_at(model, at.warning))) {
    return refused_at(error_code::slowdown_warning_occupied, at.warning,
                      cell_at(model, at.warning).kind);
  }
  if (!is_free(cell_at(model, at.start))) {
    return refused_at(error_code::slowdown_start_occupied, at.start, cell_at(model, at.start).kind);
  }
  if (!is_free(cell_at(model, at.end))) {
    return refused_at(error_code::slowdown_end_occupied, at.end, cell_at(model, at.end).kind);
  }
  placement done;
  // The end is written before the start: with l = 0 both fall in one cell,
  // which must end up as the start.
  const slowdown_cell values{low16(row.speed), low16(row.d_v), low16(row.f_tt)};
  const auto write = [&](std::int64_t index, cell_kind kind) {
    track_cell& cell = cell_at(model, index);
    done.add(object_write(index, kind, cell));
    put_slowdown(cell, kind, values);
  };
  write(at.end, cell_kind::slowdown_end);
  write(at.start, cell_kind::slowdown_start);
  if (has_warning) write(at.warning, cell_kind::slowdown_warning);

  if (!mark_ahead) return done;
  for (std::int64_t k = 0; k <= 3; ++k) {
    const track_cell& cell = cell_at(model, at.ahead - k);
    if (!is_free(cell)) {
      done.refused = cell_conflict{error_code::warning_approach_occupied,
                                   static_cast<std::int32_t>(at.ahead - k), cell.kind};
      return done;
    }
  }
  for (std::int64_t k = 0; k <= 3; ++k) {
    track_cell& cell = cell_at(model, at.ahead - k);
    done.add(object_write(at.ahead - k, cell_kind::warning_approach, cell));
    // The rank is repeated where the slowdown has a d_v, in place of it.
    const std::int16_t rank = low16(k + 1);
    put_warning_approach(cell, {rank, row.d_v != 0 ? rank : std::int16_t{0}});
  }
  return done;
}

}  // namespace compiler
