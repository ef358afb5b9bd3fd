#pragma once
// The embedded service description text of the scenario, and its writer.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "scenario/file_system.h"

namespace scenario {

// The 91 lines of the service description text, followed by the end mark.
std::vector<std::string> service_text_lines();

// route + "_" + train + "-.txt" (the "-" is part of the name).
std::string service_text_file_name(std::string_view route_base_name, std::string_view train_number);

// Writes the service description text into `directory`, replacing any older
// file.
status write_service_text(const std::filesystem::path& directory, std::string_view route_base_name,
                          std::string_view train_number);

}  // namespace scenario
