#pragma once
// The track seen from above, from the points of the plan file: the thinned
// line, kilometre ticks along it, the stations and the tunnels on it.

#include <string>

#include "viewer/route_files.h"

namespace viewer {

inline constexpr double plan_width_px = 1200.0;

// Dropped points of the drawn track stay within this distance, in pixels at
// full view, of the line the kept points draw; with coordinates written to a
// tenth of a pixel the drawing moves by less than one pixel.
inline constexpr double plan_tolerance_px = 0.5;

std::string plan_drawing(const route_view& view);

}  // namespace viewer
