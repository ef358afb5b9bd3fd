#include "compiler/diagnostics.h"

#include <fmt/format.h>

#include <algorithm>
#include <limits>
#include <optional>

#include "compiler/decoding.h"
#include "scenario/field_reader.h"
#include "scenario/text_file.h"

namespace compiler {

namespace {

constexpr std::size_t max_row_bytes = 200;
constexpr std::size_t max_field_bytes = 60;

// A text with its name and its lines, when it was there to be read.
struct source {
  std::string_view name;
  std::optional<std::string_view> body;
  std::optional<line_index> lines;

  source(std::string_view file_name, const std::optional<std::string>& text) : name(file_name) {
    if (!text) return;
    body = *text;
    lines.emplace(*text);
  }

  bool holds(std::size_t offset) const { return body && offset < body->size(); }
};

// Everything a report reads: the journal, the model it describes, and the
// two texts.
struct report_context {
  const journal& log;
  const scenario_model& model;
  source line;
  source service;

  const source* of(text_id text) const {
    if (text == text_id::line_text) return &line;
    if (text == text_id::service_text) return &service;
    return nullptr;
  }
  const journal_entry* entry(std::int32_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= log.entries().size()) return nullptr;
    return &log.entries()[static_cast<std::size_t>(index)];
  }
  // The row an entry belongs to: itself when it is a row, else the row that
  // placed it.
  const journal_entry* row_of(std::int32_t index) const {
    const journal_entry* e = entry(index);
    if (e == nullptr) return nullptr;
    if (const auto* placed = std::get_if<object_placed>(&e->event)) return entry(placed->row);
    if (const auto* over = std::get_if<object_overwritten>(&e->event)) return entry(over->row);
    if (const auto* error = std::get_if<error_recorded>(&e->event)) return entry(error->row);
    return e;
  }
};

// The field that starts at `offset`, cut as the reader cut it.
std::string_view field_at(std::string_view body, std::size_t offset) {
  scenario::field_reader in(body.substr(offset));
  return in.read_text();
}

// A number field's text as written, up to the blank, comma or line end.
std::string_view token_at(std::string_view body, std::size_t offset) {
  const std::size_t end = body.find_first_of(" \t,\r\n", offset);
  return body.substr(offset, end == std::string_view::npos ? end : end - offset);
}

// A field quoted in a message, cut short when it is longer than a message
// can carry.
std::string shown(std::string_view field) {
  if (field.size() <= max_field_bytes) return std::string(field);
  return std::string(field.substr(0, max_field_bytes)) + " ...";
}

// Places the diagnostic at the row that stands at `place`.
void place_at(diagnostic& d, const report_context& context, const text_place& place) {
  const source* text = context.of(place.text);
  if (text == nullptr) return;
  d.file = std::string(text->name);
  if (!text->holds(place.offset)) return;
  d.line = text->lines->line_of(place.offset);
  d.row = text->lines->row(d.line);
}

// "line 31" in the same text, "L_linea.txt:31" in the other one.
std::string where(const report_context& context, const text_place& place, text_id from) {
  const source* text = context.of(place.text);
  if (text == nullptr || !text->holds(place.offset)) return {};
  const std::size_t line = text->lines->line_of(place.offset);
  if (place.text == from) return fmt::format("line {}", line);
  return fmt::format("{}:{}", text->name, line);
}

// What holds a cell, and the row that put it there: "the station stop of
// MOLINELLA (line 31)".
std::string holder(const report_context& context, const error_recorded& e, text_id from) {
  const auto cell_index = static_cast<std::size_t>(e.cell);
  const track_cell* held = e.cell >= 0 && cell_index < context.model.grid.cells.size()
                               ? &context.model.grid.cells[cell_index]
                               : nullptr;
  std::string what = fmt::format("the {}", kind_name(e.held_kind));
  if (held != nullptr && held->kind == e.held_kind) {
    const auto slot = static_cast<std::size_t>(held->param1);
    const bool named = held->param1 >= 0 && slot < context.model.stations.slots.size();
    if (has_kind(*held, cell_kind::station_stop) && named) {
      what += fmt::format(" of {}",
                          scenario::from_windows_1252(context.model.stations.slots[slot].name));
    } else if (has_kind(*held, cell_kind::line_sign) && named) {
      what = fmt::format("the line-side sign \"{}\"",
                         scenario::from_windows_1252(context.model.stations.slots[slot].name));
    }
  }
  const journal_entry* placed = context.entry(e.held_by);
  if (placed == nullptr) return what;
  if (placed->place.text == text_id::none) return what + " (a protection point)";
  const std::string line = where(context, placed->place, from);
  return line.empty() ? what : fmt::format("{} ({})", what, line);
}

// The cell of a conflict, named by its role in the row.
std::string conflict_cell(error_code code, std::int32_t cell) {
  switch (code) {
    case error_code::slowdown_warning_occupied:
      return fmt::format("its warning cell {}", cell);
    case error_code::slowdown_start_occupied:
      return fmt::format("its start cell {}", cell);
    case error_code::slowdown_end_occupied:
      return fmt::format("its end cell {}", cell);
    case error_code::warning_approach_occupied:
      return fmt::format("cell {}, ahead of its warning,", cell);
    default:
      return fmt::format("cell {}", cell);
  }
}

bool is_conflict(error_code code) {
  switch (code) {
    case error_code::sign_cell_occupied:
    case error_code::code_cut_cell_occupied:
    case error_code::signal_cell_occupied:
    case error_code::slowdown_warning_occupied:
    case error_code::slowdown_start_occupied:
    case error_code::slowdown_end_occupied:
    case error_code::warning_approach_occupied:
    case error_code::speed_boards_cell_occupied:
      return true;
    default:
      return false;
  }
}

const row_read* row_event(const journal_entry* row) {
  return row == nullptr ? nullptr : std::get_if<row_read>(&row->event);
}

// The detail after the position of an error 15: which bound the row passed.
std::string beyond_grid_detail(const report_context& context, const error_recorded& e) {
  const std::int64_t upper = context.model.grid.exists() ? context.model.grid.upper() : 0;
  const row_read* row = row_event(context.entry(e.row));
  const bool station = row != nullptr && row->keyword == row_keyword::station;
  if (e.cell >= 0) {
    return fmt::format(" (its {} lies past the grid's last cell {})", station ? "stop" : "end",
                       upper);
  }
  if (e.position && *e.position < 0) return " (before the start of the line)";
  const std::int64_t limit = std::int64_t{cell_length_m} * upper - (station ? 800 : 100);
  return fmt::format(" (the grid takes positions up to {} m)", limit);
}

std::string_view type_words(scenario::number_type type) {
  switch (type) {
    case scenario::number_type::long32:
      return "a 32-bit integer (-2147483648 to 2147483647)";
    case scenario::number_type::integer16:
      return "a 16-bit integer (-32768 to 32767)";
    case scenario::number_type::byte8:
      return "a byte (0 to 255)";
  }
  return "its field";
}

// What made the reading fail at a field.
std::string failure_detail(const report_context& context, const error_recorded& e, text_id from) {
  const source* text = context.of(from);
  switch (e.failure) {
    case scenario::field_failure_kind::out_of_range:
      if (text == nullptr || !text->holds(e.field_offset)) return {};
      return fmt::format(": \"{}\" does not fit {}", shown(token_at(*text->body, e.field_offset)),
                         type_words(e.number));
    case scenario::field_failure_kind::past_end:
      return ": the text ends before the row's last value";
    case scenario::field_failure_kind::none:
      break;
  }
  return {};
}

// An error of the protection pass: where it found the cell wanting, and the
// slowdown it protects, at that slowdown's row.
void pass_error(diagnostic& d, const report_context& context, const error_recorded& e) {
  d.message += fmt::format(", at {} m (cell {})", e.position.value_or(0), e.cell);
  const journal_entry* row = context.row_of(e.concerns);
  if (const row_read* read = row_event(row)) {
    d.message += fmt::format(", for the slowdown at {} m", read->position);
    place_at(d, context, row->place);
  }
}

std::string fatal_detail(const error_recorded& e) {
  if (e.cell != 1) return " (slot 85)";
  return fmt::format(" (cell 1 holds {}: an object at the very start of the line takes it)",
                     kind_name(e.held_kind));
}

diagnostic error_diagnostic(const report_context& context, const journal_entry& entry,
                            const error_recorded& e) {
  diagnostic d;
  d.level = severity::error;
  d.code = code_number(e.code);
  d.message = std::string(meaning(e.code));
  const text_id from = entry.place.text;

  if (e.code == error_code::fixed_values_taken || e.code == error_code::competition_codes_taken) {
    d.message += fatal_detail(e);
    return d;
  }
  if (e.carried) {
    d.message = fmt::format(
        "the reading stops at this row, at {} m: error {} was recorded before it, and now keeps "
        "this row's position",
        e.position.value_or(0), d.code);
    place_at(d, context, entry.place);
    return d;
  }
  if (from == text_id::none) {
    if (e.code == error_code::progressive_not_multiple_of_50) {
      // Found at the end of the service text, about a row of the line text.
      d.file = std::string(context.line.name);
      if (const journal_entry* row = context.entry(e.concerns)) place_at(d, context, row->place);
      return d;
    }
    pass_error(d, context, e);
    return d;
  }
  if (is_conflict(e.code) && e.cell >= 0) {
    d.message += fmt::format(", at {} m: {} already holds {}", e.position.value_or(0),
                             conflict_cell(e.code, e.cell), holder(context, e, from));
  } else if (e.code == error_code::position_beyond_grid) {
    d.message += fmt::format(", at {} m{}", e.position.value_or(0), beyond_grid_detail(context, e));
  } else if (e.code == error_code::stations_too_close && e.slot > 1) {
    const auto& slots = context.model.stations.slots;
    d.message += fmt::format(", at {} m (its area starts at {} m, the previous one ends at {} m)",
                             e.position.value_or(0), slots[static_cast<std::size_t>(e.slot)].start,
                             slots[static_cast<std::size_t>(e.slot - 1)].finish);
  } else if (e.position) {
    d.message += fmt::format(", at {} m", *e.position);
    if (e.cell >= 0) d.message += fmt::format(" (cell {})", e.cell);
  }
  if (e.code == error_code::reading_failure) d.message += failure_detail(context, e, from);
  place_at(d, context, entry.place);
  return d;
}

std::string warning_message(warning_kind kind, std::string_view body, std::size_t offset) {
  switch (kind) {
    case warning_kind::unknown_keyword:
      return fmt::format("\"{}\" matches no keyword here and is passed over",
                         shown(field_at(body, offset)));
    case warning_kind::dash_field_dropped:
      return fmt::format(
          "\"{}\" contains \"-\" and is dropped; the field after it is read as the "
          "keyword in its place",
          shown(field_at(body, offset)));
    case warning_kind::progressive_in_capitals:
      return fmt::format("\"{}\" is ignored: this general keyword is recognised only in lower case",
                         shown(field_at(body, offset)));
    case warning_kind::non_numeric_number:
      return fmt::format("\"{}\" is not a number and reads as 0", shown(token_at(body, offset)));
    case warning_kind::number_rounded: {
      const std::string_view token = token_at(body, offset);
      scenario::field_reader number(token);
      return fmt::format(
          "\"{}\" is written as a decimal number and reads as {}, rounded half to even (a point "
          "is not a thousands separator: 32.000 is 32)",
          shown(token), number.read_long());
    }
    case warning_kind::values_from_next_line:
      return fmt::format(
          "the \"{}\" row has fewer values than its keyword takes; the rest were "
          "read from the next line",
          shown(field_at(body, offset)));
    case warning_kind::values_left_over:
      return fmt::format(
          "the \"{}\" row has more values than its keyword takes; the rest of the "
          "line is read as keyword fields",
          shown(field_at(body, offset)));
  }
  return {};
}

int text_rank(const diagnostic& d, const text_names& names) {
  if (d.file.empty()) return 2;
  return d.file == names.line ? 0 : 1;
}

}  // namespace

