#pragma once
// Little-endian reads at a byte offset, the counterpart of the encoders' put
// helpers, so the values are the same on every host. A value is copied out
// whole and its bytes turned only on a big-endian host: the plan file of a
// long line is two million of them, read as fast as memory gives them. The
// caller has checked the bounds.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace compiler {

namespace detail {

template <typename Unsigned>
Unsigned load_little_endian(std::string_view bytes, std::size_t at) {
  Unsigned value;
  std::memcpy(&value, bytes.data() + at, sizeof value);
  if constexpr (std::endian::native == std::endian::big) {
    Unsigned turned = 0;
    for (std::size_t i = 0; i < sizeof value; ++i) {
      turned = static_cast<Unsigned>((turned << 8) | ((value >> (8 * i)) & 0xFF));
    }
    value = turned;
  }
  return value;
}

}  // namespace detail

inline std::uint8_t get_u8(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint8_t>(bytes[at]);
}

inline std::uint16_t get_u16(std::string_view bytes, std::size_t at) {
  return detail::load_little_endian<std::uint16_t>(bytes, at);
}

inline std::int16_t get_i16(std::string_view bytes, std::size_t at) {
  return static_cast<std::int16_t>(get_u16(bytes, at));
}

inline std::int32_t get_i32(std::string_view bytes, std::size_t at) {
  return static_cast<std::int32_t>(detail::load_little_endian<std::uint32_t>(bytes, at));
}

inline double get_f64(std::string_view bytes, std::size_t at) {
  return std::bit_cast<double>(detail::load_little_endian<std::uint64_t>(bytes, at));
}

}  // namespace compiler
