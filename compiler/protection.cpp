#include "compiler/protection.h"

#include <array>
#include <optional>

#include "compiler/cell_views.h"

namespace compiler {

namespace {

constexpr std::int64_t warning_look_back = 20;
constexpr std::int64_t protection_spacing = 8;
constexpr std::int64_t signal_search_length = 12;
constexpr std::int16_t protected_speed_limit = 110;

struct pass {
  scenario_model& model;
  journal& log;
  std::int64_t upper;  // G

  track_cell& cell(std::int64_t i) { return model.grid.cells[static_cast<std::size_t>(i)]; }
  bool free_at(std::int64_t i) { return i >= 0 && i <= upper && is_free(cell(i)); }
  bool kind_at(std::int64_t i, cell_kind kind) {
    return i >= 0 && i <= upper && has_kind(cell(i), kind);
  }
  void place(std::int64_t i) {
    track_cell& target = cell(i);
    const cell_write write{static_cast<std::int32_t>(i), kind_value(cell_kind::code_cut), 0,
                           target.kind};
    put_code_cut(target, {protection_code});
    log.add_writes({}, -1, {&write, 1});
  }
  // An existing code cut in front of a signal keeps the smaller of its code
  // and 180.
  void lower(std::int64_t i) {
    track_cell& target = cell(i);
    const std::int16_t code = code_cut_of(target)->code;
    const std::int16_t lowered = smaller_code(protection_code, code);
    if (lowered == code) return;
    put_code_cut(target, {lowered});
    const cell_write write{static_cast<std::int32_t>(i), target.kind, 0, target.kind};
    log.add_writes({}, -1, {&write, 1});
  }
  // Records `code` at cell i, about the slowdown whose warning or start
  // stands in cell `concerned`.
  void record(error_code code, std::int64_t i, std::int64_t concerned) {
    const auto at = static_cast<std::int32_t>(i);
    const cell_unprotected wanting{{at, cell(i).kind, log.owner_of(at)},
                                   log.owner_of(static_cast<std::int32_t>(concerned))};
    log.add_error({}, error_of(code, static_cast<std::int32_t>(i * cell_length_m), -1, wanting));
  }
};

// Every signal up to 20 cells before a warning gets a protection point in
// one of the two cells in front of it, or has a code cut there lowered to
// 180: a train that passes the signal is then held to the slowdown ahead.
void protect_signals_before_warning(pass& p, std::int64_t c) {
  for (std::int64_t k = 1; k <= warning_look_back; ++k) {
    const std::int64_t s = c - k;
    if (s < 3) break;
    if (!p.kind_at(s, cell_kind::signal)) continue;
    if (p.free_at(s - 1)) {
      p.place(s - 1);
    } else if (p.free_at(s - 2)) {
      p.place(s - 2);
    } else if (p.kind_at(s - 1, cell_kind::code_cut)) {
      p.lower(s - 1);
    } else if (p.kind_at(s - 2, cell_kind::code_cut)) {
      p.lower(s - 2);
    } else {
      p.record(error_code::signal_before_warning_unprotected, s, c);
    }
  }
}

// Protection points at three distances before a slowdown start, 250 to
// 350 m, 550 to 650 m and 900 to 1000 m: the first free cell of each group.
void protect_slowdown_approach(pass& p, std::int64_t c) {
  constexpr std::array<std::int64_t, 3> nearest_offsets = {5, 11, 18};
  for (const std::int64_t offset : nearest_offsets) {
    const std::int64_t farthest = offset + 2;
    if (c <= farthest) continue;
    bool placed = false;
    for (std::int64_t back = offset; back <= farthest && !placed; ++back) {
      if (p.free_at(c - back)) {
        p.place(c - back);
        placed = true;
      }
    }
    if (!placed) p.record(error_code::slowdown_approach_unprotected, c, c);
  }
}

// Inside a slow slowdown: walks from the start to the end cell, placing a protection point
// every 8 cells counted from where the previous one went. Returns the walk
// cell, the end cell unless the grid ran out first.
std::int64_t protect_slowdown_body(pass& p, std::int64_t c) {
  std::int64_t counter = 0;
  std::int64_t w = c;
  while (w < p.upper) {
    ++w;
    ++counter;
    if (counter == protection_spacing) {
      if (p.free_at(w)) {
        p.place(w);
        counter = 0;
      } else if (p.free_at(w - 1)) {
        p.place(w - 1);
        counter = 1;
      } else if (p.free_at(w + 1)) {
        p.place(w + 1);
        counter = -1;
      } else {
        // The counter stays at 8 and passes it: no further point in this
        // slowdown.
        p.record(error_code::slowdown_spacing_unprotected, w, c);
      }
    }
    if (p.kind_at(w, cell_kind::slowdown_end)) break;
  }
  return w;
}

// The end cell of the slowdown that starts at c, or the grid's last cell when
// it has none.
std::int64_t slowdown_end_after(pass& p, std::int64_t c) {
  std::int64_t w = c;
  while (w < p.upper) {
    ++w;
    if (p.kind_at(w, cell_kind::slowdown_end)) break;
  }
  return w;
}

// After the slowdown: the first signal within 12 cells of the walk cell gets a protection
// point in one of the two cells in front of it.
void protect_signal_after(pass& p, std::int64_t w, std::int64_t c) {
  std::int64_t found = 0;
  const std::int64_t last = std::min(w + signal_search_length, p.upper);
  for (std::int64_t t = w; t <= last; ++t) {
    if (p.kind_at(t, cell_kind::signal)) {
      found = t - 1;
      break;
    }
  }
  if (found <= 0) return;
  if (p.free_at(found)) {
    p.place(found);
  } else if (p.free_at(found - 1)) {
    p.place(found - 1);
  } else {
    p.record(error_code::slowdown_spacing_unprotected, w, c);
  }
}

}  // namespace

std::int16_t smaller_code(std::int16_t x, std::int16_t y) { return x > y ? y : x; }

void protect_slowdowns(scenario_model& model, journal& log) {
  if (!model.grid.exists()) return;
  pass p{model, log, model.grid.upper()};
  const std::int64_t last = p.upper - 2;
  for (std::int64_t c = 1; c <= last; ++c) {
    if (p.kind_at(c, cell_kind::slowdown_warning)) {
      protect_signals_before_warning(p, c);
    } else if (p.kind_at(c, cell_kind::slowdown_start)) {
      protect_slowdown_approach(p, c);
      // A slowdown of 110 km/h or more has no walk; its search starts at its
      // end cell all the same.
      const std::int64_t w = slowdown_of(p.cell(c))->speed < protected_speed_limit
                                 ? protect_slowdown_body(p, c)
                                 : slowdown_end_after(p, c);
      protect_signal_after(p, w, c);
    }
  }
}

}  // namespace compiler
