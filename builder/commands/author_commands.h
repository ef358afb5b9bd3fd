#pragma once
// The subcommands that put the compiler in an author's hands: the embedded
// build into a chosen directory, the compile of an author's own texts, and
// the export of the embedded texts as a starting point.

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "builder/commands/exit_status.h"
#include "builder/notice/waiting_notice.h"

namespace builder {

struct build_options {
  std::string out;  // empty: the program's own directory
  bool no_plan = false;
  bool no_window = false;  // the terminal notice even where a display is at hand
  bool force = false;      // replace description texts that differ from the embedded ones
};

struct compile_options {
  std::string line_text;
  std::string service_text;
  std::optional<std::string> route;  // nothing: taken from the line text's file name
  std::optional<std::string> train;  // nothing: taken from the service text's file name
  std::string out = ".";
  bool no_plan = false;
  bool dry_run = false;
  bool json = false;
  bool strict = false;  // a warning fails the run as an error does
};

struct export_options {
  std::string out = ".";
  bool force = false;
};

// The embedded build, as with no arguments but into `options.out` (made when
// missing), with the notice `make_notice` makes.
exit_status run_build_command(const build_options& options, const char* program,
                              const notice_maker& make_notice, std::ostream& out,
                              std::ostream& err);

// Compiles the author's two texts into the three binary files. The texts are
// only read: nothing the author wrote is deleted, moved or changed, and no
// output is written over a file that is one of the texts, however its path
// is spelt.
exit_status run_compile_command(const compile_options& options, std::ostream& out,
                                std::ostream& err);

// Writes the embedded line and service texts under the names the build gives
// them into `options.out`, made when missing; refuses to replace an existing
// file unless forced.
exit_status run_export_command(const export_options& options, std::ostream& out, std::ostream& err);

}  // namespace builder