line_index::line_index(std::string_view text) : text_(text) {
  starts_.push_back(0);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool ends_line =
        text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'));
    if (ends_line) starts_.push_back(i + 1);
  }
}

std::size_t line_index::line_of(std::size_t offset) const {
  return static_cast<std::size_t>(std::upper_bound(starts_.begin(), starts_.end(), offset) -
                                  starts_.begin());
}

std::string line_index::row(std::size_t line) const {
  if (line == 0 || line > starts_.size()) return {};
  const std::size_t begin = starts_[line - 1];
  std::size_t end = line < starts_.size() ? starts_[line] : text_.size();
  while (end > begin && (text_[end - 1] == '\r' || text_[end - 1] == '\n')) --end;
  if (end - begin <= max_row_bytes) return std::string(text_.substr(begin, end - begin));
  return std::string(text_.substr(begin, max_row_bytes)) + " ...";
}

std::vector<diagnostic> diagnose(const journal& log, const scenario_model& model,
                                 const description_texts& texts, const text_names& names) {
  const report_context context{log, model, source(names.line, texts.line),
                               source(names.service, texts.service)};
  std::vector<diagnostic> out;
  for (const journal_entry& entry : log.entries()) {
    if (const auto* warning = std::get_if<warning_noted>(&entry.event)) {
      const source* text = context.of(entry.place.text);
      if (text == nullptr || !text->holds(entry.place.offset)) continue;
      diagnostic d;
      d.level = severity::warning;
      d.message = warning_message(warning->kind, *text->body, entry.place.offset);
      place_at(d, context, entry.place);
      out.push_back(std::move(d));
    } else if (const auto* error = std::get_if<error_recorded>(&entry.event)) {
      out.push_back(error_diagnostic(context, entry, *error));
    }
  }
  std::stable_sort(out.begin(), out.end(), [&](const diagnostic& a, const diagnostic& b) {
    const int rank_a = text_rank(a, names);
    const int rank_b = text_rank(b, names);
    if (rank_a != rank_b) return rank_a < rank_b;
    return a.line < b.line;
  });
  return out;
}

std::string format_diagnostic(const diagnostic& d) {
  std::string out;
  if (!d.file.empty()) {
    out += d.file;
    if (d.line > 0) out += fmt::format(":{}", d.line);
    out += ": ";
  }
  if (d.level == severity::error) {
    out += fmt::format("error {}: ", d.code);
  } else {
    out += "warning: ";
  }
  out += d.message;
  if (d.line > 0) out += fmt::format("\n    {}", d.row);
  return out;
}

}  // namespace compiler
