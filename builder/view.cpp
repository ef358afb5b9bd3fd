#include "builder/view.h"

#include <fmt/format.h>

#include <filesystem>
#include <ostream>

#include "compiler/model.h"
#include "compiler/output_files.h"
#include "scenario/file_system.h"
#include "viewer/route_files.h"
#include "viewer/route_page.h"

namespace builder {

exit_status run_view_command(const view_options& options, std::ostream& out, std::ostream& err) {
  const std::string route =
      options.route.empty() ? std::string(compiler::embedded_route_base_name) : options.route;
  const std::string train =
      options.train.empty() ? std::string(compiler::embedded_train_number) : options.train;
  const std::filesystem::path directory(options.dir);

  viewer::route_view view;
  if (auto failure = viewer::read_route_view(directory, route, train, view)) {
    err << "scenario-builder: " << *failure << '\n';
    return exit_status::usage_or_file;
  }
  const std::filesystem::path page_path = options.page.empty()
                                              ? directory / fmt::format("{}_{}.html", route, train)
                                              : std::filesystem::path(options.page);
  // The page never takes the place of one of the files it shows, whatever
  // way its path is spelt.
  for (const std::string& input :
       {compiler::route_grid_file_name(route, train),
        compiler::station_table_file_name(route, train), compiler::track_plan_file_name(route)}) {
    const scenario::sameness answer = scenario::same_file(page_path, directory / input);
    if (answer.failure) {
      err << "scenario-builder: " << answer.failure->describe() << '\n';
      return exit_status::usage_or_file;
    }
    if (answer.same) {
      err << fmt::format("scenario-builder: refusing to write {}: it is {}, which this run reads\n",
                         page_path.string(), (directory / input).string());
      return exit_status::usage_or_file;
    }
  }
  const std::string page = viewer::route_page(view);
  if (auto failure = scenario::write_file_atomically(page_path, page)) {
    err << "scenario-builder: " << failure->describe() << '\n';
    return exit_status::usage_or_file;
  }
  out << fmt::format("{}: {} bytes{}\n", page_path.string(), page.size(),
                     view.plan ? "" : ", without a track plan (the build has no _linea.dat)");
  return exit_status::clean;
}

}  // namespace builder
