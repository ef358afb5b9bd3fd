#pragma once
// The three binary files of a build, written in their fixed order.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "compiler/model.h"
#include "scenario/file_system.h"

namespace compiler {

std::string track_plan_file_name(std::string_view route_base_name);  // route_linea.dat
std::string station_table_file_name(std::string_view route_base_name,
                                    std::string_view train_number);  // route_train.sim
std::string route_grid_file_name(std::string_view route_base_name,
                                 std::string_view train_number);  // route_train.dat

// The files the build writes for these settings, in the order it writes them.
std::vector<std::filesystem::path> output_file_paths(const build_settings& settings);

// Writes the track plan (only when the settings want one), then the station
// table, then the grid, into the settings' directory. Each file is replaced
// whole; the first failure stops the writing and is returned.
scenario::status write_output_files(const build_settings& settings, const scenario_model& model);

}  // namespace compiler
