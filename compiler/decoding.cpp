#include "compiler/decoding.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>

#include "compiler/encoding.h"
#include "compiler/huge_pages.h"
#include "compiler/little_endian.h"

namespace compiler {

namespace {

bool ends_with_ignoring_case(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  const std::string_view tail = text.substr(text.size() - suffix.size());
  return std::equal(tail.begin(), tail.end(), suffix.begin(), [](char a, char b) {
    const auto lower = [](char c) {
      return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    };
    return lower(a) == b;
  });
}

constexpr std::size_t name_length_at = 14;  // offset of the name's length in a record

}  // namespace

std::optional<output_file_kind> output_file_kind_of(std::string_view file_name) {
  if (ends_with_ignoring_case(file_name, "_linea.dat")) return output_file_kind::track_plan;
  if (ends_with_ignoring_case(file_name, ".dat")) return output_file_kind::route_grid;
  if (ends_with_ignoring_case(file_name, ".sim")) return output_file_kind::station_table;
  return std::nullopt;
}

std::string_view output_file_kind_name(output_file_kind kind) {
  switch (kind) {
    case output_file_kind::track_plan:
      return "track plan";
    case output_file_kind::station_table:
      return "scenario table";
    case output_file_kind::route_grid:
      return "cell grid";
  }
  return "unknown";
}

std::uint64_t max_file_size(output_file_kind kind) {
  switch (kind) {
    case output_file_kind::track_plan:
      return std::uint64_t{2} * max_plan_metres * plan_element_size(plan_tag::real);
    case output_file_kind::station_table:
      return std::uint64_t{station_slot_count} * (record_fixed_bytes + max_name_length);
    case output_file_kind::route_grid:
      return std::uint64_t{max_grid_cells} * cell_bytes;
  }
  return 0;
}

scenario::status decode_route_grid(std::string_view bytes, route_grid& grid) {
  if (bytes.size() % cell_bytes != 0) {
    return scenario::status::failure(
        fmt::format("{} bytes is not a whole number of {}-byte cells", bytes.size(), cell_bytes));
  }
  const std::size_t count = bytes.size() / cell_bytes;
  if (count < min_grid_cells || count > max_grid_cells) {
    return scenario::status::failure(
        fmt::format("{} cells: a grid has {} to {} cells", count, min_grid_cells, max_grid_cells));
  }
  grid.cells.assign(count, track_cell{});
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = i * cell_bytes;
    track_cell& cell = grid.cells[i];
    cell.kind = get_u8(bytes, at);
    cell.param1 = get_i16(bytes, at + 1);
    cell.param2 = get_i16(bytes, at + 3);
    cell.param3 = get_i16(bytes, at + 5);
    cell.param4 = get_i16(bytes, at + 7);
    cell.signal_time = get_u8(bytes, at + 9);
    cell.approach_mark = get_u8(bytes, at + 10);
    cell.mountain_type = get_u8(bytes, at + 11);
    cell.speed_limit = get_u8(bytes, at + 12);
    cell.gradient = get_u8(bytes, at + 13);
    cell.adhesion = get_u8(bytes, at + 14);
  }
  return {};
}

scenario::status decode_station_table(std::string_view bytes, station_table& table) {
  std::size_t at = 0;
  for (std::size_t slot = 0; slot < station_slot_count; ++slot) {
    if (bytes.size() - at < record_fixed_bytes) {
      return scenario::status::failure(
          fmt::format("the file ends inside slot {} (at byte {} of {})", slot, at, bytes.size()));
    }
    const std::int16_t length = get_i16(bytes, at + name_length_at);
    if (length < 0)
      return scenario::status::failure(
          fmt::format("slot {} has a name length of {}", slot, length));
    const auto n = static_cast<std::size_t>(length);
    if (bytes.size() - at < record_fixed_bytes + n) {
      return scenario::status::failure(
          fmt::format("the file ends inside slot {} (its name takes {} bytes)", slot, n));
    }
    station_record& record = table.slots[slot];
    record.station_type = get_u8(bytes, at);
    record.start = get_i32(bytes, at + 1);
    record.finish = get_i32(bytes, at + 5);
    record.position = get_i32(bytes, at + 9);
    record.flag_a = get_u8(bytes, at + 13);
    record.name.assign(bytes.substr(at + 16, n));
    const std::size_t rest = at + 16 + n;
    record.group1_a = get_i16(bytes, rest);
    record.group1_b = get_i16(bytes, rest + 2);
    record.group2_a = get_i16(bytes, rest + 4);
    record.group2_b = get_i16(bytes, rest + 6);
    record.group2_c = get_i16(bytes, rest + 8);
    record.group1_c = get_u8(bytes, rest + 10);
    record.dwell = get_u8(bytes, rest + 11);
    record.flag_c = get_u8(bytes, rest + 12);
    record.flag_b = get_u8(bytes, rest + 13);
    record.departure_time = get_i32(bytes, rest + 14);
    at += record_fixed_bytes + n;
  }
  if (at != bytes.size()) {
    return scenario::status::failure(fmt::format("{} bytes follow the last of the {} slots",
                                                 bytes.size() - at, station_slot_count));
  }
  return {};
}

