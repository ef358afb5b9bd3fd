#pragma once
// A generator of large, dense scenarios that still compile without an error
// code: the input of the benchmarks and of the scale test.
//
// The content is spread along the line at fixed densities (a curve every
// 400 m, a gradient row every 100 m, 70 stations, 80 tunnels and 10
// slowdowns per 1,000 km, a signal every 1,500 m), so that a shorter line
// has proportionally fewer rows and the cost of each step can be compared
// across lengths. Every object that sits on a cell is planned on a map of
// the grid first, whatever the order in which the texts later hand it to the
// compiler, so that no two objects meet and every slowdown keeps the free
// cells that the protection pass needs around it.

#include <cstddef>
#include <cstdint>
#include <string>

namespace bench {

// The longest line the format allows, and the seed of the published figures.
inline constexpr std::int32_t largest_line_length_m = 1'000'000;
inline constexpr std::uint64_t default_seed = 20240611;

// How many rows and cells of each kind a generated scenario holds, so that a
// test can check the compiled model against what was asked for.
struct scenario_counts {
  std::size_t curves = 0;
  std::size_t gradients = 0;
  std::size_t tunnels = 0;
  std::size_t speed_boards = 0;
  std::size_t signs = 0;
  std::size_t speed_rows = 0;
  std::size_t adhesion_rows = 0;
  std::size_t stations = 0;
  std::size_t stations_with_stop = 0;  // types below 25 get a stop cell
  std::size_t slowdowns = 0;
  std::size_t slowdowns_with_approach = 0;  // f_ta not 0: four kind 5 cells
  std::size_t signals = 0;
  std::size_t code_cuts_with_code = 0;
  std::size_t code_cuts_without_code = 0;
  std::size_t name_bytes = 0;  // station names and sign texts, as stored in the table
};

struct generated_scenario {
  std::string route_base_name;
  std::string train_number;
  std::int32_t line_length_m = 0;
  std::string line_text;     // the bytes of the line description text
  std::string service_text;  // the bytes of the service description text
  scenario_counts counts;
};

// Builds the two texts for a line of `line_length_m` metres (a multiple of
// 50, from 50,000 up to the largest length). The same length and seed give
// the same bytes on every host.
generated_scenario make_large_scenario(std::int32_t line_length_m = largest_line_length_m,
                                       std::uint64_t seed = default_seed);

}  // namespace bench
