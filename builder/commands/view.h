#pragma once
// The view subcommand: a build turned into one self-contained HTML page,
// from its three binary files or straight from the author's two texts.

#include <iosfwd>
#include <optional>
#include <string>

#include "builder/commands/exit_status.h"

namespace builder {

struct view_options {
  std::string line_text;  // with service_text: compile these in memory
  std::string service_text;
  std::string dir;                   // empty: the current directory
  std::optional<std::string> route;  // nothing: from the texts' names, or the one build in `dir`
  std::optional<std::string> train;  // likewise
  std::string page;                  // empty: ROUTE_TRAIN.html beside the line text, or in `dir`
};

// With texts: compiles them in memory and writes the page alone, with their
// errors and warnings on it and on `err`; the status is the compile's. With
// a directory: reads the build's files there, the one build that the names
// given match; without one, the builds the folder holds are listed on `err`
// with status 1. A missing or malformed grid or table, or a malformed plan
// file, is named on `err` with status 1; a build without a plan file gets a
// page that says so. The page's folder is made when it is missing.
exit_status run_view_command(const view_options& options, std::ostream& out, std::ostream& err);

}  // namespace builder