namespace {

// The value of the element at `at`, whose type code has been checked.
double element_value(std::string_view bytes, std::size_t at, plan_tag tag) {
  return detail::plan_value_at(bytes.data() + at, tag);
}

// The index of the element after run `r` of `elements` in all.
std::size_t end_of_run(const std::vector<plan_run>& runs, std::size_t r, std::size_t elements) {
  return r + 1 < runs.size() ? runs[r + 1].first : elements;
}

// Crosses the reals from `at` on, eight at a time, while all eight hold
// finite numbers, widening `run`'s bounds by their values; returns where it
// stopped. The eight are read independently of each other, so a long run of
// reals is crossed at the speed of memory rather than one dependent read of
// a type code after the other.
std::size_t cross_finite_reals(std::string_view bytes, std::size_t at, plan_run& run) {
  constexpr std::size_t stride = plan_element_size(plan_tag::real);
  constexpr std::size_t block = 8;
  double low = run.low;
  double high = run.high;
  while (bytes.size() - at >= block * stride) {
    std::array<double, block> values{};
    bool all = true;
    for (std::size_t k = 0; k < block; ++k) {
      const std::size_t element = at + k * stride;
      values[k] = get_f64(bytes, element + 2);
      all &= get_u16(bytes, element) == static_cast<std::uint16_t>(plan_tag::real);
      all &= std::isfinite(values[k]);
    }
    if (!all) break;
    // In pairs, then pairs of pairs: three steps deep instead of eight.
    std::array<double, block / 2> lows{};
    std::array<double, block / 2> highs{};
    for (std::size_t k = 0; k < block / 2; ++k) {
      lows[k] = std::min(values[2 * k], values[2 * k + 1]);
      highs[k] = std::max(values[2 * k], values[2 * k + 1]);
    }
    low = std::min({low, std::min(lows[0], lows[1]), std::min(lows[2], lows[3])});
    high = std::max({high, std::max(highs[0], highs[1]), std::max(highs[2], highs[3])});
    at += block * stride;
  }
  run.low = low;
  run.high = high;
  return at;
}

// The walk both plan decoders start with: it checks the type codes and the
// size, and counts the metres, so that the arrays are sized once: a plan of a
// million metres would otherwise be grown and copied several times over.
// It also records the runs of elements of one type, and their bounds.
scenario::status check_plan_codes(std::string_view bytes, std::size_t& metres,
                                  std::vector<plan_run>& runs) {
  std::size_t count = 0;
  std::size_t at = 0;
  runs.clear();
  while (at < bytes.size()) {
    if (bytes.size() - at < 2)
      return scenario::status::failure(
          fmt::format("the file ends inside a type code at byte {}", at));
    const std::uint16_t code = get_u16(bytes, at);
    std::size_t size = 0;
    switch (code) {
      case static_cast<std::uint16_t>(plan_tag::empty):
        break;
      case static_cast<std::uint16_t>(plan_tag::integer):
        size = 2;
        break;
      case static_cast<std::uint16_t>(plan_tag::real):
        size = 8;
        break;
      default:
        return scenario::status::failure(
            fmt::format("element {} (byte {}) has the type code {}; a plan holds only 0, 2 and 5",
                        count, at, code));
    }
    if (bytes.size() - at - 2 < size) {
      return scenario::status::failure(
          fmt::format("the file ends inside element {} (byte {})", count, at));
    }
    const auto tag = static_cast<plan_tag>(code);
    const double value = element_value(bytes, at, tag);
    const bool finite = std::isfinite(value);
    if (runs.empty() || runs.back().tag != tag || runs.back().finite != finite) {
      runs.push_back({tag, finite, count, at, finite ? value : 0.0, finite ? value : 0.0});
    } else if (finite) {
      runs.back().low = std::min(runs.back().low, value);
      runs.back().high = std::max(runs.back().high, value);
    }
    ++count;
    at += 2 + size;
    if (tag == plan_tag::real && finite) {
      const std::size_t crossed = cross_finite_reals(bytes, at, runs.back());
      count += (crossed - at) / plan_element_size(plan_tag::real);
      at = crossed;
    }
  }
  if (count % 2 != 0) {
    return scenario::status::failure(
        fmt::format("{} elements cannot be split into two coordinates a metre", count));
  }
  metres = count / 2;
  if (metres < min_plan_metres || metres > max_plan_metres) {
    return scenario::status::failure(fmt::format("{} metres: a plan has {} to {} metres", metres,
                                                 min_plan_metres, max_plan_metres));
  }
  return {};
}

// The bounds of the values of elements `first` to `end - 1`: the bounds of
// the runs that lie whole among them, and the values of the parts of runs
// that do not.
void widen_to_elements(const plan_points& plan, std::size_t first, std::size_t end, double& low,
                       double& high) {
  for (std::size_t r = 0; r < plan.runs.size(); ++r) {
    const plan_run& run = plan.runs[r];
    const std::size_t run_end = plan.run_end(r);
    const std::size_t from = std::max(first, run.first);
    const std::size_t to = std::min(end, run_end);
    if (from >= to) continue;
    if (from == run.first && to == run_end) {
      low = std::min(low, run.low);
      high = std::max(high, run.high);
      continue;
    }
    for (std::size_t i = from; i < to; ++i) {
      const double value = element_value(plan.bytes, plan.offset_of(r, i), run.tag);
      low = std::min(low, value);
      high = std::max(high, value);
    }
  }
}

}  // namespace

