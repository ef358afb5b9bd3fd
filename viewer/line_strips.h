#pragma once
// The strips under the plan: elevation, gradient, curvature, speed limit and adhesion
// along the line, and the lane of objects, all on one kilometre axis; plus
// the cell profiles as data for the page's hover.

#include <string>

#include "viewer/build_notes.h"
#include "viewer/page_layout.h"
#include "viewer/route_files.h"

namespace viewer {

// Appends them to `page`. With the notes of the compile that made the view,
// each object's hover names the row that placed it.
void line_strips(const route_view& view, const line_axis& axis, const build_notes* notes,
                 std::string& page);

}  // namespace viewer
