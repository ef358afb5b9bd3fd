#include "compiler/encoding.h"

#include <algorithm>
#include <cassert>

namespace compiler {

plan_tag plan_element_tag(const track_plan& plan, std::int32_t metre) {
  if (metre >= plan.filled) return plan_tag::empty;
  return metre < 2 ? plan_tag::integer : plan_tag::real;
}

namespace {

std::size_t element_size(plan_tag tag) {
  switch (tag) {
    case plan_tag::empty:
      return 2;
    case plan_tag::integer:
      return 4;
    case plan_tag::real:
      return 10;
  }
  return 2;
}

void put_coordinates(std::string& out, const track_plan& plan, const std::vector<double>& values) {
  for (std::int32_t metre = 0; metre <= plan.upper; ++metre) {
    const plan_tag tag = plan_element_tag(plan, metre);
    put_u16(out, static_cast<std::uint16_t>(tag));
    const double value = values[static_cast<std::size_t>(metre)];
    if (tag == plan_tag::integer) {
      put_i16(out, static_cast<std::int16_t>(value));
    } else if (tag == plan_tag::real) {
      put_f64(out, value);
    }
  }
}

}  // namespace

std::size_t track_plan_file_size(const track_plan& plan) {
  if (!plan.exists()) return 0;
  std::size_t half = 0;
  const std::int32_t filled = std::min(plan.filled, plan.upper + 1);
  const std::int32_t integers = std::min(filled, 2);
  half += static_cast<std::size_t>(integers) * element_size(plan_tag::integer);
  half += static_cast<std::size_t>(std::max(0, filled - 2)) * element_size(plan_tag::real);
  half += static_cast<std::size_t>(plan.upper + 1 - filled) * element_size(plan_tag::empty);
  return 2 * half;
}

std::string encode_track_plan(const track_plan& plan) {
  std::string out;
  if (!plan.exists()) return out;
  out.reserve(track_plan_file_size(plan));
  put_coordinates(out, plan, plan.x);
  put_coordinates(out, plan, plan.y);
  assert(out.size() == track_plan_file_size(plan));
  return out;
}

std::string encode_station_table(const station_table& table) {
  std::string out;
  std::size_t names = 0;
  for (const station_record& record : table.slots) names += record.name.size();
  out.reserve(station_slot_count * record_fixed_bytes + names);
  for (const station_record& record : table.slots) {
    assert(record.name.size() <= max_name_length);
    put_u8(out, record.station_type);
    put_i32(out, record.start);
    put_i32(out, record.finish);
    put_i32(out, record.position);
    put_u8(out, record.flag_a);
    put_i16(out, static_cast<std::int16_t>(record.name.size()));
    out += record.name;
    put_i16(out, record.group1_a);
    put_i16(out, record.group1_b);
    put_i16(out, record.group2_a);
    put_i16(out, record.group2_b);
    put_i16(out, record.group2_c);
    put_u8(out, record.group1_c);
    put_u8(out, record.dwell);
    put_u8(out, record.flag_c);
    put_u8(out, record.flag_b);
    put_i32(out, record.departure_time);
  }
  assert(out.size() == station_slot_count * record_fixed_bytes + names);
  return out;
}

std::string encode_route_grid(const route_grid& grid) {
  std::string out;
  out.reserve(grid.cells.size() * cell_bytes);
  for (const track_cell& cell : grid.cells) {
    put_u8(out, cell.kind);
    put_i16(out, cell.param1);
    put_i16(out, cell.param2);
    put_i16(out, cell.param3);
    put_i16(out, cell.param4);
    put_u8(out, cell.signal_time);
    put_u8(out, cell.approach_mark);
    put_u8(out, cell.mountain_type);
    put_u8(out, cell.speed_limit);
    put_u8(out, cell.gradient);
    put_u8(out, cell.adhesion);
  }
  assert(out.size() == grid.cells.size() * cell_bytes);
  return out;
}

}  // namespace compiler
