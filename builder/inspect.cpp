#include "builder/inspect.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <ostream>
#include <sstream>

#include "compiler/cell_views.h"
#include "compiler/decoding.h"
#include "scenario/file_system.h"

namespace builder {

namespace {

using nlohmann::json;

constexpr std::int64_t sample_spacing_m = 10000;

struct filters {
  index_range cells;
  index_range slots;
  std::optional<std::uint8_t> kind;
};

// Rows of strings printed in columns as wide as their widest entry; numbers
// are right-aligned, the columns marked as text left-aligned.
struct table {
  std::vector<std::string> header;
  std::vector<bool> text_column;
  std::vector<std::vector<std::string>> rows;
};

void print_table(std::ostream& out, const table& t) {
  std::vector<std::size_t> widths(t.header.size());
  for (std::size_t c = 0; c < t.header.size(); ++c) widths[c] = t.header[c].size();
  for (const auto& row : t.rows) {
    for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], row[c].size());
  }
  auto print_row = [&](const std::vector<std::string>& row) {
    std::string line;
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (c > 0) line += "  ";
      const bool last = c + 1 == row.size();
      if (t.text_column[c]) {
        line += last ? row[c] : fmt::format("{:<{}}", row[c], widths[c]);
      } else {
        line += fmt::format("{:>{}}", row[c], widths[c]);
      }
    }
    // An empty last column would leave blanks at the end of the line.
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out << line << '\n';
  };
  print_row(t.header);
  for (const auto& row : t.rows) print_row(row);
}

std::string number(std::int64_t value) { return std::to_string(value); }

// The grid ---------------------------------------------------------------

bool wanted(const filters& f, std::size_t index, const compiler::track_cell& cell) {
  if (!f.cells.contains(static_cast<std::int64_t>(index))) return false;
  if (f.kind) return cell.kind == *f.kind;
  return compiler::holds_anything(cell);
}

json grid_json(const compiler::route_grid& grid, const filters& f) {
  json cells = json::array();
  for (std::size_t i = 0; i < grid.cells.size(); ++i) {
    const compiler::track_cell& c = grid.cells[i];
    if (!wanted(f, i, c)) continue;
    json row = {{"cell", i},
                {"metres", i * static_cast<std::size_t>(compiler::cell_length_m)},
                {"kind_name", compiler::kind_name(c.kind)}};
    for (const compiler::named_field& field : compiler::cell_fields(c)) {
      row[std::string(field.name)] = field.value;
    }
    // The object with its values unpacked; a grid file alone has no names.
    const std::string object = compiler::describe_object(c, {});
    if (!object.empty()) row["object"] = object;
    cells.push_back(std::move(row));
  }
  return {{"cell_count", grid.cells.size()}, {"cells", std::move(cells)}};
}

void print_grid(std::ostream& out, const compiler::route_grid& grid, const filters& f) {
  table t{{"cell", "metres", "kind", "name", "param1", "param2", "param3", "param4", "time", "mark",
           "tunnel", "speed/5", "grad+100", "adhesion"},
          {false, false, false, true, false, false, false, false, false, false, false, false, false,
           false},
          {}};
  for (std::size_t i = 0; i < grid.cells.size(); ++i) {
    const compiler::track_cell& c = grid.cells[i];
    if (!wanted(f, i, c)) continue;
    t.rows.push_back({number(static_cast<std::int64_t>(i)),
                      number(static_cast<std::int64_t>(i) * compiler::cell_length_m),
                      number(c.kind), std::string(compiler::kind_name(c.kind)), number(c.param1),
                      number(c.param2), number(c.param3), number(c.param4), number(c.signal_time),
                      number(c.approach_mark), number(c.mountain_type), number(c.speed_limit),
                      number(c.gradient), number(c.adhesion)});
  }
  out << fmt::format("{} cells (0 to {}), {} shown\n", grid.cells.size(), grid.cells.size() - 1,
                     t.rows.size());
  print_table(out, t);
}

