#pragma once
// The embedded line description text of the scenario, and its writer.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "scenario/file_system.h"

namespace scenario {

// The 179 lines of the line description text, followed by the end mark.
std::vector<std::string> line_text_lines();

// route + "_linea.txt".
std::string line_text_file_name(std::string_view route_base_name);

// Writes the line description text into `directory`, replacing any older file.
status write_line_text(const std::filesystem::path& directory, std::string_view route_base_name);

}  // namespace scenario
