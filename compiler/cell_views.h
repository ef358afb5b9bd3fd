#pragma once
// What the four generic values of a cell mean for each kind of object. A cell
// carries `param1` to `param4` whatever it holds; a signal packs the values of
// its two sides there, speed boards their speeds in units of 5 km/h, a station
// stop its slot in the table. Each kind has one view here, with the packing
// from a row's values and the unpacking for the tools, so that the placers,
// `inspect`, the page and the fuzzer all read a cell the same way.
//
// Row values are stored as their low 16 (or 8) bits, as the files hold them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "compiler/model.h"

namespace compiler {

// The low 16 bits of a value, as a signed field stores it.
constexpr std::int16_t low16(std::int64_t value) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(value & 0xFFFF));
}
// The low 8 bits, as a byte field stores it.
constexpr std::uint8_t low8(std::int64_t value) { return static_cast<std::uint8_t>(value & 0xFF); }

// Kind 1. Each pair holds an s value in its tens and a d value in its units;
// `repeat_and_sides` holds rapp in its tens and sx × 3 + dx in its units.
struct signal_cell {
  std::int16_t pair1 = 0;
  std::int16_t pair2 = 0;
  std::int16_t pair3 = 0;
  std::int16_t repeat_and_sides = 0;
  std::uint8_t time = 0;  // signal_time
};

// sx × 3 + dx, the code of the two sides that the approach marks carry too.
constexpr std::int64_t signal_sides(std::int64_t sx, std::int64_t dx) { return sx * 3 + dx; }
// s × 10 + d, one pair of a signal's side values.
constexpr std::int16_t signal_pair(std::int64_t s, std::int64_t d) { return low16(s * 10 + d); }

// Kind 6. Each rank holds the s speed / 5 in its hundreds and the d speed / 5
// in its last two digits (s × 20 + d / 5); `stripes` the s stripes in its
// tens and the d stripes in its units.
struct speed_boards_cell {
  std::int16_t rank_a = 0;
  std::int16_t rank_b = 0;
  std::int16_t rank_c = 0;
  std::int16_t stripes = 0;
};

// The two speeds of a packed rank, in km/h.
constexpr int s_speed_kmh(std::int16_t rank) { return rank / 100 * 5; }
constexpr int d_speed_kmh(std::int16_t rank) { return rank % 100 * 5; }

// Kinds 2, 3 and 4: the slowdown's speed, its d_v (0 when not given) and, for
// the start and the end, its f_tt. A d_v of 0 is not written: the cell keeps
// the second value it had; nor is the f_tt of a warning.
struct slowdown_cell {
  std::int16_t speed = 0;
  std::int16_t d_v = 0;
  std::int16_t f_tt = 0;

  bool operator==(const slowdown_cell&) const = default;
};

// Kind 5: one of the four cells ahead of a warning, ranked 1 (nearest) to 4;
// `rank_again` repeats the rank when the slowdown has a d_v; a 0 there is not
// written.
struct warning_approach_cell {
  std::int16_t rank = 0;
  std::int16_t rank_again = 0;

  bool operator==(const warning_approach_cell&) const = default;
};

// Kinds 10 and 14: the slot of the table that holds the station or the sign
// text.
struct slot_cell {
  std::int16_t slot = 0;
};

// Kind 12: a code cut's code; 180 for a protection point.
struct code_cut_cell {
  std::int16_t code = 0;
};

// Cell 1, whatever it holds: the two values the final checks stamp there once
// every row has been placed (5121, and the plain competition code). An object
// the texts put in cell 1 with a first or second value takes their place.
struct route_stamp {
  std::int16_t fixed_value = 0;
  std::int16_t plain_competition_code = 0;

  bool operator==(const route_stamp&) const = default;
};

// Writes an object into a cell: its kind and its values. The other values of
// the cell stay as they were, except those the kind's view names.
void put_signal(track_cell& cell, const signal_cell& signal);
void put_speed_boards(track_cell& cell, const speed_boards_cell& boards);
void put_slot(track_cell& cell, cell_kind kind, const slot_cell& slot);
void put_code_cut(track_cell& cell, const code_cut_cell& cut);
// `kind` is one of the three slowdown kinds.
void put_slowdown(track_cell& cell, cell_kind kind, const slowdown_cell& slowdown);
void put_warning_approach(track_cell& cell, const warning_approach_cell& approach);
// Writes the two values and nothing else: the cell's kind stays.
void put_route_stamp(track_cell& cell, const route_stamp& stamp);

// The view of a cell of that kind; nothing for a cell of another kind.
std::optional<signal_cell> signal_of(const track_cell& cell);
std::optional<speed_boards_cell> speed_boards_of(const track_cell& cell);
std::optional<slowdown_cell> slowdown_of(const track_cell& cell);  // kinds 2, 3 and 4
std::optional<warning_approach_cell> warning_approach_of(const track_cell& cell);
std::optional<slot_cell> slot_of(const track_cell& cell);  // kinds 10 and 14
std::optional<code_cut_cell> code_cut_of(const track_cell& cell);
route_stamp route_stamp_of(const track_cell& cell);

// The values a cell holds past its kind and first value, those not 0, by
// their field names: what an object written over with only a kind and a
// first value (a station stop) leaves of the one before.
std::vector<std::pair<std::string_view, std::int64_t>> values_past_the_first(
    const track_cell& cell);

// The cell's object in words, its values unpacked: "signal · s 4 0 0 · d 2 0 0
// · rapp 0 · sx 2 · dx 2 · time 140". Names from the table are shown as
// Windows-1252 bytes decoded to UTF-8. Empty for a cell without an object.
std::string describe_object(const track_cell& cell, const station_table& stations);

}  // namespace compiler
