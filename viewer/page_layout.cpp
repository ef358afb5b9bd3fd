#include "viewer/page_layout.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "compiler/slot_views.h"

namespace viewer {

line_axis axis_of(const route_view& view) {
  const double grid_end = static_cast<double>(view.grid.cells.size()) * compiler::cell_length_m;
  double length = compiler::line_parameters_of(view.stations).line_length_m;
  if (length <= 0 || length > grid_end) length = grid_end;
  for (std::size_t i = view.grid.cells.size(); i-- > 0;) {
    if (view.grid.cells[i].kind != 0) {
      length = std::max(length, static_cast<double>(i + 1) * compiler::cell_length_m);
      break;
    }
  }
  return {std::max(length, 1.0)};
}

px_text px(double value) {
  px_text text;
  char* out = text.text_;
  // Every coordinate of a drawing is well under a thousand million pixels:
  // it is counted in tenths as an integer, and "-0" is written "0".
  constexpr double plain_limit = 1e9;
  if (std::abs(value) < plain_limit) {
    const auto tenths = static_cast<std::int64_t>(std::nearbyint(value * 10.0));
    std::uint64_t magnitude = static_cast<std::uint64_t>(tenths < 0 ? -tenths : tenths);
    if (tenths < 0) *out++ = '-';
    out = std::to_chars(out, text.text_ + sizeof text.text_, magnitude / 10).ptr;
    if (magnitude % 10 != 0) {
      *out++ = '.';
      *out++ = static_cast<char>('0' + magnitude % 10);
    }
    text.size_ = static_cast<std::size_t>(out - text.text_);
    return text;
  }
  // A coordinate past that comes only from a plan file's absurd value: it is
  // held at a thousand million million, so that it always fits.
  constexpr double farthest = 1e15;
  const double held = std::clamp(value, -farthest, farthest);
  const auto result =
      std::to_chars(out, text.text_ + sizeof text.text_, held, std::chars_format::fixed, 1);
  text.size_ = static_cast<std::size_t>(result.ptr - text.text_);
  return text;
}

}  // namespace viewer
