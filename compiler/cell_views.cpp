#include "compiler/cell_views.h"

#include <fmt/format.h>

#include "scenario/text_file.h"

namespace compiler {

namespace {

bool is(const track_cell& cell, cell_kind kind) { return has_kind(cell, kind); }

}  // namespace

void put_signal(track_cell& cell, const signal_cell& signal) {
  cell.kind = kind_value(cell_kind::signal);
  cell.param1 = signal.pair1;
  cell.param2 = signal.pair2;
  cell.param3 = signal.pair3;
  cell.param4 = signal.repeat_and_sides;
  cell.signal_time = signal.time;
}

void put_speed_boards(track_cell& cell, const speed_boards_cell& boards) {
  cell.kind = kind_value(cell_kind::speed_boards);
  cell.param1 = boards.rank_a;
  cell.param2 = boards.rank_b;
  cell.param3 = boards.rank_c;
  cell.param4 = boards.stripes;
}

void put_slot(track_cell& cell, cell_kind kind, const slot_cell& slot) {
  cell.kind = kind_value(kind);
  cell.param1 = slot.slot;
}

void put_code_cut(track_cell& cell, const code_cut_cell& cut) {
  cell.kind = kind_value(cell_kind::code_cut);
  cell.param1 = cut.code;
}

void put_slowdown(track_cell& cell, cell_kind kind, const slowdown_cell& slowdown) {
  cell.kind = kind_value(kind);
  cell.param1 = slowdown.speed;
  if (slowdown.d_v != 0) cell.param2 = slowdown.d_v;
  if (kind != cell_kind::slowdown_warning) cell.param3 = slowdown.f_tt;
}

void put_warning_approach(track_cell& cell, const warning_approach_cell& approach) {
  cell.kind = kind_value(cell_kind::warning_approach);
  cell.param1 = approach.rank;
  if (approach.rank_again != 0) cell.param2 = approach.rank_again;
}

void put_route_stamp(track_cell& cell, const route_stamp& stamp) {
  cell.param1 = stamp.fixed_value;
  cell.param2 = stamp.plain_competition_code;
}

std::optional<signal_cell> signal_of(const track_cell& cell) {
  if (!is(cell, cell_kind::signal)) return std::nullopt;
  return signal_cell{cell.param1, cell.param2, cell.param3, cell.param4, cell.signal_time};
}

std::optional<speed_boards_cell> speed_boards_of(const track_cell& cell) {
  if (!is(cell, cell_kind::speed_boards)) return std::nullopt;
  return speed_boards_cell{cell.param1, cell.param2, cell.param3, cell.param4};
}

std::optional<slowdown_cell> slowdown_of(const track_cell& cell) {
  if (!is(cell, cell_kind::slowdown_end) && !is(cell, cell_kind::slowdown_start) &&
      !is(cell, cell_kind::slowdown_warning)) {
    return std::nullopt;
  }
  return slowdown_cell{cell.param1, cell.param2, cell.param3};
}

std::optional<warning_approach_cell> warning_approach_of(const track_cell& cell) {
  if (!is(cell, cell_kind::warning_approach)) return std::nullopt;
  return warning_approach_cell{cell.param1, cell.param2};
}

std::optional<slot_cell> slot_of(const track_cell& cell) {
  if (!is(cell, cell_kind::station_stop) && !is(cell, cell_kind::line_sign)) return std::nullopt;
  return slot_cell{cell.param1};
}

std::optional<code_cut_cell> code_cut_of(const track_cell& cell) {
  if (!is(cell, cell_kind::code_cut)) return std::nullopt;
  return code_cut_cell{cell.param1};
}

route_stamp route_stamp_of(const track_cell& cell) { return {cell.param1, cell.param2}; }

namespace {

std::string signal_words(const signal_cell& s) {
  const int sides = s.repeat_and_sides % 10;
  std::string words =
      fmt::format("signal · s {} {} {} · d {} {} {} · rapp {} · sx {} · dx {}", s.pair1 / 10,
                  s.pair2 / 10, s.pair3 / 10, s.pair1 % 10, s.pair2 % 10, s.pair3 % 10,
                  s.repeat_and_sides / 10, sides / 3, sides % 3);
  if (s.time != 0) words += fmt::format(" · time {}", s.time);
  return words;
}

std::string speed_boards_words(const speed_boards_cell& b) {
  std::string words =
      fmt::format("speed boards · s {} {} {} km/h, {} stripes", s_speed_kmh(b.rank_a),
                  s_speed_kmh(b.rank_b), s_speed_kmh(b.rank_c), b.stripes / 10);
  if (b.rank_a % 100 != 0 || b.rank_b % 100 != 0 || b.rank_c % 100 != 0 || b.stripes % 10 != 0) {
    words += fmt::format(" · d {} {} {} km/h, {} stripes", d_speed_kmh(b.rank_a),
                         d_speed_kmh(b.rank_b), d_speed_kmh(b.rank_c), b.stripes % 10);
  }
  return words;
}

std::string slowdown_words(std::string_view what, const slowdown_cell& s, bool with_tt) {
  std::string words = fmt::format("{} · {} km/h", what, s.speed);
  if (s.d_v != 0) words += fmt::format(" · d_v {}", s.d_v);
  if (with_tt) words += fmt::format(" · f_tt {}", s.f_tt);
  return words;
}

// " · NAME" for a slot that holds a name; nothing otherwise.
std::string slot_name(const station_table& stations, std::int16_t slot) {
  if (slot < 0 || static_cast<std::size_t>(slot) >= stations.slots.size()) return {};
  const std::string& name = stations.slots[static_cast<std::size_t>(slot)].name;
  if (name.empty()) return {};
  return " · " + scenario::from_windows_1252(name);
}

}  // namespace

std::vector<std::pair<std::string_view, std::int64_t>> values_past_the_first(
    const track_cell& cell) {
  const std::pair<std::string_view, std::int64_t> values[] = {{"param2", cell.param2},
                                                              {"param3", cell.param3},
                                                              {"param4", cell.param4},
                                                              {"signal_time", cell.signal_time}};
  std::vector<std::pair<std::string_view, std::int64_t>> kept;
  for (const auto& value : values) {
    if (value.second != 0) kept.push_back(value);
  }
  return kept;
}

std::string describe_object(const track_cell& cell, const station_table& stations) {
  switch (static_cast<cell_kind>(cell.kind)) {
    case cell_kind::free_track:
      return {};
    case cell_kind::signal:
      return signal_words(*signal_of(cell));
    case cell_kind::slowdown_end:
      return slowdown_words("slowdown end", *slowdown_of(cell), true);
    case cell_kind::slowdown_start:
      return slowdown_words("slowdown start", *slowdown_of(cell), true);
    case cell_kind::slowdown_warning:
      return slowdown_words("slowdown warning", *slowdown_of(cell), false);
    case cell_kind::warning_approach:
      return fmt::format("cell {} ahead of the slowdown warning", warning_approach_of(cell)->rank);
    case cell_kind::speed_boards:
      return speed_boards_words(*speed_boards_of(cell));
    case cell_kind::station_stop: {
      const std::int16_t slot = slot_of(cell)->slot;
      return fmt::format("station stop · slot {}{}", slot, slot_name(stations, slot));
    }
    case cell_kind::tunnel_marker:
      return "tunnel marker";
    case cell_kind::code_cut:
      return fmt::format("code cut · code {}", code_cut_of(cell)->code);
    case cell_kind::code_cut_without_code:
      return "code cut without a code";
    case cell_kind::line_sign: {
      const std::int16_t slot = slot_of(cell)->slot;
      return fmt::format("line sign · slot {}{}", slot, slot_name(stations, slot));
    }
  }
  return fmt::format("kind {} · {} {} {} {}", cell.kind, cell.param1, cell.param2, cell.param3,
                     cell.param4);
}

}  // namespace compiler
