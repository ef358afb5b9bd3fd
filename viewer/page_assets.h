#pragma once
// The fixed parts of the page: its style, the marker shapes, the script that
// catches errors before anything else runs, and the script of zoom, pan and
// hover, the labels' places, the jump box and the downloads; and the script of
// a page served live.

#include <string_view>

namespace viewer {

extern const std::string_view page_style;
extern const std::string_view page_error_catcher;
extern const std::string_view marker_shapes;
extern const std::string_view page_script;
extern const std::string_view live_script;

}  // namespace viewer
