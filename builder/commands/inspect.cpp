#include "builder/commands/inspect.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <ostream>
#include <sstream>

#include "compiler/cell_views.h"
#include "compiler/compile.h"
#include "compiler/compile_texts.h"
#include "compiler/decoding.h"
#include "compiler/diagnostics.h"
#include "compiler/encoding.h"
#include "scenario/build_names.h"
#include "scenario/control_bytes.h"
#include "scenario/file_system.h"
#include "scenario/text_file.h"

namespace builder {

namespace {

using nlohmann::json;

constexpr std::int64_t sample_spacing_m = 10000;

struct filters {
  index_range cells;
  index_range slots;
  std::optional<std::uint8_t> kind;
  bool objects = false;
  // By cell, the text line that put its object there ("L_linea.txt:12").
  std::vector<std::string> source;
  bool csv = false;
};

// The text line that put the object of cell i there; empty when none did.
std::string source_of(const filters& f, std::size_t i) {
  return i < f.source.size() ? f.source[i] : std::string();
}

// Rows of strings printed in columns as wide as their widest entry; numbers
// are right-aligned, the columns marked as text left-aligned.
struct table {
  std::vector<std::string> header;
  std::vector<bool> text_column;
  std::vector<std::vector<std::string>> rows;
};

void print_table(std::ostream& out, const table& shown) {
  // A name from a file may hold any byte: its control bytes are shown
  // escaped, and the columns sized for what is shown.
  table t = shown;
  for (auto& row : t.rows) {
    for (auto& cell : row) cell = scenario::visible_control_bytes(cell);
  }
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
  if (f.objects) return cell.kind != 0;
  return f.csv || compiler::holds_anything(cell);
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
    if (const std::string source = source_of(f, i); !source.empty()) row["source"] = source;
    cells.push_back(std::move(row));
  }
  return {{"cell_count", grid.cells.size()}, {"cells", std::move(cells)}};
}

// The cells as comma-separated values: where each stands, what it holds,
// and the profiles in the units an author writes them. The elevation climbs
// by each cell's gradient over its 50 m, from 0 at the start of the line.
void print_grid_csv(std::ostream& out, const compiler::route_grid& grid, const filters& f) {
  std::string text = "distance_m,kind,speed_kmh,gradient_per_mille,adhesion_percent,elevation_m";
  if (!f.source.empty()) text += ",source";
  text += '\n';
  double elevation = 0.0;
  for (std::size_t i = 0; i < grid.cells.size(); ++i) {
    const compiler::track_cell& c = grid.cells[i];
    if (wanted(f, i, c)) {
      text += fmt::format(
          "{},{},{},{},{},{:.2f}", i * static_cast<std::size_t>(compiler::cell_length_m),
          compiler::kind_name(c.kind), c.speed_limit * 5, c.gradient - 100, c.adhesion, elevation);
      if (!f.source.empty()) text += fmt::format(",{}", source_of(f, i));
      text += '\n';
    }
    elevation += (c.gradient - 100) * compiler::cell_length_m / 1000.0;
  }
  out << text;
}

void print_grid(std::ostream& out, const compiler::route_grid& grid, const filters& f) {
  if (f.csv) return print_grid_csv(out, grid, f);
  table t{{"cell", "metres", "kind", "name", "param1", "param2", "param3", "param4", "time", "mark",
           "tunnel", "speed/5", "grad+100", "adhesion"},
          {false, false, false, true, false, false, false, false, false, false, false, false, false,
           false},
          {}};
  if (!f.source.empty()) {
    t.header.push_back("source");
    t.text_column.push_back(true);
  }
  for (std::size_t i = 0; i < grid.cells.size(); ++i) {
    const compiler::track_cell& c = grid.cells[i];
    if (!wanted(f, i, c)) continue;
    // The kind's name stands after the kind; the other fields in file order.
    std::vector<std::string> row = {number(static_cast<std::int64_t>(i)),
                                    number(static_cast<std::int64_t>(i) * compiler::cell_length_m),
                                    number(c.kind), std::string(compiler::kind_name(c.kind))};
    const std::array<compiler::named_field, 11> fields = compiler::cell_fields(c);
    for (std::size_t k = 1; k < fields.size(); ++k) row.push_back(number(fields[k].value));
    t.rows.push_back(std::move(row));
    if (!f.source.empty()) t.rows.back().push_back(source_of(f, i));
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
    json row = {{"slot", s},
                {"role", compiler::slot_role(s, r)},
                {"name", scenario::from_windows_1252(r.name)}};
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
  // The slot's numbers in the order of the columns above, from the order the
  // table file holds them.
  constexpr std::array<std::size_t, 15> column_fields = {0, 1,  2, 3, 4, 13, 12, 5,
                                                         6, 10, 7, 8, 9, 11, 14};
  for (std::size_t s = 0; s < stations.slots.size(); ++s) {
    const compiler::station_record& r = stations.slots[s];
    if (!wanted(f, s, r)) continue;
    const std::array<compiler::named_field, 15> fields = compiler::slot_fields(r);
    std::vector<std::string> row = {number(static_cast<std::int64_t>(s)),
                                    std::string(compiler::slot_role(s, r))};
    for (const std::size_t field : column_fields) row.push_back(number(fields[field].value));
    row.push_back(scenario::from_windows_1252(r.name));
    t.rows.push_back(std::move(row));
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
  scenario::status outcome;  // a failure: why it could not be inspected
};

inspected inspect_bytes(const std::string& file, compiler::output_file_kind kind,
                        std::string_view bytes, const filters& f) {
  inspected result;
  const std::string_view kind_name = compiler::output_file_kind_name(kind);
  result.value = {{"file", file}, {"kind", kind_name}, {"bytes", bytes.size()}};
  std::ostringstream text;
  // Comma-separated values stand alone, for a spreadsheet to open.
  if (!f.csv) text << fmt::format("{}: {}, {} bytes\n", file, kind_name, bytes.size());
  scenario::status decoded;
  switch (kind) {
    case compiler::output_file_kind::route_grid: {
      compiler::route_grid grid;
      decoded = compiler::decode_route_grid(bytes, grid);
      if (!decoded) break;
      result.value.update(grid_json(grid, f));
      print_grid(text, grid, f);
      break;
    }
    case compiler::output_file_kind::station_table: {
      compiler::station_table stations;
      decoded = compiler::decode_station_table(bytes, stations);
      if (!decoded) break;
      result.value.update(table_json(stations, f));
      print_station_table(text, stations, f);
      break;
    }
    case compiler::output_file_kind::track_plan: {
      compiler::decoded_plan plan;
      decoded = compiler::decode_track_plan(bytes, plan);
      if (!decoded) break;
      const plan_digest digest = digest_of(plan);
      result.value.update(plan_json(plan, digest));
      print_plan(text, plan, digest);
      break;
    }
  }
  if (!decoded) {
    result.value = json();
    result.outcome = scenario::status::failure_at(
        file, fmt::format("not a {}: {}", kind_name, decoded.reason()));
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
    result.outcome =
        scenario::status::failure_at(file,
                                     "cannot tell the kind of file from its name (expected "
                                     "ROUTE_linea.dat, ROUTE_TRAIN.sim or ROUTE_TRAIN.dat)");
    return result;
  }
  const std::string_view kind_name = compiler::output_file_kind_name(*kind);
  std::string bytes;
  result.outcome = scenario::read_whole_file(
      path, bytes, {compiler::max_file_size(*kind), fmt::format("a {}", kind_name)});
  if (!result.outcome) return result;
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
  std::string wanted_name = spaced(text);
  std::transform(wanted_name.begin(), wanted_name.end(), wanted_name.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
  // The short names authors reach for first.
  constexpr std::pair<std::string_view, compiler::cell_kind> aliases[] = {
      {"station", compiler::cell_kind::station_stop},
      {"stop", compiler::cell_kind::station_stop},
      {"sign", compiler::cell_kind::line_sign},
      {"line side sign", compiler::cell_kind::line_sign},
      {"boards", compiler::cell_kind::speed_boards},
      {"speed board", compiler::cell_kind::speed_boards},
      {"tunnel", compiler::cell_kind::tunnel_marker},
      {"marker", compiler::cell_kind::tunnel_marker},
      {"warning", compiler::cell_kind::slowdown_warning},
      {"free", compiler::cell_kind::free_track},
  };
  for (const auto& [alias, kind] : aliases) {
    if (wanted_name == alias) return compiler::kind_value(kind);
  }
  for (int kind = 0; kind <= 255; ++kind) {
    const auto code = static_cast<std::uint8_t>(kind);
    const std::string_view name = compiler::kind_name(code);
    if (name == "unknown") continue;
    if (name == wanted_name ||
        (wanted_name.ends_with('s') &&
         name == std::string_view(wanted_name).substr(0, wanted_name.size() - 1))) {
      return code;
    }
  }
  return std::nullopt;
}

inspection inspect_file_bytes(const std::string& file, compiler::output_file_kind kind,
                              std::string_view bytes, index_range cells, index_range slots) {
  filters f;
  f.cells = cells;
  f.slots = slots;
  inspected result = inspect_bytes(file, kind, bytes, f);
  if (!result.outcome) return {{}, {}, std::move(result.outcome)};
  return {
      std::move(result.text), scenario::json_without_raw_control_bytes(
                                   result.value.dump(2, ' ', false, json::error_handler_t::replace)), {}};
}

namespace {

// The text line that put each cell's object there, from the journal of a
// compile of the two texts; a failure when they cannot be compiled.
struct sources {
  std::vector<std::string> by_cell;
  std::string grid;  // the grid those texts give, to compare with the file's
  scenario::status outcome;
};

sources sources_of(const std::vector<std::string>& texts) {
  sources out;
  const std::string line_name = std::filesystem::path(texts[0]).filename().string();
  const std::string service_name = std::filesystem::path(texts[1]).filename().string();
  // Names the texts' file names do not tell are the embedded build's: they
  // change no cell of the grid.
  const compiler::build_settings embedded = compiler::embedded_settings({});
  compiler::text_sources given{texts[0], texts[1], embedded.route_base_name, embedded.train_number};
  if (const auto route = scenario::route_from_line_text(line_name)) given.route = *route;
  if (const auto train = scenario::train_from_service_text(service_name, *given.route)) {
    given.train = *train;
  }
  compiler::texts_compiled compiled;
  out.outcome = compiler::compile_texts(given, embedded, compiled);
  if (!out.outcome) return out;
  const compiler::description_texts& read = compiled.texts;
  const compiler::scenario_model& model = compiled.model;
  const compiler::journal& log = compiled.log;
  out.grid = compiler::encode_route_grid(model.grid);
  const compiler::line_index line_lines(*read.line);
  const compiler::line_index service_lines(*read.service);
  out.by_cell.resize(model.grid.cells.size());
  for (std::size_t i = 0; i < out.by_cell.size(); ++i) {
    const std::int32_t owner = log.owner_of(static_cast<std::int32_t>(i));
    if (owner < 0) continue;
    const compiler::text_place& place = log.entries()[static_cast<std::size_t>(owner)].place;
    if (place.text == compiler::text_id::none) {
      out.by_cell[i] = "protection pass";
    } else if (place.text == compiler::text_id::line_text) {
      out.by_cell[i] = fmt::format("{}:{}", line_name, line_lines.line_of(place.offset));
    } else {
      out.by_cell[i] = fmt::format("{}:{}", service_name, service_lines.line_of(place.offset));
    }
  }
  return out;
}

// The options that apply to one kind of file only, refused on another with
// the reason.
scenario::status option_misplaced(const inspect_options& options, const std::string& file,
                                  compiler::output_file_kind kind) {
  const bool grid = kind == compiler::output_file_kind::route_grid;
  const bool table = kind == compiler::output_file_kind::station_table;
  const std::pair<bool, std::string_view> grid_options[] = {{!options.cells.empty(), "--cells"},
                                                            {!options.kind.empty(), "--kind"},
                                                            {options.objects, "--objects"},
                                                            {options.csv, "--csv"},
                                                            {!options.source.empty(), "--source"}};
  for (const auto& [given, name] : grid_options) {
    if (given && !grid) {
      return scenario::status::failure(
          fmt::format("{} applies to a cell grid (ROUTE_TRAIN.dat), and {} is a {}: leave it "
                      "out, or inspect the grid",
                      name, file, compiler::output_file_kind_name(kind)));
    }
  }
  if (!options.slots.empty() && !table) {
    return scenario::status::failure(
        fmt::format("--slots applies to a scenario table (ROUTE_TRAIN.sim), and {} is a {}: "
                    "leave it out, or inspect the table",
                    file, compiler::output_file_kind_name(kind)));
  }
  return {};
}

}  // namespace

exit_status run_inspect_command(const inspect_options& options, std::ostream& out,
                                std::ostream& err) {
  filters f;
  f.objects = options.objects;
  f.csv = options.csv;
  if (options.csv && options.json) {
    err << "scenario-builder: --csv and --json give the cells in two forms; choose one\n";
    return exit_status::usage_or_file;
  }
  for (const std::string& file : options.files) {
    const auto kind =
        compiler::output_file_kind_of(std::filesystem::path(file).filename().string());
    if (!kind) continue;
    if (const scenario::status fits = option_misplaced(options, file, *kind); !fits) {
      err << "scenario-builder: " << fits.describe() << '\n';
      return exit_status::usage_or_file;
    }
  }
  std::string source_grid;
  if (!options.source.empty()) {
    sources found = sources_of(options.source);
    if (!found.outcome) {
      err << "scenario-builder: --source: " << found.outcome.describe() << '\n';
      return exit_status::usage_or_file;
    }
    f.source = std::move(found.by_cell);
    source_grid = std::move(found.grid);
  }
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
    if (!source_grid.empty()) {
      std::string bytes;
      if (scenario::read_whole_file(
              file, bytes,
              {compiler::max_file_size(compiler::output_file_kind::route_grid), "a cell grid"}) &&
          bytes != source_grid) {
        err << "scenario-builder: note: the texts given with --source compile to another grid "
               "than "
            << file << "; the lines shown are those of the texts\n";
      }
    }
    inspected result = inspect_file(file, f);
    if (!result.outcome) {
      err << "scenario-builder: " << result.outcome.describe() << '\n';
      files.push_back({{"file", file}, {"error", result.outcome.describe()}});
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
    out << scenario::json_without_raw_control_bytes(
               files.dump(2, ' ', false, json::error_handler_t::replace))
        << '\n';
  }
  return status;
}

}  // namespace builder
