#pragma once
// The two names of a build, the route base name and the train number: told
// from the file names of its texts (ROUTE_linea.txt, ROUTE_TRAIN-.txt), and
// checked before they become parts of file names.

#include <cstddef>
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

// The most characters a train number may have: as many as the timetable
// card's box "TRENO n. " shows, more than any railway numbers its trains
// with, and few enough that the route base name always takes part in the
// 25 characters the competition codes are made from.
inline constexpr std::size_t train_number_max_length = 8;

// Whether `train` can be a train number: 1 to 8 ASCII letters or digits. A
// blank or an underscore would make ROUTE_TRAIN split at another place than
// the one it was made at, and "linea" would give the grid the track plan's
// file name. A failure says what is wrong and the rule ("holds a blank, but
// a train number is ...").
status check_train_number(std::string_view train);

// check_build_name and check_train_number, the refusal worded for the author
// who gave the name or named a file with it, with the option that gives
// another: 'the train number "22 31" holds a blank, but ...: give another
// with --train NUMBER'. Control bytes of the name are shown escaped.
status check_route_given(std::string_view route);
status check_train_given(std::string_view train);

}  // namespace scenario
