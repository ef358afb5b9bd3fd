#include "compiler/journal.h"

#include "compiler/model.h"

namespace compiler {

namespace {

// An object that a later one replaces is worth an entry of its own; a free
// cell or a tunnel marker is there to be taken.
bool holds_object(std::uint8_t kind) {
  return kind != kind_value(cell_kind::free_track) && kind != kind_value(cell_kind::tunnel_marker);
}

}  // namespace

static_assert(static_cast<std::size_t>(warning_kind::object_half_overwritten) + 1 ==
                  journal::warning_kinds_counted,
              "every warning kind has its count");

std::int32_t journal::owner_of(std::int32_t cell) const {
  if (cell < 0 || static_cast<std::size_t>(cell) >= owners_.size()) return -1;
  return owners_[static_cast<std::size_t>(cell)];
}

void journal::own(std::int32_t cell, std::int32_t entry) {
  if (cell < 0) return;
  const auto index = static_cast<std::size_t>(cell);
  if (index >= owners_.size()) owners_.resize(index + 1, -1);
  owners_[index] = entry;
}

std::int32_t journal::add_row(text_place place, row_keyword keyword, std::int32_t position) {
  entries_.push_back({place, row_read{keyword, position}});
  return static_cast<std::int32_t>(entries_.size() - 1);
}

void journal::set_row_position(std::int32_t row, std::int32_t position) {
  if (row < 0) return;
  if (auto* read = std::get_if<row_read>(&entries_[static_cast<std::size_t>(row)].event)) {
    read->position = position;
  }
}

void journal::add_writes(text_place place, std::int32_t row, std::span<const cell_write> writes) {
  for (const cell_write& write : writes) {
    const auto entry = static_cast<std::int32_t>(entries_.size());
    if (write.kind != 0 && holds_object(write.previous_kind)) {
      entries_.push_back({place, object_overwritten{write.cell, write.kind, write.previous_kind,
                                                    owner_of(write.cell), row}});
    } else {
      entries_.push_back({place, object_placed{write.cell, write.kind, write.approach_mark, row}});
    }
    if (write.kind != 0) own(write.cell, entry);
  }
}

std::int32_t cell_of(const error_recorded& error) {
  if (const auto* named = std::get_if<cell_named>(&error.detail)) return named->cell;
  if (const auto* held = held_of(error)) return held->cell;
  if (const auto* station = std::get_if<station_refused>(&error.detail)) return station->cell;
  return -1;
}

const cell_held* held_of(const error_recorded& error) {
  if (const auto* held = std::get_if<cell_held>(&error.detail)) return held;
  if (const auto* pass = std::get_if<cell_unprotected>(&error.detail)) return &pass->held;
  return nullptr;
}

std::int32_t journal::add_error(text_place place, const error_recorded& error) {
  // The final checks end the build on the spot instead of recording a code.
  const bool fatal = error.code == error_code::fixed_values_taken ||
                     error.code == error_code::competition_codes_taken;
  if (!fatal) {
    recorded_.code = error.code;
    if (error.position) recorded_.position = *error.position;
  }
  entries_.push_back({place, error});
  const auto entry = static_cast<std::int32_t>(entries_.size() - 1);
  if (!fatal) last_error_ = entry;
  return entry;
}

void journal::add_warning(text_place place, const warning_noted& warning) {
  std::size_t& seen =
      warnings_seen_[static_cast<std::size_t>(place.text)][static_cast<std::size_t>(warning.kind)];
  ++seen;
  if (seen <= warnings_kept_per_kind) entries_.push_back({place, warning});
}

std::size_t journal::warnings_not_kept(text_id text, warning_kind kind) const {
  const std::size_t seen =
      warnings_seen_[static_cast<std::size_t>(text)][static_cast<std::size_t>(kind)];
  return seen > warnings_kept_per_kind ? seen - warnings_kept_per_kind : 0;
}

void journal::add_stop(text_place place, reading_end how) {
  entries_.push_back({place, reading_stopped{how}});
}

std::vector<const error_recorded*> errors_of(const journal& log) {
  std::vector<const error_recorded*> errors;
  for (const journal_entry& entry : log.entries()) {
    if (const auto* error = std::get_if<error_recorded>(&entry.event)) errors.push_back(error);
  }
  return errors;
}

}  // namespace compiler
