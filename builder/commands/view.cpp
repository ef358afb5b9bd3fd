#include "builder/commands/view.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <ostream>
#include <set>
#include <vector>

#include "builder/server/text_view.h"
#include "compiler/decoding.h"
#include "compiler/diagnostics.h"
#include "compiler/model.h"
#include "compiler/output_files.h"
#include "scenario/file_system.h"
#include "viewer/route_files.h"
#include "viewer/route_page.h"

namespace builder {

namespace fs = std::filesystem;

namespace {

exit_status failed(std::ostream& err, const std::string& message) {
  err << "scenario-builder: " << message << '\n';
  return exit_status::usage_or_file;
}

// Writes the page, never in the place of one of the files it shows, however
// its path is spelt.
exit_status write_page(const fs::path& path, const std::vector<fs::path>& inputs,
                       const std::string& page, std::string_view note, std::ostream& out,
                       std::ostream& err) {
  for (const fs::path& input : inputs) {
    const scenario::sameness answer = scenario::same_file(path, input);
    if (!answer.checked) return failed(err, answer.checked.describe());
    if (answer.same) {
      return failed(err, fmt::format("refusing to write {}: it is {}, which this run reads",
                                     path.string(), input.string()));
    }
  }
  if (const scenario::status written = scenario::write_file_atomically(path, page); !written) {
    return failed(err, written.describe());
  }
  out << fmt::format("{}: {} bytes{}\n", path.string(), page.size(), note);
  return exit_status::clean;
}

exit_status view_texts(const view_options& options, std::ostream& out, std::ostream& err) {
  const auto given = [](const std::string& name) {
    return name.empty() ? std::nullopt : std::optional<std::string>(name);
  };
  const compiler::text_sources sources{options.line_text, options.service_text,
                                       given(options.route), given(options.train)};
  text_build build;
  if (const scenario::status built = build_texts(sources, build); !built) {
    return failed(err, built.describe());
  }
  std::string reports;
  for (const viewer::page_diagnostic& d : build.notes.diagnostics) {
    reports += compiler::format_diagnostic(d.report) + '\n';
  }
  err << reports;

  const fs::path page_path =
      options.page.empty()
          ? sources.line_text.parent_path() / fmt::format("{}_{}.html", build.route, build.train)
          : fs::path(options.page);
  const exit_status written = write_page(
      page_path, {sources.line_text, sources.service_text},
      viewer::route_page(page_of(build, nullptr)),
      build.view ? "" : ", without a drawing (no binary file would be written)", out, err);
  if (written != exit_status::clean) return written;
  if (build.result.outcome != compiler::compile_outcome::complete) return exit_status::fatal;
  return build.result.error.code == compiler::error_code::none ? exit_status::clean
                                                               : exit_status::build_error;
}

bool ends_with_ignoring_case(std::string_view name, std::string_view suffix) {
  if (name.size() < suffix.size()) return false;
  return std::equal(suffix.begin(), suffix.end(),
                    name.end() - static_cast<std::ptrdiff_t>(suffix.size()), [](char a, char b) {
                      return std::tolower(static_cast<unsigned char>(a)) ==
                             std::tolower(static_cast<unsigned char>(b));
                    });
}

}  // namespace

scenario::status find_the_build(const std::string& dir, std::string& route, std::string& train) {
  std::vector<std::string> names;
  if (const scenario::status listed = scenario::list_regular_files(dir, names); !listed) {
    return listed;
  }
  const std::set<std::string> present(names.begin(), names.end());
  // A grid and a table of one stem, and the route base names that have a
  // plan here.
  std::vector<std::string> stems;
  std::vector<std::string> planned;
  for (const std::string& name : names) {
    if (ends_with_ignoring_case(name, "_linea.dat")) {
      planned.push_back(name.substr(0, name.size() - 10));
    } else if (name.size() > 4 && name.ends_with(".dat") &&
               present.contains(name.substr(0, name.size() - 4) + ".sim")) {
      stems.push_back(name.substr(0, name.size() - 4));
    }
  }
  // The stem splits at the route whose plan is here, the longest one; else
  // at its last underscore.
  std::vector<std::pair<std::string, std::string>> builds;
  for (const std::string& stem : stems) {
    std::size_t split = std::string::npos;
    for (const std::string& r : planned) {
      if (stem.size() > r.size() + 1 && stem.starts_with(r) && stem[r.size()] == '_' &&
          (split == std::string::npos || r.size() > split)) {
        split = r.size();
      }
    }
    if (split == std::string::npos) split = stem.rfind('_');
    if (split == std::string::npos || split == 0 || split + 1 == stem.size()) continue;
    builds.emplace_back(stem.substr(0, split), stem.substr(split + 1));
  }
  // The names given narrow the choice.
  std::erase_if(builds, [&](const auto& b) {
    return (!route.empty() && b.first != route) || (!train.empty() && b.second != train);
  });
  if (builds.size() == 1) {
    route = builds.front().first;
    train = builds.front().second;
  }
  if (builds.size() <= 1) return {};
  std::string list;
  for (const auto& [r, t] : builds) list += fmt::format("\n  --route {} --train {}", r, t);
  return scenario::status::failure(fmt::format(
      "{} holds {} builds: name one{}", dir.empty() ? std::string(".") : dir, builds.size(), list));
}

exit_status run_view_command(const view_options& options, std::ostream& out, std::ostream& err) {
  if (!options.line_text.empty()) return view_texts(options, out, err);

  const std::string dir = options.dir.empty() ? std::string(".") : options.dir;
  std::string route = options.route;
  std::string train = options.train;
  if (route.empty() || train.empty()) {
    if (const scenario::status found = find_the_build(dir, route, train); !found) {
      return failed(err, found.describe());
    }
    // No build of those names here: the files looked for are the embedded
    // build's, which the message names.
    if (route.empty()) route = compiler::embedded_route_base_name;
    if (train.empty()) train = compiler::embedded_train_number;
  }
  const fs::path directory(dir);
  viewer::route_view view;
  if (const scenario::status read = viewer::read_route_view(directory, route, train, view); !read) {
    return failed(err, read.describe());
  }
  const fs::path page_path = options.page.empty()
                                 ? directory / fmt::format("{}_{}.html", route, train)
                                 : fs::path(options.page);
  const std::vector<fs::path> inputs = {directory / compiler::route_grid_file_name(route, train),
                                         directory / compiler::station_table_file_name(route, train),
                                         directory / compiler::track_plan_file_name(route)};
  return write_page(page_path, inputs, viewer::route_page(view),
                    view.plan ? "" : ", without a track plan (the build has no _linea.dat)", out,
                    err);
}

}  // namespace builder