// The scenario table -----------------------------------------------------

bool wanted(const filters& f, std::size_t slot, const compiler::station_record& record) {
  return f.slots.contains(static_cast<std::int64_t>(slot)) && compiler::holds_anything(record);
}

json table_json(const compiler::station_table& stations, const filters& f) {
  json slots = json::array();
  for (std::size_t s = 0; s < stations.slots.size(); ++s) {
    const compiler::station_record& r = stations.slots[s];
    if (!wanted(f, s, r)) continue;
    json row = {{"slot", s}, {"role", compiler::slot_role(s, r)}, {"name", r.name}};
    for (const compiler::named_field& field : compiler::slot_fields(r)) {
      row[std::string(field.name)] = field.value;
    }
    slots.push_back(std::move(row));
  }
  return {{"slots", std::move(slots)}};
}

void print_station_table(std::ostream& out, const compiler::station_table& stations,
                         const filters& f) {
  table t{{"slot", "role", "type", "start", "finish", "position", "flag_a", "flag_b", "flag_c",
           "g1_a", "g1_b", "g1_c", "g2_a", "g2_b", "g2_c", "dwell", "time", "name"},
          {false, true, false, false, false, false, false, false, false, false, false, false, false,
           false, false, false, false, true},
          {}};
  for (std::size_t s = 0; s < stations.slots.size(); ++s) {
    const compiler::station_record& r = stations.slots[s];
    if (!wanted(f, s, r)) continue;
    t.rows.push_back({number(static_cast<std::int64_t>(s)), std::string(compiler::slot_role(s, r)),
                      number(r.station_type), number(r.start), number(r.finish), number(r.position),
                      number(r.flag_a), number(r.flag_b), number(r.flag_c), number(r.group1_a),
                      number(r.group1_b), number(r.group1_c), number(r.group2_a),
                      number(r.group2_b), number(r.group2_c), number(r.dwell),
                      number(r.departure_time), r.name});
  }
  out << fmt::format("{} slots, {} shown\n", stations.slots.size(), t.rows.size());
  print_table(out, t);
}

// The track plan ---------------------------------------------------------

// Metres 0, 1 and 2, every 10 km, and the last metre that holds a point.
std::vector<std::size_t> sample_metres(const compiler::decoded_plan& plan) {
  std::vector<std::size_t> metres;
  std::size_t last_point = 0;
  for (std::size_t m = 0; m < plan.x.size(); ++m) {
    if (plan.x[m].tag != compiler::plan_tag::empty && plan.y[m].tag != compiler::plan_tag::empty) {
      last_point = m;
    }
  }
  for (std::size_t m = 0; m < plan.x.size(); ++m) {
    if (m <= 2 || m % sample_spacing_m == 0 || m == last_point) metres.push_back(m);
  }
  return metres;
}

std::string coordinate(const compiler::plan_value& v) {
  if (v.tag == compiler::plan_tag::empty) return "-";
  return fmt::format("{:.3f}", v.value);
}

json coordinate_json(const compiler::plan_value& v) {
  if (v.tag == compiler::plan_tag::empty) return nullptr;
  return v.value;
}

// A plan is summed up and sampled once for both its table and its JSON: a
// long line's plan is a million metres.
struct plan_digest {
  compiler::plan_summary summary;
  std::vector<std::size_t> samples;
};

plan_digest digest_of(const compiler::decoded_plan& plan) {
  return {compiler::summarize_plan(plan), sample_metres(plan)};
}

json plan_json(const compiler::decoded_plan& plan, const plan_digest& digest) {
  const compiler::plan_summary& s = digest.summary;
  json samples = json::array();
  for (const std::size_t m : digest.samples) {
    samples.push_back(
        {{"metre", m}, {"x", coordinate_json(plan.x[m])}, {"y", coordinate_json(plan.y[m])}});
  }
  return {{"metres", s.metres},
          {"tags", {{"empty", s.empty}, {"int16", s.integers}, {"double", s.reals}}},
          {"points", s.points},
          {"length", s.length},
          {"bounding_box",
           {{"min_x", s.min_x}, {"max_x", s.max_x}, {"min_y", s.min_y}, {"max_y", s.max_y}}},
          {"samples", std::move(samples)}};
}

