#pragma once
// What the compile of an author's texts tells the page beyond the files: the
// errors and warnings, each with the place on the line that its row names,
// the error the build records, and the text line that placed each object.
// All of it is read from the build's journal; a page made from binary files
// alone has none of it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "compiler/compile.h"
#include "compiler/diagnostics.h"
#include "compiler/journal.h"
#include "compiler/model.h"

namespace viewer {

struct page_diagnostic {
  compiler::diagnostic report;
  // The metre on the line that the report's row names; nothing for a row
  // that names no place (the length, the clock, ...) or a report of no row.
  std::optional<std::int64_t> metre;
  // For an error about a row that places an object: where that object
  // would stand, in metres.
  std::optional<std::int64_t> object_metre;
};

// Which row put an object in a cell: a line of one of the texts, or the
// protection pass.
struct placed_by {
  compiler::text_id text = compiler::text_id::none;
  std::uint32_t line = 0;  // 0 with text none: the protection pass
};

struct build_notes {
  compiler::text_names names;
  std::vector<page_diagnostic> diagnostics;
  compiler::compile_outcome outcome = compiler::compile_outcome::complete;
  compiler::error_code fatal = compiler::error_code::none;  // 1250 or 1251
  compiler::error_code recorded = compiler::error_code::none;
  // By cell and by table slot: the row that placed the object it holds.
  std::vector<std::optional<placed_by>> cells;
  std::vector<std::optional<placed_by>> slots;
  // "Alpe_linea.txt:57", "the protection pass", or empty when the journal
  // names no row.
  std::string cell_source(std::size_t cell) const;
  std::string slot_source(std::size_t slot) const;
};

// The notes of one compile: how it ended, its journal, the model it made,
// the texts with the names the reports give them, and the report an author
// is told of it (the one `compile` gives).
build_notes notes_of(const compiler::compile_result& result, const compiler::journal& log,
                     const compiler::scenario_model& model,
                     const compiler::description_texts& texts, const compiler::text_names& names,
                     std::vector<compiler::diagnostic> report);

}  // namespace viewer
