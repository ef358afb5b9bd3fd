#include "builder/author_commands.h"

#include <fmt/format.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <ostream>
#include <vector>

#include "builder/notice_factory.h"
#include "compiler/compile.h"
#include "compiler/diagnostics.h"
#include "compiler/output_files.h"
#include "scenario/file_system.h"
#include "scenario/line_text.h"
#include "scenario/service_text.h"
#include "scenario/text_file.h"

namespace builder {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view line_text_suffix = "_linea.txt";
constexpr std::string_view service_text_suffix = "-.txt";

// Names become parts of file names and are stored in the scenario table as
// single bytes, so they are held to printable ASCII without separators.
std::optional<std::string> name_problem(std::string_view name) {
  if (name.empty()) return "is empty";
  for (const char c : name) {
    if (c < ' ' || c > '~' || c == '/' || c == '\\') {
      return "must be printable ASCII without path separators";
    }
  }
  return std::nullopt;
}

exit_status usage_error(std::ostream& err, std::string_view message) {
  err << "scenario-builder: " << message << '\n';
  return exit_status::usage_or_file;
}

exit_status file_error(std::ostream& err, std::string_view what,
                       const scenario::file_failure& failure) {
  err << "scenario-builder: " << what << ": " << failure.describe() << '\n';
  return exit_status::usage_or_file;
}

// The first output that is one of the inputs (the same file, by identity),
// as a refusal naming both; a failure when the system cannot tell.
std::optional<std::string> output_over_input(const std::vector<fs::path>& outputs,
                                             const std::vector<fs::path>& inputs) {
  for (const fs::path& output : outputs) {
    for (const fs::path& input : inputs) {
      const scenario::sameness answer = scenario::same_file(output, input);
      if (answer.failure) return answer.failure->describe();
      if (answer.same) {
        return fmt::format("refusing to write {}: it is {}, which this run reads", output.string(),
                           input.string());
      }
    }
  }
  return std::nullopt;
}

nlohmann::json to_json(const compiler::diagnostic& d) {
  nlohmann::json j;
  j["severity"] = d.level == compiler::severity::error ? "error" : "warning";
  j["file"] = d.file.empty() ? nlohmann::json() : nlohmann::json(d.file);
  j["line"] = d.line == 0 ? nlohmann::json() : nlohmann::json(d.line);
  j["code"] = d.level == compiler::severity::error ? nlohmann::json(d.code) : nlohmann::json();
  j["message"] = d.message;
  j["row"] = d.line == 0 ? nlohmann::json() : nlohmann::json(d.row);
  return j;
}

void report(const std::vector<compiler::diagnostic>& diagnostics, bool json, std::ostream& out,
            std::ostream& err) {
  if (json) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& d : diagnostics) list.push_back(to_json(d));
    // The rows are the texts' own bytes, Windows-1252 as a rule: whatever is
    // not UTF-8 is shown as a replacement character rather than refused.
    out << list.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    return;
  }
  // One write: the error stream is unbuffered, and a text full of mistakes
  // can give thousands of reports.
  std::string text;
  for (const auto& d : diagnostics) text += compiler::format_diagnostic(d) + '\n';
  err << text;
}

}  // namespace

std::optional<std::string> route_from_line_text(std::string_view file_name) {
  if (file_name.size() <= line_text_suffix.size() || !file_name.ends_with(line_text_suffix)) {
    return std::nullopt;
  }
  return std::string(file_name.substr(0, file_name.size() - line_text_suffix.size()));
}

std::optional<std::string> train_from_service_text(std::string_view file_name,
                                                   std::string_view route) {
  const std::string prefix = fmt::format("{}_", route);
  if (route.empty() || !file_name.starts_with(prefix) ||
      !file_name.ends_with(service_text_suffix) ||
      file_name.size() <= prefix.size() + service_text_suffix.size()) {
    return std::nullopt;
  }
  return std::string(file_name.substr(
      prefix.size(), file_name.size() - prefix.size() - service_text_suffix.size()));
}

exit_status run_build_command(const build_options& options, const char* program, std::ostream& out,
                              std::ostream& err) {
  const fs::path directory =
      options.out.empty() ? scenario::program_directory(program) : fs::path(options.out);
  compiler::build_settings settings = compiler::embedded_settings(directory);
  settings.with_plan = !options.no_plan;
  const auto notice = make_waiting_notice(!options.no_window, out, err);
  build_choices choices;
  choices.replace_texts = options.force;
  return run_build(settings, *notice, err, {}, choices);
}

