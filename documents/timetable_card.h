#pragma once
// The driver's timetable card ("SCHEDA"): heading boxes with the train's
// number, ends, speed, rank, braking, classification and blocked mass, then a
// table of the service points along the route.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "scenario/file_system.h"
#include "scenario/service_points.h"

namespace documents {

// Width of every heading box line and table row of the card, the leading
// space included.
inline constexpr std::size_t card_row_width = 83;

// The table row of one service point: a space, then seven fields each closed
// by "|" (limit speed, running speed, progressive in km, rank speed, place,
// time, recovery allowance).
std::string timetable_row(const scenario::service_point& point);

// The 40 lines of the card, followed by the end mark.
std::vector<std::string> timetable_card_lines();

// route + "_" + train + "_scheda_treno.txt".
std::string timetable_card_file_name(std::string_view route_base_name,
                                     std::string_view train_number);

// Writes the card into `directory`, replacing any older file.
scenario::status write_timetable_card(const std::filesystem::path& directory,
                                      std::string_view route_base_name,
                                      std::string_view train_number);

}  // namespace documents
