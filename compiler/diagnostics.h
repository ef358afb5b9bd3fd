#pragma once
// Recorded errors in words an author can act on:
//   Vescara_Ormeda_linea.txt:57: error 16: a signal falls on an occupied cell, at 9150 m (cell 184)
// followed by the text of the row that raised it.

#include <string>
#include <string_view>

#include "compiler/compile.h"
#include "compiler/model.h"

namespace compiler {

struct text_names {
  std::string line;     // file name shown for the line text
  std::string service;  // file name shown for the service text
};

// The report of the error recorded in `state`, one or two lines without a
// final line end; empty when no error is recorded.
std::string describe_error(const build_state& state, const description_texts& texts,
                           const text_names& names);

}  // namespace compiler
