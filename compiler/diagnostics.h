#pragma once
// Recorded errors and reading notes in words an author can act on:
//   Vescara_Ormeda_4816-.txt:57: error 16: a signal falls on an occupied cell, at 9150 m (cell 184)
//       segnale,    9150,   2, 4, 0,  0, 0,    2,  2,0,0, 140
// The first line follows the common FILE:LINE: form that editors and CI
// understand; the second repeats the row the message concerns.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "compiler/compile.h"
#include "compiler/model.h"
#include "compiler/reading.h"

namespace compiler {

struct text_names {
  std::string line;     // file name shown for the line text
  std::string service;  // file name shown for the service text
};

enum class severity : std::uint8_t { error, warning };

struct diagnostic {
  severity level = severity::error;
  std::string file;       // the text's file name; empty when no text is concerned
  std::size_t line = 0;   // 1-based line in that text; 0 when there is none
  std::int32_t code = 0;  // the error code; 0 for a warning
  std::string message;    // the meaning, with the position and cell where known
  std::string row;        // the text of that line, without its line end
};

// The warnings of the notes and the errors of the compile, in text order
// (line text, then service text, then those that concern no text). The error
// the reading left is reported even when the protection pass recorded another
// over it.
std::vector<diagnostic> diagnose(const build_state& state, const compile_result& result,
                                 const description_texts& texts, const text_names& names,
                                 const reading_notes& notes);

// "FILE:LINE: error CODE: MESSAGE", then the row indented on its own line;
// the parts that are not known are left out. No final line end.
std::string format_diagnostic(const diagnostic& d);

// The report of the error recorded in `state` alone, formatted as above;
// empty when no error is recorded.
std::string describe_error(const build_state& state, const description_texts& texts,
                           const text_names& names);

}  // namespace compiler
