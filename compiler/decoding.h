#pragma once
// The three binary files read back into the model, for inspecting a build
// and for viewing it. The files carry no header, count or version, so a
// decoder knows a file only by its name and checks that its size and content
// can be such a file; anything else is refused with the reason.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compiler/little_endian.h"
#include "compiler/model.h"
#include "scenario/status.h"

namespace compiler {

enum class output_file_kind : std::uint8_t { track_plan, station_table, route_grid };

// "_linea.dat" is a track plan, any other ".dat" a cell grid and ".sim" a
// scenario table; letter case is ignored. Nothing for any other name.
std::optional<output_file_kind> output_file_kind_of(std::string_view file_name);

std::string_view output_file_kind_name(output_file_kind kind);

// Bounds that follow from a line length of -6974 to 1000000 m.
inline constexpr std::size_t min_grid_cells = 2;  // cells 0 and 1, for the shortest line
inline constexpr std::size_t max_grid_cells =
    (max_line_length_m + grid_margin_m) / cell_length_m + 1;
inline constexpr std::size_t min_plan_metres = min_line_length_m + grid_margin_m + 1;
inline constexpr std::size_t max_plan_metres = max_line_length_m + grid_margin_m + 1;

// The most bytes a file of the kind can have: the files of the longest line,
// with every name as long as its length field allows and every plan element a
// real. A larger file is refused before it is read.
std::uint64_t max_file_size(output_file_kind kind);

// Each decoder fills its result from the bytes, or fails saying why the bytes
// cannot be a file of its kind.

// ".dat": 15 bytes a cell, cells 0 to G.
scenario::status decode_route_grid(std::string_view bytes, route_grid& grid);

// ".sim": 87 records of 34 bytes plus their names, and nothing after them.
scenario::status decode_station_table(std::string_view bytes, station_table& table);

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

scenario::status decode_track_plan(std::string_view bytes, decoded_plan& plan);

// The plan file as the viewer draws it: checked once, then read point by
// point where it lies, since the points of a long line are 16 MB that would
// be written once and read once.
struct plan_point {
  double x = 0.0;
  double y = 0.0;
};

// The bytes of a plan element of each type: the type code and its value.
constexpr std::size_t plan_element_size(plan_tag tag) {
  return tag == plan_tag::real ? 10 : tag == plan_tag::integer ? 4 : 2;
}

// Elements of one type in a row: a plan written by a build is six such runs,
// two integers, the reals and the empty tail of each half. A real that is
// not a finite number starts a run of its own, since it cannot be drawn.
struct plan_run {
  plan_tag tag = plan_tag::empty;
  bool finite = true;      // false: reals that are infinite or not a number
  std::size_t first = 0;   // index of its first element, 0 to 2 × metres - 1
  std::size_t offset = 0;  // byte offset of its first element
  double low = 0.0;        // the bounds of its values, when they are finite numbers
  double high = 0.0;
};

struct plan_points {
  std::string_view bytes;      // the checked file, kept by the caller
  std::size_t metres = 0;      // metres 0 to plan_upper
  std::vector<plan_run> runs;  // in the order of the file
  // How many metres from 0 on hold both coordinates, as finite numbers.
  std::size_t drawable = 0;
  // The bounds of the drawable points; all 0 when there is none.
  double min_x = 0.0;
  double max_x = 0.0;
  double min_y = 0.0;
  double max_y = 0.0;

  // The index of the element after run `run`, the run that holds an
  // element, and the byte offset of an element of run `run`.
  std::size_t run_end(std::size_t run) const;
  std::size_t run_of(std::size_t element) const;
  std::size_t offset_of(std::size_t run, std::size_t element) const {
    const plan_run& r = runs[run];
    return r.offset + (element - r.first) * plan_element_size(r.tag);
  }
};

// The same checks and reasons as decode_track_plan. `plan` refers to `bytes`
// afterwards: they must outlive its use.
scenario::status decode_plan_points(std::string_view bytes, plan_points& plan);

namespace detail {

// The value of the element at `element`, which holds a value of type `tag`
// after its 2-byte type code; an empty element reads as 0.
template <plan_tag tag>
double plan_value_at(const char* element) {
  if constexpr (tag == plan_tag::real) {
    return get_f64(std::string_view(element, 10), 2);
  } else if constexpr (tag == plan_tag::integer) {
    return get_i16(std::string_view(element, 4), 2);
  } else {
    return 0.0;
  }
}

inline double plan_value_at(const char* element, plan_tag tag) {
  switch (tag) {
    case plan_tag::real:
      return plan_value_at<plan_tag::real>(element);
    case plan_tag::integer:
      return plan_value_at<plan_tag::integer>(element);
    case plan_tag::empty:
      break;
  }
  return 0.0;
}

// `count` metres whose two coordinates lie in runs of one type each: a plain
// strided loop, with the types known at compile time.
template <plan_tag x_tag, plan_tag y_tag, typename Visit>
void visit_plan_block(const char* x, const char* y, std::size_t count, Visit& visit) {
  constexpr std::size_t x_step = plan_element_size(x_tag);
  constexpr std::size_t y_step = plan_element_size(y_tag);
  for (std::size_t k = 0; k < count; ++k) {
    visit(plan_point{plan_value_at<x_tag>(x + k * x_step), plan_value_at<y_tag>(y + k * y_step)});
  }
}

template <plan_tag x_tag, typename Visit>
void visit_plan_block(plan_tag y_tag, const char* x, const char* y, std::size_t count,
                      Visit& visit) {
  switch (y_tag) {
    case plan_tag::real:
      return visit_plan_block<x_tag, plan_tag::real>(x, y, count, visit);
    case plan_tag::integer:
      return visit_plan_block<x_tag, plan_tag::integer>(x, y, count, visit);
    case plan_tag::empty:
      return visit_plan_block<x_tag, plan_tag::empty>(x, y, count, visit);
  }
}

}  // namespace detail

// Calls `visit` with the points of metres 0 to `count` - 1 of a decoded
// plan, in order, read where they lie in its bytes; an empty element reads
// as 0. The runs tell each element's type, so the walk never waits on a type
// code to find the next value.
template <typename Visit>
void for_each_plan_point(const plan_points& plan, std::size_t count, Visit&& visit) {
  count = std::min(count, plan.metres);
  if (count == 0) return;
  std::size_t x_run = 0;
  std::size_t y_run = plan.run_of(plan.metres);
  std::size_t m = 0;
  while (m < count) {
    const plan_run& xr = plan.runs[x_run];
    const plan_run& yr = plan.runs[y_run];
    const std::size_t x_element = m;
    const std::size_t y_element = plan.metres + m;
    const std::size_t block =
        std::min({count - m, plan.run_end(x_run) - x_element, plan.run_end(y_run) - y_element});
    const char* x = plan.bytes.data() + plan.offset_of(x_run, x_element);
    const char* y = plan.bytes.data() + plan.offset_of(y_run, y_element);
    switch (xr.tag) {
      case plan_tag::real:
        detail::visit_plan_block<plan_tag::real>(yr.tag, x, y, block, visit);
        break;
      case plan_tag::integer:
        detail::visit_plan_block<plan_tag::integer>(yr.tag, x, y, block, visit);
        break;
      case plan_tag::empty:
        detail::visit_plan_block<plan_tag::empty>(yr.tag, x, y, block, visit);
        break;
    }
    m += block;
    if (x_element + block == plan.run_end(x_run)) ++x_run;
    if (y_element + block == plan.run_end(y_run)) ++y_run;
  }
}

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
