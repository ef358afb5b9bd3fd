#include "viewer/page_layout.h"

#include <fmt/format.h>

#include <algorithm>

namespace viewer {

line_axis axis_of(const route_view& view) {
  const double grid_end =
      static_cast<double>(view.grid.cells.size()) * compiler::cell_length_m;
  double length = view.stations.slots[compiler::line_parameter_slot].finish;
  if (length <= 0 || length > grid_end) length = grid_end;
  for (std::size_t i = view.grid.cells.size(); i-- > 0;) {
    if (view.grid.cells[i].kind != 0) {
      length = std::max(length, static_cast<double>(i + 1) * compiler::cell_length_m);
      break;
    }
  }
  return {std::max(length, 1.0)};
}

std::string px(double value) {
  // -0.0 would print with its sign.
  const double rounded = value == 0.0 ? 0.0 : value;
  std::string text = fmt::format("{:.1f}", rounded);
  if (text.size() > 2 && text.ends_with(".0")) text.resize(text.size() - 2);
  if (text == "-0") text = "0";
  return text;
}

}  // namespace viewer
