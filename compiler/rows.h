#pragma once
// The keyword rows of the two texts, as the readers hand them to the placers:
// one named struct a keyword, its values in the order the row writes them.
// The short names (sx, rapp, f_tt, ...) are the texts' own names for the
// values, as the authors' guide gives them.

#include <array>
#include <cstdint>
#include <string_view>

namespace compiler {

// "montagna, inizio, fine, tipo".
struct tunnel_row {
  std::int32_t start = 0;
  std::int32_t end = 0;
  std::int32_t type = 0;
};

// "indicatori_vmax, posizione, vas, vbs, vcs, strisces, vad, vbd, vcd,
// strisced": three speeds (ranks A, B, C) and a stripe count for each side.
struct speed_boards_row {
  std::int32_t position = 0;
  std::array<std::int32_t, 3> s_speeds{};
  std::int32_t s_stripes = 0;
  std::array<std::int32_t, 3> d_speeds{};
  std::int32_t d_stripes = 0;
};

// "cartello_indicatore, position, text".
struct sign_row {
  std::int32_t position = 0;
  std::string_view text;
};

// "segnale, posizione, sx, s1, s2, s3, rapp, dx, d1, d2, d3, tempo".
struct signal_row {
  std::int32_t position = 0;
  std::int32_t sx = 0;
  std::int32_t s1 = 0;
  std::int32_t s2 = 0;
  std::int32_t s3 = 0;
  std::int32_t rapp = 0;
  std::int32_t dx = 0;
  std::int32_t d1 = 0;
  std::int32_t d2 = 0;
  std::int32_t d3 = 0;
  std::int32_t time = 0;
};

// "rallentamento, x, v, l, f_tt, f_ta, d_v": a slowdown of `speed` km/h over
// `length` m from `start`.
struct slowdown_row {
  std::int32_t start = 0;
  std::int32_t speed = 0;
  std::int32_t length = 0;
  std::int32_t f_tt = 0;  // copied to the start and end cells
  std::int32_t f_ta = 0;  // not 0: mark the four cells ahead of the warning
  std::int32_t d_v = 0;   // copied to the slowdown's cells when not 0
};

// "abbattimento, position, code".
struct code_cut_row {
  std::int32_t position = 0;
  std::int32_t code = 0;
};

// "progressiva chilometrica uno|due|tre, start, reference, flag".
struct progressive_row {
  std::int32_t start = 0;
  std::int32_t reference = 0;
  std::int32_t flag = 0;
};

}  // namespace compiler
