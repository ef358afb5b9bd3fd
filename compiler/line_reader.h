#pragma once
// The line half of the reading: the general section, then gradients, curves,
// tunnels, speed boards and line-side signs, then the completion of the
// gradient profile and of the track plan.

#include <string_view>

#include "compiler/journal.h"
#include "compiler/model.h"
#include "compiler/reading.h"

namespace compiler {

// The tunnel rows a line can have: the tunnel list holds 80.
inline constexpr std::size_t max_tunnel_rows = 80;

// Reads the line description text into the model, recording what it does in
// the journal. On `finished` the service text is to be read next (also after
// an error 15); on `stopped` the reading ends here and the service text stays
// as it is; on `failed` (error 25) both texts are to be deleted.
// With `read_on`, errors do not end the reading: it goes on, only to find
// further mistakes.
half_end read_line_text(const build_settings& settings, std::string_view text,
                        scenario_model& model, journal& log, line_handover& handover,
                        bool read_on = false);

}  // namespace compiler
