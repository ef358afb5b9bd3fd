#pragma once
// The compile of one scenario from its two description texts, in memory: the
// reading of both texts, the protection pass, the final checks and the
// competition codes. Nothing here touches the file system; the caller loads
// the texts, deletes the ones the reading consumed and writes the outputs.

#include <optional>
#include <string>
#include <string_view>

#include "compiler/model.h"
#include "compiler/reading.h"

namespace compiler {

// The two texts as they stand on disk; nothing for a text that is missing.
struct description_texts {
  std::optional<std::string> line;
  std::optional<std::string> service;
};

// Which texts the reading opened and so deletes afterwards.
struct text_disposal {
  bool delete_line = false;
  bool delete_service = false;
};

// Reads both texts into the model (expects a cleared table and no error).
text_disposal memorizza_dati(build_state& state, const description_texts& texts,
                             reading_notes* notes = nullptr);

// How a compile ended.
enum class compile_outcome {
  complete,     // the model is ready to be written (error may hold a code)
  no_grid,      // the reading stopped before the line length made a grid
  fatal_error,  // a final check failed: 1250 or 1251, nothing is written
};

// An error as the state records it: the code, the position, and the row (or
// the grid cell, for the protection pass) that raised it.
struct error_record {
  error_code code = error_code::none;
  std::int32_t position = 0;
  error_source from = error_source::none;
  std::size_t offset = 0;

  friend bool operator==(const error_record&, const error_record&) = default;
};

error_record recorded_error(const build_state& state);

struct compile_result {
  compile_outcome outcome = compile_outcome::complete;
  error_code fatal = error_code::none;
  text_disposal disposal;
  // What the reading left recorded. The protection pass may record an error
  // of its own over it, and an author needs to see both.
  error_record reading_error;
};

// Clears the table and the error, reads the texts, runs the protection pass
// and the final checks and stores the competition codes. `j` not 0 also
// builds the track plan.
compile_result memorizza_percorso(build_state& state, std::int32_t j,
                                  const description_texts& texts, reading_notes* notes = nullptr);

// A fresh state for the embedded scenario's names, writing into `directory`.
build_state make_build_state(std::string route_base_name, std::string train_number,
                             std::filesystem::path directory);

}  // namespace compiler
