#pragma once
// The compile of one scenario from its two description texts, in memory: the
// reading of both texts, the protection pass, the final checks and the
// competition codes. Nothing here touches the file system; the caller loads
// the texts, deletes the ones the reading consumed and writes the outputs.
//
//   texts --rows--> placers --answers--> journal --> reports
//                      |
//                      v
//                scenario_model --encoders--> files

#include <optional>
#include <string>

#include "compiler/journal.h"
#include "compiler/model.h"

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

// What the final checks stamp into cell 1's param1 and slot 85's group1_a,
// beside the two competition codes.
inline constexpr std::int16_t fixed_cell_value = 5121;
inline constexpr std::int16_t fixed_slot_value = 610;

// Reads both texts into the model (expects a cleared table), recording every
// row, placement, error and warning in the journal. With `read_on`, errors do
// not end the reading: it goes on to the end of both texts, only to find
// further mistakes, and the model it leaves is not one to write.
text_disposal read_description_texts(const build_settings& settings, const description_texts& texts,
                                     scenario_model& model, journal& log, bool read_on = false);

// How a compile ended.
enum class compile_outcome {
  complete,     // the model is ready to be written (an error may be recorded)
  no_grid,      // the reading stopped before the line length made a grid
  fatal_error,  // a final check failed: 1250 or 1251, nothing is written
};

struct compile_result {
  compile_outcome outcome = compile_outcome::complete;
  error_code fatal = error_code::none;  // 1250 or 1251
  text_disposal disposal;
  recorded_error error;  // what the build records, the last error winning
};

// Clears the model, reads the texts, runs the protection pass and the final
// checks and stores the competition codes.
compile_result compile_scenario(const build_settings& settings, const description_texts& texts,
                                scenario_model& model, journal& log);

// The settings of the embedded scenario, writing into `directory`.
build_settings embedded_settings(std::filesystem::path directory);

}  // namespace compiler
