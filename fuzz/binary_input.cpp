#include "fuzz/binary_input.h"

#include <fmt/format.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#include "builder/commands/inspect.h"
#include "compiler/compile.h"
#include "compiler/decompile.h"
#include "compiler/encoding.h"
#include "compiler/little_endian.h"
#include "fuzz/compile_input.h"
#include "viewer/route_files.h"
#include "viewer/route_page.h"

namespace fuzzing {

namespace {

using compiler::output_file_kind;

constexpr std::size_t length_bytes = 4;

std::size_t occurrences(std::string_view text, std::string_view part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string_view::npos;
       at = text.find(part, at + part.size())) {
    ++count;
  }
  return count;
}

bool same_bits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

bool drawable(const compiler::plan_value& v) {
  return v.tag != compiler::plan_tag::empty && std::isfinite(v.value);
}

// The plan as the viewer reads it against the plan as inspect reads it.
scenario::status compare_plan_decoders(std::string_view bytes) {
  compiler::decoded_plan whole;
  compiler::plan_points points;
  const scenario::status inspected = compiler::decode_track_plan(bytes, whole);
  const scenario::status viewed = compiler::decode_plan_points(bytes, points);
  if (inspected.ok() != viewed.ok() || inspected.reason() != viewed.reason()) {
    return scenario::status::failure(fmt::format("the plan decoders disagree: \"{}\" and \"{}\"",
                                                 inspected.reason(), viewed.reason()));
  }
  if (!inspected) return {};
  if (points.metres != whole.x.size() || whole.y.size() != whole.x.size()) {
    return scenario::status::failure(
        fmt::format("{} metres and {} metres", points.metres, whole.x.size()));
  }
  std::size_t metres = 0;
  while (metres < whole.x.size() && drawable(whole.x[metres]) && drawable(whole.y[metres])) {
    ++metres;
  }
  if (points.drawable != metres) {
    return scenario::status::failure(
        fmt::format("{} drawable metres, {} expected", points.drawable, metres));
  }
  std::size_t m = 0;
  scenario::status problem;
  double min_x = 0, max_x = 0, min_y = 0, max_y = 0;
  compiler::for_each_plan_point(points, metres, [&](compiler::plan_point p) {
    if (problem && (!same_bits(p.x, whole.x[m].value) || !same_bits(p.y, whole.y[m].value))) {
      problem =
          scenario::status::failure(fmt::format("metre {} reads ({}, {}), not ({}, {})", m, p.x,
                                                p.y, whole.x[m].value, whole.y[m].value));
    }
    min_x = m == 0 ? p.x : std::min(min_x, p.x);
    max_x = m == 0 ? p.x : std::max(max_x, p.x);
    min_y = m == 0 ? p.y : std::min(min_y, p.y);
    max_y = m == 0 ? p.y : std::max(max_y, p.y);
    ++m;
  });
  if (!problem) return problem;
  if (m != metres)
    return scenario::status::failure(fmt::format("{} points visited of {}", m, metres));
  if (!same_bits(min_x, points.min_x) || !same_bits(max_x, points.max_x) ||
      !same_bits(min_y, points.min_y) || !same_bits(max_y, points.max_y)) {
    return scenario::status::failure("the plan's bounds are not those of its drawable points");
  }
  return {};
}

std::string with_length(std::string_view file) {
  std::string out;
  compiler::put_i32(out, static_cast<std::int32_t>(file.size()));
  out += file;
  return out;
}

// Takes a file preceded by its length off the front of `data`; the rest of
// `data` when the length runs past its end.
std::string_view take_file(std::string_view& data) {
  if (data.size() < length_bytes) {
    const std::string_view all = data;
    data = {};
    return all;
  }
  const auto told = static_cast<std::uint32_t>(compiler::get_i32(data, 0));
  data.remove_prefix(length_bytes);
  const std::size_t size = std::min<std::size_t>(told, data.size());
  const std::string_view file = data.substr(0, size);
  data.remove_prefix(size);
  return file;
}

// The three files of a compiled input of the compile fuzzer's format.
struct build_files {
  std::string grid;
  std::string table;
  std::string plan;
};

build_files compiled_files(std::string_view compile_data) {
  const compile_input input = split_input(compile_data);
  compiler::build_settings settings = compiler::embedded_settings({});
  settings.with_plan = input.with_plan;
  compiler::scenario_model model;
  compiler::journal log;
  compiler::compile_scenario(settings, input.texts, model, log);
  build_files files;
  if (!model.grid.exists()) return files;
  files.grid = compiler::encode_route_grid(model.grid);
  files.table = compiler::encode_station_table(model.stations);
  if (model.plan.exists()) files.plan = compiler::encode_track_plan(model.plan);
  return files;
}

// The builds the binary seeds come from: the small scenario with and without
// its plan, and a line of no length, whose plan is the shortest there is.
std::vector<std::pair<std::string, build_files>> seed_builds() {
  std::vector<std::pair<std::string, build_files>> builds;
  for (const named_input& seed : seed_inputs()) {
    if (seed.name == "small" || seed.name == "small_without_plan") {
      builds.emplace_back(seed.name, compiled_files(seed.data));
    }
  }
  builds.emplace_back("no_length", compiled_files(join_input(
                                       '1', "[generale]\r\nlunghezza percorso, 0\r\n[fine]\r\n",
                                       "[generale]\r\n[fine]\r\n")));
  return builds;
}

// A plan whose every real is `value`.
std::string plan_of_reals(std::string plan, double value) {
  for (std::size_t at = 0; at + 10 <= plan.size();) {
    const auto tag = static_cast<compiler::plan_tag>(compiler::get_i16(plan, at));
    if (tag == compiler::plan_tag::real) {
      std::string bits;
      compiler::put_f64(bits, value);
      plan.replace(at + 2, 8, bits);
    }
    at += compiler::plan_element_size(tag);
  }
  return plan;
}

}  // namespace

