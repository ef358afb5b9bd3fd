#include "builder/commands/author_commands.h"

#include <fmt/format.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <ostream>
#include <vector>

#include "builder/commands/build_sequence.h"
#include "builder/commands/failure_report.h"
#include "compiler/compile.h"
#include "compiler/compile_texts.h"
#include "compiler/diagnostics.h"
#include "compiler/output_files.h"
#include "scenario/control_bytes.h"
#include "scenario/file_system.h"
#include "scenario/line_text.h"
#include "scenario/service_text.h"
#include "scenario/text_file.h"

namespace builder {

namespace fs = std::filesystem;

namespace {

exit_status usage_error(std::ostream& err, std::string_view message) {
  err << "scenario-builder: " << message << '\n';
  return exit_status::usage_or_file;
}

// A refusal naming the first output that is one of the inputs (the same
// file, by identity); a failure too when the system cannot tell.
scenario::status output_over_input(const std::vector<fs::path>& outputs,
                                   const std::vector<fs::path>& inputs) {
  for (const fs::path& output : outputs) {
    for (const fs::path& input : inputs) {
      const scenario::sameness answer = scenario::same_file(output, input);
      if (!answer.checked) return answer.checked;
      if (answer.same) {
        return scenario::status::failure(
            fmt::format("refusing to write {}: it is {}, which this run reads", output.string(),
                        input.string()));
      }
    }
  }
  return {};
}

nlohmann::json to_json(const compiler::diagnostic& d) {
  nlohmann::json j;
  j["severity"] = d.level == compiler::severity::error ? "error" : "warning";
  j["file"] = d.file.empty() ? nlohmann::json() : nlohmann::json(d.file);
  j["line"] = d.line == 0 ? nlohmann::json() : nlohmann::json(d.line);
  j["code"] = d.level == compiler::severity::error ? nlohmann::json(d.code) : nlohmann::json();
  j["message"] = d.message;
  j["row"] = d.line == 0 ? nlohmann::json() : nlohmann::json(d.row);
  if (d.level == compiler::severity::warning) j["kind"] = compiler::warning_name(d.kind);
  if (d.after_stop) j["after_stop"] = true;
  if (d.follows) {
    nlohmann::json cause;
    cause["file"] = d.follows->file.empty() ? nlohmann::json() : nlohmann::json(d.follows->file);
    cause["line"] = d.follows->line == 0 ? nlohmann::json() : nlohmann::json(d.follows->line);
    cause["code"] = d.follows->code == 0 ? nlohmann::json() : nlohmann::json(d.follows->code);
    j["follows"] = std::move(cause);
  }
  return j;
}

void report(const std::vector<compiler::diagnostic>& diagnostics, bool json, std::ostream& out,
            std::ostream& err) {
  if (json) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& d : diagnostics) list.push_back(to_json(d));
    // The rows are the texts' own bytes, Windows-1252 as a rule: whatever is
    // not UTF-8 is shown as a replacement character rather than refused.
    out << scenario::json_without_raw_control_bytes(
               list.dump(2, ' ', false, nlohmann::json::error_handler_t::replace))
        << '\n';
    return;
  }
  // One write: the error stream is unbuffered, and a text full of mistakes
  // can give thousands of reports.
  std::string text;
  for (const auto& d : diagnostics) text += compiler::format_diagnostic(d) + '\n';
  err << text;
}

}  // namespace

exit_status run_build_command(const build_options& options, const char* program,
                              const notice_maker& make_notice, std::ostream& out,
                              std::ostream& err) {
  const fs::path directory =
      options.out.empty() ? scenario::program_directory(program) : fs::path(options.out);
  // A folder named with --out is made when missing, as for every command
  // that writes; the program's own directory is there already.
  if (!options.out.empty()) {
    if (const scenario::status made = scenario::make_directories(directory); !made) {
      return report_failure(err, made.within("cannot make the output folder"));
    }
  }
  compiler::build_settings settings = compiler::embedded_settings(directory);
  settings.with_plan = !options.no_plan;
  const auto notice = make_notice(!options.no_window, out, err);
  build_choices choices;
  choices.replace_texts = options.force;
  return run_build(settings, *notice, err, {}, choices);
}

