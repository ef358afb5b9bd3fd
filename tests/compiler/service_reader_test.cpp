// The service half of the reading and the placement of signals and slowdowns.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler/compile.h"
#include "tests/test_support.h"

namespace {

using compiler::error_code;
using test_support::cell;
using test_support::compile;
using test_support::line_text;
using test_support::service_text;

test_support::compiled compile_service(std::initializer_list<std::string_view> rows,
                                       std::initializer_list<std::string_view> line_rows = {}) {
  return compile(line_text(line_rows), service_text(rows));
}

TEST(Signals, PackSidesTimeAndApproachMarkers) {
  struct signal_case {
    std::string row;
    std::size_t cell;
    std::int16_t p1, p2, p3, p4;
    std::uint8_t time;
    std::vector<std::pair<std::size_t, std::uint8_t>> marks;
  };
  const std::vector<signal_case> cases = {
      {"segnale,    9150,   2, 4, 0,  0, 0,    2,  2,0,0, 140", 184, 42, 0, 0, 8, 140,
       {{182, 81}, {180, 82}, {178, 83}, {176, 84}}},
      {"segnale,    1950,   2, 4, 0,  0, 0,    0,  0,0,0, 0", 40, 40, 0, 0, 6, 0,
       {{38, 61}, {36, 62}, {34, 63}, {32, 64}}},
      {"segnale,   61400,   2, 2, 3,  1, 1,    2,  2,1,1, 0", 1229, 22, 31, 11, 18, 0,
       {{1227, 81}, {1225, 82}, {1223, 83}, {1221, 84}}},
      {"segnale,   1000,   2, 1, 0,  0, 0,    0,  0,0,0, 50", 21, 10, 0, 0, 6, 101, {}},
      {"segnale,   1000,   1, 1, 0,  0, 0,    0,  0,0,0, 50", 21, 10, 0, 0, 3, 0,
       {{19, 31}, {17, 32}}},
      {"segnale,   1000,   2, 1, 0,  0, 0,    0,  0,0,0, 100", 21, 10, 0, 0, 6, 101, {}},
      {"segnale,   1000,   2, 1, 0,  0, 0,    0,  0,0,0, 255", 21, 10, 0, 0, 6, 255, {}},
      // Near the start of the line the markers before cell 0 are skipped.
      {"segnale,   100,   2, 1, 0,  0, 0,    0,  0,0,0, 0", 3, 10, 0, 0, 6, 0, {{1, 61}}},
  };
  for (const signal_case& c : cases) {
    const auto built = compile_service({c.row});
    EXPECT_EQ(built.result.error.code, error_code::none) << c.row;
    const auto& signal = cell(built, c.cell);
    EXPECT_EQ(signal.kind, 1) << c.row;
    EXPECT_EQ(signal.param1, c.p1) << c.row;
    EXPECT_EQ(signal.param2, c.p2) << c.row;
    EXPECT_EQ(signal.param3, c.p3) << c.row;
    EXPECT_EQ(signal.param4, c.p4) << c.row;
    EXPECT_EQ(signal.signal_time, c.time) << c.row;
    for (const auto& [index, mark] : c.marks) {
      EXPECT_EQ(cell(built, index).approach_mark, mark) << c.row << " cell " << index;
    }
  }

  // A signal replaces a tunnel marker; on a station stop it is error 16.
  const auto on_marker = compile_service({"segnale,   1100,   2, 1, 0,  0, 0,    0,  0,0,0, 0"},
                                         {"montagna,  1000,  2000,  11"});
  EXPECT_EQ(on_marker.result.error.code, error_code::none);
  EXPECT_EQ(cell(on_marker, 23).kind, 1);
  const auto on_stop = compile_service(
      {"stazione, 1000, 4, 200, 1,0,0, 0,0,0, 0,0,0, 0, 0,0,0, A",
       "segnale,   1000,   2, 1, 0,  0, 0,    0,  0,0,0, 0"});
  // Stop cell: finish 1100 / 50 - 1 = 21, the signal's cell 1000 / 50 + 1.
  EXPECT_EQ(on_stop.result.error.code, error_code::signal_cell_occupied);
  EXPECT_EQ(on_stop.result.error.position, 1000);
  EXPECT_EQ(cell(on_stop, 21).kind, 10);
}

TEST(Slowdowns, PlaceWarningStartEndAndApproachCells) {
  const auto embedded = compile_service({"rallentamento,   42150,    30,  250, 0,  0,  0"});
  EXPECT_EQ(embedded.result.error.code, error_code::none);
  EXPECT_EQ(cell(embedded, 820).kind, 4);
  EXPECT_EQ(cell(embedded, 820).param1, 30);
  EXPECT_EQ(cell(embedded, 844).kind, 3);
  EXPECT_EQ(cell(embedded, 844).param1, 30);
  EXPECT_EQ(cell(embedded, 844).param3, 0);
  EXPECT_EQ(cell(embedded, 849).kind, 2);
  EXPECT_EQ(cell(embedded, 849).param1, 30);
  for (std::size_t i = 816; i <= 819; ++i) EXPECT_EQ(cell(embedded, i).kind, 0) << i;

  const auto marked = compile_service({"rallentamento,   42150,    30,  250, 4,  1,  7"});
  EXPECT_EQ(marked.result.error.code, error_code::none);
  for (std::size_t k = 0; k < 4; ++k) {
    EXPECT_EQ(cell(marked, 819 - k).kind, 5);
    EXPECT_EQ(cell(marked, 819 - k).param1, static_cast<std::int16_t>(k + 1));
    EXPECT_EQ(cell(marked, 819 - k).param2, static_cast<std::int16_t>(k + 1));
  }
  for (std::size_t i : {820u, 844u, 849u}) EXPECT_EQ(cell(marked, i).param2, 7) << i;
  EXPECT_EQ(cell(marked, 844).param3, 4);
  EXPECT_EQ(cell(marked, 849).param3, 4);
  EXPECT_EQ(cell(marked, 820).param3, 0);

  // No warning up to 1500 m, even with f_ta; at 1550 m the warning is cell 8.
  const auto at_1500 = compile_service({"rallentamento,   1500,    30,  250, 0,  1,  0"});
  for (std::size_t i = 0; i <= 30; ++i) {
    EXPECT_NE(cell(at_1500, i).kind, 4) << i;
    EXPECT_NE(cell(at_1500, i).kind, 5) << i;
  }
  EXPECT_EQ(cell(at_1500, 31).kind, 3);
  const auto at_1550 = compile_service({"rallentamento,   1550,    30,  250, 0,  0,  0"});
  EXPECT_EQ(cell(at_1550, 8).kind, 4);

  // With l = 0 the end and start share a cell, which ends as the start.
  const auto zero_length = compile_service({"rallentamento,   42150,    30,  0, 0,  0,  0"});
  EXPECT_EQ(cell(zero_length, 844).kind, 3);
}

TEST(Slowdowns, OccupiedCellsGiveTheirOwnErrors) {
  struct slowdown_case {
    std::string name;
    std::vector<std::string> line_rows;
    error_code error;
    std::vector<std::pair<std::size_t, std::uint8_t>> kinds_after;
  };
  const std::string row = "rallentamento,   42150,    30,  250, 0,  1,  0";
  const std::vector<slowdown_case> cases = {
      {"warning", {"cartello_indicatore, 40950, (W)"}, error_code::slowdown_warning_occupied,
       {{844, 0}, {849, 0}}},
      {"start", {"cartello_indicatore, 42150, (S)"}, error_code::slowdown_start_occupied,
       {{820, 0}, {849, 0}}},
      {"end", {"cartello_indicatore, 42400, (E)"}, error_code::slowdown_end_occupied,
       {{820, 0}, {844, 0}}},
      // The end, start and warning stay written when a cell ahead is taken.
      {"ahead of the warning", {"cartello_indicatore, 40850, (A)"},
       error_code::warning_approach_occupied, {{820, 4}, {844, 3}, {849, 2}, {819, 0}}},
  };
  for (const slowdown_case& c : cases) {
    const auto built = compile(line_text(c.line_rows), service_text({row}));
    EXPECT_EQ(built.result.error.code, c.error) << c.name;
    EXPECT_EQ(built.result.error.position, 42150) << c.name;
    for (const auto& [index, kind] : c.kinds_after) {
      EXPECT_EQ(cell(built, index).kind, kind) << c.name << " cell " << index;
    }
  }
  // A slowdown ending past the grid, or starting before the line, is refused.
  EXPECT_EQ(compile_service({"rallentamento,   70000,    30,  2000, 0,  0,  0"}).result.error.code,
            error_code::position_beyond_grid);
  EXPECT_EQ(compile_service({"rallentamento,   -100,    30,  200, 0,  0,  0"}).result.error.code,
            error_code::position_beyond_grid);
}

TEST(Stations, AreasStopCellsAndApproachMarks) {
  const auto first = compile_service(
      {"stazione,       0,  4,  900,  1, 0, 1,  4,1,1,  2,1,1,    1,  15,18, 0, VESCARA",
       "stazione,    4700, 22,  300,  1, 1, 1,  4,1,1,  2,1,1,    0,   0, 0, 0, FORNACE",
       "stazione,    9000,  5,  300,  1, 1, 1,  0,0,0,  0,0,0,    0,   0, 0, 0, CINQUE",
       "stazione,   12000, 25,  200,  0, 0, 0,  0,0,0,  0,0,0,    0,   0, 0, 0, BIVIO",
       "stazione,   15000,  7,  600,  0, 1, 1,  0,0,0,  0,0,0,    0,   0, 0, 0, SETTE"});
  ASSERT_EQ(first.result.error.code, error_code::none);
  const auto& slots = first.model.stations.slots;
  // Slot 1: the 50 m of flag_c stay in finish, then both flags are cleared.
  EXPECT_EQ(slots[1].start, -450);
  EXPECT_EQ(slots[1].finish, 500);
  EXPECT_EQ(slots[1].flag_b, 0);
  EXPECT_EQ(slots[1].flag_c, 0);
  EXPECT_EQ(slots[1].departure_time, (15 * 60 + 18) * 60);
  EXPECT_EQ(slots[1].name, "VESCARA");
  EXPECT_EQ(slots[1].dwell, 1);
  EXPECT_EQ(cell(first, 9).kind, 10);
  EXPECT_EQ(cell(first, 9).param1, 1);
  for (std::size_t k = 1; k <= 4; ++k) {
    EXPECT_EQ(cell(first, 9 - k).approach_mark, 80 + k) << k;
  }
  // Type 22 at 4700, 300 m, flag_c 1: 4550 to 4900, stop 97, flag_b cleared.
  EXPECT_EQ(slots[2].start, 4550);
  EXPECT_EQ(slots[2].finish, 4900);
  EXPECT_EQ(slots[2].flag_b, 0);
  EXPECT_EQ(slots[2].flag_c, 1);
  EXPECT_EQ(cell(first, 97).kind, 10);
  EXPECT_EQ(cell(first, 97).param1, 2);
  for (std::size_t i = 93; i <= 96; ++i) EXPECT_EQ(cell(first, i).approach_mark, 80 + 97 - i);
  // Type 5: P - len to P + 150, stop cell, no approach marks.
  EXPECT_EQ(slots[3].start, 8700);
  EXPECT_EQ(slots[3].finish, 9150);
  EXPECT_EQ(slots[3].flag_c, 0);
  EXPECT_EQ(cell(first, 182).kind, 10);
  EXPECT_EQ(cell(first, 181).approach_mark, 0);
  // Type 25: a record but no cell.
  EXPECT_EQ(slots[4].start, 11900);
  EXPECT_EQ(slots[4].finish, 12100);
  EXPECT_EQ(cell(first, 241).kind, 0);
  EXPECT_EQ(cell(first, 240).approach_mark, 0);
  // Type 7: P - len to P + len, flag_c cleared, flag_b kept at 600 m.
  EXPECT_EQ(slots[5].start, 14400);
  EXPECT_EQ(slots[5].finish, 15600);
  EXPECT_EQ(slots[5].flag_c, 0);
  EXPECT_EQ(slots[5].flag_b, 1);
}

TEST(Stations, ErrorsStopTheReadingWhereTheyArise) {
  struct station_case {
    std::string name;
    std::vector<std::string> rows;
    error_code error;
    std::int32_t position;
    std::uint8_t type_read;
  };
  const std::vector<station_case> cases = {
      // The position check comes before the type is read.
      {"position not a multiple of 50",
       {"stazione, 1010, 4, 200, 1,0,0, 0,0,0, 0,0,0, 0, 0,0,0, A"},
       error_code::station_position_not_multiple_of_50, 1010, 0},
      {"length not a multiple of 100", {"stazione, 1000, 4, 250, 1,0,0, 0,0,0, 0,0,0, 0, 0,0,0, A"},
       error_code::station_length_not_multiple_of_100, 1000, 4},
      {"349 m apart",
       {"stazione, 1000, 4, 200, 1,0,0, 0,0,0, 0,0,0, 0, 0,0,0, A",
        "stazione, 1550, 4, 200, 1,0,0, 0,0,0, 0,0,0, 0, 0,0,0, B"},
       error_code::none, 0, 4},
      {"300 m apart",
       {"stazione, 1000, 4, 200, 1,0,0, 0,0,0, 0,0,0, 0, 0,0,0, A",
        "stazione, 1500, 4, 200, 1,0,0, 0,0,0, 0,0,0, 0, 0,0,0, B"},
       error_code::stations_too_close, 1500, 4},
      {"stop before the line", {"stazione, 0, 4, 100, 1,0,0, 0,0,0, 0,0,0, 0, 0,0,0, A"},
       error_code::station_stop_before_line, 0, 4},
      {"beyond the grid", {"stazione, 69750, 4, 100, 1,0,0, 0,0,0, 0,0,0, 0, 0,0,0, A"},
       error_code::position_beyond_grid, 69750, 0},
      {"stop beyond the grid", {"stazione, 60000, 4, 30000, 1,0,0, 0,0,0, 0,0,0, 0, 0,0,0, A"},
       error_code::position_beyond_grid, 60000, 4},
  };
  for (const station_case& c : cases) {
    const auto built = compile(line_text(std::vector<std::string>{}), service_text(c.rows));
    EXPECT_EQ(built.result.error.code, c.error) << c.name;
    if (c.error != error_code::none) {
      EXPECT_EQ(built.result.error.position, c.position) << c.name;
    }
    const std::size_t slot = c.rows.size();
    EXPECT_EQ(built.model.stations.slots[slot].station_type, c.type_read) << c.name;
  }
  // 350 m between areas passes: A ends at 1100, B starts at 1450.
  const auto spaced = compile_service({"stazione, 1000, 4, 200, 1,0,0, 0,0,0, 0,0,0, 0, 0,0,0, A",
                                       "stazione, 1550, 4, 200, 1,0,0, 0,0,0, 0,0,0, 0, 0,0,0, B"});
  EXPECT_EQ(spaced.result.error.code, error_code::none);
  EXPECT_EQ(spaced.model.stations.slots[2].start - spaced.model.stations.slots[1].finish, 350);
}

TEST(Stations, SlotsStopBelowTheSignSlots) {
  auto stations = [](int count) {
    std::string rows;
    for (int i = 0; i < count; ++i) {
      rows += "stazione, " + std::to_string(1000 + i * 800) +
              ", 4, 200, 1,0,0, 0,0,0, 0,0,0, 0, 0,0,0, S" + std::to_string(i + 1) + "\r\n";
    }
    return "[generale]\r\n" + rows + "[fine]\r\n";
  };
  const auto seventy_eight = compile(line_text({}), stations(78));
  EXPECT_EQ(seventy_eight.result.error.code, error_code::none);
  // The station in slot 79 is stored whole, then error 10 is recorded.
  const auto seventy_nine = compile(line_text({}), stations(80));
  EXPECT_EQ(seventy_nine.result.error.code, error_code::station_slots_exhausted);
  EXPECT_EQ(seventy_nine.model.stations.slots[79].name, "S79");
  EXPECT_EQ(seventy_nine.model.stations.slots[80].name, "");
  // With one sign, the station in slot 78 meets the sign slots.
  const auto with_sign = compile(line_text({"cartello_indicatore, 70000, (X)"}), stations(80));
  EXPECT_EQ(with_sign.result.error.code, error_code::station_slots_exhausted);
  EXPECT_EQ(with_sign.model.stations.slots[78].name, "S78");
  EXPECT_EQ(with_sign.model.stations.slots[79].name, "");
  EXPECT_EQ(with_sign.model.stations.slots[80].name, "(X)");
}

TEST(ServiceReader, ProfilesAndTrainParameters) {
  const auto built = compile_service(
      {"numero vetture,    14", "PERCENTUALE MASSA FRENATA,    105", "sabbia,    300",
       "orologio,    15              17            15 ", "velocita,       0,    80",
       "velocita,     650,   130", "velocita,    2000,   82", "velocita,    3000,   88",
       "aderenza,   0,    100", "aderenza,   1000,    82"});
  ASSERT_EQ(built.result.error.code, error_code::none);
  const auto& slots = built.model.stations.slots;
  EXPECT_EQ(slots[84].position, 14);
  EXPECT_EQ(slots[84].start, 105);
  EXPECT_EQ(slots[86].group1_a, 300);
  EXPECT_EQ(slots[86].group2_a, 15);
  EXPECT_EQ(slots[86].group2_b, 17);
  EXPECT_EQ(slots[86].group2_c, 15);
  const std::int32_t g = built.model.grid.upper();
  for (std::int32_t i = 0; i <= g; ++i) {
    const auto& c = cell(built, static_cast<std::size_t>(i));
    const int speed = i <= 12 ? 16 : i < 40 ? 26 : i < 60 ? 16 : i <= g - 3 ? 18 : 0;
    const int adhesion = i < 20 ? 100 : i <= g - 3 ? 82 : 0;
    ASSERT_EQ(c.speed_limit, speed) << "cell " << i;
    ASSERT_EQ(c.adhesion, adhesion) << "cell " << i;
  }
  // Before a first row that does not start at 0 the profiles hold 0.
  const auto late = compile_service({"velocita, 500, 80", "aderenza, 500, 90"});
  EXPECT_EQ(cell(late, 9).speed_limit, 0);
  EXPECT_EQ(cell(late, 9).adhesion, 0);
  EXPECT_EQ(cell(late, 10).speed_limit, 16);
  EXPECT_EQ(cell(late, 10).adhesion, 90);
  // A speed whose fifth does not fit a byte cannot be stored.
  EXPECT_EQ(compile_service({"velocita, 0, 1278", "velocita, 100, 80"}).result.error.code,
            error_code::reading_failure);
}

TEST(ServiceReader, CodeCuts) {
  struct cut_case {
    std::string row;
    std::uint8_t kind;
    std::int16_t code;
  };
  const std::vector<cut_case> cases = {
      {"abbattimento,   60550,   3", 12, 3},
      {"abbattimento,   60550,   AC", 13, 0},
      {"abbattimento,   60550,   0", 13, 0},
      {"abbattimento,   60550,   -4", 13, 0},
      {"ABBATTIMENTO,   60550,   270", 12, 270},
  };
  for (const cut_case& c : cases) {
    const auto built = compile_service({c.row});
    EXPECT_EQ(built.result.error.code, error_code::none) << c.row;
    EXPECT_EQ(cell(built, 1211).kind, c.kind) << c.row;
    EXPECT_EQ(cell(built, 1211).param1, c.code) << c.row;
  }
  const auto occupied = compile_service({"abbattimento, 60550, 3"}, {"cartello_indicatore, 60500, (X)"});
  EXPECT_EQ(occupied.result.error.code, error_code::code_cut_cell_occupied);
  EXPECT_EQ(occupied.result.error.position, 60550);
}

TEST(ServiceReader, TextRulesAndExitPaths) {
  // Without "[generale]" nothing is taken and nothing is wrong.
  const auto unmarked = compile(line_text({}), test_support::text_of({"numero vetture, 14", "x"}));
  EXPECT_EQ(unmarked.result.error.code, error_code::none);
  EXPECT_EQ(unmarked.model.stations.slots[84].position, 0);
  EXPECT_EQ(cell(unmarked, 0).speed_limit, 0);

  // A comma in a station name cuts it; the rest is read as a keyword field.
  const auto comma = compile_service(
      {"stazione, 1000, 4, 200, 1,0,0, 0,0,0, 0,0,0, 0, 0,0,0, PIAZZA, sabbia, 7"});
  EXPECT_EQ(comma.model.stations.slots[1].name, "PIAZZA");
  EXPECT_EQ(comma.model.stations.slots[86].group1_a, 7);

  // A missing service text is a reading failure; the line text is consumed.
  const auto missing = compile(line_text({}), std::nullopt);
  EXPECT_EQ(missing.result.error.code, error_code::reading_failure);
  EXPECT_TRUE(missing.result.disposal.delete_line);
  EXPECT_FALSE(missing.result.disposal.delete_service);

  // A progressive change not on a multiple of 50 is found at the very end.
  const auto progressive = compile(
      test_support::text_of({"[generale]", "lunghezza percorso, 63500",
                             "progressiva chilometrica uno, 24510, 35000, 1", "[curve]", "[fine]"}),
      service_text({"numero vetture, 3"}));
  EXPECT_EQ(progressive.result.error.code, error_code::progressive_not_multiple_of_50);
  EXPECT_EQ(progressive.model.stations.slots[84].position, 3);
}

TEST(ServiceReader, AnErrorFifteenOfTheLineEndsAtTheFirstPlacedRow) {
  const auto built = compile(
      line_text({"pendenza, 70401, 0"}),
      service_text({"velocita, 0, 80", "stazione, 1000, 4, 200, 1,0,0, 0,0,0, 0,0,0, 0, 0,0,0, A",
                    "abbattimento, 3000, 5", "segnale, 5000, 2, 1, 0, 0, 0, 0, 0,0,0, 0",
                    "velocita, 8000, 100"}));
  EXPECT_EQ(built.result.error.code, error_code::position_beyond_grid);
  EXPECT_EQ(built.result.error.position, 5000);
  EXPECT_EQ(built.model.stations.slots[1].name, "A");
  EXPECT_EQ(cell(built, 60).kind, 12);
  EXPECT_EQ(cell(built, 101).kind, 1);  // the signal was placed before the test
  // The completions did not run: the speed profile stops where its rows left it.
  EXPECT_EQ(cell(built, 0).speed_limit, 0);
  EXPECT_TRUE(built.result.disposal.delete_service);
}

}  // namespace
