#pragma once
// One fuzz input run through the whole compile in memory: the reading of both
// texts, the protection pass, the final checks, the competition codes, the
// error report and the encoding of the three binary files. Nothing is written
// to disk, so a run costs only what the compile itself costs.
//
// An input is a control byte followed by the two texts:
//   - bit 0 of the control byte set builds the track plan, clear builds
//     without it;
//   - bit 1 set leaves the line text missing, bit 2 the service text;
//   - the rest is split at its first NUL byte: the line text before it, the
//     service text after it. Without a NUL the service text is empty.
// The digits '1', '0', '3' and '5' are the control bytes of a full build, a
// build without plan, a missing line text and a missing service text, so
// that corpus files stay readable.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "compiler/compile.h"
#include "scenario/status.h"

namespace fuzzing {

struct compile_input {
  bool with_plan = true;
  compiler::description_texts texts;
};

inline constexpr char separator = '\0';

// Decodes an input; an empty input is a full build of two empty texts.
compile_input split_input(std::string_view data);

// The inverse of split_input for inputs whose line text holds no NUL.
std::string join_input(char control, std::string_view line, std::string_view service);

// The longest line the fuzzer compiles. Every metre of a line and of the
// margin after it is a step of the track plan and an element of its file, so
// a compile's cost grows with the line: at the longest line one input would
// cost as much as a thousand short ones. The rules that concern the line's
// end at its greatest length are held by the corpus the unit tests replay.
inline constexpr std::int64_t fuzzed_line_length_cap = 2000;

// True when the input's line text declares a line longer than the cap, as
// far as a look at its general section tells; such an input is passed over.
bool beyond_fuzzed_line_length(std::string_view data);

// Compiles the input and checks what every compile must keep: a known error
// code, a report for every error, a journal that says what each cell holds,
// a grid sized from the line length, buffers of exactly the sizes the file
// layouts give, names that fit their length field. A failure describes the
// first broken rule.
scenario::status compile_and_check(std::string_view data);

}  // namespace fuzzing
