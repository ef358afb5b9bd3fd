#pragma once
// The scenario model: the grid of 50 m track cells, the table of stations and
// parameters and the metre-by-metre track plan, and the settings a build is
// given. Field names, order and widths are those of the binary files the
// simulator loads; what the generic fields of a cell mean for each kind of
// object is told by the typed views of cell_views.h.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace compiler {

inline constexpr std::int32_t cell_length_m = 50;
inline constexpr std::int32_t grid_margin_m = 7000;
inline constexpr std::int32_t max_line_length_m = 1'000'000;
// The shortest line whose grid still reaches cell 1, where the build stores
// its fixed values: (L + 7000) / 50 must round to 1 or more. A negative
// length is otherwise taken as it is, with its 7000 m margin.
inline constexpr std::int32_t min_line_length_m = -6974;

// One 50 m stretch of line.
struct track_cell {
  std::uint8_t kind = 0;
  std::int16_t param1 = 0;
  std::int16_t param2 = 0;
  std::int16_t param3 = 0;
  std::int16_t param4 = 0;
  std::uint8_t signal_time = 0;
  std::uint8_t approach_mark = 0;
  std::uint8_t mountain_type = 0;
  std::uint8_t speed_limit = 0;  // units of 5 km/h
  std::uint8_t gradient = 0;     // per mille plus 100
  std::uint8_t adhesion = 0;     // percent
};

// What a cell's `kind` holds.
enum class cell_kind : std::uint8_t {
  free_track = 0,
  signal = 1,
  slowdown_end = 2,
  slowdown_start = 3,
  slowdown_warning = 4,
  warning_approach = 5,
  speed_boards = 6,
  station_stop = 10,
  tunnel_marker = 11,
  code_cut = 12,
  code_cut_without_code = 13,
  line_sign = 14,
};

inline constexpr std::uint8_t kind_value(cell_kind kind) { return static_cast<std::uint8_t>(kind); }

inline bool has_kind(const track_cell& cell, cell_kind kind) {
  return cell.kind == kind_value(kind);
}

// A cell is free for a new object when it holds nothing or only a tunnel
// marker.
inline bool is_free(const track_cell& cell) {
  return has_kind(cell, cell_kind::free_track) || has_kind(cell, cell_kind::tunnel_marker);
}

struct station_record {
  std::uint8_t station_type = 0;
  std::int32_t start = 0;
  std::int32_t finish = 0;
  std::int32_t position = 0;
  std::uint8_t flag_a = 0;
  std::string name;  // Windows-1252 bytes
  std::int16_t group1_a = 0;
  std::int16_t group1_b = 0;
  std::int16_t group2_a = 0;
  std::int16_t group2_b = 0;
  std::int16_t group2_c = 0;
  std::uint8_t group1_c = 0;
  std::uint8_t dwell = 0;
  std::uint8_t flag_c = 0;
  std::uint8_t flag_b = 0;
  std::int32_t departure_time = 0;
};

inline constexpr std::size_t station_slot_count = 87;
inline constexpr std::int32_t sign_slot_first = 80;        // signs take 80, 79, ... downward
inline constexpr std::size_t progressive_slot_first = 81;  // 81, 82, 83
inline constexpr std::size_t line_parameter_slot = 84;
inline constexpr std::size_t route_parameter_slot = 85;
inline constexpr std::size_t train_parameter_slot = 86;

struct station_table {
  std::array<station_record, station_slot_count> slots{};
};

// The cells 0 to G; empty until the line length has been read.
struct route_grid {
  std::vector<track_cell> cells;

  bool exists() const { return !cells.empty(); }
  // G, the index of the last cell.
  std::int32_t upper() const { return static_cast<std::int32_t>(cells.size()) - 1; }
};

// Type codes of the plan's tagged values, as written to the plan file.
enum class plan_tag : std::uint16_t { empty = 0, integer = 2, real = 5 };

// The track seen from above, one point per metre from 0 to `upper`. Points
// are computed in order from metre 0, so the tag of every element follows
// from `filled`: metres 0 and 1 hold 16-bit integers, metres 2 to filled - 1
// hold doubles, and the rest are empty.
struct track_plan {
  std::int32_t upper = -1;  // plan_upper; -1 while the plan does not exist
  std::vector<double> x;
  std::vector<double> y;
  std::int32_t filled = 0;

  bool exists() const { return upper >= 0; }
};

plan_tag plan_element_tag(const track_plan& plan, std::int32_t metre);

// What a build writes: the grid, the table and the plan. Nothing else lives
// here; how the texts were read, and what went wrong, is the journal's.
struct scenario_model {
  std::int32_t plan_upper = 0;  // L + 7000: the last metre of the plan
  route_grid grid;
  station_table stations;
  track_plan plan;
};

// What a build is asked to do. Passed in; the compile never changes it.
struct build_settings {
  std::string route_base_name;
  std::string train_number;
  std::filesystem::path directory;  // where the build writes and reads its files
  bool with_plan = true;            // build the track plan and write its file
};

// The scenario of the embedded build.
inline constexpr const char* embedded_route_base_name = "Vescara_Ormeda";
inline constexpr const char* embedded_train_number = "4816";

}  // namespace compiler
