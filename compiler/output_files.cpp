#include "compiler/output_files.h"

#include <fmt/format.h>

#include "compiler/encoding.h"

namespace compiler {

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
    const auto path = state.directory / track_plan_file_name(state.route_base_name);
    if (auto failure = scenario::write_file_atomically(path, encode_track_plan(state.plan))) {
      return failure;
    }
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
