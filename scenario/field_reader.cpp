#include "scenario/field_reader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>

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

std::string_view field_reader::read_text() {
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
    if (cursor_ < text_.size() && text_[cursor_] == ',') {
      ++cursor_;
    } else {
      consume_line_end();
    }
    return text_.substr(open, close - open);
  }
  const std::size_t begin = cursor_;
  const char* data = text_.data();
  const std::size_t size = text_.size();
  std::size_t end = begin;
  while (end < size && !ends_field(data[end])) ++end;
  cursor_ = end;
  if (cursor_ < size && data[cursor_] == ',') {
    ++cursor_;
  } else {
    consume_line_end();
  }
  // Trailing blanks are not part of an unquoted field.
  while (end > begin && is_blank(data[end - 1])) --end;
  return text_.substr(begin, end - begin);
}

std::int64_t field_reader::read_number(std::int64_t lowest, std::int64_t highest) {
  skip_blanks();
  field_offset_ = cursor_;
  const std::size_t begin = cursor_;
  const char* data = text_.data();
  const std::size_t size = text_.size();
  // The number is parsed while its end is looked for, in one pass over the
  // bytes: "[+-]digits" and nothing else is a number. Values are clamped far
  // outside every field's range, so that long digit strings cannot overflow
  // and still read as out of range.
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
  bool numeric = at > digits_begin;
  // Anything else before the number's end makes the whole token not a number.
  while (at < size && !ends_number(data[at])) {
    numeric = false;
    ++at;
  }
  cursor_ = at;
  const bool empty = at == begin;
  // The separator after the number, if any, belongs to this field.
  skip_blanks();
  if (cursor_ < size && data[cursor_] == ',') {
    ++cursor_;
  } else {
    consume_line_end();
  }
  if (empty) return 0;
  if (!numeric) {
    note(field_note_kind::non_numeric_number, begin);
    return 0;
  }
  if (negative) value = -value;
  if (value < lowest || value > highest) {
    range_failed_ = true;
    return 0;
  }
  return value;
}

std::int32_t field_reader::read_long() {
  return static_cast<std::int32_t>(read_number(std::numeric_limits<std::int32_t>::min(),
                                               std::numeric_limits<std::int32_t>::max()));
}

std::int16_t field_reader::read_integer() {
  return static_cast<std::int16_t>(read_number(std::numeric_limits<std::int16_t>::min(),
                                               std::numeric_limits<std::int16_t>::max()));
}

std::uint8_t field_reader::read_byte() { return static_cast<std::uint8_t>(read_number(0, 255)); }

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
