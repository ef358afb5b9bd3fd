#pragma once
// The summary at the top of the page: what the line is, on one screen, as
// `summary` prints it on the terminal.

#include <string>

#include "viewer/route_files.h"

namespace viewer {

std::string summary_panel_html(const route_view& view);

}  // namespace viewer
