#include "compiler/diagnostics.h"

#include <fmt/format.h>

#include <algorithm>
#include <optional>

#include "compiler/decoding.h"
#include "compiler/rounding.h"
#include "compiler/signals.h"
#include "scenario/field_reader.h"

namespace compiler {

namespace {

// Cells between a slowdown's warning and its start: the warning stands
// 1200 m, that is 24 whole cells, ahead.
constexpr std::int64_t warning_lead_cells = 1200 / cell_length_m;
constexpr std::int64_t warning_look_back = 20;
constexpr std::size_t max_row_bytes = 200;
constexpr std::size_t max_field_bytes = 60;

// One description text with the offsets where its lines start, so that each
// note finds its line by a binary search instead of a scan from the top.
struct source {
  std::string_view name;
  std::optional<std::string_view> body;
  std::vector<std::size_t> line_starts;

  source(std::string_view file_name, const std::optional<std::string>& text) : name(file_name) {
    if (!text) return;
    body = *text;
    line_starts.push_back(0);
    const std::string_view b = *body;
    for (std::size_t i = 0; i < b.size(); ++i) {
      // CR LF, a lone CR and a lone LF each end one line, as for the reader.
      const bool ends_line =
          b[i] == '\n' || (b[i] == '\r' && (i + 1 >= b.size() || b[i + 1] != '\n'));
      if (ends_line) line_starts.push_back(i + 1);
    }
  }

  bool holds(std::size_t offset) const { return body && offset < body->size(); }

  std::size_t line_of(std::size_t offset) const {
    return static_cast<std::size_t>(
        std::upper_bound(line_starts.begin(), line_starts.end(), offset) - line_starts.begin());
  }

  // The text of the line that holds `offset`, without its line end, cut to
  // a length a report can show: a text of one endless line must not make
  // every report as long as the text.
  std::string row_of(std::size_t offset) const {
    const std::size_t line = line_of(offset);
    const std::string_view b = *body;
    const std::size_t begin = line_starts[line - 1];
    std::size_t end = line < line_starts.size() ? line_starts[line] : b.size();
    while (end > begin && (b[end - 1] == '\r' || b[end - 1] == '\n')) --end;
    if (end - begin <= max_row_bytes) return std::string(b.substr(begin, end - begin));
    return std::string(b.substr(begin, max_row_bytes)) + " ...";
  }
};

struct sources {
  source line;
  source service;

