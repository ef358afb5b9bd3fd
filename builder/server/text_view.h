#pragma once
// An author's two texts compiled in memory for the page: the drawing of the
// files the compile would write, and what its journal tells. Shared by
// `view` of texts and by `serve`.

#include <optional>
#include <string>

#include "compiler/compile.h"
#include "compiler/compile_texts.h"
#include "scenario/status.h"
#include "viewer/build_notes.h"
#include "viewer/route_files.h"
#include "viewer/route_page.h"

namespace builder {

struct text_build {
  std::string route;
  std::string train;
  compiler::compile_result result;
  viewer::build_notes notes;
  // The files the compile would write, read back as `view --dir` reads
  // them; nothing when it would write none.
  std::optional<viewer::route_view> view;

  // Complete, with no error recorded: a drawing worth keeping.
  bool clean() const { return view.has_value() && result.error.code == compiler::error_code::none; }
};

// Compiles the texts as `compile` does (compiler::compile_texts) and draws
// what it would write. A failure is that of compile_texts: nothing to draw.
scenario::status build_texts(const compiler::text_sources& sources, text_build& build);

// The parts of the page of one build: its own drawing when it has one worth
// showing, else the drawing of `last_clean`, greyed, when there is one.
viewer::page_parts page_of(const text_build& build, const text_build* last_clean);

}  // namespace builder
