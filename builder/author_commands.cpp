#include "builder/author_commands.h"

#include <fmt/format.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <ostream>
#include <vector>

#include "builder/notice_factory.h"
#include "compiler/compile.h"
#include "compiler/diagnostics.h"
#include "compiler/keywords.h"
#include "compiler/output_files.h"
#include "scenario/control_bytes.h"
#include "scenario/field_reader.h"
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
  err << "scenario-builder: " << what << ": " << failure.describe();
  // A missing file is most often a misspelt name.
  if (failure.not_found) err << "; check the path and the file's name";
  err << '\n';
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
  if (d.level == compiler::severity::warning) j["kind"] = compiler::warning_name(d.kind);
  if (d.after_stop) j["after_stop"] = true;
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

std::optional<std::string> route_from_line_text(std::string_view file_name) {
  if (file_name.size() <= line_text_suffix.size() || !file_name.ends_with(line_text_suffix)) {
    return std::nullopt;
  }
  return std::string(file_name.substr(0, file_name.size() - line_text_suffix.size()));
}

std::optional<std::string> train_from_service_text(std::string_view file_name,
                                                   std::string_view route) {
  if (!file_name.ends_with(service_text_suffix)) return std::nullopt;
  const std::string_view stem = file_name.substr(0, file_name.size() - service_text_suffix.size());
  // ROUTE_TRAIN for this route; failing that, whatever follows the last "_",
  // so that a text named for another route still gives its train.
  const std::string prefix = fmt::format("{}_", route);
  if (!route.empty() && stem.starts_with(prefix) && stem.size() > prefix.size()) {
    return std::string(stem.substr(prefix.size()));
  }
  const std::size_t last = stem.rfind('_');
  if (last == std::string_view::npos || last + 1 >= stem.size()) return std::nullopt;
  return std::string(stem.substr(last + 1));
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

namespace {

// The route base name and train number of a compile: given, or read from the
// texts' file names; a refusal that says what to give instead.
struct compile_names {
  std::string route;
  std::string train;
  std::optional<std::string> refusal;
};

compile_names names_of(const compile_options& options, const fs::path& line_path,
                       const fs::path& service_path) {
  compile_names names;
  const std::string line_name = line_path.filename().string();
  const std::string service_name = service_path.filename().string();
  if (options.route) {
    names.route = *options.route;
  } else if (const auto derived = route_from_line_text(line_name)) {
    names.route = *derived;
  } else {
    names.refusal = fmt::format(
        "cannot tell the route base name from \"{}\" (it is not named ROUTE_linea.txt): give it "
        "with --route NAME, or rename the text",
        line_name);
    return names;
  }
  if (options.train) {
    names.train = *options.train;
  } else if (const auto derived = train_from_service_text(service_name, names.route)) {
    names.train = *derived;
  } else {
    names.refusal = fmt::format(
        "cannot tell the train number from \"{}\" (it is not named ROUTE_TRAIN-.txt): give it "
        "with --train NUMBER, or rename the text",
        service_name);
    return names;
  }
  if (auto route_problem = name_problem(names.route)) {
    names.refusal = fmt::format("the route base name \"{}\" {}: give another with --route NAME",
                                names.route, *route_problem);
  } else if (auto train_problem = name_problem(names.train)) {
    names.refusal = fmt::format("the train number \"{}\" {}: give another with --train NUMBER",
                                names.train, *train_problem);
  }
  return names;
}

// Texts given the wrong way round, told from what they hold: a line text has
// a length row, a service text has stations.
std::optional<std::string> swapped_texts(const compile_options& options,
                                         const compiler::description_texts& texts) {
  const auto holds = [](std::string_view text, compiler::row_keyword keyword) {
    return compiler::passes(compiler::facts_of(keyword).tests.front(), false, text);
  };
  const auto line_like = [&](std::string_view text) {
    return holds(text, compiler::row_keyword::length);
  };
  const auto service_like = [&](std::string_view text) {
    return holds(text, compiler::row_keyword::station);
  };
  if (line_like(*texts.line) || !line_like(*texts.service)) return std::nullopt;
  if (!service_like(*texts.line)) return std::nullopt;
  return fmt::format(
      "the texts look swapped: {} reads like a service text (it has \"stazione\" rows) and {} "
      "like a line text (it has a \"lunghezza percorso\" row); give the line text first",
      options.line_text, options.service_text);
}

}  // namespace

exit_status run_compile_command(const compile_options& options, std::ostream& out,
                                std::ostream& err) {
  const fs::path line_path(options.line_text);
  const fs::path service_path(options.service_text);

  // 1. The texts, read into memory before anything is taken from their
  // names; the files themselves are left alone.
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
  if (auto swapped = swapped_texts(options, texts)) return usage_error(err, *swapped);

  // 2. The names: given, or read from the file names.
  const compile_names names = names_of(options, line_path, service_path);
  if (names.refusal) return usage_error(err, *names.refusal);
  const std::string& route = names.route;
  const std::string& train = names.train;

  // 3. The output folder, made when it is missing, as build tools do.
  if (!options.dry_run) {
    if (auto failure = scenario::make_directories(fs::path(options.out))) {
      return file_error(err, "cannot make the output folder", *failure);
    }
  }

  // 4. The output folder, this run's alone until the end, so that two
  // compiles into it never leave a mixed set.
  scenario::folder_lock lock;
  if (!options.dry_run) {
    if (auto failure = scenario::lock_folder(fs::path(options.out), "scenario-builder compile",
                                             default_lock_wait, lock)) {
      return file_error(err, "cannot take the output folder", *failure);
    }
  }

  // 5. The compile, with every warning, and every error up to the ends of
  // the texts.
  const compiler::build_settings settings{route, train, fs::path(options.out), !options.no_plan};
  compiler::scenario_model model;
  compiler::journal log;
  const compiler::compile_result result = compiler::compile_scenario(settings, texts, model, log);
  const compiler::text_names text_names{options.line_text, options.service_text};
  const std::vector<compiler::diagnostic> diagnostics =
      compiler::author_report(settings, texts, log, model, text_names);
  report(diagnostics, options.json, out, err);

  if (result.outcome != compiler::compile_outcome::complete) {
    if (!options.json) err << "scenario-builder: no binary file written\n";
    return exit_status::fatal;
  }
  const bool warned = std::any_of(diagnostics.begin(), diagnostics.end(), [](const auto& d) {
    return d.level == compiler::severity::warning;
  });
  // With --strict a warning fails the run as an error does; the files are
  // written all the same.
  const bool failed = log.has_error() || (options.strict && warned);
  const exit_status status = failed ? exit_status::build_error : exit_status::clean;
  if (options.dry_run) return status;

  // 6. The outputs, never over one of the texts just read, whatever way
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
