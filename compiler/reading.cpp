#include "compiler/reading.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace compiler {

namespace {

constexpr bool is_line_end(char c) { return c == '\r' || c == '\n'; }

std::size_t end_of_line(std::string_view body, std::size_t offset) {
  while (offset < body.size() && !is_line_end(body[offset])) ++offset;
  return offset;
}

// The kinds that a row already noted can explain: a field left over from a
// row, or taken from the line after it, is no news of its own.
bool follows_from_row(warning_kind kind) {
  return kind == warning_kind::unknown_keyword || kind == warning_kind::dash_field_dropped ||
         kind == warning_kind::non_numeric_number || kind == warning_kind::number_rounded;
}

warning_kind warning_of(scenario::field_note_kind kind) {
  switch (kind) {
    case scenario::field_note_kind::non_numeric_number:
      return warning_kind::non_numeric_number;
    case scenario::field_note_kind::dash_field_dropped:
      return warning_kind::dash_field_dropped;
    case scenario::field_note_kind::number_rounded:
      return warning_kind::number_rounded;
  }
  return warning_kind::non_numeric_number;
}

// The length of a UTF-8 sequence of two or more bytes at `at`, or 0.
std::size_t utf8_sequence_at(std::string_view body, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(body[i]); };
  const unsigned char lead = byte(at);
  std::size_t length = 0;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2;
  if (lead >= 0xE0 && lead <= 0xEF) length = 3;
  if (lead >= 0xF0 && lead <= 0xF4) length = 4;
  if (length == 0 || at + length > body.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
  }
  return length;
}

}  // namespace

void check_text_form(journal& log, text_id text, std::string_view body) {
  const auto foreign = [&](foreign_text what, std::size_t at, std::int64_t more_lines = 0) {
    warn(log, {text, at}, -1, warning_kind::not_windows_1252, -1, more_lines,
         static_cast<std::int64_t>(what));
  };
  if (body.find_first_not_of(" \t\r\n") == std::string_view::npos) {
    warn(log, {text, 0}, -1, warning_kind::text_empty, -1, 0);
    return;
  }
  if (body.starts_with("\xFF\xFE") || body.starts_with("\xFE\xFF")) {
    foreign(foreign_text::utf16, 0);
    return;
  }
  if (body.starts_with("\xEF\xBB\xBF")) foreign(foreign_text::utf8_mark, 0);
  if (const std::size_t nul = body.find('\0'); nul != std::string_view::npos) {
    foreign(foreign_text::nul_bytes, nul);
  }
  // One warning, at the first UTF-8 sequence, that counts the other lines
  // holding one: an author who saved the text as UTF-8 did so for all of it,
  // and learns how much of it is concerned without a warning a line.
  std::optional<std::size_t> first;
  std::int64_t more_lines = 0;
  std::size_t counted_line_end = 0;  // the end of the last line counted
  for (std::size_t at = body.starts_with("\xEF\xBB\xBF") ? 3 : 0; at < body.size(); ++at) {
    if (static_cast<unsigned char>(body[at]) < 0x80 || at < counted_line_end) continue;
    if (utf8_sequence_at(body, at) == 0) continue;
    if (!first) {
      first = at;
    } else {
      ++more_lines;
    }
    counted_line_end = end_of_line(body, at);
  }
  if (first) foreign(foreign_text::utf8, *first, more_lines);
}

std::size_t text_notes::line_end(std::size_t offset) {
  if (offset < known_line_.begin || offset > known_line_.end) {
    known_line_ = {offset, end_of_line(body_, offset)};
  }
  return known_line_.end;
}

void text_notes::record(warning_kind kind, std::size_t offset) {
  settle_if_many(offset);
  own_.push_back({kind, offset});
  // The values of a row whose keyword is not taken are read as further
  // keyword fields; the note on the row says all there is to say.
  if (kind == warning_kind::unknown_keyword || kind == warning_kind::progressive_in_capitals) {
    quiet_.push_back({offset + 1, line_end(offset)});
  }
}

