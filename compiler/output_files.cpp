#include "compiler/output_files.h"

#include <algorithm>

#include <fmt/format.h>

#include "compiler/encoding.h"

namespace compiler {

namespace {

// About 640 KB of plan file a piece: large writes, a buffer that stays small.
constexpr std::size_t plan_piece_elements = std::size_t{1} << 16;

}  // namespace

std::string track_plan_file_name(std::string_view route_base_name) {
  return fmt::format("{}_linea.dat", route_base_name);
}

std::string station_table_file_name(std::string_view route_base_name,
                                    std::string_view train_number) {
  return fmt::format("{}_{}.sim", route_base_name, train_number);
}

std::string route_grid_file_name(std::string_view route_base_name,
                                 std::string_view train_number) {
  return fmt::format("{}_{}.dat", route_base_name, train_number);
}

scenario::file_status write_output_files(const build_state& state) {
  if (state.plan_wanted != 0) {
    // The plan file of the longest line is about 20 MB, more than the plan
    // itself: it goes out in pieces through one small buffer, so that the
    // build's memory stays near the size of the model.
    const auto path = state.directory / track_plan_file_name(state.route_base_name);
    const std::size_t total = track_plan_element_count(state.plan);
    std::size_t next = 0;
    std::string piece;
    auto next_piece = [&]() -> std::string_view {
      piece.clear();
      const std::size_t count = std::min(plan_piece_elements, total - next);
      append_track_plan_elements(piece, state.plan, next, count);
      next += count;
      return piece;
    };
    if (auto failure = scenario::write_file_in_pieces(path, next_piece)) return failure;
  }
  const auto table_path =
      state.directory / station_table_file_name(state.route_base_name, state.train_number);
  if (auto failure =
          scenario::write_file_atomically(table_path, encode_station_table(state.stations))) {
    return failure;
  }
  const auto grid_path =
      state.directory / route_grid_file_name(state.route_base_name, state.train_number);
  return scenario::write_file_atomically(grid_path, encode_route_grid(state.grid));
}

}  // namespace compiler