  const source* of(error_source from) const {
    if (from == error_source::line_text) return &line;
    if (from == error_source::service_text) return &service;
    return nullptr;
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

// The first `count` numbers of the row whose keyword field starts at
// `offset`, read again the way the reader read them.
std::vector<std::int32_t> row_numbers(std::string_view body, std::size_t offset,
                                      std::size_t count) {
  scenario::field_reader in(body.substr(offset));
  in.read_text();
  std::vector<std::int32_t> numbers(count);
  for (std::int32_t& number : numbers) number = in.read_long();
  return numbers;
}

// Places the diagnostic at the row that starts at `offset` in `text`.
void place_at(diagnostic& d, const source& text, std::size_t offset) {
  d.file = std::string(text.name);
  if (!text.holds(offset)) return;
  d.line = text.line_of(offset);
  d.row = text.row_of(offset);
}

// A slowdown row that the reading placed, with the cell of its start.
struct placed_slowdown {
  std::size_t offset;
  std::int32_t x;
  std::int64_t start_cell;
};

std::vector<placed_slowdown> placed_slowdowns(const sources& src, const reading_notes& notes) {
  std::vector<placed_slowdown> placed;
  if (!src.service.body) return placed;
  for (const reading_note& note : notes) {
    if (note.kind != reading_note_kind::slowdown_row) continue;
    const std::int32_t x = row_numbers(*src.service.body, note.offset, 1)[0];
    placed.push_back({note.offset, x, slowdown_start_cell(x)});
  }
  return placed;
}

// The slowdown that a protection-pass error at `cell` concerns: the one whose
// start is that cell (12), whose warning the signal at that cell stands
// before (11), or inside or after which the walk stopped there (13).
const placed_slowdown* concerned_slowdown(error_code code, std::int64_t cell,
                                          const std::vector<placed_slowdown>& placed) {
  const placed_slowdown* found = nullptr;
  for (const placed_slowdown& s : placed) {
    switch (code) {
      case error_code::slowdown_approach_unprotected:
        if (s.start_cell == cell) return &s;
        break;
      case error_code::signal_before_warning_unprotected: {
        const std::int64_t warning = s.start_cell - warning_lead_cells;
        if (warning > cell && warning <= cell + warning_look_back &&
            (found == nullptr || s.start_cell < found->start_cell)) {
          found = &s;
        }
        break;
      }
      default:
        if (s.start_cell <= cell && (found == nullptr || s.start_cell > found->start_cell)) {
          found = &s;
        }
        break;
    }
  }
  return found;
}

// What stands in the way of the fixed values of cell 1 and slot 85.
std::string reserved_fields_detail(const build_state& state, error_code code) {
  if (!state.grid.exists()) return {};
  const track_cell& cell1 = state.grid.cells[1];
  const bool in_cell =
      code == error_code::fixed_values_taken ? cell1.param1 != 0 : cell1.param2 != 0;
  if (!in_cell) return " (slot 85)";
  return fmt::format(" (cell 1 holds {}: an object at the very start of the line takes it)",
                     kind_name(cell1.kind));
}

// The detail after the position of an error 15: which bound the row passed.
std::string beyond_grid_detail(const build_state& state, const source* text, std::size_t offset,
                               std::int32_t position) {
  if (position < 0) return " (before the start of the line)";
  const std::int64_t upper = state.grid.exists() ? state.grid.upper() : 0;
  const bool station = text != nullptr && text->holds(offset) &&
                       scenario::contains_ignoring_case(field_at(*text->body, offset), "stazione");
  const std::int64_t limit = std::int64_t{cell_length_m} * upper - (station ? 800 : 100);
  if (position > limit) return fmt::format(" (the grid takes positions up to {} m)", limit);
  return fmt::format(" (its {} lies past the grid's last cell {})", station ? "stop" : "end",
                     upper);
}

// The cell, or cells, that the object of a reader error would have taken.
std::string cell_detail(const build_state& state, const error_record& e, const source* text) {
  const std::int64_t p = e.position;
  switch (e.code) {
    case error_code::sign_cell_occupied:
    case error_code::signal_cell_occupied:
    case error_code::speed_boards_cell_occupied:
    case error_code::slowdown_start_occupied:
      return fmt::format(" (cell {})", cell_of(p) + 1);
    case error_code::code_cut_cell_occupied:
    case error_code::station_position_not_multiple_of_50:
    case error_code::station_length_not_multiple_of_100:
      return fmt::format(" (cell {})", cell_of(p));
    case error_code::slowdown_warning_occupied:
      return fmt::format(" (warning cell {})", cell_of(p - 1200) + 1);
    case error_code::warning_approach_occupied: {
      const std::int64_t h = cell_of(p - 1200);
      return fmt::format(" (cells {} to {})", h - 3, h);
    }
    case error_code::slowdown_end_occupied: {
      if (text == nullptr || !text->holds(e.offset)) return {};
      const auto v = row_numbers(*text->body, e.offset, 3);
      return fmt::format(" (end cell {})", slowdown_end_cell(v[0], v[2]));
    }
    case error_code::position_beyond_grid:
      return beyond_grid_detail(state, text, e.offset, e.position);
    case error_code::stations_too_close: {
      // Every station before this one passed the same test when it was
      // read, so the first pair that fails it is this station and the one
      // before.
      const auto& slots = state.stations.slots;
      for (std::size_t slot = 2; slot < static_cast<std::size_t>(sign_slot_first); ++slot) {
        const station_record& station = slots[slot];
        if (station.position != e.position ||
            std::int64_t{station.start} - 350 >= slots[slot - 1].finish) {
          continue;
        }
        return fmt::format(" (its area starts at {} m, the previous one ends at {} m)",
                           station.start, slots[slot - 1].finish);
      }
      return {};
    }
    default:
      return {};
  }
}

// The progressive row that error 2 concerns: the first whose start or
// reference is not a multiple of 50.
std::optional<std::size_t> bad_progressive_row(const sources& src, const reading_notes& notes) {
  if (!src.line.body) return std::nullopt;
  for (const reading_note& note : notes) {
    if (note.kind != reading_note_kind::progressive_row) continue;
    const auto v = row_numbers(*src.line.body, note.offset, 2);
    if (v[0] % 50 != 0 || v[1] % 50 != 0) return note.offset;
  }
  return std::nullopt;
}

diagnostic error_diagnostic(const build_state& state, const error_record& e, const sources& src,
                            const reading_notes& notes) {
  diagnostic d;
  d.level = severity::error;
  d.code = code_number(e.code);
  d.message = std::string(meaning(e.code));
  const source* text = src.of(e.from);

  if (e.code == error_code::fixed_values_taken || e.code == error_code::competition_codes_taken) {
    d.message += reserved_fields_detail(state, e.code);
    return d;
  }
  if (e.from == error_source::protection_pass) {
    const auto cell = static_cast<std::int64_t>(e.offset);
    d.message += fmt::format(", at {} m (cell {})", e.position, cell);
    const auto placed = placed_slowdowns(src, notes);
    if (const placed_slowdown* s = concerned_slowdown(e.code, cell, placed)) {
      d.message += fmt::format(", for the slowdown at {} m", s->x);
      place_at(d, src.service, s->offset);
    }
    return d;
  }
  if (e.code == error_code::progressive_not_multiple_of_50) {
    // Raised at the end of the service text, about rows of the line text.
    d.file = std::string(src.line.name);
    if (const auto offset = bad_progressive_row(src, notes)) place_at(d, src.line, *offset);
    return d;
  }
  if (keeps_position(e.code)) {
    d.message += fmt::format(", at {} m{}", e.position, cell_detail(state, e, text));
  }
  if (text != nullptr) place_at(d, *text, e.offset);
  return d;
}

std::string warning_message(reading_note_kind kind, std::string_view body, std::size_t offset) {
  switch (kind) {
    case reading_note_kind::unknown_keyword:
      return fmt::format("\"{}\" matches no keyword here and is passed over",
                         shown(field_at(body, offset)));
    case reading_note_kind::dash_field_dropped:
      return fmt::format(
          "\"{}\" contains \"-\" and is dropped; the field after it is read as the "
          "keyword in its place",
          shown(field_at(body, offset)));
    case reading_note_kind::progressive_in_capitals:
      return fmt::format("\"{}\" is ignored: this general keyword is recognised only in lower case",
                         shown(field_at(body, offset)));
    case reading_note_kind::non_numeric_number:
      return fmt::format("\"{}\" is not a number and reads as 0", shown(token_at(body, offset)));
    case reading_note_kind::values_from_next_line:
      return fmt::format(
          "the \"{}\" row has fewer values than its keyword takes; the rest were "
          "read from the next line",
          shown(field_at(body, offset)));
    case reading_note_kind::values_left_over:
      return fmt::format(
          "the \"{}\" row has more values than its keyword takes; the rest of the "
          "line is read as keyword fields",
          shown(field_at(body, offset)));
    case reading_note_kind::progressive_row:
    case reading_note_kind::slowdown_row:
      return {};
  }
  return {};
}

int text_rank(const diagnostic& d, const text_names& names) {
  if (d.file.empty()) return 2;
  return d.file == names.line ? 0 : 1;
}

}  // namespace

std::vector<diagnostic> diagnose(const build_state& state, const compile_result& result,
                                 const description_texts& texts, const text_names& names,
                                 const reading_notes& notes) {
  const sources src{source(names.line, texts.line), source(names.service, texts.service)};
  std::vector<diagnostic> out;
  for (const reading_note& note : notes) {
    const source* text = src.of(note.text);
    if (!is_warning(note.kind) || text == nullptr || !text->holds(note.offset)) continue;
    diagnostic d;
    d.level = severity::warning;
    d.message = warning_message(note.kind, *text->body, note.offset);
    if (note.more > 0) {
      d.message +=
          fmt::format(" ({} more warnings of this kind in this text are not shown)", note.more);
    }
    place_at(d, *text, note.offset);
    out.push_back(std::move(d));
  }

  const error_record last = recorded_error(state);
  if (result.reading_error.code != error_code::none && !(result.reading_error == last)) {
    out.push_back(error_diagnostic(state, result.reading_error, src, notes));
  }
  if (last.code != error_code::none) out.push_back(error_diagnostic(state, last, src, notes));
  if (result.fatal != error_code::none) {
    out.push_back(error_diagnostic(state, error_record{result.fatal}, src, notes));
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

std::string describe_error(const build_state& state, const description_texts& texts,
                           const text_names& names) {
  if (state.error == error_code::none) return {};
  const sources src{source(names.line, texts.line), source(names.service, texts.service)};
  return format_diagnostic(error_diagnostic(state, recorded_error(state), src, {}));
}

}  // namespace compiler