scenario::status decode_track_plan(std::string_view bytes, decoded_plan& plan) {
  std::size_t metres = 0;
  std::vector<plan_run> runs;
  if (scenario::status checked = check_plan_codes(bytes, metres, runs); !checked) return checked;
  // The second walk reads the values of the runs the first one found, into
  // halves that sit on huge pages where the system has them: each half of a
  // long line is tens of megabytes written once.
  for (std::vector<plan_value>* half : {&plan.x, &plan.y}) {
    half->clear();
    half->shrink_to_fit();
    half->reserve(metres);
    advise_huge_pages(half->data(), metres * sizeof(plan_value));
    half->resize(metres);
  }
  for (std::size_t r = 0; r < runs.size(); ++r) {
    const plan_run& run = runs[r];
    if (run.tag == plan_tag::empty) continue;
    std::size_t at = run.offset;
    const std::size_t end = end_of_run(runs, r, 2 * metres);
    for (std::size_t i = run.first; i < end; ++i, at += plan_element_size(run.tag)) {
      plan_value& value = i < metres ? plan.x[i] : plan.y[i - metres];
      value = {run.tag, element_value(bytes, at, run.tag)};
    }
  }
  return {};
}

scenario::status decode_plan_points(std::string_view bytes, plan_points& plan) {
  plan = plan_points{};
  std::size_t metres = 0;
  std::vector<plan_run> runs;
  if (scenario::status checked = check_plan_codes(bytes, metres, runs); !checked) return checked;
  plan.bytes = bytes;
  plan.metres = metres;
  plan.runs = std::move(runs);
  // The drawable metres end at the first element of either half that is
  // empty or not a finite number.
  std::size_t drawable = metres;
  for (std::size_t r = 0; r < plan.runs.size(); ++r) {
    const plan_run& run = plan.runs[r];
    if (run.tag != plan_tag::empty && run.finite) continue;
    if (run.first < metres) drawable = std::min(drawable, run.first);
    if (plan.run_end(r) > metres)
      drawable = std::min(drawable, std::max(run.first, metres) - metres);
  }
  plan.drawable = drawable;
  if (drawable > 0) {
    constexpr double infinity = std::numeric_limits<double>::infinity();
    plan.min_x = plan.min_y = infinity;
    plan.max_x = plan.max_y = -infinity;
    widen_to_elements(plan, 0, drawable, plan.min_x, plan.max_x);
    widen_to_elements(plan, metres, metres + drawable, plan.min_y, plan.max_y);
  }
  return {};
}

std::size_t plan_points::run_end(std::size_t run) const {
  return end_of_run(runs, run, 2 * metres);
}

std::size_t plan_points::run_of(std::size_t element) const {
  const auto after =
      std::upper_bound(runs.begin(), runs.end(), element,
                       [](std::size_t e, const plan_run& run) { return e < run.first; });
  return static_cast<std::size_t>(after - runs.begin()) - 1;
}

