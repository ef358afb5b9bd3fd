#pragma once
// The subcommands that go the way back from a build: `decompile` writes the
// two texts that compile to a build's files, `diff` tells what changed
// between two scenarios by what they mean, and `summary` shows one on a
// single screen.

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "builder/commands/exit_status.h"

namespace builder {

// Where a build's files are: the one build in `dir` that the names given
// match, or the files named one by one.
struct build_place {
  std::string dir = ".";
  std::optional<std::string> route;  // nothing: any, as long as one build is left
  std::optional<std::string> train;
  std::vector<std::string> files;  // when given: ROUTE_TRAIN.dat, ROUTE_TRAIN.sim, ROUTE_linea.dat
};

struct decompile_options {
  build_place build;
  std::string out = ".";
  bool force = false;  // replace texts of the same names
};

struct diff_options {
  // Two build folders, or four texts: the older pair, then the newer one.
  std::vector<std::string> sides;
  std::optional<std::string> route;
  std::optional<std::string> train;
  bool json = false;
};

struct summary_options {
  build_place build;
  std::vector<std::string> texts;  // LINE_TEXT SERVICE_TEXT, instead of a build
  bool json = false;
};

// Writes the texts, compiles them again in memory and compares: clean when
// they give the same bytes, build_error (2) when they do not, naming the
// first difference; usage_or_file (1) for files that cannot be a build's.
exit_status run_decompile_command(const decompile_options& options, std::ostream& out,
                                  std::ostream& err);

// clean when the two mean the same, build_error (2) when they differ,
// usage_or_file (1) when they could not be compared.
exit_status run_diff_command(const diff_options& options, std::ostream& out, std::ostream& err);

exit_status run_summary_command(const summary_options& options, std::ostream& out,
                                std::ostream& err);

}  // namespace builder
