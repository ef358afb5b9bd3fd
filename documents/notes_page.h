#pragma once
// The notes page of the scenario: four paragraphs for the driver, each one
// long unwrapped line, then the closing credits.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "scenario/file_system.h"

namespace documents {

// The 8 lines of the page (UTF-8, converted by the writer), followed by the
// end mark.
std::vector<std::string> notes_page_lines();

// route + "_" + train + "_note.txt".
std::string notes_page_file_name(std::string_view route_base_name, std::string_view train_number);

// Writes the page into `directory`, replacing any older file.
scenario::status write_notes_page(const std::filesystem::path& directory,
                                  std::string_view route_base_name, std::string_view train_number);

}  // namespace documents
