#include "compiler/reading.h"

#include <algorithm>
#include <limits>

namespace compiler {

namespace {

constexpr bool is_line_end(char c) { return c == '\r' || c == '\n'; }

std::size_t end_of_line(std::string_view body, std::size_t offset) {
  while (offset < body.size() && !is_line_end(body[offset])) ++offset;
  return offset;
}

// The kinds that a row already noted can explain: a field left over from a
// row, or taken from the line after it, is no news of its own.
bool follows_from_row(reading_note_kind kind) {
  return kind == reading_note_kind::unknown_keyword ||
         kind == reading_note_kind::dash_field_dropped ||
         kind == reading_note_kind::non_numeric_number;
}

reading_note_kind reading_kind(scenario::field_note_kind kind) {
  switch (kind) {
    case scenario::field_note_kind::non_numeric_number:
      return reading_note_kind::non_numeric_number;
    case scenario::field_note_kind::dash_field_dropped:
      return reading_note_kind::dash_field_dropped;
  }
  return reading_note_kind::non_numeric_number;
}

}  // namespace

void record_error(build_state& state, error_code code, error_source from, std::size_t row_offset) {
  state.error = code;
  state.error_from = from;
  state.error_offset = row_offset;
}

void record_error(build_state& state, error_code code, std::int32_t position, error_source from,
                  std::size_t row_offset) {
  record_error(state, code, from, row_offset);
  state.error_position = position;
}

bool is_warning(reading_note_kind kind) {
  switch (kind) {
    case reading_note_kind::unknown_keyword:
    case reading_note_kind::dash_field_dropped:
    case reading_note_kind::progressive_in_capitals:
    case reading_note_kind::non_numeric_number:
    case reading_note_kind::values_from_next_line:
    case reading_note_kind::values_left_over:
      return true;
    case reading_note_kind::progressive_row:
    case reading_note_kind::slowdown_row:
      return false;
  }
  return false;
}

std::size_t text_notes::line_end(std::size_t offset) {
  if (offset < known_line_.begin || offset > known_line_.end) {
    known_line_ = {offset, end_of_line(body_, offset)};
  }
  return known_line_.end;
}

void text_notes::record(reading_note_kind kind, std::size_t offset) {
  settle_if_many(offset);
  own_.push_back({kind, text_, offset});
  // The values of a row whose keyword is not taken are read as further
  // keyword fields; the note on the row says all there is to say.
  if (kind == reading_note_kind::unknown_keyword ||
      kind == reading_note_kind::progressive_in_capitals) {
    quiet_.push_back({offset + 1, line_end(offset)});
  }
}

void text_notes::check_row_shape(std::size_t row_offset, const scenario::field_reader& in) {
  settle_if_many(row_offset);
  const std::size_t row_line_end = line_end(row_offset);
  const std::size_t last_field = in.field_offset();
  if (last_field > row_line_end) {
    add(reading_note_kind::values_from_next_line, row_offset);
    quiet_.push_back({row_offset, line_end(last_field)});
    return;
  }
  const std::size_t cursor = in.cursor();
  if (cursor >= row_line_end) return;
  // Blanks and empty fields left on the line read as nothing.
  const std::string_view rest = body_.substr(cursor, row_line_end - cursor);
  if (rest.find_first_not_of(" \t,") == std::string_view::npos) return;
  add(reading_note_kind::values_left_over, row_offset);
  quiet_.push_back({cursor, row_line_end});
}

void text_notes::quiet_line_from(std::size_t offset) {
  quiet_.push_back({offset, line_end(offset)});
}

void text_notes::forget_non_numeric(const scenario::field_reader& in, std::string_view word) {
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

void text_notes::hand_over(const reading_note& note) {
  const auto kind = static_cast<std::size_t>(note.kind);
  if (!is_warning(note.kind)) {
    notes_->push_back(note);
  } else if (kept_[kind] < warnings_kept_per_kind) {
    ++kept_[kind];
    last_kept_[kind] = notes_->size();
    notes_->push_back(note);
  } else {
    ++(*notes_)[last_kept_[kind]].more;
  }
}

void text_notes::settle_before(std::size_t limit) {
  // The settled notes, the reader's own first where two share an offset.
  std::vector<reading_note> ready;
  const auto settled = [&](std::size_t offset) { return offset < limit; };
  auto own_end = std::stable_partition(own_.begin(), own_.end(),
                                       [&](const reading_note& n) { return settled(n.offset); });
  ready.assign(own_.begin(), own_end);
  own_.erase(own_.begin(), own_end);
  auto field_end =
      std::stable_partition(field_notes_.begin(), field_notes_.end(),
                            [&](const scenario::field_note& n) { return settled(n.offset); });
  for (auto note = field_notes_.begin(); note != field_end; ++note) {
    ready.push_back({reading_kind(note->kind), text_, note->offset});
  }
  field_notes_.erase(field_notes_.begin(), field_end);
  std::stable_sort(ready.begin(), ready.end(), [](const reading_note& a, const reading_note& b) {
    return a.offset < b.offset;
  });
  // One sweep over notes and spans, both in text order, so that a text full
  // of mistakes costs no more than its length.
  std::sort(quiet_.begin(), quiet_.end(),
            [](const span& a, const span& b) { return a.begin < b.begin; });
  std::size_t next_span = 0;
  for (const reading_note& note : ready) {
    while (next_span < quiet_.size() && quiet_[next_span].begin <= note.offset) {
      quiet_until_ = std::max(quiet_until_, quiet_[next_span].end);
      ++next_span;
    }
    const bool quiet = follows_from_row(note.kind) && note.offset < quiet_until_;
    if (!quiet) hand_over(note);
  }
  quiet_.erase(quiet_.begin(), quiet_.begin() + static_cast<std::ptrdiff_t>(next_span));
}

void text_notes::flush() {
  if (!enabled()) return;
  settle_before(std::numeric_limits<std::size_t>::max());
}

}  // namespace compiler
