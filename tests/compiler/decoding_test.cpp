// The three binary files read back: what the encoders wrote comes back
// field for field, and bytes that cannot be such a file are refused.

#include "compiler/decoding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "compiler/cell_views.h"
#include "compiler/encoding.h"
#include "compiler/slot_views.h"
#include "tests/test_support.h"

namespace {

using compiler::output_file_kind;

const test_support::compiled& embedded() {
  static const test_support::compiled built = test_support::compile(
      test_support::embedded_line_text(), test_support::embedded_service_text());
  return built;
}

TEST(Decoding, GridAndTableComeBackByteForByte) {
  const auto& state = embedded().model;
  const std::string grid_bytes = compiler::encode_route_grid(state.grid);
  compiler::route_grid grid;
  ASSERT_EQ(compiler::decode_route_grid(grid_bytes, grid).describe(), "");
  EXPECT_EQ(compiler::encode_route_grid(grid), grid_bytes);

  const std::string table_bytes = compiler::encode_station_table(state.stations);
  compiler::station_table table;
  ASSERT_EQ(compiler::decode_station_table(table_bytes, table).describe(), "");
  EXPECT_EQ(compiler::encode_station_table(table), table_bytes);
}

TEST(Decoding, KnownCellsAndSlotsOfTheEmbeddedBuild) {
  const auto& state = embedded().model;
  compiler::route_grid grid;
  ASSERT_EQ(compiler::decode_route_grid(compiler::encode_route_grid(state.grid), grid).describe(),
            "");
  ASSERT_EQ(grid.cells.size(), 1411u);
  const compiler::track_cell& signal = grid.cells[184];
  EXPECT_EQ(signal.kind, 1);
  EXPECT_EQ(signal.param1, 42);
  EXPECT_EQ(signal.param4, 8);
  EXPECT_EQ(signal.signal_time, 140);
  EXPECT_EQ(grid.cells[182].approach_mark, 81);
  const compiler::track_cell& boards = grid.cells[711];
  EXPECT_EQ(boards.kind, 6);
  EXPECT_EQ(boards.param1, 2222);
  EXPECT_EQ(boards.param2, 2424);
  EXPECT_EQ(boards.param3, 2828);
  EXPECT_EQ(grid.cells[1].param1, 5121);

  compiler::station_table table;
  ASSERT_EQ(compiler::decode_station_table(compiler::encode_station_table(state.stations), table)
                .describe(),
            "");
  EXPECT_EQ(table.slots[86].name, "4816");
  EXPECT_EQ(table.slots[85].name, "Vescara_Ormeda");
  EXPECT_EQ(table.slots[85].group1_a, 610);
  EXPECT_EQ(table.slots[1].name, "VESCARA");
  EXPECT_EQ(table.slots[1].departure_time, (15 * 60 + 18) * 60);
  EXPECT_EQ(compiler::slot_role(1, table.slots[1]), "station");
  EXPECT_EQ(compiler::slot_role(80, table.slots[80]), "sign text");
  EXPECT_EQ(compiler::slot_role(81, table.slots[81]), "progressive change");
  EXPECT_EQ(compiler::slot_role(86, table.slots[86]), "train parameters");
  EXPECT_FALSE(compiler::holds_anything(table.slots[0]));
  EXPECT_FALSE(compiler::holds_anything(table.slots[40]));
}

// Each view of a cell packs into the fields the grid file holds for its kind,
// leaves the others as they were, and reads back the same through the file.
TEST(Decoding, CellViewsPackIntoTheirFieldsAndComeBack) {
  using compiler::cell_kind;
  struct view_case {
    const char* name;
    std::function<void(compiler::track_cell&)> put;
    // kind, param1 to param4, signal_time, approach_mark, ..., adhesion
    std::array<std::int64_t, 11> fields;
    std::function<bool(const compiler::track_cell&)> reads_back;
  };
  const compiler::slowdown_cell slowdown{30, 7, 4};
  const compiler::slowdown_cell slowdown_without_d_v{60, 0, 1};
  const std::vector<view_case> cases = {
      {"slowdown start",
       [&](auto& c) { compiler::put_slowdown(c, cell_kind::slowdown_start, slowdown); },
       {3, 30, 7, 4, -9, 0, 83, 0, 0, 0, 0},
       [&](const auto& c) { return compiler::slowdown_of(c) == slowdown; }},
      {"slowdown end",
       [&](auto& c) { compiler::put_slowdown(c, cell_kind::slowdown_end, slowdown); },
       {2, 30, 7, 4, -9, 0, 83, 0, 0, 0, 0},
       [&](const auto& c) { return compiler::slowdown_of(c) == slowdown; }},
      // A warning has no f_tt, and a d_v of 0 is not written: both fields stay.
      {"slowdown warning",
       [&](auto& c) { compiler::put_slowdown(c, cell_kind::slowdown_warning, slowdown); },
       {4, 30, 7, -3, -9, 0, 83, 0, 0, 0, 0},
       [&](const auto& c) { return compiler::slowdown_of(c)->speed == 30; }},
      {"slowdown without d_v",
       [&](auto& c) { compiler::put_slowdown(c, cell_kind::slowdown_start, slowdown_without_d_v); },
       {3, 60, -2, 1, -9, 0, 83, 0, 0, 0, 0},
       [&](const auto& c) { return compiler::slowdown_of(c)->f_tt == 1; }},
      {"warning approach with d_v",
       [](auto& c) {
         compiler::put_warning_approach(c, {3, 3});
       },
       {5, 3, 3, -3, -9, 0, 83, 0, 0, 0, 0},
       [](const auto& c) {
         return compiler::warning_approach_of(c) == compiler::warning_approach_cell{3, 3};
       }},
      {"warning approach without d_v",
       [](auto& c) {
         compiler::put_warning_approach(c, {4, 0});
       },
       {5, 4, -2, -3, -9, 0, 83, 0, 0, 0, 0},
       [](const auto& c) { return compiler::warning_approach_of(c)->rank == 4; }},
      {"protection point",
       [](auto& c) { compiler::put_code_cut(c, {180}); },
       {12, 180, -2, -3, -9, 0, 83, 0, 0, 0, 0},
       [](const auto& c) { return compiler::code_cut_of(c)->code == 180; }},
      // The stamp of cell 1 keeps whatever object the cell holds.
      {"route stamp",
       [](auto& c) {
         compiler::put_route_stamp(c, {5121, 2367});
       },
       {0, 5121, 2367, -3, -9, 0, 83, 0, 0, 0, 0},
       [](const auto& c) {
         return compiler::route_stamp_of(c) == compiler::route_stamp{5121, 2367};
       }},
  };
  for (const view_case& vc : cases) {
    compiler::route_grid grid;
    grid.cells.resize(2);
    compiler::track_cell& cell = grid.cells[1];
    cell.param1 = -1;  // what a view leaves must show
    cell.param2 = -2;
    cell.param3 = -3;
    cell.param4 = -9;
    cell.approach_mark = 83;
    vc.put(cell);
    std::array<std::int64_t, 11> fields{};
    const auto named = compiler::cell_fields(cell);
    std::transform(named.begin(), named.end(), fields.begin(),
                   [](const auto& f) { return f.value; });
    EXPECT_EQ(fields, vc.fields) << vc.name;

    compiler::route_grid decoded;
    ASSERT_TRUE(compiler::decode_route_grid(compiler::encode_route_grid(grid), decoded));
    EXPECT_TRUE(vc.reads_back(decoded.cells[1])) << vc.name;
  }
  EXPECT_EQ(compiler::slowdown_of(compiler::track_cell{}), std::nullopt);
  EXPECT_EQ(compiler::warning_approach_of(compiler::track_cell{}), std::nullopt);
}

// Each view of a parameter slot packs into the fields of its slot, named
// here as the table file holds them, and reads back the same through the file.
TEST(Decoding, ParameterSlotViewsPackIntoTheirSlotsAndComeBack) {
  struct view_case {
    const char* name;
    std::size_t slot;
    std::function<void(compiler::station_table&)> put;
    // station_type, start, finish, position, flag_a, group1_a, group1_b,
    // group2_a, group2_b, group2_c, group1_c, dwell, flag_c, flag_b,
    // departure_time
    std::array<std::int64_t, 15> fields;
    std::function<bool(const compiler::station_table&)> reads_back;
  };
  const compiler::progressive_change change{12000, 50, 1};
  const compiler::line_parameters line{75, 63500, 9};
  const compiler::route_parameters route{3, 1, 2, 610, 123456};
  const compiler::train_parameters train{2000, 52000, 9, 300, 15, 17, 5};
  const std::vector<view_case> cases = {
      {"third progressive change",
       83,
       [&](auto& t) { compiler::put_progressive_change(t, 2, change); },
       {0, 12000, 50, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
       [&](const auto& t) { return compiler::progressive_change_of(t, 2) == change; }},
      {"line",
       84,
       [&](auto& t) { compiler::put_line_parameters(t, line); },
       {0, 75, 63500, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
       [&](const auto& t) { return compiler::line_parameters_of(t) == line; }},
      {"route",
       85,
       [&](auto& t) { compiler::put_route_parameters(t, route); },
       {0, 3, 2, 1, 0, 610, 0, 0, 0, 0, 0, 0, 0, 0, 123456},
       [&](const auto& t) { return compiler::route_parameters_of(t) == route; }},
      {"train",
       86,
       [&](auto& t) { compiler::put_train_parameters(t, train); },
       {0, 2000, 52000, 9, 0, 300, 0, 15, 17, 5, 0, 0, 0, 0, 0},
       [&](const auto& t) { return compiler::train_parameters_of(t) == train; }},
  };
  for (const view_case& vc : cases) {
    compiler::station_table table;
    table.slots[vc.slot].name = "kept";
    vc.put(table);
    EXPECT_EQ(table.slots[vc.slot].name, "kept") << vc.name;
    std::array<std::int64_t, 15> fields{};
    const auto named = compiler::slot_fields(table.slots[vc.slot]);
    std::transform(named.begin(), named.end(), fields.begin(),
                   [](const auto& f) { return f.value; });
    EXPECT_EQ(fields, vc.fields) << vc.name;
    for (std::size_t other = 0; other < table.slots.size(); ++other) {
      if (other == vc.slot) continue;
      EXPECT_FALSE(compiler::holds_anything(table.slots[other])) << vc.name;
    }

    compiler::station_table decoded;
    ASSERT_TRUE(compiler::decode_station_table(compiler::encode_station_table(table), decoded));
    EXPECT_TRUE(vc.reads_back(decoded)) << vc.name;
  }

  // The flag of a station whose area ends 50 m further is its sixth number.
  compiler::station_record station;
  station.flag_c = 1;
  station.flag_b = 1;
  EXPECT_TRUE(compiler::area_ends_further(station));
  compiler::clear_area_ends_further(station);
  EXPECT_FALSE(compiler::area_ends_further(station));
  EXPECT_EQ(station.flag_c, 0);
  EXPECT_EQ(station.flag_b, 1);
}

TEST(Decoding, PlanValuesAndSummary) {
  const compiler::track_plan& plan = embedded().model.plan;
  compiler::decoded_plan decoded;
  ASSERT_EQ(compiler::decode_track_plan(compiler::encode_track_plan(plan), decoded).describe(), "");
  ASSERT_EQ(decoded.x.size(), 70501u);
  ASSERT_EQ(decoded.y.size(), 70501u);
  for (std::size_t m = 0; m < decoded.x.size(); ++m) {
    const auto tag = compiler::plan_element_tag(plan, static_cast<std::int32_t>(m));
    ASSERT_EQ(decoded.x[m].tag, tag) << m;
    ASSERT_EQ(decoded.y[m].tag, tag) << m;
    if (tag == compiler::plan_tag::empty) continue;
    ASSERT_EQ(decoded.x[m].value, plan.x[m]) << m;
    ASSERT_EQ(decoded.y[m].value, plan.y[m]) << m;
  }
  const compiler::plan_summary s = compiler::summarize_plan(decoded);
  EXPECT_EQ(s.metres, 70501u);
  EXPECT_EQ(s.integers, 4u);
  EXPECT_EQ(s.reals, 2u * (70500 - 3));
  EXPECT_EQ(s.empty, 4u);
  EXPECT_EQ(s.points, 70499u);
  // The track starts at the origin heading along y, and every metre is at
  // least a metre long.
  EXPECT_EQ(s.min_y, 0.0);
  EXPECT_LE(s.min_x, 0.0);
  EXPECT_GE(s.max_x, 0.0);
  EXPECT_GE(s.length, 70498.0);
  EXPECT_EQ(s.min_x, *std::min_element(plan.x.begin(), plan.x.begin() + 70499));
  EXPECT_EQ(s.max_y, *std::max_element(plan.y.begin(), plan.y.begin() + 70499));
}

TEST(Decoding, SummaryOfASquareCorner) {
  // Three points: (0,0), (0,1), (1,1); then an empty metre.
  compiler::decoded_plan plan;
  using compiler::plan_tag;
  plan.x = {{plan_tag::integer, 0}, {plan_tag::integer, 0}, {plan_tag::real, 1}, {}};
  plan.y = {{plan_tag::integer, 0}, {plan_tag::integer, 1}, {plan_tag::real, 1}, {}};
  const compiler::plan_summary s = compiler::summarize_plan(plan);
  EXPECT_EQ(s.points, 3u);
  EXPECT_EQ(s.length, 2.0);
  EXPECT_EQ(s.max_x, 1.0);
  EXPECT_EQ(s.max_y, 1.0);
  EXPECT_EQ(s.empty, 2u);
}

TEST(Decoding, KindFromTheFileName) {
  const std::vector<std::pair<std::string, std::optional<output_file_kind>>> cases = {
      {"Vescara_Ormeda_linea.dat", output_file_kind::track_plan},
      {"VESCARA_ORMEDA_LINEA.DAT", output_file_kind::track_plan},
      {"Vescara_Ormeda_4816.dat", output_file_kind::route_grid},
      {"linea.dat", output_file_kind::route_grid},
      {"Vescara_Ormeda_4816.sim", output_file_kind::station_table},
      {"x.SIM", output_file_kind::station_table},
      {"Vescara_Ormeda_linea.txt", std::nullopt},
      {"Vescara_Ormeda_4816.dat.bak", std::nullopt},
      {"dat", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& [name, kind] : cases) {
    EXPECT_EQ(compiler::output_file_kind_of(name), kind) << name;
  }
}

TEST(Decoding, RefusesGridSizesNoGridCanHave) {
  const std::vector<std::pair<std::size_t, std::string>> cases = {
      {0, "0 cells: a grid has 2 to 20141 cells"},
      {15 * 141 - 1, "2114 bytes is not a whole number of 15-byte cells"},
      {15 * 1, "1 cells: a grid has 2 to 20141 cells"},
      {15 * 2, ""},  // the shortest line, -6974 m
      {15 * 141, ""},
      {15 * 20141, ""},
      {15 * 20142, "20142 cells: a grid has 2 to 20141 cells"},
  };
  for (const auto& [size, expected] : cases) {
    compiler::route_grid grid;
    EXPECT_EQ(compiler::decode_route_grid(std::string(size, '\0'), grid).describe(), expected)
        << size;
  }
}

TEST(Decoding, RefusesBrokenTables) {
  const std::string good = compiler::encode_station_table(embedded().model.stations);
  std::string negative = good;
  negative[14] = '\xFF';  // slot 0's name length becomes -1
  negative[15] = '\xFF';
  std::string long_name = std::string(87 * 34, '\0');
  long_name[14] = 1;  // slot 0 claims a name of 1 byte that the file does not hold
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "the file ends inside slot 0 (at byte 0 of 0)"},
      {std::string(87 * 34, '\0'), ""},
      {std::string(87 * 34 - 1, '\0'), "the file ends inside slot 86 (at byte 2924 of 2957)"},
      {std::string(87 * 34 + 1, '\0'), "1 bytes follow the last of the 87 slots"},
      {good.substr(0, good.size() - 1), "the file ends inside slot 86 (its name takes 4 bytes)"},
      {negative, "slot 0 has a name length of -1"},
      {long_name, "the file ends inside slot 86 (at byte 2925 of 2958)"},
  };
  for (const auto& [bytes, expected] : cases) {
    compiler::station_table table;
    EXPECT_EQ(compiler::decode_station_table(bytes, table).describe(), expected) << bytes.size();
  }
}

TEST(Decoding, RefusesBrokenPlans) {
  // Metres 0 to 7000, every element empty: the smallest plan a grid allows.
  const std::string empty_plan(2 * 7001 * 2, '\0');
  std::string bad_tag = empty_plan;
  bad_tag[2] = 3;
  const std::string good = compiler::encode_track_plan(embedded().model.plan);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {empty_plan, ""},
      {"", "0 metres: a plan has 27 to 1007001 metres"},
      {empty_plan.substr(2), "14001 elements cannot be split into two coordinates a metre"},
      {empty_plan.substr(1), "the file ends inside a type code at byte 28002"},
      {bad_tag, "element 1 (byte 2) has the type code 3; a plan holds only 0, 2 and 5"},
      {good.substr(0, 15), "the file ends inside element 2 (byte 8)"},
      {good.substr(0, good.size() - 1), "the file ends inside a type code at byte 1409962"},
      {std::string(2 * 27 * 2, '\0'), ""},  // the shortest line, -6974 m
      {std::string(2 * 26 * 2, '\0'), "26 metres: a plan has 27 to 1007001 metres"},
  };
  for (const auto& [bytes, expected] : cases) {
    compiler::decoded_plan plan;
    EXPECT_EQ(compiler::decode_track_plan(bytes, plan).describe(), expected) << bytes.size();
  }
}

// The viewer's decoder must accept and refuse exactly what the inspecting one
// does, with the same reason, and read the same values and the same run of
// drawable metres.
TEST(Decoding, PlanPointsAgreeWithTheTaggedDecoder) {
  const std::string empty_plan(2 * 7001 * 2, '\0');
  std::string bad_tag = empty_plan;
  bad_tag[2] = 3;
  std::string late_bad_tag = empty_plan;
  late_bad_tag[empty_plan.size() - 2] = 4;
  const std::string good = compiler::encode_track_plan(embedded().model.plan);
  // The second coordinate of metre 3 made empty: the drawable run stops there
  // although the first coordinates go on.
  compiler::decoded_plan tagged;
  ASSERT_EQ(compiler::decode_track_plan(good, tagged).describe(), "");
  std::string gap;
  {
    std::size_t at = 0;
    std::size_t element = 0;
    const std::size_t hole = tagged.x.size() + 3;
    while (element < hole) {
      const auto code = static_cast<unsigned char>(good[at]);
      at += code == 0 ? 2 : code == 2 ? 4 : 10;
      ++element;
    }
    const auto code = static_cast<unsigned char>(good[at]);
    const std::size_t size = code == 0 ? 2 : code == 2 ? 4 : 10;
    gap = good.substr(0, at) + std::string(2, '\0') + good.substr(at + size);
  }
  // Plans no build writes, which a file may still hold: reals all through,
  // so that one run spans both halves; a value that is not a number, and one
  // that is infinite, in the second half; integers and reals taking turns.
  auto plan_of = [](std::size_t metres, auto element) {
    std::string bytes;
    for (std::size_t i = 0; i < 2 * metres; ++i) element(bytes, i, metres);
    return bytes;
  };
  auto real = [](std::string& out, double value) {
    compiler::put_u16(out, static_cast<std::uint16_t>(compiler::plan_tag::real));
    compiler::put_f64(out, value);
  };
  const std::string all_reals = plan_of(7001, [&](std::string& out, std::size_t i, std::size_t n) {
    real(out, i < n ? double(i) : -0.5 * double(i - n));
  });
  const std::string not_a_number =
      plan_of(7001, [&](std::string& out, std::size_t i, std::size_t n) {
        real(out, i == n + 100 ? std::nan("") : i == n + 200 ? HUGE_VAL : double(i % 977));
      });
  const std::string infinite_first =
      plan_of(7001, [&](std::string& out, std::size_t i, std::size_t n) {
        real(out, i == 40 ? -HUGE_VAL : double(i % 13) - double(n));
      });
  const std::string taking_turns =
      plan_of(7001, [&](std::string& out, std::size_t i, std::size_t) {
        if (i % 3 == 0) {
          compiler::put_u16(out, static_cast<std::uint16_t>(compiler::plan_tag::integer));
          compiler::put_i16(out, static_cast<std::int16_t>(-static_cast<int>(i % 1000)));
        } else {
          real(out, 0.25 * double(i));
        }
      });
  const std::vector<std::string> cases = {
      all_reals,
      not_a_number,
      infinite_first,
      taking_turns,
      empty_plan,
      good,
      gap,
      "",
      empty_plan.substr(2),
      empty_plan.substr(1),
      bad_tag,
      late_bad_tag,
      good.substr(0, 15),
      good.substr(0, good.size() - 1),
      good.substr(0, good.size() - 3),
      std::string(2 * 7000 * 2, '\0'),
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const std::string& bytes = cases[i];
    compiler::decoded_plan expected;
    compiler::plan_points points;
    const scenario::status status = compiler::decode_track_plan(bytes, expected);
    ASSERT_EQ(compiler::decode_plan_points(bytes, points).describe(), status.describe())
        << "case " << i;
    if (!status) continue;
    ASSERT_EQ(points.metres, expected.x.size()) << "case " << i;
    const std::size_t drawable = test_support::drawable_metres(expected);
    EXPECT_EQ(points.drawable, drawable) << "case " << i;
    // Every metre reads as the full decoder reads it, an empty element as 0,
    // and the bounds are those of the drawable metres.
    std::size_t m = 0;
    double min_x = 0, max_x = 0, min_y = 0, max_y = 0;
    compiler::for_each_plan_point(points, points.metres, [&](compiler::plan_point p) {
      auto same = [](double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); };
      EXPECT_TRUE(same(p.x, expected.x[m].value)) << "case " << i << " metre " << m;
      EXPECT_TRUE(same(p.y, expected.y[m].value)) << "case " << i << " metre " << m;
      if (m < drawable) {
        min_x = m == 0 ? p.x : std::min(min_x, p.x);
        max_x = m == 0 ? p.x : std::max(max_x, p.x);
        min_y = m == 0 ? p.y : std::min(min_y, p.y);
        max_y = m == 0 ? p.y : std::max(max_y, p.y);
      }
      ++m;
    });
    EXPECT_EQ(m, points.metres) << "case " << i;
    EXPECT_EQ(points.min_x, min_x) << "case " << i;
    EXPECT_EQ(points.max_x, max_x) << "case " << i;
    EXPECT_EQ(points.min_y, min_y) << "case " << i;
    EXPECT_EQ(points.max_y, max_y) << "case " << i;
  }
  // The gap case does stop early, and a complete plan draws all but its last
  // two metres; the values that are not finite end the drawable run too.
  compiler::plan_points points;
  ASSERT_EQ(compiler::decode_plan_points(not_a_number, points).describe(), "");
  EXPECT_EQ(points.drawable, 100u);
  ASSERT_EQ(compiler::decode_plan_points(infinite_first, points).describe(), "");
  EXPECT_EQ(points.drawable, 40u);
  ASSERT_EQ(compiler::decode_plan_points(all_reals, points).describe(), "");
  EXPECT_EQ(points.drawable, 7001u);
  EXPECT_EQ(points.runs.size(), 1u);
  EXPECT_EQ(points.max_x, 7000.0);
  EXPECT_EQ(points.min_y, -3500.0);
  ASSERT_EQ(compiler::decode_plan_points(gap, points).describe(), "");
  EXPECT_EQ(points.drawable, 3u);
  ASSERT_EQ(compiler::decode_plan_points(good, points).describe(), "");
  EXPECT_EQ(points.drawable, points.metres - 2);
}

TEST(Decoding, KindNamesAndParsing) {
  EXPECT_EQ(compiler::kind_name(1), "signal");
  EXPECT_EQ(compiler::kind_name(6), "speed boards");
  EXPECT_EQ(compiler::kind_name(14), "line sign");
  EXPECT_EQ(compiler::kind_name(7), "unknown");
  EXPECT_EQ(compiler::kind_name(255), "unknown");
}

}  // namespace
