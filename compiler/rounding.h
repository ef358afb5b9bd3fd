#pragma once
// Every conversion of a floating value to an integer rounds to the nearest
// integer, ties to the even one (2.5 gives 2, 3.5 gives 4).

#include <cmath>
#include <cstdint>

#include "compiler/model.h"

namespace compiler {

inline std::int64_t round_half_even(double value) {
  // nearbyint follows the default rounding mode, which is to nearest, ties
  // to even.
  return static_cast<std::int64_t>(std::nearbyint(value));
}

// The cell `cells_after` cells on from the one a position falls in:
// metres / 50 + cells_after, computed as one floating expression and rounded
// once. Rounding metres / 50 first and adding afterwards gives another cell at
// every odd multiple of 25 m, since the tie then goes to a different even
// neighbour (8575 / 50 + 1 = 172.5 is cell 172, while round(171.5) + 1 is
// 173). Every cell index of the compiler comes from here.
inline std::int64_t cell_index(std::int64_t metres, std::int64_t cells_after = 0) {
  return round_half_even(static_cast<double>(metres) / static_cast<double>(cell_length_m) +
                         static_cast<double>(cells_after));
}

}  // namespace compiler
