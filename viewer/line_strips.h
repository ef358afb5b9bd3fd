#pragma once
// The strips under the plan: elevation, gradient, speed limit and adhesion
// along the line, and the lane of objects, all on one kilometre axis; plus
// the cell profiles as data for the page's hover.

#include <string>

#include "viewer/page_layout.h"
#include "viewer/route_files.h"

namespace viewer {

// Appends them to `page`.
void line_strips(const route_view& view, const line_axis& axis, std::string& page);

}  // namespace viewer
