#pragma once
// Reading the values of a typed row from a text, each as its keyword's table
// types it: a Byte, an Integer, a Long or a text field.

#include <cstddef>
#include <tuple>
#include <type_traits>
#include <utility>

#include "compiler/keywords.h"
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

// A row of a keyword with what its keyword field names already set: the
// number of a progressive change or a background, the class and sense of a
// curve, the codes of the repetition.
template <class Row>
Row row_named_by(const keyword_test& test, std::string_view field) {
  Row row;
  if constexpr (std::is_same_v<Row, progressive_row> || std::is_same_v<Row, background_row>) {
    row.which = test.variant;
  } else if constexpr (std::is_same_v<Row, curve_row>) {
    row.negative_sense = curve_sense_negative(field);
    row.curve_class = curve_class_of(field);
  } else if constexpr (std::is_same_v<Row, repetition_row>) {
    row.codes = repetition_codes_of(field);
  }
  return row;
}

// Reads the values of the row that `test` recognised in `field`, whatever
// its keyword. `complete` tells whether every value was read.
struct read_typed_row {
  typed_row row;
  bool complete = false;
};
read_typed_row read_row(const keyword_fact& keyword, const keyword_test& test,
                        std::string_view field, scenario::field_reader& in);

}  // namespace compiler
