#pragma once
// `explain`: what an error code means, what raises it, which position its
// report gives and the usual fix, from the same table as the diagnostics.

#include <iosfwd>
#include <optional>
#include <string>

#include "builder/commands/exit_status.h"

namespace builder {

// With a code, prints its explanation; without one, lists every code with
// its meaning. Something that is not a code is a usage error (status 1).
exit_status run_explain_command(const std::optional<std::string>& code, std::ostream& out,
                                std::ostream& err);

}  // namespace builder
