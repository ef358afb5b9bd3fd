#include "compiler/scenario_summary.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "compiler/plan_geometry.h"
#include "compiler/row_recovery.h"

namespace compiler {

namespace {

// The stretches of a profile over the cells the readers write (0 to G - 3),
// each with its value.
std::vector<summary_stretch> stretches(const route_grid& grid, std::uint8_t track_cell::*field,
                                       std::int64_t (*value_of)(std::uint8_t)) {
  std::vector<summary_stretch> out;
  const std::int64_t last = grid.upper() - 3;
  for (std::int64_t c = 0; c <= last; ++c) {
    const std::int64_t value = value_of(grid.cells[static_cast<std::size_t>(c)].*field);
    if (!out.empty() && out.back().value == value) {
      out.back().to = (c + 1) * cell_length_m;
    } else {
      out.push_back({c * cell_length_m, (c + 1) * cell_length_m, value});
    }
  }
  return out;
}

}  // namespace

scenario_summary summarize(const scenario_model& model) {
  scenario_summary out;
  out.route_base_name = model.stations.slots[route_parameter_slot].name;
  out.train_number = model.stations.slots[train_parameter_slot].name;
  if (!model.grid.exists()) return out;
  const recovered_rows rows = recover_rows(model);
  for (const length_row& row : rows_of<length_row>(rows.line)) out.length_m = row.length;

  for (const station_row& row : rows_of<station_row>(rows.service)) {
    out.stations.push_back({row.position, row.type, std::string(row.name),
                            fmt::format("{:02}:{:02}:{:02}", row.hours, row.minutes, row.seconds),
                            row.dwell});
  }

  out.steepest_gradients = stretches(model.grid, &track_cell::gradient,
                                     [](std::uint8_t v) { return std::int64_t{v} - 100; });
  std::stable_sort(out.steepest_gradients.begin(), out.steepest_gradients.end(),
                   [](const summary_stretch& a, const summary_stretch& b) {
                     return std::abs(a.value) > std::abs(b.value);
                   });
  if (out.steepest_gradients.size() > summary_extremes) {
    out.steepest_gradients.resize(summary_extremes);
  }
  std::erase_if(out.steepest_gradients, [](const summary_stretch& s) { return s.value == 0; });

  for (const curve_row& row : rows_of<curve_row>(rows.line)) {
    const double k = curvature_by_class[static_cast<std::size_t>(row.curve_class - 1)];
    out.sharpest_curves.push_back({std::int64_t{row.start} + 1, std::int64_t{row.start} + row.length,
                                   row.curve_class, row.negative_sense,
                                   std::lround(1.0 / k)});
  }
  std::stable_sort(out.sharpest_curves.begin(), out.sharpest_curves.end(),
                   [](const summary_curve& a, const summary_curve& b) {
                     return a.curve_class > b.curve_class;
                   });
  if (out.sharpest_curves.size() > summary_extremes) out.sharpest_curves.resize(summary_extremes);

  out.speed_limits = stretches(model.grid, &track_cell::speed_limit,
                               [](std::uint8_t v) { return std::int64_t{v} * 5; });
  for (const tunnel_row& row : rows_of<tunnel_row>(rows.line)) {
    // The type its cells hold: the row's type carries the marker flag, and a
    // tunnel close behind another holds 3 whatever its row says.
    const auto first = static_cast<std::size_t>(row.start / cell_length_m);
    out.tunnels.push_back({row.start, row.end, model.grid.cells[first].mountain_type});
  }
  for (const signal_row& row : rows_of<signal_row>(rows.service)) out.signals.push_back(row.position);
  for (const slowdown_row& row : rows_of<slowdown_row>(rows.service)) {
    out.slowdowns.push_back({row.start, std::int64_t{row.start} + row.length, row.speed});
  }
  return out;
}

}  // namespace compiler
