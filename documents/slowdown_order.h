#pragma once
// The driver's slowdown order ("ORDINE DI RALLENTAMENTO"): the form that
// orders the driver of the train to observe the listed slowdowns, with its
// table of slowdowns and the key to the specific prescriptions.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "scenario/file_system.h"

namespace documents {

// The 47 lines of the order, followed by the end mark.
std::vector<std::string> slowdown_order_lines();

// route + "_" + train + "_rallentamenti.txt".
std::string slowdown_order_file_name(std::string_view route_base_name,
                                     std::string_view train_number);

// Writes the order into `directory`, replacing any older file.
scenario::status write_slowdown_order(const std::filesystem::path& directory,
                                      std::string_view route_base_name,
                                      std::string_view train_number);

}  // namespace documents
