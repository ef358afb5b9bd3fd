#pragma once
// The two names of a build, the route base name and the train number: told
// from the file names of its texts (ROUTE_linea.txt, ROUTE_TRAIN-.txt), and
// checked before they become parts of file names.

#include <optional>
#include <string>
#include <string_view>

#include "scenario/status.h"

namespace scenario {

// The route base name of a line text named ROUTE_linea.txt.
std::optional<std::string> route_from_line_text(std::string_view file_name);

// The train number of a service text named ROUTE_TRAIN-.txt for this route,
// or, when it is named for another route, the part after its last "_".
std::optional<std::string> train_from_service_text(std::string_view file_name,
                                                   std::string_view route);

// Whether `name` can be a route base name or a train number: names become
// parts of file names and are stored in the scenario table as single bytes,
// so they are held to printable ASCII without separators. A failure gives
// what is wrong with it ("is empty").
status check_build_name(std::string_view name);

}  // namespace scenario
