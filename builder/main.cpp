// scenario-builder: with no arguments, builds the embedded scenario in the
// program's own directory.

#include <iostream>

#include "builder/build_sequence.h"
#include "builder/waiting_notice.h"
#include "compiler/compile.h"
#include "scenario/file_system.h"

int main(int argc, char** argv) {
  if (argc > 1) {
    std::cerr << "usage: scenario-builder (no arguments: builds the embedded scenario in the "
                 "program's directory)\n";
    return static_cast<int>(builder::exit_status::usage_or_file);
  }
  compiler::build_state state = compiler::make_build_state(
      compiler::embedded_route_base_name, compiler::embedded_train_number,
      scenario::program_directory(argc > 0 ? argv[0] : nullptr));
  builder::terminal_notice notice(std::cout, std::cerr);
  return static_cast<int>(builder::run_build(state, notice, std::cerr));
}