output_file_kind inspect_kind(std::string_view data) {
  const char control = data.empty() ? 'g' : data.front();
  switch (control) {
    case 'p':
      return output_file_kind::track_plan;
    case 's':
      return output_file_kind::station_table;
    case 'g':
      return output_file_kind::route_grid;
    default:
      return static_cast<output_file_kind>(static_cast<unsigned char>(control) % 3);
  }
}

std::string inspect_input(output_file_kind kind, std::string_view file, unsigned char window) {
  const char control = kind == output_file_kind::track_plan      ? 'p'
                       : kind == output_file_kind::station_table ? 's'
                                                                 : 'g';
  return std::string{control, static_cast<char>(window)} + std::string(file);
}

scenario::status inspect_and_check(std::string_view data) {
  const output_file_kind kind = inspect_kind(data);
  const std::int64_t window = data.size() < 2 ? 0 : static_cast<unsigned char>(data[1]);
  const std::string_view file = data.substr(std::min<std::size_t>(2, data.size()));
  const builder::index_range cells{80 * window, 80 * window + 31};
  const builder::index_range slots{window, window + 15};
  const builder::inspection shown = builder::inspect_file_bytes("F", kind, file, cells, slots);
  const std::string refusal = shown.outcome.describe();
  if (refusal.empty() == shown.text.empty() || shown.text.empty() != shown.json.empty() ||
      refusal.empty() != shown.outcome.ok()) {
    return scenario::status::failure(
        fmt::format("inspect gave a table of {} bytes, JSON of {} and a refusal of {}",
                    shown.text.size(), shown.json.size(), refusal.size()));
  }
  if (kind == output_file_kind::track_plan) return compare_plan_decoders(file);
  return {};
}

std::string view_input(std::string_view grid, std::string_view table, std::string_view plan) {
  return with_length(grid) + with_length(table) + std::string(plan);
}

scenario::status view_and_check(std::string_view data) {
  const std::string_view grid = take_file(data);
  const std::string_view table = take_file(data);
  viewer::route_view view;
  view.route_base_name = compiler::embedded_route_base_name;
  view.train_number = compiler::embedded_train_number;
  if (!compiler::decode_route_grid(grid, view.grid)) return {};
  if (!compiler::decode_station_table(table, view.stations)) return {};
  std::size_t metres = 0;
  if (!data.empty() && viewer::attach_plan(view, scenario::file_bytes::copy_of(data))) {
    metres = view.plan->metres;
  }
  const std::string page = viewer::route_page(view);
  if (!page.ends_with("</html>\n")) return scenario::status::failure("the page does not end");
  if (page.find('\0') != std::string::npos)
    return scenario::status::failure("a NUL byte stands in the page");
  if (occurrences(page, "<script") != 3) {
    return scenario::status::failure(
        fmt::format("{} scripts in the page", occurrences(page, "<script")));
  }
  const std::size_t most = (std::size_t{1} << 20) + 1200 * view.grid.cells.size() + 64 * metres;
  if (page.size() > most)
    return scenario::status::failure(
        fmt::format("a page of {} bytes, above {}", page.size(), most));
  return {};
}