void print_plan(std::ostream& out, const compiler::decoded_plan& plan, const plan_digest& digest) {
  const compiler::plan_summary& s = digest.summary;
  out << fmt::format("metres        {} (0 to {})\n", s.metres, s.metres - 1);
  out << fmt::format("type tags     {} int16, {} double, {} empty\n", s.integers, s.reals, s.empty);
  out << fmt::format("points        {}\n", s.points);
  out << fmt::format("length        {:.3f} m\n", s.length);
  out << fmt::format("bounding box  x {:.3f} to {:.3f}, y {:.3f} to {:.3f}\n", s.min_x, s.max_x,
                     s.min_y, s.max_y);
  table t{{"metre", "x", "y"}, {false, false, false}, {}};
  for (const std::size_t m : digest.samples) {
    t.rows.push_back(
        {number(static_cast<std::int64_t>(m)), coordinate(plan.x[m]), coordinate(plan.y[m])});
  }
  print_table(out, t);
}

// One file ---------------------------------------------------------------

struct inspected {
  json value;           // the file's JSON object
  std::string text;     // its table
  std::string failure;  // why it could not be inspected; empty when it was
};

inspected inspect_bytes(const std::string& file, compiler::output_file_kind kind,
                        std::string_view bytes, const filters& f) {
  inspected result;
  const std::string_view kind_name = compiler::output_file_kind_name(kind);
  result.value = {{"file", file}, {"kind", kind_name}, {"bytes", bytes.size()}};
  std::ostringstream text;
  text << fmt::format("{}: {}, {} bytes\n", file, kind_name, bytes.size());
  compiler::decode_status status;
  switch (kind) {
    case compiler::output_file_kind::route_grid: {
      compiler::route_grid grid;
      status = compiler::decode_route_grid(bytes, grid);
      if (status) break;
      result.value.update(grid_json(grid, f));
      print_grid(text, grid, f);
      break;
    }
    case compiler::output_file_kind::station_table: {
      compiler::station_table stations;
      status = compiler::decode_station_table(bytes, stations);
      if (status) break;
      result.value.update(table_json(stations, f));
      print_station_table(text, stations, f);
      break;
    }
    case compiler::output_file_kind::track_plan: {
      compiler::decoded_plan plan;
      status = compiler::decode_track_plan(bytes, plan);
      if (status) break;
      const plan_digest digest = digest_of(plan);
      result.value.update(plan_json(plan, digest));
      print_plan(text, plan, digest);
      break;
    }
  }
  if (status) {
    result.value = json();
    result.failure = fmt::format("{}: not a {}: {}", file, kind_name, *status);
    return result;
  }
  result.text = text.str();
  return result;
}

inspected inspect_file(const std::string& file, const filters& f) {
  inspected result;
  const std::filesystem::path path(file);
  const auto kind = compiler::output_file_kind_of(path.filename().string());
  if (!kind) {
    result.failure = fmt::format(
        "{}: cannot tell the kind of file from its name (expected "
        "ROUTE_linea.dat, ROUTE_TRAIN.sim or ROUTE_TRAIN.dat)",
        file);
    return result;
  }
  const std::string_view kind_name = compiler::output_file_kind_name(*kind);
  std::string bytes;
  if (auto failure = scenario::read_whole_file(
          path, bytes, {compiler::max_file_size(*kind), fmt::format("a {}", kind_name)})) {
    result.failure = failure->describe();
    return result;
  }
  return inspect_bytes(file, *kind, bytes, f);
}

// A whole number of decimal digits, nothing else.
std::optional<std::int64_t> parse_number(std::string_view text) {
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size() || value < 0) {
    return std::nullopt;
  }
  return value;
}

