// scenario-builder: with no arguments, builds the embedded scenario in the
// program's own directory; with a subcommand, serves scenario authors (see
// --help).

#include <iostream>
#include <string>
#include <vector>

#include "builder/commands/build_sequence.h"
#include "builder/commands/command_line.h"
#include "builder/window/notice_factory.h"
#include "compiler/compile.h"
#include "scenario/file_system.h"

int main(int argc, char** argv) {
  const char* program = argc > 0 ? argv[0] : nullptr;
  scenario::report_file_size_limit_as_failure();
  return static_cast<int>(builder::run_guarded(
      [&] {
        if (argc > 1) {
          const std::vector<std::string> args(argv + 1, argv + argc);
          return builder::run_command_line(args, program, std::cout, std::cerr,
                                          builder::make_waiting_notice);
        }
        const compiler::build_settings settings =
            compiler::embedded_settings(scenario::program_directory(program));
        const auto notice = builder::make_waiting_notice(true, std::cout, std::cerr);
        return builder::run_build(settings, *notice, std::cerr);
      },
      std::cerr));
}
