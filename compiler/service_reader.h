#pragma once
// The service half of the reading: train parameters, the speed and adhesion
// profiles, code cuts, stations, signals and slowdowns, then the completion of
// the two profiles and the check of the progressive changes.

#include <string_view>

#include "compiler/journal.h"
#include "compiler/model.h"
#include "compiler/reading.h"

namespace compiler {

// Reads the service description text into the model, recording what it does
// in the journal. Expects the grid to exist (the line half created it).
// `failed` means error 25: both texts are to be deleted; otherwise the
// service text is to be deleted.
// With `read_on`, errors do not end the reading: it goes on, only to find
// further mistakes.
half_end read_service_text(std::string_view text, scenario_model& model, journal& log,
                           const line_handover& handover, bool read_on = false);

}  // namespace compiler
