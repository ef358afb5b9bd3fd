#pragma once
// The serve subcommand: the page of an author's two texts, served on this
// machine and built again whenever either text is saved; the open page
// follows by itself, keeping its zoom and place.

#include <iosfwd>
#include <string>

#include "builder/commands/exit_status.h"

namespace builder {

struct serve_options {
  std::string line_text;
  std::string service_text;
  std::string route;  // empty: from the line text's name
  std::string train;  // empty: from the service text's name
  // As given: decimal digits from 1 to 65535, or 0 for any free port. It is
  // read after the names, so that a bad name is told first.
  std::string port = "8080";
};

// Serves until interrupted (Ctrl-C), then ends with status 0. Once serving,
// a text that cannot be read or compiled is reported (on the terminal, or on
// the page), never an end; a port that cannot be had, names that cannot be
// told, or a text that cannot be read at the start end it with status 1.
exit_status run_serve_command(const serve_options& options, std::ostream& out, std::ostream& err);

}  // namespace builder
