#include "compiler/scenario_diff.h"

#include <fmt/format.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <optional>
#include <tuple>
#include <type_traits>

#include "compiler/keywords.h"
#include "compiler/row_recovery.h"
#include "scenario/text_file.h"

namespace compiler {

namespace {

std::string clock_text(std::int64_t h, std::int64_t m, std::int64_t s) {
  return fmt::format("{:02}:{:02}:{:02}", h, m, s);
}

template <class Value>
std::string value_text(const Value& value) {
  if constexpr (std::is_same_v<Value, std::string_view>) {
    return fmt::format("\"{}\"", scenario::from_windows_1252(value));
  } else {
    return fmt::format("{}", static_cast<std::int64_t>(value));
  }
}

// The values of two rows of one keyword that differ, named as the guide names
// them: "s1 4 → 3, tempo 0 → 140". Empty when every value is the same.
template <class Row>
std::string changed_values(const Row& a, const Row& b) {
  const auto& fields = facts_of(keyword_of(typed_row{Row{}})).fields;
  std::string out;
  std::size_t i = 0;
  const auto compare = [&](auto member) {
    const std::size_t index = i++;
    if (a.*member == b.*member) return;
    if (!out.empty()) out += ", ";
    out += fmt::format("{} {} \u2192 {}", fields[index].name, value_text(a.*member),
                       value_text(b.*member));
  };
  std::apply([&](auto... member) { (compare(member), ...); }, row_values<Row>);
  if constexpr (std::is_same_v<Row, curve_row>) {
    if (a.curve_class != b.curve_class) {
      if (!out.empty()) out += ", ";
      out += fmt::format("class {} \u2192 {}", a.curve_class, b.curve_class);
    }
    if (a.negative_sense != b.negative_sense) {
      if (!out.empty()) out += ", ";
      out += fmt::format("sense {} \u2192 {}", a.negative_sense ? negative_sense_letter : positive_sense_letter,
                         b.negative_sense ? negative_sense_letter : positive_sense_letter);
    }
  }
  return out;
}

template <class Row>
std::string all_values(const Row& row) {
  const auto& fields = facts_of(keyword_of(typed_row{Row{}})).fields;
  std::string out;
  std::size_t i = 0;
  const auto add = [&](auto member) {
    const std::size_t index = i++;
    if (!out.empty()) out += ", ";
    out += fmt::format("{} {}", fields[index].name, value_text(row.*member));
  };
  std::apply([&](auto... member) { (add(member), ...); }, row_values<Row>);
  return out;
}

template <class Row>
std::int64_t position_of(const Row& row) {
  if constexpr (requires { row.position; }) {
    return row.position;
  } else {
    return row.start;
  }
}

struct comparison {
  const recovered_rows& older;
  const recovered_rows& newer;
  std::vector<meaning_change> changes;