exit_status run_compile_command(const compile_options& options, std::ostream& out,
                                std::ostream& err) {
  const fs::path line_path(options.line_text);
  const fs::path service_path(options.service_text);

  // 1. The names: given, or read from the file names.
  std::string route = options.route;
  if (route.empty()) {
    const auto derived = route_from_line_text(line_path.filename().string());
    if (!derived) {
      return usage_error(err, fmt::format("cannot tell the route base name from \"{}\" (not "
                                          "ROUTE_linea.txt): give it with --route NAME",
                                          line_path.filename().string()));
    }
    route = *derived;
  }
  std::string train = options.train;
  if (train.empty()) {
    const auto derived = train_from_service_text(service_path.filename().string(), route);
    if (!derived) {
      return usage_error(err, fmt::format("cannot tell the train number from \"{}\" (not {}_"
                                          "TRAIN-.txt): give it with --train NUMBER",
                                          service_path.filename().string(), route));
    }
    train = *derived;
  }
  if (auto problem = name_problem(route)) {
    return usage_error(err, fmt::format("the route base name \"{}\" {}", route, *problem));
  }
  if (auto problem = name_problem(train)) {
    return usage_error(err, fmt::format("the train number \"{}\" {}", train, *problem));
  }

  // 2. The output folder, this run's alone until the end, so that two
  // compiles into it never leave a mixed set.
  scenario::folder_lock lock;
  if (!options.dry_run) {
    if (auto failure = scenario::lock_folder(fs::path(options.out), "scenario-builder compile",
                                             default_lock_wait, lock)) {
      return file_error(err, "cannot take the output folder", *failure);
    }
  }

  // 3. The texts, read into memory; the files themselves are left alone.
  compiler::description_texts texts;
  std::string bytes;
  if (auto failure =
          scenario::read_whole_file(line_path, bytes, scenario::description_text_bound)) {
    return file_error(err, "cannot read the line text", *failure);
  }
  texts.line = std::move(bytes);
  bytes = {};
  if (auto failure =
          scenario::read_whole_file(service_path, bytes, scenario::description_text_bound)) {
    return file_error(err, "cannot read the service text", *failure);
  }
  texts.service = std::move(bytes);

  // 4. The compile, with every note the reading can give.
  const compiler::build_settings settings{route, train, fs::path(options.out), !options.no_plan};
  compiler::scenario_model model;
  compiler::journal log;
  const compiler::compile_result result = compiler::compile_scenario(settings, texts, model, log);
  const compiler::text_names names{options.line_text, options.service_text};
  report(compiler::diagnose(log, model, texts, names), options.json, out, err);

  if (result.outcome != compiler::compile_outcome::complete) {
    if (!options.json) err << "scenario-builder: no binary file written\n";
    return exit_status::fatal;
  }
  const exit_status status = log.has_error() ? exit_status::build_error : exit_status::clean;
  if (options.dry_run) return status;

  // 5. The outputs, never over one of the texts just read, whatever way
  // their paths are spelt.
  const std::vector<fs::path> paths = compiler::output_file_paths(settings);
  if (auto refusal = output_over_input(paths, {line_path, service_path})) {
    return usage_error(err, *refusal);
  }
  std::vector<std::string> file_names;
  for (const fs::path& path : paths) file_names.push_back(path.filename().string());
  if (auto failure = scenario::remove_stale_temporaries(fs::path(options.out), file_names)) {
    return file_error(err, "cannot clear the output folder", *failure);
  }
  if (auto failure = compiler::write_output_files(settings, model)) {
    return file_error(err, "cannot write the binary files", *failure);
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
  if (auto failure = scenario::lock_folder(directory, "scenario-builder export-sources",
                                           default_lock_wait, lock)) {
    return file_error(err, "cannot take the output folder", *failure);
  }
  if (!options.force) {
    // An author may already have edited an earlier export.
    for (const fs::path& path : {line_path, service_path}) {
      const scenario::existence found = scenario::check_existence(path);
      if (found.failure) return file_error(err, "cannot look for the texts", *found.failure);
      if (found.exists) {
        return usage_error(err,
                           fmt::format("{} exists; give --force to replace it", path.string()));
      }
    }
  }
  if (auto failure = scenario::write_line_text(directory, route)) {
    return file_error(err, "cannot write the line text", *failure);
  }
  if (auto failure = scenario::write_service_text(directory, route, train)) {
    return file_error(err, "cannot write the service text", *failure);
  }
  out << "wrote " << line_path.string() << '\n' << "wrote " << service_path.string() << '\n';
  return exit_status::clean;
}

}  // namespace builder
