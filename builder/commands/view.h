#pragma once
// The view subcommand: a build turned into one self-contained HTML page,
// from its three binary files or straight from the author's two texts.

#include <iosfwd>
#include <string>

#include "builder/commands/exit_status.h"
#include "scenario/status.h"

namespace builder {

struct view_options {
  std::string line_text;  // with service_text: compile these in memory
  std::string service_text;
  std::string dir;    // empty: the current directory
  std::string route;  // empty: from the texts' names, or the one build in `dir`
  std::string train;  // likewise
  std::string page;   // empty: ROUTE_TRAIN.html beside the line text, or in `dir`
};

// With texts: compiles them in memory and writes the page alone, with their
// errors and warnings on it and on `err`; the status is the compile's. With
// a directory: reads the build's files there, the one build it holds when
// no names are given. A missing or malformed grid or table, or a malformed
// plan file, is named on `err` with status 1; a build without a plan file
// gets a page that says so.
exit_status run_view_command(const view_options& options, std::ostream& out, std::ostream& err);

// Fills in the route and train left empty with those of the one build in
// `dir` that matches the names given: the grid and table pair named
// ROUTE_TRAIN.dat and ROUTE_TRAIN.sim. Without a match they stay empty.
// Fails naming them when several match, or when the folder cannot be listed.
scenario::status find_the_build(const std::string& dir, std::string& route, std::string& train);

}  // namespace builder
