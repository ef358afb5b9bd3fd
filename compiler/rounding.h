#pragma once
// Every conversion of a floating value to an integer rounds to the nearest
// integer, ties to the even one (2.5 gives 2, 3.5 gives 4). Cell indices come
// from a floating division by 50 followed by this rounding.

#include <cmath>
#include <cstdint>

namespace compiler {

inline std::int64_t round_half_even(double value) {
  // nearbyint follows the default rounding mode, which is to nearest, ties
  // to even.
  return static_cast<std::int64_t>(std::nearbyint(value));
}

// position / 50, rounded.
inline std::int64_t cell_of(std::int64_t metres) {
  return round_half_even(static_cast<double>(metres) / 50.0);
}

}  // namespace compiler
