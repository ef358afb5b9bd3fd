#pragma once
// The journal of a build in words an author can act on:
//   Vescara_Ormeda_4816-.txt:57: error 16: a signal falls on an occupied cell, at 9150 m: cell 184
//   already holds the station stop of MOLINELLA (line 31)
//       segnale,    9150,   2, 4, 0,  0, 0,    2,  2,0,0, 140
// The first line follows the common FILE:LINE: form that editors and CI
// understand; the second repeats the row the message concerns. Every report
// reads the journal: none works out again what a placer decided.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "compiler/compile.h"
#include "compiler/journal.h"
#include "compiler/model.h"

namespace compiler {

struct text_names {
  std::string line;     // file name shown for the line text
  std::string service;  // file name shown for the service text
};

enum class severity : std::uint8_t { error, warning };

struct diagnostic {
  severity level = severity::error;
  std::string file;         // the text's file name; empty when no text is concerned
  std::size_t line = 0;     // 1-based line in that text; 0 when there is none
  std::int32_t code = 0;    // the error code; 0 for a warning
  std::string message;      // the meaning, with the position and cell where known
  std::string row;          // the text of that line, without its line end
  bool after_stop = false;  // found by reading on after the build stopped
  warning_kind kind = warning_kind::unknown_keyword;  // for a warning
  // The report this one follows from, when it is only a consequence of it:
  // the report says so, and stands after it. `code` is 0 for a warning.
  struct cause {
    std::string file;
    std::size_t line = 0;
    std::int32_t code = 0;
  };
  std::optional<cause> follows;
  // For an error, as its journal entry holds them: the position it keeps in
  // metres, and the cell it names (-1 for none).
  std::optional<std::int32_t> position;
  std::int32_t cell = -1;
};

// Every warning and every error of the journal, in text order (line text,
// then service text, then those that concern no text).
std::vector<diagnostic> diagnose(const journal& log, const scenario_model& model,
                                 const description_texts& texts, const text_names& names);

// What an author needs to know about one kind of warning: its name in the
// JSON report and the guide, what it means and what to do.
struct warning_explanation {
  warning_kind kind;
  std::string_view name;     // "unknown-keyword", ...
  std::string_view meaning;  // one line in plain words
  std::string_view fix;      // the usual change to the texts
};

// Every kind of warning, in the order of warning_kind.
std::span<const warning_explanation> warning_explanations();

std::string_view warning_name(warning_kind kind);

// True when the build stopped reading a text before its end, so that errors
// further on were never looked for.
bool stopped_early(const journal& log);

// The errors that reading on finds where the build had stopped: `read_on` is
// the journal of read_description_texts(..., read_on = true) over the same
// texts, and `model` the model that reading left. Each comes marked as found
// after the stop, in text order.
std::vector<diagnostic> diagnose_after_stop(const journal& build, const journal& read_on,
                                            const scenario_model& model,
                                            const description_texts& texts,
                                            const text_names& names);

// Everything an author is told of a compile: the journal's warnings and
// errors, and, when the build stopped reading early, the errors that reading
// on finds past that point.
std::vector<diagnostic> author_report(const build_settings& settings,
                                      const description_texts& texts, const journal& log,
                                      const scenario_model& model, const text_names& names);

// "FILE:LINE: error CODE: MESSAGE", then the row indented on its own line;
// the parts that are not known are left out. No final line end.
std::string format_diagnostic(const diagnostic& d);

// The 1-based line of each byte offset of a text, found by a binary search
// over the line starts: CR LF, a lone CR and a lone LF each end one line, as
// for the field reader.
class line_index {
 public:
  explicit line_index(std::string_view text);
  std::size_t line_of(std::size_t offset) const;
  // The text of a line, without its line end, cut to a length a report can
  // show.
  std::string row(std::size_t line) const;

 private:
  std::string_view text_;
  std::vector<std::size_t> starts_;
};

}  // namespace compiler