void text_notes::check_row(std::size_t row_offset, const scenario::field_reader& in) {
  settle_if_many(row_offset);
  const std::size_t row_line_end = line_end(row_offset);
  const std::size_t last_field = in.field_offset();
  if (last_field > row_line_end) {
    add(warning_kind::values_from_next_line, row_offset);
    quiet_.push_back({row_offset, line_end(last_field)});
    return;
  }
  const std::size_t cursor = in.cursor();
  if (cursor >= row_line_end) return;
  // Blanks and empty fields left on the line read as nothing.
  const std::string_view rest = body_.substr(cursor, row_line_end - cursor);
  if (rest.find_first_not_of(" \t,") == std::string_view::npos) return;
  add(warning_kind::values_left_over, row_offset);
  quiet_.push_back({cursor, row_line_end});
}

void text_notes::quiet_rest_of_line(std::size_t offset) {
  quiet_.push_back({offset, line_end(offset)});
}

void text_notes::allow_word(const scenario::field_reader& in, std::string_view word) {
  if (field_notes_.empty()) return;
  const std::size_t offset = in.field_offset();
  const std::size_t after = offset + word.size();
  if (body_.substr(offset, word.size()) != word) return;
  if (after < body_.size() && !is_line_end(body_[after]) && body_[after] != ',' &&
      body_[after] != ' ' && body_[after] != '\t') {
    return;
  }
  const scenario::field_note& last = field_notes_.back();
  if (last.kind == scenario::field_note_kind::non_numeric_number && last.offset == offset) {
    field_notes_.pop_back();
  }
}

void text_notes::settle_before(std::size_t limit) {
  // The settled notes, the reader's own first where two share an offset.
  std::vector<note> ready;
  const auto settled = [&](std::size_t offset) { return offset < limit; };
  const auto own_end =
      std::stable_partition(own_.begin(), own_.end(), [&](const note& n) { return settled(n.offset); });
  ready.assign(own_.begin(), own_end);
  own_.erase(own_.begin(), own_end);
  const auto field_end =
      std::stable_partition(field_notes_.begin(), field_notes_.end(),
                            [&](const scenario::field_note& n) { return settled(n.offset); });
  for (auto n = field_notes_.begin(); n != field_end; ++n) ready.push_back({warning_of(n->kind), n->offset});
  field_notes_.erase(field_notes_.begin(), field_end);
  std::stable_sort(ready.begin(), ready.end(),
                   [](const note& a, const note& b) { return a.offset < b.offset; });
  // One sweep over notes and spans, both in text order, so that a text full
  // of mistakes costs no more than its length.
  std::sort(quiet_.begin(), quiet_.end(),
            [](const span& a, const span& b) { return a.begin < b.begin; });
  std::size_t next_span = 0;
  for (const note& n : ready) {
    while (next_span < quiet_.size() && quiet_[next_span].begin <= n.offset) {
      quiet_until_ = std::max(quiet_until_, quiet_[next_span].end);
      ++next_span;
    }
    const bool quiet = follows_from_row(n.kind) && n.offset < quiet_until_;
    if (!quiet) log_.add_warning({text_, n.offset}, warning_noted{n.kind});
  }
  quiet_.erase(quiet_.begin(), quiet_.begin() + static_cast<std::ptrdiff_t>(next_span));
}

void text_notes::flush() { settle_before(std::numeric_limits<std::size_t>::max()); }

row_end text_reading::field_failed() {
  const scenario::field_failure& failure = in.failure();
  const field_refused refused{failure.kind, failure.type, failure.offset,
                              static_cast<std::int32_t>(failure.index - row_first_field)};
  log.add_error(here(), error_of(error_code::reading_failure, std::nullopt, row, refused));
  return row_end::fail;
}

row_end text_reading::beyond_limit(reading_limit limit, std::int64_t value) {
  log.add_error(
      here(), error_of(error_code::reading_failure, std::nullopt, row, limit_passed{limit, value}));
  return row_end::fail;
}

row_end text_reading::check_position(const route_grid& grid, std::int64_t position,
                                     bool placed_on_cell, std::int64_t margin) {
  log.set_row_position(row, static_cast<std::int32_t>(position));
  if (!within_grid(grid, position, margin) || (placed_on_cell && position < 0)) {
    fail_at(error_code::position_beyond_grid, static_cast<std::int32_t>(position));
    return row_end::end_of_text;
  }
  return row_end::next;
}

reading_end reading_end_of(half_end end, bool ended_at_error) {
  switch (end) {
    case half_end::finished:
      return ended_at_error ? reading_end::stopped_at_error : reading_end::end_of_text;
    case half_end::stopped:
      return reading_end::ended_by_error;
    case half_end::failed:
      return reading_end::failed;
  }
  return reading_end::failed;
}

}  // namespace compiler
