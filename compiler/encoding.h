#pragma once
// Little-endian encoding of the model into the bytes of the three binary
// files. Every field is appended with shifts, never by dumping memory, so the
// bytes are the same on every host.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>

#include "compiler/model.h"

namespace compiler {

inline constexpr std::size_t cell_bytes = 15;
inline constexpr std::size_t record_fixed_bytes = 34;  // a record is 34 + name length

inline void put_u8(std::string& out, std::uint8_t value) {
  out.push_back(static_cast<char>(value));
}

inline void put_u16(std::string& out, std::uint16_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>(value >> 8));
}

inline void put_i16(std::string& out, std::int16_t value) {
  put_u16(out, static_cast<std::uint16_t>(value));
}

inline void put_i32(std::string& out, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) {
    out.push_back(static_cast<char>((bits >> shift) & 0xFF));
  }
}

inline void put_f64(std::string& out, double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  for (int shift = 0; shift < 64; shift += 8) {
    out.push_back(static_cast<char>((bits >> shift) & 0xFF));
  }
}

// The longest name a record can carry: its length is a 16-bit signed count.
inline constexpr std::size_t max_name_length = 32767;

// "_linea.dat": the plan's first coordinates of every metre, then the second
// ones, each as a 2-byte type code and its value.
std::string encode_track_plan(const track_plan& plan);

// The same file in pieces, for a writer that need not hold it whole: the file
// is 2 × (plan_upper + 1) elements, the first coordinates of every metre,
// then the second ones. Appends the elements `first` to `first + count - 1`.
std::size_t track_plan_element_count(const track_plan& plan);
void append_track_plan_elements(std::string& out, const track_plan& plan, std::size_t first,
                                std::size_t count);

// ".sim": the 87 slots, each 34 bytes plus the length of its name.
std::string encode_station_table(const station_table& table);

// ".dat": cells 0 to G, 15 bytes each.
std::string encode_route_grid(const route_grid& grid);

// Size of the plan file for a plan with these bounds, without encoding it.
std::size_t track_plan_file_size(const track_plan& plan);

}  // namespace compiler
