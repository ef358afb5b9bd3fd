#include "scenario/field_reader.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <system_error>

namespace scenario {

namespace {

constexpr bool is_blank(char c) { return c == ' ' || c == '\t'; }
constexpr bool is_line_end(char c) { return c == '\r' || c == '\n'; }

// What each byte ends, looked up in one table: the scans for a field's end
// run over every byte of a text.
enum : std::uint8_t { ends_text_field = 1, ends_number_field = 2 };
constexpr auto byte_classes = [] {
  std::array<std::uint8_t, 256> classes{};
  for (const char c : {',', '\r', '\n'}) {
    classes[static_cast<unsigned char>(c)] = ends_text_field | ends_number_field;
  }
  for (const char c : {' ', '\t'}) classes[static_cast<unsigned char>(c)] = ends_number_field;
  return classes;
}();

constexpr bool ends_field(char c) {
  return (byte_classes[static_cast<unsigned char>(c)] & ends_text_field) != 0;
}
constexpr bool ends_number(char c) {
  return (byte_classes[static_cast<unsigned char>(c)] & ends_number_field) != 0;
}

}  // namespace

void field_reader::skip_blanks() {
  while (cursor_ < text_.size() && is_blank(text_[cursor_])) ++cursor_;
}

void field_reader::consume_line_end() {
  if (cursor_ < text_.size() && text_[cursor_] == '\r') {
    ++cursor_;
    if (cursor_ < text_.size() && text_[cursor_] == '\n') ++cursor_;
  } else if (cursor_ < text_.size() && text_[cursor_] == '\n') {
    ++cursor_;
  }
}

void field_reader::consume_separator() {
  if (cursor_ < text_.size() && text_[cursor_] == ',') {
    ++cursor_;
  } else {
    consume_line_end();
  }
}

bool field_reader::field_available() {
  if (failed()) return false;
  ++fields_read_;
  if (!at_end()) return true;
  failure_ = {field_failure_kind::past_end, number_type::long32, cursor_, {}, fields_read_ - 1};
  field_offset_ = cursor_;
  return false;
}

std::string_view field_reader::read_text() {
  if (!field_available()) return {};
  skip_blanks();
  field_offset_ = cursor_;
  if (at_end()) return {};
  if (text_[cursor_] == '"') {
    const std::size_t open = cursor_ + 1;
    const std::size_t close = text_.find('"', open);
    if (close == std::string_view::npos) {
      // An unterminated quote takes the rest of the text.
      cursor_ = text_.size();
      return text_.substr(open);
    }
    // Whatever follows the closing quote up to the separator is passed over.
    cursor_ = close + 1;
    while (cursor_ < text_.size() && !ends_field(text_[cursor_])) ++cursor_;
    consume_separator();
    return text_.substr(open, close - open);
  }
  const std::size_t begin = cursor_;
  const char* data = text_.data();
  const std::size_t size = text_.size();
  std::size_t end = begin;
  while (end < size && !ends_field(data[end])) ++end;
  cursor_ = end;
  consume_separator();
  // Trailing blanks belong to the field: a station name or a sign text keeps
  // them, as the files store them.
  return text_.substr(begin, end - begin);
}

namespace {

constexpr bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Whether a decimal number without its sign ("0.0001", "12e-400") lies below
// 1: the place of its first digit that is not 0, moved by its exponent, is
// below the units.
bool below_one(std::string_view body) {
  const std::size_t point = body.find('.');
  const std::size_t exponent_at = body.find_first_of("eE");
  const std::size_t digits_end = std::min(exponent_at, body.size());
  const std::size_t units_end = std::min(point, digits_end);
  std::int64_t place = 0;
  bool found = false;
  for (std::size_t i = 0; i < digits_end && !found; ++i) {
    if (body[i] < '1' || body[i] > '9') continue;
    found = true;
    // Digits before the point stand at places units_end - 1 - i; after it,
    // at -1, -2, ...
    place = i < units_end ? static_cast<std::int64_t>(units_end - 1 - i)
                          : -static_cast<std::int64_t>(i - units_end);
  }
  if (!found) return true;
  std::int64_t exponent = 0;
  if (exponent_at < body.size()) {
    std::size_t at = exponent_at + 1;
    const bool negative = at < body.size() && body[at] == '-';
    if (at < body.size() && (body[at] == '-' || body[at] == '+')) ++at;
    for (; at < body.size(); ++at) {
      exponent = std::min<std::int64_t>(exponent * 10 + (body[at] - '0'), std::int64_t{1} << 40);
    }
    if (negative) exponent = -exponent;
  }
  return place + exponent < 0;
}

// The value of a token that is a decimal number with a point or an exponent
// ("2.5", "-.5", "1e3", "7."), rounded half to even; nothing when the token
// is not such a number. A value too large for a double reads as infinity,
// which no range takes.
std::optional<double> decimal_value(std::string_view token) {
  std::size_t at = 0;
  if (at < token.size() && (token[at] == '+' || token[at] == '-')) ++at;
  const std::size_t mantissa = at;
  std::size_t digits = 0;
  while (at < token.size() && is_digit(token[at])) ++at, ++digits;
  if (at < token.size() && token[at] == '.') {
    ++at;
    while (at < token.size() && is_digit(token[at])) ++at, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (at < token.size() && (token[at] == 'e' || token[at] == 'E')) {
    ++at;
    if (at < token.size() && (token[at] == '+' || token[at] == '-')) ++at;
    const std::size_t exponent = at;
    while (at < token.size() && is_digit(token[at])) ++at;
    if (at == exponent) return std::nullopt;
  }
  if (at != token.size()) return std::nullopt;
  double value = 0;
  const std::string_view body = token.substr(mantissa);
  const auto [end, error] = std::from_chars(body.data(), body.data() + body.size(), value);
  if (error == std::errc::result_out_of_range) {
    // Too far from 1 for a double: a tiny number rounds to 0, a huge one
    // fits no range.
    value = below_one(body) ? 0.0 : std::numeric_limits<double>::infinity();
  } else if (error != std::errc{} || end != body.data() + body.size()) {
    return std::nullopt;
  }
  if (token.front() == '-') value = -value;
  // Half to even under the default rounding mode.
  return std::nearbyint(value);
}

}  // namespace

std::int64_t field_reader::read_number(number_type type, std::int64_t lowest,
                                       std::int64_t highest) {
  if (!field_available()) return 0;
  skip_blanks();
  field_offset_ = cursor_;
  const std::size_t begin = cursor_;
  const char* data = text_.data();
  const std::size_t size = text_.size();
  // The number is parsed while its end is looked for, in one pass over the
  // bytes: "[+-]digits" is the common form. Values are clamped far outside
  // every field's range, so that long digit strings cannot overflow and
  // still read as out of range.
  std::size_t at = begin;
  bool negative = false;
  if (at < size && (data[at] == '+' || data[at] == '-')) {
    negative = data[at] == '-';
    ++at;
  }
  constexpr std::int64_t clamp = std::int64_t{1} << 40;
  std::int64_t value = 0;
  const std::size_t digits_begin = at;
  while (at < size) {
    const auto digit = static_cast<unsigned char>(data[at] - '0');
    if (digit > 9) break;
    value = std::min(clamp, value * 10 + digit);
    ++at;
  }
  bool integral = at > digits_begin;
  // Anything else before the number's end makes the token something other
  // than a plain integer: a decimal number, or no number at all.
  while (at < size && !ends_number(data[at])) {
    integral = false;
    ++at;
  }
  cursor_ = at;
  const std::string_view token = text_.substr(begin, at - begin);
  // The separator after the number, if any, belongs to this field.
  skip_blanks();
  consume_separator();
  if (token.empty()) return 0;
  double rounded = 0;
  if (integral) {
    rounded = static_cast<double>(negative ? -value : value);
  } else if (const auto decimal = decimal_value(token)) {
    rounded = *decimal;
  } else {
    note(field_note_kind::non_numeric_number, begin);
    return 0;
  }
  if (!(rounded >= static_cast<double>(lowest) && rounded <= static_cast<double>(highest))) {
    failure_ = {field_failure_kind::out_of_range, type, begin, token, fields_read_ - 1};
    return 0;
  }
  if (!integral) note(field_note_kind::number_rounded, begin);
  return static_cast<std::int64_t>(rounded);
}

std::int32_t field_reader::read_long() {
  return static_cast<std::int32_t>(read_number(number_type::long32,
                                               std::numeric_limits<std::int32_t>::min(),
                                               std::numeric_limits<std::int32_t>::max()));
}

std::int16_t field_reader::read_integer() {
  return static_cast<std::int16_t>(read_number(number_type::integer16,
                                               std::numeric_limits<std::int16_t>::min(),
                                               std::numeric_limits<std::int16_t>::max()));
}

std::uint8_t field_reader::read_byte() {
  return static_cast<std::uint8_t>(read_number(number_type::byte8, 0, 255));
}

std::optional<std::string_view> next_keyword_field(field_reader& reader, int dash_limit) {
  if (reader.at_end()) return std::nullopt;
  std::string_view field = reader.read_text();
  for (int dropped = 0; dropped < dash_limit && contains_exact(field, "-"); ++dropped) {
    if (reader.at_end()) return std::nullopt;
    reader.note(field_note_kind::dash_field_dropped, reader.field_offset());
    field = reader.read_text();
  }
  if (reader.at_end()) return std::nullopt;
  return field;
}

bool skip_to_marker(field_reader& reader, std::string_view marker) {
  while (!reader.at_end()) {
    const std::string_view field = reader.read_text();
    if (reader.at_end()) return false;
    if (contains_ignoring_case(field, marker)) return true;
  }
  return false;
}

std::size_t line_number_at(std::string_view text, std::size_t offset) {
  offset = std::min(offset, text.size());
  std::size_t line = 1;
  for (std::size_t i = 0; i < offset; ++i) {
    if (text[i] == '\n') {
      ++line;
    } else if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')) {
      ++line;
    }
  }
  return line;
}

std::string_view line_at(std::string_view text, std::size_t offset) {
  offset = std::min(offset, text.size());
  std::size_t begin = offset;
  while (begin > 0 && !is_line_end(text[begin - 1])) --begin;
  std::size_t end = offset;
  while (end < text.size() && !is_line_end(text[end])) ++end;
  return text.substr(begin, end - begin);
}

}  // namespace scenario
