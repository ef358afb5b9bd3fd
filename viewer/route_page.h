#pragma once
// One self-contained HTML page that shows a compiled build: the track from
// above, the profiles and objects along the line, the stations and the line's
// parameters. Everything the page needs is inside it; it loads nothing.

#include <string>

#include "viewer/route_files.h"

namespace viewer {

std::string route_page(const route_view& view);

}  // namespace viewer
