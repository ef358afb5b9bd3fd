#pragma once
// The one way from an author's two texts to a result, for every command that
// compiles texts: the names of the build, given or told from the texts' file
// names and checked; the texts, read whole through the file module; their
// compile; and the one report an author is told, with the errors found by
// reading on where the build stopped. What is done with the result (files
// written, a page drawn, texts deleted) is the caller's.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "compiler/compile.h"
#include "compiler/diagnostics.h"
#include "compiler/journal.h"
#include "compiler/model.h"
#include "scenario/status.h"

namespace compiler {

// The two texts of a compile, and the names of its build.
struct text_sources {
  std::filesystem::path line_text;
  std::filesystem::path service_text;
  std::optional<std::string> route;  // nothing: told from the line text's file name
  std::optional<std::string> train;  // nothing: told from the service text's file name
};

// The route base name and train number of `sources`: given, or told from the
// texts' file names, and each checked. A failure says what to give instead.
scenario::status name_the_build(const text_sources& sources, std::string& route,
                                std::string& train);

// How the texts are taken.
struct text_reading {
  // A missing text is no failure: it is compiled as missing, and the reader
  // records that. For the texts a build has just written itself.
  bool missing_is_compiled = false;
  // The texts' names in the report; empty: their paths as given.
  text_names shown_as;
};

// Everything a compile of the texts gives.
struct texts_compiled {
  build_settings settings;  // the caller's, with the build's names
  description_texts texts;
  scenario_model model;
  journal log;
  compile_result result;
  std::vector<diagnostic> report;  // the author report, second pass included
};

// Names the build, reads both texts and compiles them with `settings` (its
// directory and plan; its names are replaced by those of the build). A
// failure means nothing was compiled: names that cannot be told or are not
// allowed, texts given the wrong way round, or a text that cannot be read
// ("cannot read the line text: PATH: REASON").
scenario::status compile_texts(const text_sources& sources, const build_settings& settings,
                               texts_compiled& compiled, const text_reading& reading = {});

}  // namespace compiler
