#include "compiler/model_difference.h"

#include <fmt/format.h>

#include <bit>

#include "compiler/decoding.h"

namespace compiler {

namespace {

std::optional<model_difference> grid_difference(const route_grid& a, const route_grid& b) {
  if (a.cells.size() != b.cells.size()) {
    return model_difference{"grid", "cells", fmt::format("{}", a.cells.size()),
                            fmt::format("{}", b.cells.size())};
  }
  for (std::size_t c = 0; c < a.cells.size(); ++c) {
    const auto fa = cell_fields(a.cells[c]);
    const auto fb = cell_fields(b.cells[c]);
    for (std::size_t i = 0; i < fa.size(); ++i) {
      if (fa[i].value == fb[i].value) continue;
      return model_difference{fmt::format("cell {}", c), std::string(fa[i].name),
                              fmt::format("{}", fa[i].value), fmt::format("{}", fb[i].value)};
    }
  }
  return std::nullopt;
}

std::optional<model_difference> table_difference(const station_table& a, const station_table& b) {
  for (std::size_t s = 0; s < station_slot_count; ++s) {
    const station_record& ra = a.slots[s];
    const station_record& rb = b.slots[s];
    const auto fa = slot_fields(ra);
    const auto fb = slot_fields(rb);
    for (std::size_t i = 0; i < fa.size(); ++i) {
      if (fa[i].value == fb[i].value) continue;
      return model_difference{fmt::format("slot {}", s), std::string(fa[i].name),
                              fmt::format("{}", fa[i].value), fmt::format("{}", fb[i].value)};
    }
    if (ra.name != rb.name) {
      return model_difference{fmt::format("slot {}", s), "name", ra.name, rb.name};
    }
  }
  return std::nullopt;
}

std::string plan_value_text(const track_plan& plan, std::int32_t metre, double value) {
  switch (plan_element_tag(plan, metre)) {
    case plan_tag::empty:
      return "empty";
    case plan_tag::integer:
      return fmt::format("{} (integer)", value);
    case plan_tag::real:
      break;
  }
  return fmt::format("{:.17g}", value);
}

std::optional<model_difference> plan_difference(const track_plan& a, const track_plan& b) {
  if (a.exists() != b.exists()) {
    return model_difference{"plan", "metres", a.exists() ? fmt::format("{}", a.upper + 1) : "none",
                            b.exists() ? fmt::format("{}", b.upper + 1) : "none"};
  }
  if (!a.exists()) return std::nullopt;
  if (a.upper != b.upper) {
    return model_difference{"plan", "metres", fmt::format("{}", a.upper + 1),
                            fmt::format("{}", b.upper + 1)};
  }
  for (std::int32_t m = 0; m <= a.upper; ++m) {
    const auto i = static_cast<std::size_t>(m);
    const bool tags_differ = plan_element_tag(a, m) != plan_element_tag(b, m);
    const bool stored = plan_element_tag(a, m) != plan_tag::empty;
    for (const auto& [name, coordinate] :
         {std::pair{"x", &track_plan::x}, std::pair{"y", &track_plan::y}}) {
      const double va = (a.*coordinate)[i];
      const double vb = (b.*coordinate)[i];
      if (!tags_differ &&
          (!stored || std::bit_cast<std::uint64_t>(va) == std::bit_cast<std::uint64_t>(vb))) {
        continue;
      }
      return model_difference{fmt::format("plan metre {}", m), name, plan_value_text(a, m, va),
                              plan_value_text(b, m, vb)};
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<model_difference> first_difference(const scenario_model& first,
                                                 const scenario_model& second) {
  if (auto d = grid_difference(first.grid, second.grid)) return d;
  if (auto d = table_difference(first.stations, second.stations)) return d;
  return plan_difference(first.plan, second.plan);
}

}  // namespace compiler
