#pragma once
// An author's two texts compiled in memory for the page: the drawing of the
// files the compile would write, and what its journal tells. Shared by
// `view` of texts and by `serve`.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "compiler/compile.h"
#include "viewer/build_notes.h"
#include "viewer/route_files.h"
#include "viewer/route_page.h"

namespace builder {

// The two texts, and the names of the build they make.
struct text_sources {
  std::filesystem::path line_text;
  std::filesystem::path service_text;
  std::string route;
  std::string train;
};

// The route base name and train number given, or read from the texts' file
// names as `compile` reads them; nothing, with why, when neither tells.
std::optional<std::string> name_sources(const std::string& line_text,
                                        const std::string& service_text, const std::string& route,
                                        const std::string& train, text_sources& sources);

struct text_build {
  compiler::compile_result result;
  viewer::build_notes notes;
  // The files the compile would write, read back as `view --dir` reads
  // them; nothing when it would write none.
  std::optional<viewer::route_view> view;

  // Complete, with no error recorded: a drawing worth keeping.
  bool clean() const { return view.has_value() && result.error.code == compiler::error_code::none; }
};

// Reads both texts and compiles them. Returns why a text could not be read.
std::optional<std::string> build_texts(const text_sources& sources, text_build& build);

// The parts of the page of one build: its own drawing when it has one worth
// showing, else the drawing of `last_clean`, greyed, when there is one.
viewer::page_parts page_of(const text_sources& sources, const text_build& build,
                           const text_build* last_clean);

}  // namespace builder