  void add(std::int64_t position, std::string subject, std::string change, std::string before,
           std::string after) {
    changes.push_back(
        {position, std::move(subject), std::move(change), std::move(before), std::move(after)});
  }
};

// Rows of the line text come before braked mass in the keyword table, rows
// of the service text from it on.
template <class Row>
const std::vector<typed_row>& text_rows(const recovered_rows& rows) {
  return facts_of(keyword_of(typed_row{Row{}})).section == text_section::service ? rows.service
                                                                                 : rows.line;
}

// A single-valued row of either text (a length, a clock): changed, added or
// removed as a whole.
template <class Row>
void compare_single(comparison& c, std::string_view subject,
                    bool (*same_variant)(const Row&, const Row&) = nullptr) {
  const std::vector<Row> a = rows_of<Row>(text_rows<Row>(c.older));
  const std::vector<Row> b = rows_of<Row>(text_rows<Row>(c.newer));
  std::vector<bool> matched(b.size(), false);
  for (const Row& old_row : a) {
    std::optional<std::size_t> found;
    for (std::size_t j = 0; j < b.size() && !found; ++j) {
      if (!matched[j] && (same_variant == nullptr || same_variant(old_row, b[j]))) found = j;
    }
    if (!found) {
      c.add(-1, std::string(subject), fmt::format("{} removed", subject), all_values(old_row), "");
      continue;
    }
    matched[*found] = true;
    const std::string changed = changed_values(old_row, b[*found]);
    if (!changed.empty()) {
      c.add(-1, std::string(subject), fmt::format("{}: {}", subject, changed), all_values(old_row),
            all_values(b[*found]));
    }
  }
  for (std::size_t j = 0; j < b.size(); ++j) {
    if (!matched[j]) {
      c.add(-1, std::string(subject), fmt::format("{} added", subject), "", all_values(b[j]));
    }
  }
}

template <class Row>
bool same_which(const Row& a, const Row& b) {
  return a.which == b.which;
}

void compare_general(comparison& c) {
  const auto length_of = [](const recovered_rows& rows) {
    const auto lengths = rows_of<length_row>(rows.line);
    return lengths.empty() ? 0 : lengths.front().length;
  };
  const std::int32_t a = length_of(c.older);
  const std::int32_t b = length_of(c.newer);
  if (a != b) {
    c.add(-1, "line length",
          fmt::format("line length {} \u2192 {} km", kilometres(a), kilometres(b)),
          kilometres(a), kilometres(b));
  }
  compare_single<progressive_row>(c, "progressive change", &same_which<progressive_row>);
  compare_single<background_row>(c, "background", &same_which<background_row>);
  compare_single<repetition_row>(c, "signal repetition");
  compare_single<cars_row>(c, "number of cars");
  compare_single<braked_mass_row>(c, "braked mass");
  compare_single<sand_row>(c, "sand");
  const auto clocks_a = rows_of<clock_row>(c.older.service);
  const auto clocks_b = rows_of<clock_row>(c.newer.service);
  const clock_row ca = clocks_a.empty() ? clock_row{} : clocks_a.front();
  const clock_row cb = clocks_b.empty() ? clock_row{} : clocks_b.front();
  if (!(ca == cb)) {
    const std::string before = clock_text(ca.hours, ca.minutes, ca.seconds);
    const std::string after = clock_text(cb.hours, cb.minutes, cb.seconds);
    c.add(-1, "clock", fmt::format("clock {} \u2192 {}", before, after), before, after);
  }
}

// Objects that stand at a position: matched by it.
template <class Row>
void compare_placed(comparison& c, std::string_view subject) {
  std::multimap<std::int64_t, Row> a;
  std::multimap<std::int64_t, Row> b;
  for (const Row& row : rows_of<Row>(text_rows<Row>(c.older))) a.emplace(position_of(row), row);
  for (const Row& row : rows_of<Row>(text_rows<Row>(c.newer))) b.emplace(position_of(row), row);
  const auto describe_at = [&](std::int64_t p, const Row& row) {
    if constexpr (std::is_same_v<Row, tunnel_row>) {
      return fmt::format("{} {}\u2013{} km", subject, kilometres(p), kilometres(row.end));
    } else {
      return fmt::format("{} at {} km", subject, kilometres(p));
    }
  };
  auto ia = a.begin();
  auto ib = b.begin();
  while (ia != a.end() || ib != b.end()) {
    if (ib == b.end() || (ia != a.end() && ia->first < ib->first)) {
      c.add(ia->first, std::string(subject), describe_at(ia->first, ia->second) + " removed",
            all_values(ia->second), "");
      ++ia;
    } else if (ia == a.end() || ib->first < ia->first) {
      c.add(ib->first, std::string(subject), describe_at(ib->first, ib->second) + " added", "",
            all_values(ib->second));
      ++ib;
    } else {
      const std::string changed = changed_values(ia->second, ib->second);
      if (!changed.empty()) {
        c.add(ia->first, std::string(subject),
              fmt::format("{}: {}", describe_at(ia->first, ia->second), changed),
              all_values(ia->second), all_values(ib->second));
      }
      ++ia;
      ++ib;
    }
  }
}

// Stations are matched by name, in their order where names repeat.
void compare_stations(comparison& c) {
  const auto a = rows_of<station_row>(c.older.service);
  const auto b = rows_of<station_row>(c.newer.service);
  std::vector<bool> matched(b.size(), false);
  for (const station_row& old_row : a) {
    std::optional<std::size_t> found;
    for (std::size_t j = 0; j < b.size() && !found; ++j) {
      if (!matched[j] && b[j].name == old_row.name) found = j;
    }
    const std::string subject =
        fmt::format("station {}", scenario::from_windows_1252(old_row.name));
    if (!found) {
      c.add(old_row.position, subject,
            fmt::format("{} at {} km removed", subject, kilometres(old_row.position)),
            all_values(old_row), "");
      continue;
    }
    matched[*found] = true;
    station_row moved = b[*found];
    if (moved.position != old_row.position) {
      c.add(moved.position, subject,
            fmt::format("{} moved from {} to {} km", subject, kilometres(old_row.position),
                        kilometres(moved.position)),
            kilometres(old_row.position), kilometres(moved.position));
    }
    const std::string before = clock_text(old_row.hours, old_row.minutes, old_row.seconds);
    const std::string after = clock_text(moved.hours, moved.minutes, moved.seconds);
    if (before != after) {
      c.add(moved.position, subject, fmt::format("{} departure {} \u2192 {}", subject, before, after),
            before, after);
    }
    // What is left is told value by value.
    station_row same_place = old_row;
    same_place.position = moved.position;
    same_place.hours = moved.hours;
    same_place.minutes = moved.minutes;
    same_place.seconds = moved.seconds;
    const std::string changed = changed_values(same_place, moved);
    if (!changed.empty()) {
      c.add(moved.position, subject, fmt::format("{}: {}", subject, changed), all_values(old_row),
            all_values(moved));
    }
  }
  for (std::size_t j = 0; j < b.size(); ++j) {
    if (matched[j]) continue;
    const std::string subject =
        fmt::format("station {}", scenario::from_windows_1252(b[j].name));
    c.add(b[j].position, subject,
          fmt::format("{} at {} km added", subject, kilometres(b[j].position)), "",
          all_values(b[j]));
  }
}

// A profile compared cell by cell: each stretch over which the two differ,
// with the values on both sides.
void compare_profile(comparison& c, const scenario_model& older, const scenario_model& newer,
                     std::uint8_t track_cell::*field, std::string_view subject,
                     std::int64_t (*value_of)(std::uint8_t), std::string_view unit) {
  const std::size_t cells =
      std::min(older.grid.cells.size(), newer.grid.cells.size());
  // The cells the readers write: 0 to G - 3 of the shorter grid.
  const std::size_t last = cells >= 3 ? cells - 3 : 0;
  std::size_t c0 = 0;
  while (c0 < last) {
    const std::uint8_t a = older.grid.cells[c0].*field;
    const std::uint8_t b = newer.grid.cells[c0].*field;
    if (a == b) {
      ++c0;
      continue;
    }
    std::size_t c1 = c0;
    while (c1 + 1 < last && older.grid.cells[c1 + 1].*field == a &&
           newer.grid.cells[c1 + 1].*field == b) {
      ++c1;
    }
    const auto from = static_cast<std::int64_t>(c0) * cell_length_m;
    const auto to = static_cast<std::int64_t>(c1 + 1) * cell_length_m;
    const std::string before = fmt::format("{} {}", value_of(a), unit);
    const std::string after = fmt::format("{} {}", value_of(b), unit);
    c.add(from, std::string(subject),
          fmt::format("{} {}\u2013{} km: {} \u2192 {}", subject, kilometres(from), kilometres(to),
                      before, after),
          before, after);
    c0 = c1 + 1;
  }
}

// Code cuts of 180 are the protection pass's own wherever the signals and
// slowdowns are the same on both sides; only then is a difference an
// author's code cut.
void compare_code_180(comparison& c) {
  const bool same_cause =
      rows_of<signal_row>(c.older.service) == rows_of<signal_row>(c.newer.service) &&
      rows_of<slowdown_row>(c.older.service) == rows_of<slowdown_row>(c.newer.service);
  if (!same_cause) return;
  const auto& a = c.older.code_180_cells;
  const auto& b = c.newer.code_180_cells;
  std::vector<std::int64_t> removed;
  std::vector<std::int64_t> added;
  std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(removed));
  std::set_difference(b.begin(), b.end(), a.begin(), a.end(), std::back_inserter(added));
  for (const std::int64_t cell : removed) {
    const std::int64_t p = cell * cell_length_m;
    c.add(p, "code cut", fmt::format("code cut at {} km removed", kilometres(p)), "code 180", "");
  }
  for (const std::int64_t cell : added) {
    const std::int64_t p = cell * cell_length_m;
    c.add(p, "code cut", fmt::format("code cut at {} km added", kilometres(p)), "", "code 180");
  }
}

}  // namespace

