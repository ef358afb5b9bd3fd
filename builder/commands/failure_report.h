#pragma once
// How a command tells a failure on the terminal: the program's name, then
// the failure as its status describes it, with a hint where a missing file
// is most often a misspelt name. Status 1 follows.

#include <iosfwd>

#include "builder/commands/exit_status.h"
#include "scenario/status.h"

namespace builder {

exit_status report_failure(std::ostream& err, const scenario::status& failure);

}  // namespace builder