exit_status run_compile_command(const compile_options& options, std::ostream& out,
                                std::ostream& err) {
  const fs::path line_path(options.line_text);
  const fs::path service_path(options.service_text);

  // 1. The texts, read into memory, the names, given or read from the file
  // names, and their compile, with every warning and every error up to the
  // ends of the texts. The files themselves are left alone.
  const compiler::build_settings wanted{{}, {}, fs::path(options.out), !options.no_plan};
  compiler::texts_compiled compiled;
  if (const scenario::status compiled_texts = compiler::compile_texts(
          {line_path, service_path, options.route, options.train}, wanted, compiled);
      !compiled_texts) {
    return report_failure(err, compiled_texts);
  }
  const compiler::build_settings& settings = compiled.settings;

  // 2. The output folder, made when it is missing, as build tools do, and
  // this run's alone until the end, so that two compiles into it never
  // leave a mixed set.
  scenario::folder_lock lock;
  if (!options.dry_run) {
    if (const scenario::status taken = scenario::take_output_folder(
            fs::path(options.out), "scenario-builder compile", default_lock_wait, lock);
        !taken) {
      return report_failure(err, taken);
    }
  }

  // 3. The report.
  const std::vector<compiler::diagnostic>& diagnostics = compiled.report;
  report(diagnostics, options.json, out, err);

  if (compiled.result.outcome != compiler::compile_outcome::complete) {
    if (!options.json) err << "scenario-builder: no binary file written\n";
    return exit_status::fatal;
  }
  const bool warned = std::any_of(diagnostics.begin(), diagnostics.end(), [](const auto& d) {
    return d.level == compiler::severity::warning;
  });
  // With --strict a warning fails the run as an error does; the files are
  // written all the same.
  const bool failed = compiled.log.has_error() || (options.strict && warned);
  const exit_status status = failed ? exit_status::build_error : exit_status::clean;
  if (options.dry_run) return status;

  // 4. The outputs, never over one of the texts just read, whatever way
  // their paths are spelt.
  const std::vector<fs::path> paths = compiler::output_file_paths(settings);
  if (const scenario::status refusal = output_over_input(paths, {line_path, service_path});
      !refusal) {
    return usage_error(err, refusal.describe());
  }
  std::vector<std::string> file_names;
  for (const fs::path& path : paths) file_names.push_back(path.filename().string());
  if (const scenario::status cleared =
          scenario::remove_stale_temporaries(fs::path(options.out), file_names);
      !cleared) {
    return report_failure(err, cleared.within("cannot clear the output folder"));
  }
  if (const scenario::status written = compiler::write_output_files(settings, compiled.model);
      !written) {
    return report_failure(err, written.within("cannot write the binary files"));
  }
  if (!options.json) {
    for (const fs::path& path : paths) out << "wrote " << path.string() << '\n';
  }
  return status;
}

exit_status run_export_command(const export_options& options, std::ostream& out,
                               std::ostream& err) {
  const fs::path directory(options.out);
  const std::string route = compiler::embedded_route_base_name;
  const std::string train = compiler::embedded_train_number;
  const fs::path line_path = directory / scenario::line_text_file_name(route);
  const fs::path service_path = directory / scenario::service_text_file_name(route, train);
  scenario::folder_lock lock;
  if (const scenario::status taken = scenario::take_output_folder(
          directory, "scenario-builder export-sources", default_lock_wait, lock);
      !taken) {
    return report_failure(err, taken);
  }
  if (!options.force) {
    // An author may already have edited an earlier export.
    for (const fs::path& path : {line_path, service_path}) {
      const scenario::existence found = scenario::check_existence(path);
      if (!found.checked) return report_failure(err, found.checked.within("cannot look for the texts"));
      if (found.exists) {
        return usage_error(err,
                           fmt::format("{} exists; give --force to replace it", path.string()));
      }
    }
  }
  if (const scenario::status written = scenario::write_line_text(directory, route); !written) {
    return report_failure(err, written.within("cannot write the line text"));
  }
  if (const scenario::status written = scenario::write_service_text(directory, route, train);
      !written) {
    return report_failure(err, written.within("cannot write the service text"));
  }
  out << "wrote " << line_path.string() << '\n' << "wrote " << service_path.string() << '\n';
  return exit_status::clean;
}

}  // namespace builder