std::string kilometres(std::int64_t metres) {
  const char* sign = metres < 0 ? "-" : "";
  const std::int64_t m = metres < 0 ? -metres : metres;
  return fmt::format("{}{}.{:03}", sign, m / 1000, m % 1000);
}

std::vector<meaning_change> compare_meaning(const scenario_model& older,
                                            const scenario_model& newer) {
  const recovered_rows a = recover_rows(older);
  const recovered_rows b = recover_rows(newer);
  comparison c{a, b, {}};
  compare_general(c);
  compare_stations(c);
  compare_profile(c, older, newer, &track_cell::speed_limit, "speed limit",
                  [](std::uint8_t v) { return std::int64_t{v} * 5; }, "km/h");
  compare_profile(c, older, newer, &track_cell::gradient, "gradient",
                  [](std::uint8_t v) { return std::int64_t{v} - 100; }, "\u2030");
  compare_profile(c, older, newer, &track_cell::adhesion, "adhesion",
                  [](std::uint8_t v) { return std::int64_t{v}; }, "%");
  compare_placed<curve_row>(c, "curve");
  compare_placed<tunnel_row>(c, "tunnel");
  compare_placed<speed_boards_row>(c, "speed boards");
  compare_placed<sign_row>(c, "sign");
  compare_placed<signal_row>(c, "signal");
  compare_placed<slowdown_row>(c, "slowdown");
  compare_placed<code_cut_row>(c, "code cut");
  compare_code_180(c);
  std::stable_sort(c.changes.begin(), c.changes.end(),
                   [](const meaning_change& x, const meaning_change& y) {
                     return x.position < y.position;
                   });
  return std::move(c.changes);
}

}  // namespace compiler
