#pragma once
// Small helpers shared by the tests: texts made of rows, compiles in memory,
// temporary directories.

#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "builder/commands/build_sequence.h"
#include "compiler/compile.h"
#include "compiler/decoding.h"
#include "compiler/model.h"

namespace test_support {

// The rows joined with CR LF after each, as the writers put them on disk.
std::string text_of(std::initializer_list<std::string_view> rows);

// A line text with a general section of the given length, the rows after it,
// and the closing "[fine]".
std::string line_text(std::initializer_list<std::string_view> rows,
                      std::string_view length_row = "lunghezza percorso,    63500");

// A service text with "[generale]", the rows and "[fine]".
std::string service_text(std::initializer_list<std::string_view> rows);

// The same for rows kept in a container.
std::string text_of(const std::vector<std::string>& rows);
std::string line_text(const std::vector<std::string>& rows);
std::string service_text(const std::vector<std::string>& rows);

// What the command line answered: its exit status and both streams.
struct run_result {
  builder::exit_status status;
  std::string out;
  std::string err;
};

// Runs the command line on `args`, as the program does past its name.
run_result run_command(const std::vector<std::string>& args);

// What a compile in memory gives: the model, the journal and the result.
struct compiled {
  compiler::scenario_model model;
  compiler::journal log;
  compiler::compile_result result;
  compiler::description_texts texts;
};

// Cell i of a compiled grid (checked against its bounds).
inline const compiler::track_cell& cell(const compiled& c, std::size_t i) {
  return c.model.grid.cells.at(i);
}

// Compiles the two texts in memory with the embedded names, with the track
// plan or without it.
compiled compile(std::optional<std::string> line, std::optional<std::string> service,
                 bool with_plan = true);

// How many rows of a keyword the journal holds.
std::size_t rows_read(const compiler::journal& log, compiler::row_keyword keyword);

// The reports of a compile, formatted, with the texts named L_linea.txt and
// L_4816-.txt: what the journal holds, and what reading on past the build's
// stop finds.
std::vector<std::string> reports(const compiled& c);

// The embedded texts, as the build writes them.
std::string embedded_line_text();
std::string embedded_service_text();

// A fresh empty directory under the system's temporary directory, removed
// with its content when the object goes.
class temporary_directory {
 public:
  temporary_directory();
  ~temporary_directory();
  temporary_directory(const temporary_directory&) = delete;
  temporary_directory& operator=(const temporary_directory&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// How many metres from 0 on a plan read by the inspecting decoder can be
// drawn: up to the first whose either coordinate is missing or is not a
// finite number. Worked out apart from the viewer's own decoder.
std::size_t drawable_metres(const compiler::decoded_plan& plan);

std::string read_file(const std::filesystem::path& path);
void write_file(const std::filesystem::path& path, std::string_view bytes);

}  // namespace test_support
