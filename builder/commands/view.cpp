#include "builder/commands/view.h"

#include <fmt/format.h>

#include <filesystem>
#include <optional>
#include <ostream>
#include <vector>

#include "builder/commands/build_folder.h"
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
// its path is spelt, making its folder when it is missing.
exit_status write_page(const fs::path& path, const std::vector<fs::path>& inputs,
                       const std::string& page, std::string_view note, std::ostream& out,
                       std::ostream& err) {
  if (path.has_parent_path()) {
    if (const scenario::status made = scenario::make_directories(path.parent_path()); !made) {
      return failed(err, made.within("cannot make the page's folder").describe());
    }
  }
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
  const compiler::text_sources sources{options.line_text, options.service_text, options.route,
                                       options.train};
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

}  // namespace

exit_status run_view_command(const view_options& options, std::ostream& out, std::ostream& err) {
  if (!options.line_text.empty()) return view_texts(options, out, err);

  const std::string dir = options.dir.empty() ? std::string(".") : options.dir;
  build_name picked;
  if (const scenario::status found = pick_build(dir, options.route, options.train, picked);
      !found) {
    return failed(err, found.describe());
  }
  const std::string& route = picked.route;
  const std::string& train = picked.train;
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
