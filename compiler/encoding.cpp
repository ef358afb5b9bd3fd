#include "compiler/encoding.h"

#include <algorithm>
#include <bit>
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

// Little-endian stores into room made beforehand: the plan file is the one
// output large enough for appending byte by byte to show in a build's time.
char* store_u16(char* out, std::uint16_t value) {
  out[0] = static_cast<char>(value & 0xFF);
  out[1] = static_cast<char>(value >> 8);
  return out + 2;
}

char* store_f64(char* out, double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  for (int byte = 0; byte < 8; ++byte) out[byte] = static_cast<char>((bits >> (8 * byte)) & 0xFF);
  return out + 8;
}

// The elements of metres `first` to `last` (included) of one coordinate.
void put_coordinates(std::string& out, const track_plan& plan, const std::vector<double>& values,
                     std::int32_t first, std::int32_t last) {
  if (first > last) return;
  const std::size_t start = out.size();
  out.resize(start + static_cast<std::size_t>(last - first + 1) * element_size(plan_tag::real));
  char* cursor = out.data() + start;
  for (std::int32_t metre = first; metre <= last; ++metre) {
    const plan_tag tag = plan_element_tag(plan, metre);
    cursor = store_u16(cursor, static_cast<std::uint16_t>(tag));
    const double value = values[static_cast<std::size_t>(metre)];
    if (tag == plan_tag::integer) {
      cursor = store_u16(cursor, static_cast<std::uint16_t>(static_cast<std::int16_t>(value)));
    } else if (tag == plan_tag::real) {
      cursor = store_f64(cursor, value);
    }
  }
  out.resize(static_cast<std::size_t>(cursor - out.data()));
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
  append_track_plan_elements(out, plan, 0, track_plan_element_count(plan));
  assert(out.size() == track_plan_file_size(plan));
  return out;
}

std::size_t track_plan_element_count(const track_plan& plan) {
  return plan.exists() ? 2 * (static_cast<std::size_t>(plan.upper) + 1) : 0;
}

void append_track_plan_elements(std::string& out, const track_plan& plan, std::size_t first,
                                std::size_t count) {
  assert(first + count <= track_plan_element_count(plan));
  const std::size_t per_coordinate = static_cast<std::size_t>(plan.upper) + 1;
  const std::size_t end = first + count;
  // Elements below per_coordinate are first coordinates, the rest second ones.
  if (first < per_coordinate) {
    const std::size_t last = std::min(end, per_coordinate) - 1;
    put_coordinates(out, plan, plan.x, static_cast<std::int32_t>(first),
                    static_cast<std::int32_t>(last));
  }
  if (end > per_coordinate) {
    const std::size_t from = std::max(first, per_coordinate) - per_coordinate;
    put_coordinates(out, plan, plan.y, static_cast<std::int32_t>(from),
                    static_cast<std::int32_t>(end - per_coordinate - 1));
  }
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
