#include "viewer/build_notes.h"

#include <fmt/format.h>

#include <map>
#include <utility>
#include <variant>

#include "compiler/cell_views.h"
#include "compiler/keywords.h"

namespace viewer {

namespace {

using compiler::row_keyword;
using compiler::text_id;

// The two texts' line indexes, for the texts that were there to be read.
struct text_lines {
  std::optional<compiler::line_index> line;
  std::optional<compiler::line_index> service;

  explicit text_lines(const compiler::description_texts& texts) {
    if (texts.line) line.emplace(*texts.line);
    if (texts.service) service.emplace(*texts.service);
  }

  std::uint32_t line_of(const compiler::text_place& place) const {
    const auto& index = place.text == text_id::line_text ? line : service;
    if (place.text == text_id::none || !index) return 0;
    return static_cast<std::uint32_t>(index->line_of(place.offset));
  }
};

// The row entry that placed the object of a placement entry.
std::int32_t placing_row(const compiler::journal_entry& entry) {
  if (const auto* placed = std::get_if<compiler::object_placed>(&entry.event)) return placed->row;
  if (const auto* over = std::get_if<compiler::object_overwritten>(&entry.event)) return over->row;
  return -1;
}

std::string source_words(const build_notes& notes, const std::optional<placed_by>& by) {
  if (!by) return {};
  if (by->text == text_id::none) return "the protection pass";
  const std::string& file = by->text == text_id::line_text ? notes.names.line : notes.names.service;
  return fmt::format("{}:{}", file, by->line);
}

// Where the object of an error's row would stand: the cell the error names,
// else the position it keeps, else the place its row names. Nothing for a
// warning, or for a row that places no object.
std::optional<std::int64_t> object_place(const compiler::diagnostic& d,
                                         const compiler::row_read* read) {
  if (d.level != compiler::severity::error) return std::nullopt;
  if (read != nullptr && !compiler::facts_of(read->keyword).places_object) return std::nullopt;
  if (d.cell >= 0) return std::int64_t{d.cell} * compiler::cell_length_m;
  if (d.position) return *d.position;
  if (read != nullptr && compiler::facts_of(read->keyword).names_place) return read->position;
  return std::nullopt;
}

}  // namespace

std::string build_notes::cell_source(std::size_t cell) const {
  return cell < cells.size() ? source_words(*this, cells[cell]) : std::string();
}

std::string build_notes::slot_source(std::size_t slot) const {
  return slot < slots.size() ? source_words(*this, slots[slot]) : std::string();
}

build_notes notes_of(const compiler::compile_result& result, const compiler::journal& log,
                     const compiler::scenario_model& model,
                     const compiler::description_texts& texts, const compiler::text_names& names,
                     std::vector<compiler::diagnostic> report) {
  build_notes notes;
  notes.names = names;
  notes.outcome = result.outcome;
  notes.fatal = result.fatal;
  notes.recorded = log.recorded().code;
  const text_lines lines(texts);
  const auto& entries = log.entries();

  // The keyword and first value of the first row of each line.
  std::map<std::pair<text_id, std::uint32_t>, compiler::row_read> rows;
  for (const compiler::journal_entry& entry : entries) {
    const auto* row = std::get_if<compiler::row_read>(&entry.event);
    if (row != nullptr) rows.emplace(std::pair{entry.place.text, lines.line_of(entry.place)}, *row);
  }
  for (compiler::diagnostic& d : report) {
    page_diagnostic shown{std::move(d), std::nullopt, std::nullopt};
    const text_id text = shown.report.file.empty()         ? text_id::none
                         : shown.report.file == names.line ? text_id::line_text
                                                           : text_id::service_text;
    const auto row = shown.report.line == 0
                         ? rows.end()
                         : rows.find({text, static_cast<std::uint32_t>(shown.report.line)});
    const compiler::row_read* read = row == rows.end() ? nullptr : &row->second;
    if (read != nullptr && compiler::facts_of(read->keyword).names_place) {
      shown.metre = read->position;
    }
    shown.object_metre = object_place(shown.report, read);
    notes.diagnostics.push_back(std::move(shown));
  }

  // The owner of each cell's object, and through the station stops the row
  // that filled each station's slot.
  const auto& cells = model.grid.cells;
  notes.cells.resize(cells.size());
  notes.slots.resize(model.stations.slots.size());
  for (std::size_t c = 0; c < cells.size(); ++c) {
    const std::int32_t owner = log.owner_of(static_cast<std::int32_t>(c));
    if (owner < 0) continue;
    const std::int32_t row = placing_row(entries[static_cast<std::size_t>(owner)]);
    placed_by by;
    if (row >= 0)
      by = {entries[static_cast<std::size_t>(row)].place.text,
            lines.line_of(entries[static_cast<std::size_t>(row)].place)};
    notes.cells[c] = by;
    const std::optional<compiler::slot_cell> stop = compiler::slot_of(cells[c]);
    if (stop && compiler::has_kind(cells[c], compiler::cell_kind::station_stop) &&
        stop->slot >= 0 && static_cast<std::size_t>(stop->slot) < notes.slots.size()) {
      notes.slots[static_cast<std::size_t>(stop->slot)] = by;
    }
  }
  return notes;
}

}  // namespace viewer
