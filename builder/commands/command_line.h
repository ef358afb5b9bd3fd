#pragma once
// The command line for scenario authors. Each subcommand is one entry of a
// table: its name, a line of help, and a function that declares its options
// and hands back what to run once they are parsed.

#include <iosfwd>
#include <string>
#include <vector>

#include "builder/commands/exit_status.h"
#include "builder/notice/waiting_notice.h"

namespace builder {

// Parses `args` (the arguments after the program's name) and runs the
// subcommand they name. `program` is the program's own path as started, used
// to find its directory; `make_notice` makes the notice of a build. Help and
// the version are printed on `out`; usage errors on `err`, with exit status 1.
exit_status run_command_line(const std::vector<std::string>& args, const char* program,
                             std::ostream& out, std::ostream& err,
                             const notice_maker& make_notice = make_terminal_notice);

}  // namespace builder
