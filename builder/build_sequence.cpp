#include "builder/build_sequence.h"

#include <ostream>

#include <fmt/format.h>

#include "compiler/compile.h"
#include "compiler/diagnostics.h"
#include "compiler/output_files.h"
#include "documents/notes_page.h"
#include "documents/slowdown_order.h"
#include "documents/timetable_card.h"
#include "scenario/file_system.h"
#include "scenario/line_text.h"
#include "scenario/service_text.h"

namespace builder {

namespace {

using compiler::build_state;

// A text the build wrote a moment ago: missing stays missing (the reader
// records that), unreadable is a file-system failure.
scenario::file_status load_text(const std::filesystem::path& path,
                                std::optional<std::string>& text) {
  text.reset();
  if (!scenario::file_exists(path)) return std::nullopt;
  std::string bytes;
  if (auto failure = scenario::read_whole_file(path, bytes)) return failure;
  text = std::move(bytes);
  return std::nullopt;
}

exit_status file_failure(std::ostream& err, const scenario::file_failure& failure) {
  err << "cannot complete the build: " << failure.describe() << '\n';
  return exit_status::usage_or_file;
}

}  // namespace

exit_status run_build(build_state& state, waiting_notice& notice, std::ostream& err,
                      std::int32_t j, const step_hook& hook) {
  auto step = [&](std::string_view name) {
    if (hook) hook(name);
  };
  notice.show();
  struct closer {
    waiting_notice& notice;
    ~closer() { notice.close(); }
  } close_at_end{notice};

  const std::string line_name = scenario::line_text_file_name(state.route_base_name);
  const std::string service_name =
      scenario::service_text_file_name(state.route_base_name, state.train_number);
  const auto line_path = state.directory / line_name;
  const auto service_path = state.directory / service_name;

  step("dati_linea");
  if (auto failure = scenario::dati_linea(state.directory, state.route_base_name)) {
    return file_failure(err, *failure);
  }
  step("dati_treno");
  if (auto failure =
          scenario::dati_treno(state.directory, state.route_base_name, state.train_number)) {
    return file_failure(err, *failure);
  }
  // The driver documents go to disk before the compile, so they are there
  // even when the compile ends with a fatal error.
  step("dati_note");
  if (auto failure =
          documents::dati_note(state.directory, state.route_base_name, state.train_number)) {
    return file_failure(err, *failure);
  }
  step("dati_rallentamenti");
  if (auto failure = documents::dati_rallentamenti(state.directory, state.route_base_name,
                                                   state.train_number)) {
    return file_failure(err, *failure);
  }
  step("dati_scheda");
  if (auto failure =
          documents::dati_scheda(state.directory, state.route_base_name, state.train_number)) {
    return file_failure(err, *failure);
  }

  step("memorizza_percorso");
  compiler::description_texts texts;
  if (auto failure = load_text(line_path, texts.line)) return file_failure(err, *failure);
  if (auto failure = load_text(service_path, texts.service)) return file_failure(err, *failure);
  const compiler::compile_result result = compiler::memorizza_percorso(state, j, texts);
  if (result.disposal.delete_line) {
    if (auto failure = scenario::delete_file(line_path)) return file_failure(err, *failure);
  }
  if (result.disposal.delete_service) {
    if (auto failure = scenario::delete_file(service_path)) return file_failure(err, *failure);
  }

  const std::string report =
      compiler::describe_error(state, texts, compiler::text_names{line_name, service_name});
  if (result.outcome == compiler::compile_outcome::no_grid) {
    err << report << '\n'
        << "the reading stopped before the line length was known: no binary file written\n";
    return exit_status::fatal;
  }
  if (result.outcome == compiler::compile_outcome::fatal_error) {
    notice.show_error(errore_text(std::to_string(compiler::code_number(result.fatal))));
    return exit_status::fatal;
  }

  step("write_output_files");
  if (auto failure = compiler::write_output_files(state)) return file_failure(err, *failure);
  if (state.error != compiler::error_code::none) {
    err << report << '\n';
    return exit_status::build_error;
  }
  return exit_status::clean;
}

}  // namespace builder
