#pragma once
// The table of the stations and the panel of the line's parameters.

#include <string>

#include "viewer/route_files.h"

namespace viewer {

std::string station_table_html(const route_view& view);
std::string parameter_panel_html(const route_view& view);

}  // namespace viewer
