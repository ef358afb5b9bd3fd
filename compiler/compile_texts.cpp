#include "compiler/compile_texts.h"

#include <fmt/format.h>

#include <utility>

#include "compiler/keywords.h"
#include "scenario/build_names.h"
#include "scenario/file_system.h"
#include "scenario/text_file.h"

namespace compiler {

namespace fs = std::filesystem;

namespace {

scenario::status read_text(const fs::path& path, std::string_view which, bool missing_is_compiled,
                           std::optional<std::string>& text) {
  text.reset();
  std::string bytes;
  const scenario::status read =
      scenario::read_whole_file(path, bytes, scenario::description_text_bound);
  if (!read) {
    if (read.not_found() && missing_is_compiled) return {};
    return read.within(fmt::format("cannot read the {}", which));
  }
  text = std::move(bytes);
  return {};
}

// Texts given the wrong way round, told from what they hold: a line text has
// a length row, a service text has stations.
scenario::status swapped_texts(const text_sources& sources, const description_texts& texts) {
  if (!texts.line || !texts.service) return {};
  const auto holds = [](std::string_view text, row_keyword keyword) {
    return passes(facts_of(keyword).tests.front(), false, text);
  };
  const auto line_like = [&](std::string_view text) { return holds(text, row_keyword::length); };
  const auto service_like = [&](std::string_view text) {
    return holds(text, row_keyword::station);
  };
  if (line_like(*texts.line) || !line_like(*texts.service)) return {};
  if (!service_like(*texts.line)) return {};
  return scenario::status::failure(fmt::format(
      "the texts look swapped: {} reads like a service text (it has \"stazione\" rows) and {} "
      "like a line text (it has a \"lunghezza percorso\" row); give the line text first",
      sources.line_text.string(), sources.service_text.string()));
}

}  // namespace

scenario::status name_the_build(const text_sources& sources, std::string& route,
                                std::string& train) {
  const std::string line_name = sources.line_text.filename().string();
  const std::string service_name = sources.service_text.filename().string();
  if (sources.route) {
    route = *sources.route;
  } else if (const auto derived = scenario::route_from_line_text(line_name)) {
    route = *derived;
  } else {
    return scenario::status::failure(fmt::format(
        "cannot tell the route base name from \"{}\" (it is not named ROUTE_linea.txt): give it "
        "with --route NAME, or rename the text",
        line_name));
  }
  if (sources.train) {
    train = *sources.train;
  } else if (const auto derived = scenario::train_from_service_text(service_name, route)) {
    train = *derived;
  } else {
    return scenario::status::failure(fmt::format(
        "cannot tell the train number from \"{}\" (it is not named ROUTE_TRAIN-.txt): give it "
        "with --train NUMBER, or rename the text",
        service_name));
  }
  if (const scenario::status checked = scenario::check_route_given(route); !checked) {
    return checked;
  }
  return scenario::check_train_given(train);
}

scenario::status compile_texts(const text_sources& sources, const build_settings& settings,
                               texts_compiled& compiled, const text_reading& reading) {
  // The texts are read into memory before anything is taken from their
  // names; the files themselves are left alone.
  if (const scenario::status read = read_text(sources.line_text, "line text",
                                              reading.missing_is_compiled, compiled.texts.line);
      !read) {
    return read;
  }
  if (const scenario::status read = read_text(sources.service_text, "service text",
                                              reading.missing_is_compiled, compiled.texts.service);
      !read) {
    return read;
  }
  if (const scenario::status checked = swapped_texts(sources, compiled.texts); !checked) {
    return checked;
  }
  compiled.settings = settings;
  if (const scenario::status named = name_the_build(sources, compiled.settings.route_base_name,
                                                    compiled.settings.train_number);
      !named) {
    return named;
  }
  compiled.result =
      compile_scenario(compiled.settings, compiled.texts, compiled.model, compiled.log);
  const text_names names =
      reading.shown_as.line.empty() && reading.shown_as.service.empty()
          ? text_names{sources.line_text.string(), sources.service_text.string()}
          : reading.shown_as;
  compiled.report =
      author_report(compiled.settings, compiled.texts, compiled.log, compiled.model, names);
  return {};
}

}  // namespace compiler
