// The rules where a habit and the files part ways: a cell index is its whole
// floating expression rounded once, a field that fails ends the reading at
// that field, and text and number fields are cut literally.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace {

using compiler::error_code;
using compiler::track_cell;
using test_support::cell;
using test_support::compile;
using test_support::line_text;
using test_support::service_text;

struct cell_value {
  std::size_t index;
  std::uint8_t track_cell::*field;
  std::uint8_t value;
};

constexpr auto kind = &track_cell::kind;

// Each object at an odd multiple of 25 m, where rounding p / 50 before adding
// the constant would move it by a cell, and at a multiple of 50 beside it.
TEST(CellIndex, TheWholeExpressionIsRoundedOnce) {
  struct index_case {
    std::string name;
    std::vector<std::string> line_rows;
    std::vector<std::string> service_rows;
    std::vector<cell_value> expected;
    error_code error = error_code::none;
  };
  const std::vector<index_case> cases = {
      {"sign 8575: 172.5",
       {"cartello_indicatore, 8575, (A)"},
       {},
       {{172, kind, 14}, {173, kind, 0}}},
      {"sign 10525: 211.5",
       {"cartello_indicatore, 10525, (A)"},
       {},
       {{212, kind, 14}, {211, kind, 0}}},
      {"sign 8600", {"cartello_indicatore, 8600, (A)"}, {}, {{173, kind, 14}}},
      {"speed boards 13275: 266.5",
       {"indicatori_vmax, 13275, 80, 80, 80, 0, , , , 0"},
       {},
       {{266, kind, 6}, {267, kind, 0}}},
      {"speed boards 13300",
       {"indicatori_vmax, 13300, 80, 80, 80, 0, , , , 0"},
       {},
       {{267, kind, 6}}},
      {"tunnel end 32525: 649.5",
       {"montagna, 32000, 32525, 1"},
       {},
       {{640, &track_cell::mountain_type, 1},
        {650, &track_cell::mountain_type, 1},
        {651, &track_cell::mountain_type, 0}}},
      {"tunnel bounds 31975 and 32575: 639.5 and 650.5",
       {"montagna, 31975, 32575, 1"},
       {},
       {{639, &track_cell::mountain_type, 0},
        {640, &track_cell::mountain_type, 1},
        {650, &track_cell::mountain_type, 1},
        {651, &track_cell::mountain_type, 0}}},
      {"gradient from 625: 12.5",
       {"pendenza, 0, 0", "pendenza, 625, 5"},
       {},
       {{11, &track_cell::gradient, 100}, {12, &track_cell::gradient, 105}}},
      {"signal 10525: 211.5 and its approach marks",
       {},
       {"segnale, 10525, 2, 4, 0, 0, 0, 0, 0,0,0, 0"},
       {{212, kind, 1},
        {211, kind, 0},
        {210, &track_cell::approach_mark, 61},
        {204, &track_cell::approach_mark, 64},
        {203, &track_cell::approach_mark, 0}}},
      {"signal 10550",
       {},
       {"segnale, 10550, 2, 4, 0, 0, 0, 0, 0,0,0, 0"},
       {{212, kind, 1}, {210, &track_cell::approach_mark, 61}}},
      {"slowdown 42175 over 250: warning 820.5, start 844.5, end 849.5",
       {},
       {"rallentamento, 42175, 30, 250, 0, 0, 0"},
       {{820, kind, 4},
        {844, kind, 3},
        {850, kind, 2},
        {821, kind, 0},
        {845, kind, 0},
        {849, kind, 0}}},
      {"slowdown 42150 over 250",
       {},
       {"rallentamento, 42150, 30, 250, 0, 0, 0"},
       {{820, kind, 4}, {844, kind, 3}, {849, kind, 2}}},
      // The cells ahead of the warning count from (x - 1200) / 50 = 819.5,
      // which rounds onto the warning's own cell: the first of them is taken.
      {"slowdown 42175 with its four warning cells",
       {},
       {"rallentamento, 42175, 30, 250, 0, 1, 0"},
       {{820, kind, 4}, {819, kind, 0}},
       error_code::warning_approach_occupied},
      {"slowdown 42150 with its four warning cells",
       {},
       {"rallentamento, 42150, 30, 250, 0, 1, 0"},
       {{820, kind, 4}, {819, kind, 5}, {816, kind, 5}}},
      {"code cut 625: 12.5", {}, {"abbattimento, 625, 3"}, {{12, kind, 12}, {13, kind, 0}}},
      {"code cut 675: 13.5", {}, {"abbattimento, 675, 3"}, {{14, kind, 12}}},
      {"speed from 875: 17.5",
       {},
       {"velocita, 0, 80", "velocita, 875, 100"},
       {{17, &track_cell::speed_limit, 16}, {18, &track_cell::speed_limit, 20}}},
      {"adhesion from 925: 18.5",
       {},
       {"aderenza, 0, 100", "aderenza, 925, 80"},
       {{17, &track_cell::adhesion, 100}, {18, &track_cell::adhesion, 80}}},
  };
  for (const index_case& c : cases) {
    const auto built = compile(line_text(c.line_rows), service_text(c.service_rows));
    EXPECT_EQ(built.result.error.code, c.error) << c.name;
    for (const cell_value& e : c.expected) {
      EXPECT_EQ(cell(built, e.index).*e.field, e.value) << c.name << ", cell " << e.index;
    }
  }
}

