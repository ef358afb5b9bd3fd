#include "compiler/output_files.h"

#include <fmt/format.h>

#include <algorithm>

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

std::string route_grid_file_name(std::string_view route_base_name, std::string_view train_number) {
  return fmt::format("{}_{}.dat", route_base_name, train_number);
}

std::vector<std::filesystem::path> output_file_paths(const build_settings& settings) {
  std::vector<std::filesystem::path> paths;
  if (settings.with_plan) {
    paths.push_back(settings.directory / track_plan_file_name(settings.route_base_name));
  }
  paths.push_back(settings.directory /
                  station_table_file_name(settings.route_base_name, settings.train_number));
  paths.push_back(settings.directory /
                  route_grid_file_name(settings.route_base_name, settings.train_number));
  return paths;
}

scenario::status write_output_files(const build_settings& settings, const scenario_model& model) {
  const std::vector<std::filesystem::path> paths = output_file_paths(settings);
  std::size_t next_path = 0;
  if (settings.with_plan) {
    // The plan file of the longest line is about 20 MB, more than the plan
    // itself: it goes out in pieces through one small buffer, so that the
    // build's memory stays near the size of the model.
    const std::size_t total = track_plan_element_count(model.plan);
    std::size_t next = 0;
    std::string piece;
    auto next_piece = [&]() -> std::string_view {
      piece.clear();
      const std::size_t count = std::min(plan_piece_elements, total - next);
      append_track_plan_elements(piece, model.plan, next, count);
      next += count;
      return piece;
    };
    if (const scenario::status written =
            scenario::write_file_in_pieces(paths[next_path++], next_piece);
        !written) {
      return written;
    }
  }
  if (const scenario::status written =
          scenario::write_file_atomically(paths[next_path++], encode_station_table(model.stations));
      !written) {
    return written;
  }
  return scenario::write_file_atomically(paths[next_path], encode_route_grid(model.grid));
}

}  // namespace compiler
