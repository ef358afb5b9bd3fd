#pragma once
// The inspect subcommand: the three binary files of a build decoded into an
// aligned table, or into JSON for tools.

#include <cstdint>
#include <iosfwd>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "builder/commands/exit_status.h"
#include "compiler/decoding.h"
#include "scenario/status.h"

namespace builder {

struct inspect_options {
  std::vector<std::string> files;
  bool json = false;
  bool csv = false;      // a grid's cells as comma-separated values
  bool objects = false;  // only the grid cells that hold an object
  std::string cells;     // "A..B": the cells of a grid to show
  std::string kind;      // a kind number or name: only grid cells of that kind
  std::string slots;     // "A..B": the slots of a table to show
  // The line and service texts the grid was compiled from: each cell then
  // names the text line that put its object there.
  std::vector<std::string> source;
};

// An inclusive range of indices, written "A..B", "A..", "..B" or "A".
struct index_range {
  std::int64_t first = 0;
  std::int64_t last = std::numeric_limits<std::int64_t>::max();

  bool contains(std::int64_t i) const { return i >= first && i <= last; }
};

std::optional<index_range> parse_index_range(std::string_view text);

// A kind given by its number or its name ("signal", "speed-boards",
// "station", "station-stop", ...).
std::optional<std::uint8_t> parse_kind(std::string_view text);

// What inspect shows of `bytes` as a file of `kind` named `file`, with
// `--cells` and `--slots` as given: its table and its JSON, or a failure
// saying why it cannot be such a file (the other two are then empty).
struct inspection {
  std::string text;
  std::string json;
  scenario::status outcome;
};
inspection inspect_file_bytes(const std::string& file, compiler::output_file_kind kind,
                              std::string_view bytes, index_range cells = {},
                              index_range slots = {});

exit_status run_inspect_command(const inspect_options& options, std::ostream& out,
                                std::ostream& err);

}  // namespace builder