plan_summary summarize_plan(const decoded_plan& plan) {
  plan_summary summary;
  summary.metres = plan.x.size();
  auto count = [&](const plan_value& v) {
    if (v.tag == plan_tag::empty) ++summary.empty;
    if (v.tag == plan_tag::integer) ++summary.integers;
    if (v.tag == plan_tag::real) ++summary.reals;
  };
  std::for_each(plan.x.begin(), plan.x.end(), count);
  std::for_each(plan.y.begin(), plan.y.end(), count);

  bool previous = false;
  double px = 0.0;
  double py = 0.0;
  for (std::size_t m = 0; m < plan.x.size() && m < plan.y.size(); ++m) {
    const bool point = plan.x[m].tag != plan_tag::empty && plan.y[m].tag != plan_tag::empty;
    if (!point) {
      previous = false;
      continue;
    }
    const double x = plan.x[m].value;
    const double y = plan.y[m].value;
    if (summary.points == 0) {
      summary.min_x = summary.max_x = x;
      summary.min_y = summary.max_y = y;
    }
    summary.min_x = std::min(summary.min_x, x);
    summary.max_x = std::max(summary.max_x, x);
    summary.min_y = std::min(summary.min_y, y);
    summary.max_y = std::max(summary.max_y, y);
    if (previous) summary.length += std::hypot(x - px, y - py);
    ++summary.points;
    previous = true;
    px = x;
    py = y;
  }
  return summary;
}

std::string_view kind_name(std::uint8_t kind) {
  switch (kind) {
    case kind_value(cell_kind::free_track):
      return "free";
    case kind_value(cell_kind::signal):
      return "signal";
    case kind_value(cell_kind::slowdown_end):
      return "slowdown end";
    case kind_value(cell_kind::slowdown_start):
      return "slowdown start";
    case kind_value(cell_kind::slowdown_warning):
      return "slowdown warning";
    case kind_value(cell_kind::warning_approach):
      return "warning approach";
    case kind_value(cell_kind::speed_boards):
      return "speed boards";
    case kind_value(cell_kind::station_stop):
      return "station stop";
    case kind_value(cell_kind::tunnel_marker):
      return "tunnel marker";
    case kind_value(cell_kind::code_cut):
      return "code cut";
    case kind_value(cell_kind::code_cut_without_code):
      return "code cut without code";
    case kind_value(cell_kind::line_sign):
      return "line sign";
    default:
      return "unknown";
  }
}

std::array<named_field, 11> cell_fields(const track_cell& c) {
  return {{{"kind", c.kind},
           {"param1", c.param1},
           {"param2", c.param2},
           {"param3", c.param3},
           {"param4", c.param4},
           {"signal_time", c.signal_time},
           {"approach_mark", c.approach_mark},
           {"mountain_type", c.mountain_type},
           {"speed_limit", c.speed_limit},
           {"gradient", c.gradient},
           {"adhesion", c.adhesion}}};
}

std::array<named_field, 15> slot_fields(const station_record& r) {
  return {{{"station_type", r.station_type},
           {"start", r.start},
           {"finish", r.finish},
           {"position", r.position},
           {"flag_a", r.flag_a},
           {"group1_a", r.group1_a},
           {"group1_b", r.group1_b},
           {"group2_a", r.group2_a},
           {"group2_b", r.group2_b},
           {"group2_c", r.group2_c},
           {"group1_c", r.group1_c},
           {"dwell", r.dwell},
           {"flag_c", r.flag_c},
           {"flag_b", r.flag_b},
           {"departure_time", r.departure_time}}};
}

namespace {

template <std::size_t count>
bool any_not_zero(const std::array<named_field, count>& fields) {
  return std::any_of(fields.begin(), fields.end(),
                     [](const named_field& field) { return field.value != 0; });
}

bool holds_numbers(const station_record& r) { return any_not_zero(slot_fields(r)); }

}  // namespace

bool holds_anything(const track_cell& c) { return any_not_zero(cell_fields(c)); }

bool holds_anything(const station_record& record) {
  return holds_numbers(record) || !record.name.empty();
}

std::string_view slot_role(std::size_t slot, const station_record& record) {
  if (slot == 0) return "unused";
  if (slot >= progressive_slot_first && slot < line_parameter_slot) return "progressive change";
  if (slot == line_parameter_slot) return "braked mass, length, cars";
  if (slot == route_parameter_slot) return "route parameters";
  if (slot == train_parameter_slot) return "train parameters";
  // Sign slots carry a name alone, stations numbers too; a station whose
  // numbers are all 0 cannot be told from a sign.
  return holds_numbers(record) ? "station" : "sign text";
}

}  // namespace compiler
