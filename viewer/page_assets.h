#pragma once
// The fixed parts of the page: its style, the marker shapes, the script that
// catches errors before anything else runs, and the script of zoom, pan and
// hover, the labels' places, the jump box and the downloads; and the script of
// a page served live.

#include <string_view>

#include "viewer/label_layout.h"

namespace viewer {

extern const std::string_view page_style;
extern const std::string_view page_error_catcher;
// The defined marker shapes, by id "m-KIND", for the legend.
extern const std::string marker_shapes;

// The outline of the marker of a kind of object ("signal", "speed-boards",
// ...) as path commands relative to the point it stands on, which a path
// starts with its own "M x y". A kind without a shape of its own gets that
// of "unknown".
std::string_view marker_path(std::string_view kind);
// The room that marker takes around its point, its stroke included.
layout_box marker_room(std::string_view kind);
extern const std::string_view page_script;
extern const std::string_view live_script;

}  // namespace viewer