scenario::status decompile_and_check(std::string_view data) {
  const std::string_view grid = take_file(data);
  const std::string_view table = take_file(data);
  compiler::scenario_model model;
  if (!compiler::decode_route_grid(grid, model.grid)) return {};
  if (!compiler::decode_station_table(table, model.stations)) return {};
  if (!data.empty()) {
    compiler::plan_from_file read;
    if (compiler::plan_of_file(data, read)) {
      model.plan = std::move(read.plan);
      model.plan_upper = model.plan.upper;
    }
  }
  const compiler::decompiled back = compiler::decompile(model);
  if (!back.same_bytes()) {
    if (back.recompiled_outcome == compiler::compile_outcome::complete &&
        back.recompiled_error.code == compiler::error_code::none && !back.difference) {
      return scenario::status::failure("texts that differ, with no difference named");
    }
    return {};
  }
  // Said to be the same: they must be, to the byte.
  compiler::build_settings settings;
  settings.route_base_name = back.route_base_name;
  settings.train_number = back.train_number;
  settings.with_plan = model.plan.exists();
  compiler::scenario_model again;
  compiler::journal log;
  compiler::compile_scenario(settings, {back.line_text, back.service_text}, again, log);
  if (compiler::encode_route_grid(again.grid) != grid) {
    return scenario::status::failure("the texts said to compile back give another grid");
  }
  if (compiler::encode_station_table(again.stations) != table) {
    return scenario::status::failure("the texts said to compile back give another table");
  }
  if (model.plan.exists() &&
      compiler::encode_track_plan(again.plan) != compiler::encode_track_plan(model.plan)) {
    return scenario::status::failure("the texts said to compile back give another plan");
  }
  return {};
}

std::vector<named_input> inspect_seed_inputs() {
  std::vector<named_input> seeds;
  for (const auto& [name, files] : seed_builds()) {
    seeds.push_back({name + "_grid", inspect_input(output_file_kind::route_grid, files.grid)});
    seeds.push_back(
        {name + "_grid_end", inspect_input(output_file_kind::route_grid, files.grid, 2)});
    seeds.push_back({name + "_table", inspect_input(output_file_kind::station_table, files.table)});
    if (!files.plan.empty()) {
      seeds.push_back({name + "_plan", inspect_input(output_file_kind::track_plan, files.plan)});
    }
  }
  const build_files shortest = seed_builds().back().second;
  const std::string nan_plan = plan_of_reals(shortest.plan, std::nan(""));
  seeds.push_back({"empty", ""});
  seeds.push_back(
      {"grid_one_cell_short", inspect_input(output_file_kind::route_grid,
                                            shortest.grid.substr(0, shortest.grid.size() - 15))});
  seeds.push_back(
      {"table_cut_in_a_name", inspect_input(output_file_kind::station_table,
                                            shortest.table.substr(0, shortest.table.size() - 2))});
  seeds.push_back({"plan_of_nan", inspect_input(output_file_kind::track_plan, nan_plan)});
  seeds.push_back({"plan_of_infinity", inspect_input(output_file_kind::track_plan,
                                                     plan_of_reals(shortest.plan, HUGE_VAL))});
  seeds.push_back(
      {"plan_odd_elements", inspect_input(output_file_kind::track_plan,
                                          shortest.plan.substr(0, shortest.plan.size() - 2))});
  return seeds;
}

std::vector<named_input> view_seed_inputs() {
  std::vector<named_input> seeds;
  for (const auto& [name, files] : seed_builds()) {
    seeds.push_back({name, view_input(files.grid, files.table, files.plan)});
  }
  const build_files shortest = seed_builds().back().second;
  // Names that would break the page if they stood in it unescaped.
  compiler::station_table stations;
  compiler::decode_station_table(shortest.table, stations);
  stations.slots[1].name = std::string("<script>\0&\"'", 13);
  stations.slots[compiler::route_parameter_slot].name = std::string("\0\xff<", 3);
  seeds.push_back(
      {"hostile_names", view_input(shortest.grid, compiler::encode_station_table(stations), "")});
  seeds.push_back({"plan_of_nan", view_input(shortest.grid, shortest.table,
                                             plan_of_reals(shortest.plan, std::nan("")))});
  seeds.push_back({"no_plan", view_input(shortest.grid, shortest.table, "")});
  seeds.push_back({"empty", ""});
  return seeds;
}

}  // namespace fuzzing