// "speed-boards" and "speed_boards" name the kind "speed boards".
std::string spaced(std::string_view name) {
  std::string out(name);
  std::replace(out.begin(), out.end(), '-', ' ');
  std::replace(out.begin(), out.end(), '_', ' ');
  return out;
}

}  // namespace

std::optional<index_range> parse_index_range(std::string_view text) {
  index_range range;
  const std::size_t dots = text.find("..");
  if (dots == std::string_view::npos) {
    const auto only = parse_number(text);
    if (!only) return std::nullopt;
    range.first = range.last = *only;
    return range;
  }
  const std::string_view first = text.substr(0, dots);
  const std::string_view last = text.substr(dots + 2);
  if (first.empty() && last.empty()) return std::nullopt;
  if (!first.empty()) {
    const auto value = parse_number(first);
    if (!value) return std::nullopt;
    range.first = *value;
  }
  if (!last.empty()) {
    const auto value = parse_number(last);
    if (!value) return std::nullopt;
    range.last = *value;
  }
  if (range.first > range.last) return std::nullopt;
  return range;
}

std::optional<std::uint8_t> parse_kind(std::string_view text) {
  if (const auto value = parse_number(text)) {
    if (*value > 255) return std::nullopt;
    return static_cast<std::uint8_t>(*value);
  }
  const std::string wanted_name = spaced(text);
  for (int kind = 0; kind <= 255; ++kind) {
    const auto code = static_cast<std::uint8_t>(kind);
    if (compiler::kind_name(code) != "unknown" && compiler::kind_name(code) == wanted_name) {
      return code;
    }
  }
  return std::nullopt;
}

inspection inspect_file_bytes(const std::string& file, compiler::output_file_kind kind,
                              std::string_view bytes, index_range cells, index_range slots) {
  inspected result = inspect_bytes(file, kind, bytes, filters{cells, slots, std::nullopt});
  if (!result.failure.empty()) return {{}, {}, std::move(result.failure)};
  return {
      std::move(result.text), result.value.dump(2, ' ', false, json::error_handler_t::replace), {}};
}

exit_status run_inspect_command(const inspect_options& options, std::ostream& out,
                                std::ostream& err) {
  filters f;
  if (!options.cells.empty()) {
    const auto range = parse_index_range(options.cells);
    if (!range) {
      err << "scenario-builder: --cells takes A..B, A.., ..B or A, with A not above B\n";
      return exit_status::usage_or_file;
    }
    f.cells = *range;
  }
  if (!options.slots.empty()) {
    const auto range = parse_index_range(options.slots);
    if (!range) {
      err << "scenario-builder: --slots takes A..B, A.., ..B or A, with A not above B\n";
      return exit_status::usage_or_file;
    }
    f.slots = *range;
  }
  if (!options.kind.empty()) {
    f.kind = parse_kind(options.kind);
    if (!f.kind) {
      err << "scenario-builder: --kind takes a kind number (0 to 255) or a name such as signal, "
             "slowdown-start, speed-boards, station-stop, code-cut, line-sign\n";
      return exit_status::usage_or_file;
    }
  }

  exit_status status = exit_status::clean;
  json files = json::array();
  bool first = true;
  for (const std::string& file : options.files) {
    inspected result = inspect_file(file, f);
    if (!result.failure.empty()) {
      err << "scenario-builder: " << result.failure << '\n';
      files.push_back({{"file", file}, {"error", result.failure}});
      status = exit_status::usage_or_file;
      continue;
    }
    if (options.json) {
      files.push_back(std::move(result.value));
    } else {
      if (!first) out << '\n';
      out << result.text;
      first = false;
    }
  }
  if (options.json) {
    // Names are the table's own single bytes; what is not UTF-8 is replaced.
    out << files.dump(2, ' ', false, json::error_handler_t::replace) << '\n';
  }
  return status;
}

}  // namespace builder