// A number out of range, or a value asked for after the text ended, records
// error 25 and ends the reading at that field: the values before it that go
// straight into a record stay, nothing after it is stored, and no later row
// is read.
TEST(FieldFailure, NothingAfterTheFailingFieldIsStored) {
  struct failure_case {
    std::string name;
    std::string line;
    std::string service;
    std::function<void(const test_support::compiled&)> check;
  };
  const std::string line = line_text(std::vector<std::string>{});
  const std::vector<failure_case> cases = {
      {"clock hours past an Integer", line, service_text({"orologio, 99999 51 31"}),
       [](const auto& b) {
         const auto& train = b.model.stations.slots[86];
         EXPECT_EQ(train.group2_a, 0);
         EXPECT_EQ(train.group2_b, 0);
         EXPECT_EQ(train.group2_c, 0);
       }},
      {"a station flag of 300", line,
       service_text({"stazione, 1000, 4, 400, 300, 1, 0, 4,1,1, 2,1,1, 60, 15,18,0, A",
                     "numero vetture, 14"}),
       [](const auto& b) {
         const auto& station = b.model.stations.slots[1];
         EXPECT_EQ(station.position, 1000);
         EXPECT_EQ(station.station_type, 4);
         EXPECT_EQ(station.flag_a, 0);
         EXPECT_EQ(station.group1_a, 0);
         EXPECT_EQ(station.dwell, 0);
         EXPECT_EQ(station.departure_time, 0);
         EXPECT_EQ(station.finish, 0);
         EXPECT_EQ(station.name, "");
         EXPECT_EQ(b.model.stations.slots[84].position, 0);
         EXPECT_EQ(cell(b, 23).kind, 0);
       }},
      {"a station dwell of 256 keeps the groups before it", line,
       service_text({"stazione, 1000, 4, 400, 1, 1, 0, 4,1,1, 2,1,1, 256, 15,18,0, A"}),
       [](const auto& b) {
         const auto& station = b.model.stations.slots[1];
         EXPECT_EQ(station.flag_a, 1);
         EXPECT_EQ(station.group2_c, 1);
         EXPECT_EQ(station.dwell, 0);
         EXPECT_EQ(station.departure_time, 0);
       }},
      {"progressive reference past a Long",
       test_support::text_of({"[generale]", "lunghezza percorso, 63500",
                              "progressiva chilometrica uno, 24500, 99999999999, 1",
                              "sfondo uno, 7", "[curve]", "[fine]"}),
       service_text({}),
       [](const auto& b) {
         EXPECT_EQ(b.model.stations.slots[83].start, 0);
         EXPECT_EQ(b.model.stations.slots[85].start, 0);
       }},
      {"a row's last value asked for after the text ended", line,
       "[generale]\r\nnumero vetture, 14\r\nvelocita, 650",
       [](const auto& b) { EXPECT_EQ(b.model.stations.slots[84].position, 14); }},
      {"a sign whose text is asked for after the text ended",
       "[generale]\r\nlunghezza percorso, 63500\r\n[curve]\r\ncartello_indicatore, 650,", "",
       [](const auto& b) { EXPECT_EQ(cell(b, 14).kind, 0); }},
  };
  for (const failure_case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto built = compile(c.line, c.service);
    EXPECT_EQ(built.result.error.code, error_code::reading_failure);
    c.check(built);
  }
}

// A station takes the slot at the next sign slot, which no sign holds yet,
// and only then is the meeting recorded; the slot of a sign is never taken.
TEST(FieldRules, StationSlotsNamesAndNumbersAsWritten) {
  auto signs = [](int count) {
    std::vector<std::string> rows;
    for (int i = 0; i < count; ++i) {
      rows.push_back("cartello_indicatore, " + std::to_string(20000 + i * 100) + ", (S" +
                     std::to_string(i + 1) + ")");
    }
    return line_text(rows);
  };
  const std::string station = "stazione, 1000, 4, 400, 1, 1, 0, 4,1,1, 2,1,1, 60, 15,18,0, A";
  const auto below_79 = compile(signs(79), service_text({station}));
  EXPECT_EQ(below_79.result.error.code, error_code::station_slots_exhausted);
  EXPECT_EQ(below_79.model.stations.slots[1].name, "A");
  EXPECT_EQ(below_79.model.stations.slots[1].departure_time, 55080);
  EXPECT_EQ(cell(below_79, 23).kind, 10);
  const auto below_80 = compile(signs(80), service_text({station}));
  EXPECT_EQ(below_80.result.error.code, error_code::station_slots_exhausted);
  EXPECT_EQ(below_80.model.stations.slots[1].name, "(S80)");
  EXPECT_EQ(cell(below_80, 23).kind, 0);

  // Trailing blanks of a name or a sign text are part of it; decimal numbers
  // read as their value rounded half to even.
  const auto literal = compile(
      line_text({"cartello_indicatore, 650, (PONTE)  ", "pendenza, 0, 2.5", "pendenza, 1e3, -3.5"}),
      service_text({"stazione, 1000, 4, 400, 1, 1, 0, 4,1,1, 2,1,1, 60.5, 15,18,0, VESCARA  ",
                    "numero vetture, 13.5"}));
  EXPECT_EQ(literal.result.error.code, error_code::none);
  EXPECT_EQ(literal.model.stations.slots[80].name, "(PONTE)  ");
  EXPECT_EQ(literal.model.stations.slots[1].name, "VESCARA  ");
  EXPECT_EQ(literal.model.stations.slots[1].dwell, 60);
  EXPECT_EQ(literal.model.stations.slots[84].position, 14);
  EXPECT_EQ(cell(literal, 19).gradient, 102);
  EXPECT_EQ(cell(literal, 20).gradient, 96);
}

}  // namespace
