// The line half of the reading and the placement of the line's elements.

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler/compile.h"
#include "compiler/line_elements.h"
#include "tests/test_support.h"

namespace {

using compiler::error_code;
using test_support::cell;
using test_support::compile;
using test_support::line_text;
using test_support::service_text;

test_support::compiled compile_line(std::initializer_list<std::string_view> rows,
                                    std::string_view length_row = "lunghezza percorso,    63500") {
  return compile(line_text(rows, length_row), service_text({}));
}

TEST(LineReader, GridAndPlanAreSizedFromTheLineLength) {
  struct size_case {
    std::string length_row;
    std::int32_t plan_upper;
    std::int32_t grid_upper;
  };
  const std::vector<size_case> cases = {
      {"lunghezza percorso,    63500", 70500, 1410},
      {"lunghezza percorso,    25", 7025, 140},  // 140.5 rounds to the even 140
      {"lunghezza percorso,    75", 7075, 142},  // 141.5 rounds to the even 142
      {"LUNGHEZZA PERCORSO,    0", 7000, 140},   // the length row ignores letter case
      {"lunghezza percorso,    1000000", 1007000, 20140},
  };
  for (const size_case& c : cases) {
    const auto built = compile_line({}, c.length_row);
    EXPECT_EQ(built.result.error.code, error_code::none) << c.length_row;
    EXPECT_EQ(built.model.plan_upper, c.plan_upper) << c.length_row;
    EXPECT_EQ(built.model.grid.upper(), c.grid_upper) << c.length_row;
    EXPECT_EQ(built.model.plan.upper, c.plan_upper) << c.length_row;
    // Metres plan_upper - 1 and plan_upper stay empty.
    EXPECT_EQ(built.model.plan.filled, c.plan_upper - 1) << c.length_row;
    EXPECT_EQ(built.model.stations.slots[84].finish, std::stoi(c.length_row.substr(22)));
  }
}

TEST(LineReader, GradientCursorFillsCellsUpToEachRow) {
  const auto built = compile_line({"pendenza,  0,   0", "pendenza,  600,   1", "pendenza,  700,   2"});
  const std::int32_t g = built.model.grid.upper();
  for (std::int32_t i = 0; i <= g; ++i) {
    const int expected = i <= 11 ? 100 : i <= 13 ? 101 : i <= g - 3 ? 102 : 0;
    ASSERT_EQ(cell(built, static_cast<std::size_t>(i)).gradient, expected) << "cell " << i;
  }

  // Negative gradients wrap into a byte.
  const auto steep = compile_line({"pendenza,  0,   -17", "pendenza,  100,   -101"});
  EXPECT_EQ(cell(steep, 0).gradient, 83);
  EXPECT_EQ(cell(steep, 1).gradient, 83);
  EXPECT_EQ(cell(steep, 2).gradient, 255);

  // Two rows in one cell: the second still writes the cell at the cursor
  // with the first row's value, and the cursor ends one cell beyond.
  const auto same_cell =
      compile_line({"pendenza,  500,   3", "pendenza,  510,   5", "pendenza,  600,  7"});
  for (std::size_t i = 0; i <= 9; ++i) EXPECT_EQ(cell(same_cell, i).gradient, 100) << i;
  EXPECT_EQ(cell(same_cell, 10).gradient, 103);
  EXPECT_EQ(cell(same_cell, 11).gradient, 105);
  EXPECT_EQ(cell(same_cell, 12).gradient, 107);

  // Rows out of order advance one cell each and never pass the grid.
  std::string many = "[generale]\r\nlunghezza percorso, 0\r\n[x]\r\n";
  for (int i = 0; i < 400; ++i) many += "pendenza, 6850, 1\r\npendenza, 0, 2\r\n";
  many += "[fine]\r\n";
  const auto disordered = compile(many, service_text({}));
  EXPECT_EQ(disordered.result.error.code, error_code::none);
  EXPECT_EQ(disordered.model.grid.upper(), 140);
}

TEST(LineReader, CurvesExtendThePlanInDoublePrecision) {
  const auto straight = compile_line({});
  const auto& plan = straight.model.plan;
  for (std::size_t m : {0u, 1u, 2u, 1000u, 70498u}) {
    EXPECT_EQ(plan.x[m], 0.0) << m;
    EXPECT_EQ(plan.y[m], static_cast<double>(m)) << m;
  }

  const auto bent = compile_line({"curvad4,  1,  1"});
  EXPECT_DOUBLE_EQ(bent.model.plan.x[2], 0.001);
  EXPECT_DOUBLE_EQ(bent.model.plan.y[2], 2.0);
  EXPECT_DOUBLE_EQ(bent.model.plan.x[3], 0.002);
  EXPECT_DOUBLE_EQ(bent.model.plan.y[3], 3.0);
  EXPECT_DOUBLE_EQ(bent.model.plan.x[4], 0.003);
  EXPECT_DOUBLE_EQ(bent.model.plan.y[4], 4.0);

  struct class_case {
    std::string row;
    double first_step_x;  // x of metre 2 for a curve starting at metre 1
  };
  const std::vector<class_case> classes = {
      {"curvas4,  1,  1", -0.001}, {"curvad1,  1,  1", 0.0001}, {"curvad2,  1,  1", 0.0002},
      {"curvad3,  1,  1", 0.0004}, {"curvaS5,  1,  1", -0.002}, {"curvad6,  1,  1", 0.003},
      {"curvad21,  1,  1", 0.0001},  // "1" is tested before "2"
  };
  for (const class_case& c : classes) {
    const auto built = compile_line({c.row});
    EXPECT_EQ(built.result.error.code, error_code::none) << c.row;
    EXPECT_DOUBLE_EQ(built.model.plan.x[2], c.first_step_x) << c.row;
  }

  EXPECT_EQ(compile_line({"curva,  900,  100"}).result.error.code, error_code::curve_invalid);
  // A curve whose end passes the plan's last metre is refused whole.
  const auto too_long = compile_line({"curvad4,  1000,  69501"});
  EXPECT_EQ(too_long.result.error.code, error_code::curve_invalid);
  EXPECT_EQ(too_long.model.plan.filled, 2);
  // Without a plan the curve row is not acted upon.
  const auto no_plan = compile(line_text({"curva,  900,  100"}), service_text({}), 0);
  EXPECT_EQ(no_plan.result.error.code, error_code::none);
  EXPECT_FALSE(no_plan.model.plan.exists());
}

TEST(LineElements, ProgressiveRowsAreOrderedBySectionStart) {
  struct row3 {
    std::int32_t start, finish, position;
    bool operator==(const row3&) const = default;
  };
  struct order_case {
    std::string name;
    row3 t, d, u;          // as read into slots 81, 82, 83
    row3 s81, s82, s83;    // after the ordering
  };
  const std::vector<order_case> cases = {
      {"embedded rows keep their slots", {55500, 60300, 1}, {34950, 57000, 1}, {24500, 35000, 1},
       {55500, 60400, 1}, {34950, 57100, 1}, {24500, 35100, 1}},
      {"only uno", {0, 0, 0}, {0, 0, 0}, {24500, 35000, 1}, {24500, 35100, 1}, {0, 0, 0},
       {0, 0, 0}},
      {"reversed starts", {10000, 1, 2}, {20000, 2, 2}, {30000, 3, 2}, {30000, 3, 2},
       {20000, 2, 2}, {10000, 1, 2}},
      {"two greatest starts place nothing", {40000, 1, 1}, {40000, 2, 1}, {20000, 3, 1},
       {0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
      {"tie below the greatest prefers uno", {50000, 1, 0}, {10000, 2, 0}, {10000, 3, 0},
       {50000, 1, 0}, {10000, 3, 0}, {10000, 2, 0}},
      {"starts all 0, uno has a finish", {0, 0, 0}, {0, 0, 0}, {0, 35000, 1}, {0, 35100, 1},
       {0, 0, 0}, {0, 0, 0}},
      {"starts all 0, tre and due have finishes: due wins", {0, 5, 0}, {0, 7, 0}, {0, 0, 0},
       {0, 7, 0}, {0, 5, 0}, {0, 0, 0}},
      {"starts all 0, no finish", {0, 0, 3}, {0, 0, 4}, {0, 0, 5}, {0, 0, 0}, {0, 0, 0},
       {0, 0, 0}},
      {"flag 2 keeps the reference", {30000, 500, 2}, {20000, 400, 2}, {10000, 300, 2},
       {30000, 500, 2}, {20000, 400, 2}, {10000, 300, 2}},
      // A reference that cannot take its 100 m fails the reading there.
      {"reference at the top of a Long", {30000, 500, 1}, {20000, 2147483600, 1},
       {10000, 300, 1}, {30000, 600, 1}, {20000, 2147483600, 1}, {10000, 300, 1}},
  };
  for (const order_case& c : cases) {
    std::string text = "[generale]\r\nlunghezza percorso, 63500\r\n";
    for (auto [name, row] : {std::pair{"tre", c.t}, std::pair{"due", c.d}, std::pair{"uno", c.u}}) {
      text += fmt::format("progressiva chilometrica {}, {}, {}, {}\r\n", name, row.start,
                          row.finish, row.position);
    }
    const auto built = compile(text + "[curve]\r\n[fine]\r\n", service_text({}));
    const auto& slots = built.model.stations.slots;
    auto got = [&](std::size_t slot) {
      return row3{slots[slot].start, slots[slot].finish, slots[slot].position};
    };
    EXPECT_TRUE(got(81) == c.s81) << c.name << " slot 81";
    EXPECT_TRUE(got(82) == c.s82) << c.name << " slot 82";
    EXPECT_TRUE(got(83) == c.s83) << c.name << " slot 83";
  }
}

TEST(LineElements, TunnelsTakeTypesMarkersAndTheGapRule) {
  const auto built = compile_line(
      {"montagna,   29150,  32500,  11", "montagna,   37100,  40000,  11",
       "montagna,   40100,  41800,  11", "montagna,   45000,  45400,  1",
       "montagna,   48000,  48000,  12", "montagna,   50000,  51000,  12"});
  EXPECT_EQ(built.result.error.code, error_code::none);
  EXPECT_EQ(test_support::rows_read(built.log, compiler::row_keyword::tunnel), 6u);
  for (std::size_t i = 583; i <= 649; ++i) {
    EXPECT_EQ(cell(built, i).mountain_type, 1) << i;
    EXPECT_EQ(cell(built, i).kind, (i - 583 + 1) % 4 == 0 ? 11 : 0) << i;
  }
  EXPECT_EQ(cell(built, 582).mountain_type, 0);
  EXPECT_EQ(cell(built, 650).mountain_type, 0);
  // 100 m after the previous tunnel: type 3, markers still from its first cell.
  for (std::size_t i = 802; i <= 835; ++i) {
    EXPECT_EQ(cell(built, i).mountain_type, 3) << i;
    EXPECT_EQ(cell(built, i).kind, (i - 802 + 1) % 4 == 0 ? 11 : 0) << i;
  }
  // Type 1: no markers.
  for (std::size_t i = 900; i <= 907; ++i) {
    EXPECT_EQ(cell(built, i).mountain_type, 1) << i;
    EXPECT_EQ(cell(built, i).kind, 0) << i;
  }
  // An end not beyond the start: listed, no cell written.
  EXPECT_EQ(cell(built, 960).mountain_type, 0);
  EXPECT_EQ(cell(built, 1000).mountain_type, 2);

  // A tunnel over an earlier board writes its type and leaves the kind.
  const auto over_board =
      compile_line({"indicatori_vmax,  1000,  80,  80,  80,  0,  ,  ,  ,  0", "montagna,  900,  1500,  11"});
  EXPECT_EQ(cell(over_board, 21).kind, 6);
  EXPECT_EQ(cell(over_board, 21).mountain_type, 1);
}

TEST(LineElements, TunnelListHoldsEightyTunnels) {
  auto rows_of = [](int count) {
    std::string text = "[generale]\r\nlunghezza percorso, 63500\r\n[x]\r\n";
    for (int i = 0; i < count; ++i) {
      text += "montagna, " + std::to_string(i * 500) + ", " + std::to_string(i * 500 + 200) +
              ", 11\r\n";
    }
    return text + "[fine]\r\n";
  };
  const auto eighty = compile(rows_of(80), service_text({}));
  EXPECT_EQ(eighty.result.error.code, error_code::none);
  EXPECT_EQ(test_support::rows_read(eighty.log, compiler::row_keyword::tunnel), 80u);
  const auto too_many = compile(rows_of(81), service_text({}));
  EXPECT_EQ(too_many.result.error.code, error_code::reading_failure);
  EXPECT_EQ(test_support::rows_read(too_many.log, compiler::row_keyword::tunnel), 81u);
  EXPECT_TRUE(too_many.result.disposal.delete_service);
}

TEST(LineElements, SpeedBoardsPackBothGroups) {
  struct board_case {
    std::string row;
    std::size_t cell;
    std::int16_t p1, p2, p3, p4;
  };
  const std::vector<board_case> cases = {
      {"indicatori_vmax,  35500,  110,  120,  140,  0,  110,  120,  140,  0", 711, 2222, 2424,
       2828, 0},
      {"indicatori_vmax,  700,  130,  140,  150,  0,  ,  ,  ,  0", 15, 2600, 2800, 3000, 0},
      {"indicatori_vmax,  22250,  80,  80,  80,  2,  ,  ,  ,  0", 446, 1600, 1600, 1600, 20},
      {"indicatori_vmax,  1000,  80,  80,  80,  2,  82,  88,  90,  3", 21, 1616, 1618, 1618, 23},
  };
  for (const board_case& c : cases) {
    const auto built = compile_line({c.row});
    EXPECT_EQ(built.result.error.code, error_code::none) << c.row;
    const auto& board = cell(built, c.cell);
    EXPECT_EQ(board.kind, 6) << c.row;
    EXPECT_EQ(board.param1, c.p1) << c.row;
    EXPECT_EQ(board.param2, c.p2) << c.row;
    EXPECT_EQ(board.param3, c.p3) << c.row;
    EXPECT_EQ(board.param4, c.p4) << c.row;
  }
  // A board replaces a tunnel marker; on a sign it is error 21.
  const auto on_marker = compile_line(
      {"montagna,  1000,  2000,  11", "indicatori_vmax,  1100,  80,  80,  80,  0,  ,  ,  ,  0"});
  EXPECT_EQ(on_marker.result.error.code, error_code::none);
  EXPECT_EQ(cell(on_marker, 23).kind, 6);
  const auto on_sign =
      compile_line({"cartello_indicatore,  1100,   (X)", "indicatori_vmax,  1100,  80,  80,  80,  0,  ,  ,  ,  0"});
  EXPECT_EQ(on_sign.result.error.code, error_code::speed_boards_cell_occupied);
  EXPECT_EQ(on_sign.result.error.position, 1100);
  EXPECT_EQ(cell(on_sign, 23).kind, 14);
  // A packed value beyond 16 bits cannot be stored.
  EXPECT_EQ(compile_line({"indicatori_vmax,  1100,  2000,  80,  80,  0,  ,  ,  ,  0"}).result.error.code,
            error_code::reading_failure);
}

TEST(LineReader, SignsTakeSlotsFromEightyDownward) {
  const auto built = compile_line(
      {"montagna,  1000,  2000,  11", "cartello_indicatore,  650,   (CAVALCAVIA)( Km 0.661 )",
       "cartello_indicatore,  1100,   (B)", "cartello_indicatore,  3000,   (C)",
       "cartello_indicatore,  3100,   (D)", "cartello_indicatore,  3200,   (E)"});
  EXPECT_EQ(built.result.error.code, error_code::none);
  const auto& slots = built.model.stations.slots;
  EXPECT_EQ(slots[80].name, "(CAVALCAVIA)( Km 0.661 )");
  EXPECT_EQ(slots[79].name, "(B)");
  EXPECT_EQ(slots[76].name, "(E)");
  EXPECT_EQ(slots[75].name, "");
  EXPECT_EQ(cell(built, 14).kind, 14);
  EXPECT_EQ(cell(built, 14).param1, 80);
  EXPECT_EQ(cell(built, 23).kind, 14);  // replaced a tunnel marker
  EXPECT_EQ(cell(built, 23).param1, 79);

  const auto on_board =
      compile_line({"indicatori_vmax,  1100,  80,  80,  80,  0,  ,  ,  ,  0",
                                      "cartello_indicatore,  1100,   (X)"});
  EXPECT_EQ(on_board.result.error.code, error_code::sign_cell_occupied);
  EXPECT_EQ(on_board.result.error.position, 1100);

  auto signs = [](int count) {
    std::string text = "[generale]\r\nlunghezza percorso, 63500\r\n[x]\r\n";
    for (int i = 0; i < count; ++i) {
      text += "cartello_indicatore, " + std::to_string(i * 100) + ", (S)\r\n";
    }
    return text + "[fine]\r\n";
  };
  const auto eighty = compile(signs(80), service_text({}));
  EXPECT_EQ(eighty.result.error.code, error_code::none);
  EXPECT_EQ(eighty.model.stations.slots[1].name, "(S)");
  EXPECT_EQ(eighty.model.stations.slots[0].name, "");
  const auto too_many = compile(signs(81), service_text({}));
  EXPECT_EQ(too_many.result.error.code, error_code::station_slots_exhausted);
  EXPECT_EQ(too_many.model.stations.slots[0].name, "");
}

TEST(LineReader, GeneralSectionRows) {
  struct general_case {
    std::string row;
    error_code error;
    std::int32_t from, to, codes;
  };
  const std::vector<general_case> cases = {
      {"ripetizione segnali 4 codici,    0,    60750", error_code::none, 0, 60750, 4},
      {"ripetizione segnali 4 codici,    0,    0", error_code::none, 0, 0, 0},
      {"ripetizione segnali 9 codici,    100,    200", error_code::none, 100, 200, 9},
      {"ripetizione segnali 49 codici,    100,    200", error_code::none, 100, 200, 4},
      {"ripetizione segnali codici,    0,    60750", error_code::repetition_code_count_missing,
       0, 60750, 0},
      {"ripetizione segnali 4 codici,    10,    60750",
       error_code::repetition_from_not_multiple_of_50, 10, 60750, 0},
      {"ripetizione segnali 4 codici,    0,    60710", error_code::repetition_to_not_multiple_of_50,
       0, 60710, 0},
  };
  for (const general_case& c : cases) {
    const auto built = compile(test_support::text_of({"[generale]", "lunghezza percorso, 63500",
                                                      c.row, "[curve]", "[fine]"}),
                               service_text({}));
    EXPECT_EQ(built.result.error.code, c.error) << c.row;
    const auto& slot = built.model.stations.slots[86];
    EXPECT_EQ(slot.start, c.from) << c.row;
    EXPECT_EQ(slot.finish, c.to) << c.row;
    EXPECT_EQ(slot.position, c.codes) << c.row;
  }

  // Progressive and background rows are tested in exact case only.
  const auto capitals = compile(
      test_support::text_of({"[generale]", "lunghezza percorso, 63500",
                             "PROGRESSIVA CHILOMETRICA UNO, 24500, 35000, 1",
                             "sfondo uno, 70000", "SFONDO DUE, 5", "[curve]", "[fine]"}),
      service_text({}));
  EXPECT_EQ(capitals.result.error.code, error_code::none);
  EXPECT_EQ(capitals.model.stations.slots[81].start, 0);
  EXPECT_EQ(capitals.model.stations.slots[85].start, 70000);
  EXPECT_EQ(capitals.model.stations.slots[85].position, 0);
}

TEST(LineReader, PositionsAreCheckedAgainstTheGrid) {
  // 50 x G - 100 = 70400 for the 63500 m line.
  const auto at_limit = compile_line({"cartello_indicatore,  70400,   (X)"});
  EXPECT_EQ(at_limit.result.error.code, error_code::none);
  EXPECT_EQ(cell(at_limit, 1409).kind, 14);

  const auto past = compile(line_text({"cartello_indicatore,  70401,   (X)", "pendenza, 0, 5"}),
                            service_text({"numero vetture, 9"}));
  EXPECT_EQ(past.result.error.code, error_code::position_beyond_grid);
  EXPECT_EQ(past.result.error.position, 70401);
  // The rest of the line text is not read, the gradient still completes and
  // the service text is read.
  EXPECT_EQ(cell(past, 0).gradient, 100);
  EXPECT_EQ(past.model.stations.slots[84].position, 9);
  EXPECT_TRUE(past.result.disposal.delete_line);
  EXPECT_TRUE(past.result.disposal.delete_service);

  for (const char* row : {"cartello_indicatore,  -50,   (X)", "montagna, -100, 500, 11",
                          "indicatori_vmax,  -1,  80,  80,  80,  0,  ,  ,  ,  0"}) {
    const auto negative = compile_line({row});
    EXPECT_EQ(negative.result.error.code, error_code::position_beyond_grid) << row;
  }
  // Gradient and curve rows at negative positions address no cell.
  EXPECT_EQ(compile_line({"pendenza, -500, 3", "curvad4, -10, 20"}).result.error.code, error_code::none);
}

TEST(LineReader, EachErrorEndsTheReadingItsOwnWay) {
  struct exit_case {
    std::string name;
    std::optional<std::string> line;
    error_code error;
    bool grid;
    bool delete_line;
    bool delete_service;
  };
  const std::string fine = "[fine]\r\n";
  const std::vector<exit_case> cases = {
      {"missing line text", std::nullopt, error_code::line_text_missing, false, false, false},
      {"no general section", "lunghezza percorso, 63500\r\n" + fine,
       error_code::general_section_missing, false, true, false},
      {"line too long", line_text({}, "lunghezza percorso, 1000001"), error_code::line_too_long,
       false, true, false},
      {"negative length without cell 1", line_text({}, "lunghezza percorso, -8000"),
       error_code::reading_failure, false, true, true},
      {"no length row", test_support::text_of({"[generale]", "[curve]", "pendenza, 0, 0", "[fine]"}),
       error_code::reading_failure, false, true, true},
      {"number out of range", line_text({}, "lunghezza percorso, 99999999999"),
       error_code::reading_failure, false, true, true},
      {"curve without class", line_text({"curvas, 100, 100"}), error_code::curve_invalid, true,
       true, false},
      {"sign on a board", line_text({"indicatori_vmax, 100, 80, 80, 80, 0, , , , 0", "cartello_indicatore, 100, (X)"}),
       error_code::sign_cell_occupied, true, true, false},
      {"board on a board", line_text({"indicatori_vmax, 100, 80, 80, 80, 0, , , , 0",
                 "indicatori_vmax, 100, 80, 80, 80, 0, , , , 0"}),
       error_code::speed_boards_cell_occupied, true, true, false},
      {"position beyond the grid", line_text({"pendenza, 70401, 0"}),
       error_code::position_beyond_grid, true, true, true},
  };
  for (const exit_case& c : cases) {
    const auto built = compile(c.line, service_text({}));
    EXPECT_EQ(built.result.error.code, c.error) << c.name;
    EXPECT_EQ(built.model.grid.exists(), c.grid) << c.name;
    EXPECT_EQ(built.result.outcome == compiler::compile_outcome::no_grid, !c.grid) << c.name;
    EXPECT_EQ(built.result.disposal.delete_line, c.delete_line) << c.name;
    EXPECT_EQ(built.result.disposal.delete_service, c.delete_service) << c.name;
    // The names are in place whatever happened.
    EXPECT_EQ(built.model.stations.slots[85].name, "Vescara_Ormeda") << c.name;
    EXPECT_EQ(built.model.stations.slots[86].name, "4816") << c.name;
  }
}

TEST(LineReader, TheLastFieldOfTheTextIsNeverExamined) {
  // A keyword line last in a text without "[fine]" still has its values read.
  const auto without_end =
      compile("[generale]\r\nlunghezza percorso, 63500\r\n[x]\r\ncartello_indicatore, 100, (X)",
              service_text({}));
  EXPECT_EQ(without_end.result.error.code, error_code::none);
  EXPECT_EQ(without_end.model.stations.slots[80].name, "(X)");
  // A bare keyword as the last field is ignored.
  const auto bare = compile("[generale]\r\nlunghezza percorso, 63500\r\n[x]\r\ncurva",
                            service_text({}));
  EXPECT_EQ(bare.result.error.code, error_code::none);
  // A stray dash value left over from a row is dropped, and the field after
  // it is examined in its place.
  const auto stray = compile(line_text({"pendenza, 100, 1, -5", "cartello_indicatore, 100, (X)"}),
                             service_text({}));
  EXPECT_EQ(stray.model.stations.slots[80].name, "(X)");
  // A keyword field that holds a dash is never examined.
  const auto dashed = compile(line_text({"cartello-indicatore, 100, (X)"}), service_text({}));
  EXPECT_EQ(dashed.model.stations.slots[80].name, "");
}

}  // namespace
