#pragma once
// The files of one build, read and decoded for the page.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "compiler/decoding.h"
#include "compiler/model.h"
#include "scenario/file_system.h"
#include "scenario/status.h"

namespace viewer {

struct route_view {
  std::string route_base_name;
  std::string train_number;
  compiler::route_grid grid;
  compiler::station_table stations;
  // Nothing when the build wrote no plan file. The points are read from the
  // plan file's bytes, which `plan_file` holds.
  std::optional<compiler::plan_points> plan;
  scenario::file_bytes plan_file;
};

// Decodes `bytes` as the view's plan and keeps them in it. A failure says why
// they cannot be a plan file; the view is then left without a plan.
scenario::status attach_plan(route_view& view, scenario::file_bytes bytes);

// Reads ROUTE_TRAIN.dat, ROUTE_TRAIN.sim and, when it exists, ROUTE_linea.dat
// from `directory`. A failure names the file: a missing or unreadable file,
// or bytes that cannot be such a file. A missing plan file is not a failure.
scenario::status read_route_view(const std::filesystem::path& directory,
                                 std::string_view route_base_name, std::string_view train_number,
                                 route_view& view);

}  // namespace viewer
