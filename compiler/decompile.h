#pragma once
// Decompiling a build: the two description texts that compile to the model
// given, checked by compiling them again in memory. The texts are laid out
// as the program's own; the route base name and the train number are the
// ones the table holds.

#include <optional>
#include <string>
#include <vector>

#include "compiler/compile.h"
#include "compiler/decoding.h"
#include "scenario/status.h"
#include "compiler/model.h"
#include "compiler/model_difference.h"
#include "compiler/row_recovery.h"

namespace compiler {

struct decompiled {
  std::string route_base_name;  // from slot 85
  std::string train_number;     // from slot 86
  std::string line_text;        // Windows-1252 bytes, CR LF
  std::string service_text;
  // What the model holds that the texts cannot give back, and why.
  std::vector<recovery_note> notes;
  // The texts compiled again: the error they record, and the first place
  // where what they compile to differs from the model; none when the two
  // are the same to the byte.
  recorded_error recompiled_error;
  compile_outcome recompiled_outcome = compile_outcome::complete;
  std::size_t recompiled_warnings = 0;  // the warnings its journal holds
  std::optional<model_difference> difference;

  bool same_bytes() const {
    return !difference && recompiled_outcome == compile_outcome::complete &&
           recompiled_error.code == error_code::none;
  }
};

// `model.plan` is read when the model has one: a model without a plan
// decompiles to texts without curves, compared without a plan.
decompiled decompile(const scenario_model& model);

// The model of a plan file, for the decompiler: the points of every metre the
// file fills, read where they lie in its bytes. A file that fills its metres
// otherwise than the compile does (an empty element before a stored one, a
// real in metre 0 or 1) gives the first metre where it does so in
// `odd_metre`. A failure says why the bytes cannot be a plan file.
struct plan_from_file {
  track_plan plan;
  std::optional<std::int32_t> odd_metre;
};
scenario::status plan_of_file(std::string_view bytes, plan_from_file& out);

}  // namespace compiler
