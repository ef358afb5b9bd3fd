#pragma once
// The three binary files read back into the model, for inspecting a build
// and for viewing it. The files carry no header, count or version, so a
// decoder knows a file only by its name and checks that its size and content
// can be such a file; anything else is refused with the reason.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compiler/model.h"

namespace compiler {

enum class output_file_kind : std::uint8_t { track_plan, station_table, route_grid };

// "_linea.dat" is a track plan, any other ".dat" a cell grid and ".sim" a
// scenario table; letter case is ignored. Nothing for any other name.
std::optional<output_file_kind> output_file_kind_of(std::string_view file_name);

std::string_view output_file_kind_name(output_file_kind kind);

// Why the bytes cannot be a file of the kind; nothing when they were decoded.
using decode_status = std::optional<std::string>;

// Bounds that follow from a line length of 0 to 1000000 m.
inline constexpr std::size_t min_grid_cells = (grid_margin_m / cell_length_m) + 1;
inline constexpr std::size_t max_grid_cells =
    (max_line_length_m + grid_margin_m) / cell_length_m + 1;
inline constexpr std::size_t min_plan_metres = grid_margin_m + 1;
inline constexpr std::size_t max_plan_metres = max_line_length_m + grid_margin_m + 1;

// ".dat": 15 bytes a cell, cells 0 to G.
decode_status decode_route_grid(std::string_view bytes, route_grid& grid);

// ".sim": 87 records of 34 bytes plus their names, and nothing after them.
decode_status decode_station_table(std::string_view bytes, station_table& table);

// One tagged value of the plan file.
struct plan_value {
  plan_tag tag = plan_tag::empty;
  double value = 0.0;  // a 16-bit integer is held here as a double too
};

// The plan file: the first coordinates of metres 0 to plan_upper, then the
// second ones.
struct decoded_plan {
  std::vector<plan_value> x;
  std::vector<plan_value> y;
};

decode_status decode_track_plan(std::string_view bytes, decoded_plan& plan);

// The plan file as the viewer draws it: both coordinates of each metre side
// by side, without the type codes, which are half the size of a decoded_plan
// for a line that is drawn and not inspected.
struct plan_point {
  double x = 0.0;
  double y = 0.0;
};

struct plan_points {
  std::vector<plan_point> metres;  // metres 0 to plan_upper; an empty element reads as 0
  std::size_t drawable = 0;        // how many metres from 0 on hold both coordinates
};

// The same checks and reasons as decode_track_plan.
decode_status decode_plan_points(std::string_view bytes, plan_points& plan);

// What a decoded plan amounts to.
struct plan_summary {
  std::size_t metres = 0;  // plan_upper + 1
  std::size_t empty = 0;   // elements of each type, both halves together
  std::size_t integers = 0;
  std::size_t reals = 0;
  std::size_t points = 0;  // metres whose two coordinates both hold a value
  double length = 0.0;     // along the points, metre after metre
  double min_x = 0.0, max_x = 0.0, min_y = 0.0, max_y = 0.0;  // over the points
};

plan_summary summarize_plan(const decoded_plan& plan);

// The word for a cell's `kind`: "signal", "speed boards", ...; "unknown" for
// a code the compiler never stores.
std::string_view kind_name(std::uint8_t kind);

// A number of a cell or a table slot under the name the tools show it by.
struct named_field {
  std::string_view name;
  std::int64_t value = 0;
};

// Every field of the cell, in the order the grid file holds them.
std::array<named_field, 11> cell_fields(const track_cell& cell);

// Every number of a table slot, in the order the table file holds them (the
// name, which stands between flag_a and group1_a, is not a number).
std::array<named_field, 15> slot_fields(const station_record& record);

// True when any field of the cell, or of the slot, is not zero or empty.
bool holds_anything(const track_cell& cell);
bool holds_anything(const station_record& record);

// What a slot of the table holds: "station", "sign text", "progressive
// change", "line and train", "route", "train", or "unused" for slot 0.
std::string_view slot_role(std::size_t slot, const station_record& record);

}  // namespace compiler
