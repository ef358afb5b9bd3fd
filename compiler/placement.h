#pragma once
// What a placer answers: the cells it wrote, each with what it held before,
// or the conflict that made it refuse the row.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "compiler/error_code.h"

namespace compiler {

// Why the reading failed (error 25) when no field did: a value that the
// model cannot hold, or a part of the texts that is missing.
enum class reading_limit : std::uint8_t {
  none,
  no_length_row,          // the grid or the plan used before a length row made them
  line_too_short,         // a length below -6974 m: no cell 1
  service_text_missing,   // the service text is not there to be read
  tunnel_list_full,       // an 81st tunnel row
  text_too_long,          // a name or sign text over 32767 bytes
  packed_speed,           // a speed-board value over 16 bits (`value`)
  stripes,                // a speed-board stripe count over 16 bits (`value`)
  code_too_large,         // a code cut's code over 16 bits (`value`)
  speed_not_a_byte,       // a speed whose fifth does not fit a byte (`value` km/h)
  station_area,           // a station area beyond 32 bits
  departure_time,         // a departure time beyond 32 bits
  progressive_reference,  // a reference that cannot take its 100 m (`value`)
};

// One object, or one approach mark, written into a cell.
struct cell_write {
  std::int32_t cell = 0;
  std::uint8_t kind = 0;           // the object's kind; 0 for an approach mark
  std::uint8_t approach_mark = 0;  // the mark written, for an approach mark
  std::uint8_t previous_kind = 0;  // the kind the cell held before
};

// Why a row was refused: the code, and the cell in conflict with what held
// it (-1 when no cell is concerned).
struct cell_conflict {
  error_code code = error_code::none;
  std::int32_t cell = -1;
  std::uint8_t held_kind = 0;
  // For error 25: the value the cell cannot hold.
  reading_limit limit = reading_limit::none;
  std::int64_t value = 0;
};

// The cells a placer wrote, in the order it wrote them, and the conflict that
// stopped it. Both can be there: a slowdown whose four warning cells are
// taken has already written its warning, start and end.
struct placement {
  static constexpr std::size_t capacity = 8;  // a slowdown writes the most: 3 cells and 4 marks

  std::array<cell_write, capacity> writes{};
  std::size_t count = 0;
  std::optional<cell_conflict> refused;

  void add(const cell_write& write) { writes[count++] = write; }
  std::span<const cell_write> cells() const { return {writes.data(), count}; }
};

// A placement refused because `cell` is taken by an object of `held_kind`.
inline placement refused_at(error_code code, std::int64_t cell, std::uint8_t held_kind) {
  placement done;
  done.refused = cell_conflict{code, static_cast<std::int32_t>(cell), held_kind};
  return done;
}

}  // namespace compiler
