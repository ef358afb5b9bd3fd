#pragma once
// The strips under the plan: elevation, gradient, curvature, speed limit and adhesion
// along the line, and the lane of objects, all on one kilometre axis; plus
// the cell profiles as data for the page's hover.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "viewer/build_notes.h"
#include "viewer/page_layout.h"
#include "viewer/route_files.h"

namespace viewer {

// An error marked where the object of its row would stand.
struct fault_mark {
  std::size_t entry;  // its number in the page's list of reports, from 1
  std::int32_t code;
  double metre;
  std::string words;  // the report's message, escaped for the page
};

// Appends them to `page`. With the notes of the compile that made the view,
// each object's hover names the row that placed it; `faults` get a strip of
// their own above the objects.
void line_strips(const route_view& view, const line_axis& axis, const build_notes* notes,
                 std::span<const fault_mark> faults, std::string& page);

}  // namespace viewer
