// The byte layout of the three binary files.

#include "compiler/encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

TEST(Encoding, PutHelpersAreLittleEndianAndTwosComplement) {
  std::string out;
  compiler::put_u8(out, 0xAB);
  compiler::put_i16(out, -1);
  compiler::put_i16(out, 5121);
  compiler::put_i32(out, -2);
  compiler::put_i32(out, 0x01020304);
  compiler::put_f64(out, 1.0);
  EXPECT_EQ(out, bytes({0xAB, 0xFF, 0xFF, 0x01, 0x14, 0xFE, 0xFF, 0xFF, 0xFF, 0x04, 0x03, 0x02,
                        0x01, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
}

TEST(Encoding, CellsTakeFifteenBytesInFieldOrder) {
  compiler::route_grid grid;
  grid.cells.resize(2);
  auto& c = grid.cells[1];
  c.kind = 1;
  c.param1 = 42;
  c.param2 = -1;
  c.param3 = 0x0102;
  c.param4 = 8;
  c.signal_time = 140;
  c.approach_mark = 81;
  c.mountain_type = 3;
  c.speed_limit = 26;
  c.gradient = 83;
  c.adhesion = 100;
  const std::string out = compiler::encode_route_grid(grid);
  ASSERT_EQ(out.size(), 30u);
  EXPECT_EQ(out.substr(0, 15), std::string(15, '\0'));
  EXPECT_EQ(out.substr(15), bytes({1, 42, 0, 0xFF, 0xFF, 0x02, 0x01, 8, 0, 140, 81, 3, 26, 83, 100}));
}

TEST(Encoding, RecordsAreThirtyFourBytesPlusTheName) {
  compiler::station_table table;
  auto& s = table.slots[1];
  s.station_type = 4;
  s.start = -450;
  s.finish = 450;
  s.position = 0;
  s.flag_a = 1;
  s.name = "VESCARA";
  s.group1_a = 4;
  s.group1_b = 1;
  s.group2_a = 2;
  s.group2_b = 1;
  s.group2_c = 1;
  s.group1_c = 1;
  s.dwell = 1;
  s.flag_c = 0;
  s.flag_b = 0;
  s.departure_time = 55080;
  table.slots[2].name = std::string(20, 'N');
  const std::string out = compiler::encode_station_table(table);
  ASSERT_EQ(out.size(), 87u * 34u + 7u + 20u);
  EXPECT_EQ(out.substr(0, 34), std::string(34, '\0'));  // the cleared slot 0
  EXPECT_EQ(out.substr(34, 41),
            bytes({4, 0x3E, 0xFE, 0xFF, 0xFF, 0xC2, 0x01, 0, 0, 0, 0, 0, 0, 1, 7, 0}) + "VESCARA" +
                bytes({4, 0, 1, 0, 2, 0, 1, 0, 1, 0, 1, 1, 0, 0, 0x28, 0xD7, 0, 0}));
  // A 20-character name makes its record 54 bytes: slot 3 starts 20 bytes later.
  EXPECT_EQ(out.substr(34 + 41 + 14, 2), bytes({20, 0}));
  EXPECT_EQ(out.size() - (34 + 41 + 54), 84u * 34u);
}

TEST(Encoding, PlanElementsCarryTheirTypeCodes) {
  compiler::track_plan plan;
  plan.upper = 5;
  plan.x = {0, 0, 0.5, 1, 0, 0};
  plan.y = {0, 1, 2, 3, 0, 0};
  plan.filled = 4;
  const std::string out = compiler::encode_track_plan(plan);
  // Per half: 2 integers (4 bytes), 2 doubles (10), 2 empties (2).
  ASSERT_EQ(out.size(), 2u * (2 * 4 + 2 * 10 + 2 * 2));
  ASSERT_EQ(out.size(), compiler::track_plan_file_size(plan));
  std::string half;
  compiler::put_u16(half, 2);
  compiler::put_i16(half, 0);
  compiler::put_u16(half, 2);
  compiler::put_i16(half, 0);
  compiler::put_u16(half, 5);
  compiler::put_f64(half, 0.5);
  compiler::put_u16(half, 5);
  compiler::put_f64(half, 1.0);
  compiler::put_u16(half, 0);
  compiler::put_u16(half, 0);
  EXPECT_EQ(out.substr(0, half.size()), half);
  EXPECT_EQ(out.substr(half.size(), 8), bytes({2, 0, 0, 0, 2, 0, 1, 0}));

  // A plan created but never started holds only empty elements.
  plan.filled = 0;
  EXPECT_EQ(compiler::encode_track_plan(plan), std::string(2 * 6 * 2, '\0'));
}

}  // namespace
