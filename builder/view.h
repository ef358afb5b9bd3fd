#pragma once
// The view subcommand: the three binary files of a build turned into one
// self-contained HTML page.

#include <iosfwd>
#include <string>

#include "builder/build_sequence.h"

namespace builder {

struct view_options {
  std::string dir = ".";
  std::string route;  // empty: the embedded route
  std::string train;  // empty: the embedded train
  std::string page;   // empty: ROUTE_TRAIN.html in `dir`
};

// Reads the build's files from `options.dir` and writes the page. A missing
// or malformed grid or table, or a malformed plan file, is named on `err`
// with status 1; a build without a plan file gets a page that says so.
exit_status run_view_command(const view_options& options, std::ostream& out, std::ostream& err);

}  // namespace builder
