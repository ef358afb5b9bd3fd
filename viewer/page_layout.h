#pragma once
// The page's shared horizontal axis: metres along the line drawn across a
// fixed width of pixels at full view; the page's script zooms from there.

#include <fmt/format.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "viewer/route_files.h"

namespace viewer {

inline constexpr double strip_width_px = 1200.0;

struct line_axis {
  double length_m = 1.0;  // the metres drawn across the strips at full view

  double x(double metre) const { return metre * strip_width_px / length_m; }
  double cell_x(std::size_t cell) const {
    return x(static_cast<double>(cell) * compiler::cell_length_m);
  }
};

// The line's length from the table when it fits the grid, stretched to the
// last cell that holds an object, so that nothing of the build falls off the
// strips; the grid's whole extent when the table names no length.
line_axis axis_of(const route_view& view);

// A coordinate of the page, to a tenth of a pixel: "12.5", "-3", "0". Held
// in place rather than in a string, since a long line's page writes tens of
// thousands of them.
class px_text {
 public:
  std::string_view view() const { return {text_, size_}; }
  operator std::string_view() const { return view(); }

 private:
  friend px_text px(double value);
  char text_[40] = {};
  std::size_t size_ = 0;
};

px_text px(double value);

}  // namespace viewer

template <>
struct fmt::formatter<viewer::px_text> : fmt::formatter<std::string_view> {
  template <typename FormatContext>
  auto format(const viewer::px_text& text, FormatContext& context) const {
    return fmt::formatter<std::string_view>::format(text.view(), context);
  }
};
