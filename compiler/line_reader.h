#pragma once
// The line half of the reading: the general section, then gradients, curves,
// tunnels, speed boards and line-side signs, then the completion of the
// gradient profile and of the track plan.

#include <string_view>

#include "compiler/model.h"
#include "compiler/reading.h"

namespace compiler {

// Reads the line description text into the model. On `finished` the service
// text is to be read next (also after an error 15); on `stopped` the reading
// ends here and the service text stays as it is; on `failed` (error 25) both
// texts are to be deleted.
half_end read_line_text(build_state& state, std::string_view text, reading_context& context,
                        reading_notes* notes = nullptr);

}  // namespace compiler
