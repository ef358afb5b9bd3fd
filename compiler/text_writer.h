#pragma once
// Writing keyword rows back as text, in the program's own layout: the
// keyword, then its values in order, each after a comma and two blanks.
// Read back, a written row gives the typed row it was written from.

#include <string>
#include <string_view>

#include "compiler/keywords.h"
#include "compiler/rows.h"

namespace compiler {

struct row_text {
  std::string text;  // the row, without its line end
  // A value the text cannot carry as it is (a text holding both a quote and
  // a comma, or a line end): reading the row back would give another value.
  // Null when the row reads back as given.
  const field_fact* unfaithful = nullptr;
};

// The keyword field a row is written with: "montagna", "curvas4",
// "progressiva chilometrica due", "ripetizione segnali 9 codici".
std::string keyword_text(const typed_row& row);

row_text write_row(const typed_row& row);

// How a text value is written so that it reads back as it is: bare when it
// can be, else in double quotes. False when no writing reads back as `value`.
bool write_text_value(std::string_view value, std::string& out);

}  // namespace compiler
