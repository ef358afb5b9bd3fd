#pragma once
// The files of one build, read and decoded for the page.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "compiler/decoding.h"
#include "compiler/model.h"

namespace viewer {

struct route_view {
  std::string route_base_name;
  std::string train_number;
  compiler::route_grid grid;
  compiler::station_table stations;
  std::optional<compiler::plan_points> plan;  // nothing when the build wrote no plan file
};

// Reads ROUTE_TRAIN.dat, ROUTE_TRAIN.sim and, when it exists, ROUTE_linea.dat
// from `directory`. Returns why it could not, naming the file: a missing or
// unreadable file, or bytes that cannot be such a file. A missing plan file
// is not a failure.
std::optional<std::string> read_route_view(const std::filesystem::path& directory,
                                           std::string_view route_base_name,
                                           std::string_view train_number, route_view& view);

}  // namespace viewer
