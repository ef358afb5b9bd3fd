// The signal protection pass, the final checks and the competition codes.

#include "compiler/protection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler/competition_codes.h"
#include "tests/test_support.h"

namespace {

using compiler::cell_kind;
using compiler::error_code;

constexpr std::uint8_t signal = 1;
constexpr std::uint8_t slowdown_end = 2;
constexpr std::uint8_t slowdown_start = 3;
constexpr std::uint8_t warning = 4;
constexpr std::uint8_t boards = 6;
constexpr std::uint8_t marker = 11;
constexpr std::uint8_t code_cut = 12;

// A grid laid out cell by cell, as no text could lay it out, and the journal
// the pass writes to.
struct grid_run {
  compiler::scenario_model model;
  compiler::journal log;
};

grid_run grid_of(std::size_t cells) {
  grid_run state;
  state.model.grid.cells.assign(cells, compiler::track_cell{});
  return state;
}

void protect(grid_run& state) { compiler::protect_slowdowns(state.model, state.log); }

void put(grid_run& state, std::size_t i, std::uint8_t kind, std::int16_t param1 = 0) {
  state.model.grid.cells.at(i).kind = kind;
  state.model.grid.cells.at(i).param1 = param1;
}

// The cells that hold a protection point (kind 12 with 180).
std::vector<std::size_t> protection_points(const grid_run& state) {
  std::vector<std::size_t> points;
  for (std::size_t i = 0; i < state.model.grid.cells.size(); ++i) {
    const auto& c = state.model.grid.cells[i];
    if (c.kind == code_cut && c.param1 == 180) points.push_back(i);
  }
  return points;
}

TEST(ProtectionPass, LeavesAGridWithoutSlowdownsAsItWas) {
  grid_run state = grid_of(200);
  put(state, 10, signal, 42);
  put(state, 11, code_cut, 270);
  put(state, 50, boards, 1600);
  put(state, 60, marker);
  const auto before = state.model.grid.cells;
  protect(state);
  for (std::size_t i = 0; i < before.size(); ++i) {
    EXPECT_EQ(state.model.grid.cells[i].kind, before[i].kind) << i;
    EXPECT_EQ(state.model.grid.cells[i].param1, before[i].param1) << i;
  }
  EXPECT_EQ(state.log.recorded().code, error_code::none);
}

TEST(ProtectionPass, SignalsBeforeAWarning) {
  struct warning_case {
    std::string name;
    std::size_t warning_cell;
    std::vector<std::pair<std::size_t, std::uint8_t>> cells;  // kind per cell, param1 270 for 12
    std::vector<std::size_t> points;
    std::vector<std::pair<std::size_t, std::int16_t>> params;
    error_code error = error_code::none;
    std::int32_t position = 0;
  };
  const std::vector<warning_case> cases = {
      {"20 cells before is treated", 100, {{80, signal}}, {79}, {}},
      {"21 cells before is not", 100, {{79, signal}}, {}, {}},
      {"every signal, nearest first", 100, {{90, signal}, {95, signal}}, {89, 94}, {}},
      {"taken s-1 moves the point to s-2", 100, {{90, signal}, {89, boards}}, {88}, {}},
      {"a free s-2 is preferred to a code cut at s-1",
       100,
       {{90, signal}, {89, code_cut}},
       {88},
       {{89, 270}}},
      {"a code cut at s-1 is lowered", 100, {{90, signal}, {89, code_cut}, {88, boards}}, {89}, {}},
      {"a code cut at s-2 is lowered", 100, {{90, signal}, {89, boards}, {88, code_cut}}, {88}, {}},
      {"a tunnel marker counts as free", 100, {{90, signal}, {89, marker}}, {89}, {}},
      {"no room in front of the signal",
       100,
       {{90, signal}, {89, boards}, {88, boards}},
       {},
       {},
       error_code::signal_before_warning_unprotected,
       4500},
      {"a warning at cell 3 looks at nothing", 3, {{2, signal}, {1, 0}}, {}, {}},
      {"a warning at cell 4 looks only at cell 3", 4, {{3, signal}}, {2}, {}},
  };
  for (const warning_case& c : cases) {
    grid_run state = grid_of(200);
    put(state, c.warning_cell, warning, 30);
    for (const auto& [index, kind] : c.cells) put(state, index, kind, kind == code_cut ? 270 : 0);
    protect(state);
    EXPECT_EQ(protection_points(state), c.points) << c.name;
    for (const auto& [index, value] : c.params) {
      EXPECT_EQ(state.model.grid.cells[index].param1, value) << c.name << " cell " << index;
    }
    EXPECT_EQ(state.log.recorded().code, c.error) << c.name;
    if (c.error != error_code::none) {
      EXPECT_EQ(state.log.recorded().position, c.position) << c.name;
    }
  }

  // The smaller code is kept: a code cut below 180.
  grid_run low = grid_of(200);
  put(low, 100, warning, 30);
  put(low, 90, signal);
  put(low, 89, code_cut, 75);
  put(low, 88, boards);
  protect(low);
  EXPECT_EQ(low.model.grid.cells[89].param1, 75);
  EXPECT_EQ(compiler::smaller_code(180, 180), 180);
  EXPECT_EQ(compiler::smaller_code(180, 270), 180);
  EXPECT_EQ(compiler::smaller_code(180, -3), -3);
}

TEST(ProtectionPass, PointsBeforeASlowdownStart) {
  struct start_case {
    std::size_t start;
    std::vector<std::size_t> points;
  };
  // A slowdown of 110 km/h: no walk inside it, only the look-back groups.
  const std::vector<start_case> cases = {
      {7, {}},
      {8, {3}},
      {14, {3, 9}},
      {21, {3, 10, 16}},
  };
  for (const start_case& c : cases) {
    grid_run state = grid_of(200);
    put(state, c.start, slowdown_start, 110);
    put(state, c.start + 4, slowdown_end, 110);
    protect(state);
    EXPECT_EQ(protection_points(state), c.points) << "start " << c.start;
  }
  // The first free cell of each group is taken; a full group is error 12.
  grid_run state = grid_of(200);
  put(state, 100, slowdown_start, 110);
  put(state, 104, slowdown_end, 110);
  put(state, 95, boards);
  for (std::size_t i : {87u, 88u, 89u}) put(state, i, boards);
  protect(state);
  EXPECT_EQ(protection_points(state), (std::vector<std::size_t>{82, 94}));
  EXPECT_EQ(state.log.recorded().code, error_code::slowdown_approach_unprotected);
  EXPECT_EQ(state.log.recorded().position, 5000);
}

TEST(ProtectionPass, PointsThroughASlowSlowdown) {
  struct body_case {
    std::string name;
    std::int16_t speed;
    std::size_t end;
    std::vector<std::pair<std::size_t, std::uint8_t>> taken;
    std::vector<std::size_t> inside;  // points between the start and the end + 1
    error_code error = error_code::none;
    std::int32_t position = 0;
  };
  const std::vector<body_case> cases = {
      {"every 8 cells at 109 km/h", 109, 130, {}, {108, 116, 124}},
      {"none at 110 km/h", 110, 130, {}, {}},
      {"a taken cell moves the point back and the count with it",
       30,
       130,
       {{108, boards}},
       {107, 115, 123}},
      {"then forward, counting from the point",
       30,
       130,
       {{108, boards}, {107, boards}},
       {109, 117, 125}},
      {"end cell exactly 8 cells after the start", 30, 108, {}, {107}},
      {"and its cell before taken", 30, 108, {{107, boards}}, {109}},
      {"no room: error 13 and no further point",
       30,
       130,
       {{107, boards}, {108, boards}, {109, boards}},
       {},
       error_code::slowdown_spacing_unprotected,
       5400},
  };
  for (const body_case& c : cases) {
    grid_run state = grid_of(300);
    put(state, 100, slowdown_start, c.speed);
    put(state, c.end, slowdown_end, c.speed);
    for (const auto& [index, kind] : c.taken) put(state, index, kind);
    protect(state);
    std::vector<std::size_t> inside;
    for (std::size_t point : protection_points(state)) {
      if (point > 100 && point <= c.end + 1) inside.push_back(point);
    }
    EXPECT_EQ(inside, c.inside) << c.name;
    EXPECT_EQ(state.log.recorded().code, c.error) << c.name;
    if (c.error != error_code::none) {
      EXPECT_EQ(state.log.recorded().position, c.position) << c.name;
    }
  }
}

TEST(ProtectionPass, FirstSignalAfterTheSlowdown) {
  struct after_case {
    std::string name;
    std::int16_t speed;
    std::vector<std::pair<std::size_t, std::uint8_t>> cells;
    std::vector<std::size_t> after;  // points beyond the end cell
    error_code error = error_code::none;
    std::int32_t position = 0;
  };
  // The slowdown runs from cell 100 to cell 104.
  const std::vector<after_case> cases = {
      {"signal 12 cells after the end", 30, {{116, signal}}, {115}},
      {"signal 13 cells after the end is out of reach", 30, {{117, signal}}, {}},
      {"only the first signal", 30, {{110, signal}, {114, signal}}, {109}},
      {"its cell before taken", 30, {{110, signal}, {109, boards}}, {108}},
      {"an existing code cut is not lowered, only counts as taken",
       30,
       {{110, signal}, {109, code_cut}, {108, boards}},
       {},
       error_code::slowdown_spacing_unprotected,
       5200},
      {"a fast slowdown searches from its end cell", 120, {{116, signal}}, {115}},
  };
  for (const after_case& c : cases) {
    grid_run state = grid_of(300);
    put(state, 100, slowdown_start, c.speed);
    put(state, 104, slowdown_end, c.speed);
    for (const auto& [index, kind] : c.cells) put(state, index, kind, kind == code_cut ? 270 : 0);
    protect(state);
    std::vector<std::size_t> after;
    for (std::size_t point : protection_points(state)) {
      if (point > 104) after.push_back(point);
    }
    EXPECT_EQ(after, c.after) << c.name;
    EXPECT_EQ(state.log.recorded().code, c.error) << c.name;
    if (c.error != error_code::none) {
      EXPECT_EQ(state.log.recorded().position, c.position) << c.name;
    }
  }

  // Error 13 inside the slowdown does not stop the search after it.
  grid_run state = grid_of(300);
  put(state, 100, slowdown_start, 30);
  put(state, 120, slowdown_end, 30);
  for (std::size_t i : {107u, 108u, 109u}) put(state, i, boards);
  put(state, 125, signal);
  protect(state);
  EXPECT_EQ(state.log.recorded().code, error_code::slowdown_spacing_unprotected);
  EXPECT_EQ(state.model.grid.cells[124].kind, code_cut);
}

TEST(ProtectionPass, StaysInsideTheGrid) {
  // A slowdown without an end cell, at the very end of the grid.
  // The walk stops at the last cell and the search looks no further.
  grid_run state = grid_of(40);
  put(state, 30, slowdown_start, 30);
  put(state, 39, signal);
  protect(state);
  EXPECT_EQ(state.model.grid.cells.size(), 40u);
  // Besides the three look-back points, the walk and the search stop at G.
  EXPECT_EQ(protection_points(state), (std::vector<std::size_t>{12, 19, 25, 37, 38}));

  // Nothing to pass over without a grid.
  grid_run empty;
  protect(empty);
  EXPECT_EQ(empty.log.recorded().code, error_code::none);
}

TEST(FinalChecks, FixedValuesAndCompetitionCodes) {
  const auto built =
      test_support::compile(test_support::line_text({}), test_support::service_text({}));
  ASSERT_EQ(built.result.outcome, compiler::compile_outcome::complete);
  EXPECT_EQ(built.model.grid.cells[1].param1, 5121);
  // "4816vescara_ormeda" + "aabbccd": 211 + 1468 + 688.
  EXPECT_EQ(built.model.grid.cells[1].param2, 2367);
  // The same 25 codes weighted 1 to 25.
  EXPECT_EQ(built.model.stations.slots[85].departure_time, 32426);
  EXPECT_EQ(built.model.stations.slots[85].group1_a, 610);

  struct fatal_case {
    std::string row;
    error_code fatal;
  };
  const std::vector<fatal_case> cases = {
      // A board at 0 m sits in cell 1 with a packed speed in param1.
      {"indicatori_vmax, 0, 80, 80, 80, 0, , , , 0", error_code::fixed_values_taken},
      // A signal at 0 m with s1 = d1 = 0 but s2 = 1 leaves only param2 set.
      {"segnale, 0, 2, 0, 1, 0, 0, 0, 0,0,0, 0", error_code::competition_codes_taken},
  };
  for (const fatal_case& c : cases) {
    const bool line_row = c.row.rfind("indicatori", 0) == 0;
    const auto failed = test_support::compile(
        line_row ? test_support::line_text({c.row}) : test_support::line_text({}),
        line_row ? test_support::service_text({}) : test_support::service_text({c.row}));
    EXPECT_EQ(failed.result.outcome, compiler::compile_outcome::fatal_error) << c.row;
    EXPECT_EQ(failed.result.fatal, c.fatal) << c.row;
  }
}

TEST(CompetitionCodes, WorkedExamplesAndEdgeCases) {
  struct code_case {
    std::string train, route;
    std::int16_t plain;
    std::int32_t weighted;
  };
  const std::vector<code_case> cases = {
      {"12", "Ab", 2437, 33416},
      {"12", "AB", 2437, 33416},  // the key is lower-cased
      {"", "", 2583, 34355},      // the filler alone, less its last letter
  };
  // The train number stands in slot 86 and the route in slot 85.
  const auto table_of = [](const std::string& train, const std::string& route) {
    compiler::station_table table;
    table.slots[86].name = train;
    table.slots[85].name = route;
    return table;
  };
  for (const code_case& c : cases) {
    const compiler::station_table table = table_of(c.train, c.route);
    EXPECT_EQ(compiler::plain_competition_code(table), c.plain) << c.train << c.route;
    EXPECT_EQ(compiler::weighted_competition_code(table), c.weighted) << c.train << c.route;
  }
  // Swapping the names keeps the plain code for short names only.
  const compiler::station_table a = table_of("12", "Ab");
  const compiler::station_table b = table_of("Ab", "12");
  EXPECT_EQ(compiler::plain_competition_code(a), compiler::plain_competition_code(b));
  EXPECT_NE(compiler::weighted_competition_code(a), compiler::weighted_competition_code(b));
  // A 26th character of the names changes neither code.
  const compiler::station_table long1 = table_of("1234567890", "abcdefghijklmnopX");
  const compiler::station_table long2 = table_of("1234567890", "abcdefghijklmnoY");
  EXPECT_EQ(compiler::plain_competition_code(long1), compiler::plain_competition_code(long2));
  EXPECT_EQ(compiler::weighted_competition_code(long1), compiler::weighted_competition_code(long2));
}

}  // namespace
