#include "viewer/route_files.h"

#include <fmt/format.h>

#include "compiler/output_files.h"
#include "compiler/slot_views.h"
#include "scenario/file_system.h"

namespace viewer {

namespace {

scenario::status refusal(const std::filesystem::path& path, compiler::output_file_kind kind,
                         const std::string& reason) {
  return scenario::status::failure_at(
      path, fmt::format("not a {}: {}", compiler::output_file_kind_name(kind), reason));
}

scenario::size_bound bound_of(compiler::output_file_kind kind, const std::string& of_what) {
  return {compiler::max_file_size(kind), of_what};
}

template <typename Decoded, typename Decoder>
scenario::status read_one(const std::filesystem::path& path, compiler::output_file_kind kind,
                          Decoder decode, Decoded& decoded) {
  scenario::file_bytes bytes;
  const std::string of_what = fmt::format("a {}", compiler::output_file_kind_name(kind));
  if (const scenario::status read = scenario::read_file_bytes(path, bytes, bound_of(kind, of_what));
      !read) {
    return read;
  }
  const scenario::status decoded_status = decode(bytes.view(), decoded);
  if (!decoded_status) return refusal(path, kind, decoded_status.reason());
  return {};
}

// The metres of the plan that goes with the table: those of its line length
// and the margin after it. Nothing when the length is none a line can have.
std::optional<std::size_t> plan_metres_of(const compiler::station_table& stations) {
  const std::int64_t length = compiler::line_parameters_of(stations).line_length_m;
  if (length < 0 || length > compiler::max_line_length_m) return std::nullopt;
  return static_cast<std::size_t>(length) + compiler::grid_margin_m + 1;
}

}  // namespace

scenario::status read_route_view(const std::filesystem::path& directory,
                                 std::string_view route_base_name, std::string_view train_number,
                                 route_view& view) {
  view.route_base_name = route_base_name;
  view.train_number = train_number;
  const auto grid_path = directory / compiler::route_grid_file_name(route_base_name, train_number);
  if (const scenario::status read = read_one(grid_path, compiler::output_file_kind::route_grid,
                                             compiler::decode_route_grid, view.grid);
      !read) {
    return read;
  }
  const auto table_path =
      directory / compiler::station_table_file_name(route_base_name, train_number);
  if (const scenario::status read = read_one(table_path, compiler::output_file_kind::station_table,
                                             compiler::decode_station_table, view.stations);
      !read) {
    return read;
  }
  view.plan.reset();
  const auto plan_kind = compiler::output_file_kind::track_plan;
  const auto plan_path = directory / compiler::track_plan_file_name(route_base_name);
  // The table tells how long the plan is; a plan file of another length is
  // not this build's, and one of any length past the longest is never read.
  const std::optional<std::size_t> metres = plan_metres_of(view.stations);
  const std::uint64_t most =
      metres ? std::uint64_t{2} * *metres * compiler::plan_element_size(compiler::plan_tag::real)
             : compiler::max_file_size(plan_kind);
  scenario::file_bytes bytes;
  const scenario::status read = scenario::read_file_bytes(
      plan_path, bytes, {most, "the track plan of the table's line length"});
  if (!read) {
    if (read.not_found()) return {};
    return read;
  }
  if (const scenario::status attached = attach_plan(view, std::move(bytes)); !attached) {
    return refusal(plan_path, plan_kind, attached.reason());
  }
  if (!metres || view.plan->metres != *metres) {
    const std::size_t found = view.plan->metres;
    view.plan.reset();
    view.plan_file = scenario::file_bytes{};
    return refusal(plan_path, plan_kind,
                   fmt::format("{} metres, where the table's line length of {} m makes {}", found,
                               compiler::line_parameters_of(view.stations).line_length_m,
                               metres ? fmt::format("{}", *metres) : std::string("no plan")));
  }
  return {};
}

scenario::status attach_plan(route_view& view, scenario::file_bytes bytes) {
  view.plan.reset();
  view.plan_file = std::move(bytes);
  compiler::plan_points plan;
  if (const scenario::status decoded = compiler::decode_plan_points(view.plan_file.view(), plan);
      !decoded) {
    view.plan_file = scenario::file_bytes{};
    return decoded;
  }
  view.plan = plan;
  return {};
}

}  // namespace viewer
