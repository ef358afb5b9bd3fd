#pragma once
// Reading the values of a typed row from a text, each as its keyword's table
// types it: a Byte, an Integer, a Long or a text field.

#include <cstddef>
#include <tuple>
#include <type_traits>
#include <utility>

#include "compiler/rows.h"
#include "scenario/field_reader.h"

namespace compiler {

namespace detail {

template <class T>
T read_value(scenario::field_reader& in) {
  if constexpr (std::is_same_v<T, std::uint8_t>) {
    return in.read_byte();
  } else if constexpr (std::is_same_v<T, std::int16_t>) {
    return in.read_integer();
  } else if constexpr (std::is_same_v<T, std::int32_t>) {
    return in.read_long();
  } else {
    static_assert(std::is_same_v<T, std::string_view>);
    return in.read_text();
  }
}

}  // namespace detail

// Reads the values `from` to `to` - 1 of `row` in text order, storing each as
// soon as it is read. A value whose field fails is not stored, and nothing
// after it is read. Returns the index of the value that failed, or `to`.
template <class Row>
std::size_t read_values(scenario::field_reader& in, Row& row, std::size_t from = 0,
                        std::size_t to = value_count<Row>) {
  std::size_t index = 0;
  std::size_t failed_at = to;
  const auto read_one = [&](auto member) {
    const std::size_t i = index++;
    if (i < from || i >= to || failed_at != to) return;
    using value_type = std::remove_cvref_t<decltype(row.*member)>;
    const value_type value = detail::read_value<value_type>(in);
    if (in.failed()) {
      failed_at = i;
      return;
    }
    row.*member = value;
  };
  std::apply([&](auto... member) { (read_one(member), ...); }, row_values<Row>);
  return failed_at;
}

}  // namespace compiler
