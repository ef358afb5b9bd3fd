#include "builder/server/text_view.h"

#include <utility>

#include "compiler/decoding.h"
#include "compiler/encoding.h"
#include "compiler/model.h"
#include "scenario/file_system.h"

namespace builder {

namespace {

// The model as its files hold it: encoded and decoded again, so that the
// page of the texts is the page `view --dir` makes of the compile's files.
scenario::status files_of(const compiler::build_settings& settings,
                          const compiler::scenario_model& model, viewer::route_view& view) {
  view.route_base_name = settings.route_base_name;
  view.train_number = settings.train_number;
  if (const scenario::status decoded =
          compiler::decode_route_grid(compiler::encode_route_grid(model.grid), view.grid);
      !decoded) {
    return decoded;
  }
  if (const scenario::status decoded = compiler::decode_station_table(
          compiler::encode_station_table(model.stations), view.stations);
      !decoded) {
    return decoded;
  }
  return viewer::attach_plan(
      view, scenario::file_bytes::copy_of(compiler::encode_track_plan(model.plan)));
}

}  // namespace

scenario::status build_texts(const compiler::text_sources& sources, text_build& build) {
  // The page is drawn with a plan, whatever the files would be written with.
  const compiler::build_settings wanted{{}, {}, {}, true};
  compiler::texts_compiled compiled;
  if (const scenario::status compiled_texts = compiler::compile_texts(sources, wanted, compiled);
      !compiled_texts) {
    return compiled_texts;
  }
  build.route = compiled.settings.route_base_name;
  build.train = compiled.settings.train_number;
  build.result = compiled.result;
  const compiler::text_names names{sources.line_text.string(), sources.service_text.string()};
  build.notes = viewer::notes_of(build.result, compiled.log, compiled.model, compiled.texts, names,
                                 std::move(compiled.report));
  build.view.reset();
  if (build.result.outcome == compiler::compile_outcome::complete) {
    build.view.emplace();
    if (const scenario::status drawn = files_of(compiled.settings, compiled.model, *build.view);
        !drawn) {
      // The encoders and decoders agree on every model a compile makes; a
      // disagreement is a fault of this program, told rather than drawn.
      return drawn.within("the compiled files do not read back");
    }
  }
  return {};
}

viewer::page_parts page_of(const text_build& build, const text_build* last_clean) {
  viewer::page_parts parts;
  parts.route_base_name = build.route;
  parts.train_number = build.train;
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
