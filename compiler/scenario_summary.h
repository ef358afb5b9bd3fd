#pragma once
// One screen of what a scenario is: its length, its stations, the steepest
// gradients and sharpest curves with where they are, the speed limits by
// stretch, its tunnels, signals and slowdowns. Read from the rows that make
// the model, so a build and the texts it came from give the same summary.

#include <cstdint>
#include <string>
#include <vector>

#include "compiler/model.h"

namespace compiler {

// A stretch of line from `from` to `to` metres with one value.
struct summary_stretch {
  std::int64_t from = 0;
  std::int64_t to = 0;
  std::int64_t value = 0;
};

struct summary_station {
  std::int32_t position = 0;
  std::int32_t type = 0;
  std::string name;       // Windows-1252 bytes, as the table holds it
  std::string departure;  // "08:14:00"
  std::int32_t dwell = 0;  // seconds
};

struct summary_curve {
  std::int64_t from = 0;  // the first metre it turns
  std::int64_t to = 0;
  std::int32_t curve_class = 0;
  bool negative_sense = false;
  std::int64_t radius_m = 0;  // 1 / curvature
};

struct summary_slowdown {
  std::int64_t from = 0;
  std::int64_t to = 0;
  std::int32_t speed = 0;  // km/h
};

struct scenario_summary {
  std::string route_base_name;
  std::string train_number;
  std::int32_t length_m = 0;
  std::vector<summary_station> stations;
  std::vector<summary_stretch> steepest_gradients;  // per mille, steepest first, at most 3
  std::vector<summary_curve> sharpest_curves;       // sharpest first, at most 3
  std::vector<summary_stretch> speed_limits;        // km/h, along the line
  std::vector<summary_stretch> tunnels;             // the value is the tunnel's type
  std::vector<std::int64_t> signals;                // positions
  std::vector<summary_slowdown> slowdowns;
};

inline constexpr std::size_t summary_extremes = 3;

scenario_summary summarize(const scenario_model& model);

}  // namespace compiler
