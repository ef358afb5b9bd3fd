#include "builder/text_view.h"

#include <fmt/format.h>

#include "builder/author_commands.h"
#include "compiler/decoding.h"
#include "compiler/encoding.h"
#include "compiler/model.h"
#include "scenario/file_system.h"
#include "scenario/text_file.h"

namespace builder {

namespace {

// The model as its files hold it: encoded and decoded again, so that the
// page of the texts is the page `view --dir` makes of the compile's files.
std::optional<std::string> files_of(const text_sources& sources,
                                    const compiler::scenario_model& model,
                                    viewer::route_view& view) {
  view.route_base_name = sources.route;
  view.train_number = sources.train;
  if (auto status =
          compiler::decode_route_grid(compiler::encode_route_grid(model.grid), view.grid)) {
    return *status;
  }
  if (auto status = compiler::decode_station_table(compiler::encode_station_table(model.stations),
                                                   view.stations)) {
    return *status;
  }
  if (auto status = viewer::attach_plan(
          view, scenario::file_bytes::copy_of(compiler::encode_track_plan(model.plan)))) {
    return *status;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> name_sources(const std::string& line_text,
                                        const std::string& service_text, const std::string& route,
                                        const std::string& train, text_sources& sources) {
  sources.line_text = line_text;
  sources.service_text = service_text;
  sources.route = route;
  if (sources.route.empty()) {
    const auto derived = route_from_line_text(sources.line_text.filename().string());
    if (!derived) {
      return fmt::format(
          "cannot tell the route base name from \"{}\" (not ROUTE_linea.txt): "
          "give it with --route NAME",
          sources.line_text.filename().string());
    }
    sources.route = *derived;
  }
  sources.train = train;
  if (sources.train.empty()) {
    const auto derived =
        train_from_service_text(sources.service_text.filename().string(), sources.route);
    if (!derived) {
      return fmt::format(
          "cannot tell the train number from \"{}\" (not {}_TRAIN-.txt): give it "
          "with --train NUMBER",
          sources.service_text.filename().string(), sources.route);
    }
    sources.train = *derived;
  }
  return std::nullopt;
}

std::optional<std::string> build_texts(const text_sources& sources, text_build& build) {
  compiler::description_texts texts;
  std::string bytes;
  if (auto failure = scenario::read_whole_file(sources.line_text, bytes, scenario::description_text_bound)) {
    return "cannot read the line text: " + failure->describe();
  }
  texts.line = std::move(bytes);
  bytes = {};
  if (auto failure = scenario::read_whole_file(sources.service_text, bytes, scenario::description_text_bound)) {
    return "cannot read the service text: " + failure->describe();
  }
  texts.service = std::move(bytes);

  const compiler::build_settings settings{sources.route, sources.train, {}, true};
  compiler::scenario_model model;
  compiler::journal log;
  build.result = compiler::compile_scenario(settings, texts, model, log);
  const compiler::text_names names{sources.line_text.string(), sources.service_text.string()};
  build.notes = viewer::notes_of(build.result, log, model, texts, names);
  build.view.reset();
  if (build.result.outcome == compiler::compile_outcome::complete) {
    build.view.emplace();
    if (auto failure = files_of(sources, model, *build.view)) {
      // The encoders and decoders agree on every model a compile makes; a
      // disagreement is a fault of this program, told rather than drawn.
      return "the compiled files do not read back: " + *failure;
    }
  }
  return std::nullopt;
}

viewer::page_parts page_of(const text_sources& sources, const text_build& build,
                           const text_build* last_clean) {
  viewer::page_parts parts;
  parts.route_base_name = sources.route;
  parts.train_number = sources.train;
  parts.notes = &build.notes;
  if (!build.clean() && last_clean != nullptr && last_clean->view) {
    parts.drawing = &*last_clean->view;
    parts.drawing_notes = &last_clean->notes;
    parts.earlier_drawing = true;
  } else if (build.view) {
    parts.drawing = &*build.view;
    parts.drawing_notes = &build.notes;
  }
  return parts;
}

}  // namespace builder
