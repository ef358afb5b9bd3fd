#pragma once
// A whole description text from its rows, laid out as the program's own texts
// are: the section headers in their usual order, each keyword's rows under
// its header in the order given, CR LF after every line, and the closing
// header last, so that no row is the text's last field.

#include <span>
#include <string>
#include <vector>

#include "compiler/rows.h"

namespace compiler {

struct laid_out_text {
  std::string bytes;  // Windows-1252, as the rows' texts are
  // The rows with a value the text cannot carry as it is (see write_row).
  std::vector<const typed_row*> unfaithful;
};

laid_out_text lay_out_line_text(std::span<const typed_row> rows);
laid_out_text lay_out_service_text(std::span<const typed_row> rows);

}  // namespace compiler
