#include "builder/commands/build_sequence.h"

#include <fmt/format.h>

#include <exception>
#include <new>
#include <ostream>
#include <string>
#include <vector>

#include "compiler/compile.h"
#include "compiler/compile_texts.h"
#include "compiler/diagnostics.h"
#include "compiler/output_files.h"
#include "documents/notes_page.h"
#include "documents/slowdown_order.h"
#include "documents/timetable_card.h"
#include "scenario/file_system.h"
#include "scenario/line_text.h"
#include "scenario/service_text.h"
#include "scenario/text_file.h"

namespace builder {

namespace {

exit_status file_failure(std::ostream& err, const scenario::status& failure) {
  err << "cannot complete the build: " << failure.describe() << '\n';
  return exit_status::usage_or_file;
}

// A file at a description text's name whose bytes are not those the build is
// about to write is someone's work: an author's edited export, say. A copy
// of the build's own text, as a build that was stopped leaves, is replaced.
std::optional<exit_status> refuse_to_replace(const std::filesystem::path& path,
                                             std::string_view own_text, std::ostream& err) {
  std::string bytes;
  const scenario::status read =
      scenario::read_whole_file(path, bytes, scenario::description_text_bound);
  if (!read) {
    if (read.not_found()) return std::nullopt;
    return file_failure(err, read);
  }
  if (bytes == own_text) return std::nullopt;
  err << "cannot complete the build: " << path.string()
      << ": differs from the text this build writes and may be someone's work; move it away, "
         "build into another folder with 'build --out DIR', or replace it with 'build --force'\n";
  return exit_status::usage_or_file;
}

// Every file the build writes in its directory.
std::vector<std::string> build_file_names(const compiler::build_settings& settings) {
  const std::string& route = settings.route_base_name;
  const std::string& train = settings.train_number;
  return {scenario::line_text_file_name(route),
          scenario::service_text_file_name(route, train),
          documents::notes_page_file_name(route, train),
          documents::slowdown_order_file_name(route, train),
          documents::timetable_card_file_name(route, train),
          compiler::track_plan_file_name(route),
          compiler::station_table_file_name(route, train),
          compiler::route_grid_file_name(route, train)};
}

}  // namespace

exit_status run_build(const compiler::build_settings& settings, waiting_notice& notice,
                      std::ostream& err, const step_hook& hook, const build_choices& choices) {
  auto step = [&](std::string_view name) {
    if (hook) hook(name);
  };
  notice.show();
  struct closer {
    waiting_notice& notice;
    ~closer() { notice.close(); }
  } close_at_end{notice};

  const std::filesystem::path& directory = settings.directory;
  const std::string& route = settings.route_base_name;
  const std::string& train = settings.train_number;
  const std::string line_name = scenario::line_text_file_name(route);
  const std::string service_name = scenario::service_text_file_name(route, train);
  const auto line_path = directory / line_name;
  const auto service_path = directory / service_name;

  // The directory is this run's alone until the end: a second build would
  // delete this one's texts and write its files over these.
  scenario::folder_lock lock;
  if (const scenario::status locked =
          scenario::lock_folder(directory, "scenario-builder build", choices.lock_wait, lock);
      !locked) {
    return file_failure(err, locked);
  }
  if (const scenario::status cleared =
          scenario::remove_stale_temporaries(directory, build_file_names(settings));
      !cleared) {
    return file_failure(err, cleared);
  }
  if (!choices.replace_texts) {
    const std::string own_line = scenario::encode_line_list(scenario::line_text_lines()).bytes;
    const std::string own_service =
        scenario::encode_line_list(scenario::service_text_lines()).bytes;
    if (auto refused = refuse_to_replace(line_path, own_line, err)) return *refused;
    if (auto refused = refuse_to_replace(service_path, own_service, err)) return *refused;
  }

  step("write_line_text");
  if (const scenario::status written = scenario::write_line_text(directory, route); !written) {
    return file_failure(err, written);
  }
  step("write_service_text");
  if (const scenario::status written = scenario::write_service_text(directory, route, train);
      !written) {
    return file_failure(err, written);
  }
  // The driver documents go to disk before the compile, so they are there
  // even when the compile ends with a fatal error.
  step("write_notes_page");
  if (const scenario::status written = documents::write_notes_page(directory, route, train);
      !written) {
    return file_failure(err, written);
  }
  step("write_slowdown_order");
  if (const scenario::status written = documents::write_slowdown_order(directory, route, train);
      !written) {
    return file_failure(err, written);
  }
  step("write_timetable_card");
  if (const scenario::status written = documents::write_timetable_card(directory, route, train);
      !written) {
    return file_failure(err, written);
  }

  step("compile_scenario");
  // The texts just written, read back: one that has gone meanwhile is
  // compiled as missing, as the reader records.
  compiler::texts_compiled compiled;
  compiler::text_reading reading;
  reading.missing_is_compiled = true;
  reading.shown_as = {line_name, service_name};
  if (const scenario::status compiled_texts = compiler::compile_texts(
          {line_path, service_path, route, train}, settings, compiled, reading);
      !compiled_texts) {
    return file_failure(err, compiled_texts);
  }
  const compiler::compile_result& result = compiled.result;
  if (result.disposal.delete_line) {
    if (const scenario::status deleted = scenario::delete_file(line_path); !deleted) {
      return file_failure(err, deleted);
    }
  }
  if (result.disposal.delete_service) {
    if (const scenario::status deleted = scenario::delete_file(service_path); !deleted) {
      return file_failure(err, deleted);
    }
  }

  // The same report as a compile of the texts gives.
  std::string report;
  for (const compiler::diagnostic& d : compiled.report) {
    if (d.level == compiler::severity::error && d.code == compiler::code_number(result.fatal)) {
      continue;  // the fatal error has its own box
    }
    report += compiler::format_diagnostic(d) + '\n';
  }
  if (result.outcome == compiler::compile_outcome::no_grid) {
    err << report
        << "the reading stopped before the line length was known: no binary file written\n";
    return exit_status::fatal;
  }
  if (result.outcome == compiler::compile_outcome::fatal_error) {
    err << report;
    notice.show_error(fatal_error_text(std::to_string(compiler::code_number(result.fatal))));
    return exit_status::fatal;
  }

  step("write_output_files");
  if (const scenario::status written = compiler::write_output_files(settings, compiled.model);
      !written) {
    return file_failure(err, written);
  }
  err << report;
  if (result.error.code != compiler::error_code::none) return exit_status::build_error;
  return exit_status::clean;
}

exit_status run_guarded(const std::function<exit_status()>& run, std::ostream& err) {
  try {
    return run();
  } catch (const std::bad_alloc&) {
    err << "scenario-builder: out of memory: the input is larger than this machine can take\n";
  } catch (const std::exception& failure) {
    err << "scenario-builder: stopped by an unexpected failure: " << failure.what() << '\n';
  } catch (...) {
    err << "scenario-builder: stopped by an unexpected failure\n";
  }
  return exit_status::usage_or_file;
}

}  // namespace builder
