#include "viewer/route_files.h"

#include <fmt/format.h>

#include "compiler/output_files.h"
#include "scenario/file_system.h"

namespace viewer {

namespace {

std::string refusal(const std::filesystem::path& path, compiler::output_file_kind kind,
                    const std::string& reason) {
  return fmt::format("{}: not a {}: {}", path.string(), compiler::output_file_kind_name(kind),
                     reason);
}

template <typename Decoded, typename Decoder>
std::optional<std::string> read_one(const std::filesystem::path& path,
                                    compiler::output_file_kind kind, Decoder decode,
                                    Decoded& decoded) {
  scenario::file_bytes bytes;
  if (auto failure = scenario::read_file_bytes(path, bytes)) return failure->describe();
  if (auto status = decode(bytes.view(), decoded)) return refusal(path, kind, *status);
  return std::nullopt;
}

}  // namespace

std::optional<std::string> read_route_view(const std::filesystem::path& directory,
                                           std::string_view route_base_name,
                                           std::string_view train_number, route_view& view) {
  view.route_base_name = route_base_name;
  view.train_number = train_number;
  const auto grid_path = directory / compiler::route_grid_file_name(route_base_name, train_number);
  if (auto failure = read_one(grid_path, compiler::output_file_kind::route_grid,
                              compiler::decode_route_grid, view.grid)) {
    return failure;
  }
  const auto table_path =
      directory / compiler::station_table_file_name(route_base_name, train_number);
  if (auto failure = read_one(table_path, compiler::output_file_kind::station_table,
                              compiler::decode_station_table, view.stations)) {
    return failure;
  }
  view.plan.reset();
  const auto plan_path = directory / compiler::track_plan_file_name(route_base_name);
  if (!scenario::file_exists(plan_path)) return std::nullopt;
  scenario::file_bytes bytes;
  if (auto failure = scenario::read_file_bytes(plan_path, bytes)) return failure->describe();
  if (auto status = attach_plan(view, std::move(bytes))) {
    return refusal(plan_path, compiler::output_file_kind::track_plan, *status);
  }
  return std::nullopt;
}

compiler::decode_status attach_plan(route_view& view, scenario::file_bytes bytes) {
  view.plan.reset();
  view.plan_file = std::move(bytes);
  compiler::plan_points plan;
  if (auto status = compiler::decode_plan_points(view.plan_file.view(), plan)) {
    view.plan_file = scenario::file_bytes{};
    return status;
  }
  view.plan = plan;
  return std::nullopt;
}

}  // namespace viewer
