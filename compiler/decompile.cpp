#include "compiler/decompile.h"

#include <fmt/format.h>

#include <algorithm>

#include "compiler/cell_views.h"
#include "compiler/compile.h"
#include "compiler/journal.h"
#include "compiler/keywords.h"
#include "compiler/protection.h"
#include "compiler/slot_views.h"
#include "compiler/rounding.h"
#include "compiler/text_layout.h"

namespace compiler {

namespace {

struct texts_and_model {
  std::string line;
  std::string service;
  std::vector<const typed_row*> unfaithful;
  scenario_model model;
  compile_result result;
  std::size_t warnings = 0;
};

texts_and_model compile_rows(const build_settings& settings, const std::vector<typed_row>& line,
                             const std::vector<typed_row>& service) {
  texts_and_model out;
  laid_out_text line_text = lay_out_line_text(line);
  laid_out_text service_text = lay_out_service_text(service);
  out.line = std::move(line_text.bytes);
  out.service = std::move(service_text.bytes);
  out.unfaithful = std::move(line_text.unfaithful);
  out.unfaithful.insert(out.unfaithful.end(), service_text.unfaithful.begin(),
                        service_text.unfaithful.end());
  journal log;
  out.result = compile_scenario(settings, {out.line, out.service}, out.model, log);
  out.warnings = static_cast<std::size_t>(
      std::count_if(log.entries().begin(), log.entries().end(), [](const journal_entry& entry) {
        return std::holds_alternative<warning_noted>(entry.event);
      }));
  return out;
}

bool is_protection_point(const scenario_model& model, std::int64_t cell) {
  const auto i = static_cast<std::size_t>(cell);
  if (i >= model.grid.cells.size()) return false;
  const std::optional<code_cut_cell> cut = code_cut_of(model.grid.cells[i]);
  return cut && cut->code == protection_code;
}

}  // namespace

scenario::status plan_of_file(std::string_view bytes, plan_from_file& out) {
  plan_points points;
  if (scenario::status decoded = decode_plan_points(bytes, points); !decoded) return decoded;
  const std::size_t metres = points.metres;
  track_plan& plan = out.plan;
  plan.upper = static_cast<std::int32_t>(metres) - 1;
  plan.x.assign(metres, 0.0);
  plan.y.assign(metres, 0.0);
  std::size_t m = 0;
  for_each_plan_point(points, metres, [&](const plan_point& p) {
    plan.x[m] = p.x;
    plan.y[m] = p.y;
    ++m;
  });
  // Filled up to the first empty element of either half.
  std::size_t filled = metres;
  for (std::size_t run = 0; run < points.runs.size(); ++run) {
    if (points.runs[run].tag != plan_tag::empty) continue;
    const std::size_t first = points.runs[run].first;
    // An empty run across the halves empties the second half from metre 0.
    const bool across = first < metres && points.run_end(run) > metres;
    filled = std::min(filled, across ? 0 : first < metres ? first : first - metres);
  }
  plan.filled = static_cast<std::int32_t>(filled);
  // The compile writes integers in metres 0 and 1, reals up to `filled` and
  // empties after: the first metre of a run whose type differs from that.
  for (std::size_t run = 0; run < points.runs.size(); ++run) {
    const std::size_t begin = points.runs[run].first;
    const std::size_t end = points.run_end(run);
    const std::size_t half = begin < metres ? 0 : metres;
    for (const std::size_t at : {begin, std::max(begin, half + 2), std::max(begin, half + filled)}) {
      if (at >= end) continue;
      const auto metre = static_cast<std::int32_t>(at - half);
      if (plan_element_tag(plan, metre) != points.runs[run].tag &&
          (!out.odd_metre || metre < *out.odd_metre)) {
        out.odd_metre = metre;
      }
    }
  }
  return {};
}

namespace {

// A grid or plan of another size than the line length makes: no texts give
// it, and compiling them would only build a line of that length to say so.
std::optional<model_difference> size_difference(const scenario_model& model) {
  const std::int64_t length = line_parameters_of(model.stations).line_length_m;
  const std::int64_t cells = cell_index(length + grid_margin_m) + 1;
  if (length > max_line_length_m || length < min_line_length_m ||
      cells != static_cast<std::int64_t>(model.grid.cells.size())) {
    return model_difference{"grid", "cells", fmt::format("{}", model.grid.cells.size()),
                            fmt::format("{} (from the line length {} m)", cells, length)};
  }
  if (model.plan.exists() && model.plan.upper != length + grid_margin_m) {
    return model_difference{"plan", "metres", fmt::format("{}", std::int64_t{model.plan.upper} + 1),
                            fmt::format("{} (from the line length {} m)",
                                        length + grid_margin_m + 1, length)};
  }
  return std::nullopt;
}

}  // namespace

decompiled decompile(const scenario_model& model) {
  decompiled out;
  out.route_base_name = model.stations.slots[route_parameter_slot].name;
  out.train_number = model.stations.slots[train_parameter_slot].name;
  recovered_rows rows = recover_rows(model);
  out.notes = std::move(rows.notes);

  build_settings settings;
  settings.route_base_name = out.route_base_name;
  settings.train_number = out.train_number;
  settings.with_plan = model.plan.exists();

  if (auto mismatch = size_difference(model)) {
    out.line_text = lay_out_line_text(rows.line).bytes;
    out.service_text = lay_out_service_text(rows.service).bytes;
    out.difference = std::move(mismatch);
    return out;
  }

  // A code cut of 180 is written as a row only where the compile of the other
  // rows does not put a protection point of its own. The protection pass
  // does not look at the plan, so that compile goes without one.
  std::vector<typed_row> service = rows.service;
  if (!rows.code_180_cells.empty()) {
    build_settings without_plan = settings;
    without_plan.with_plan = false;
    const texts_and_model protected_only = compile_rows(without_plan, rows.line, rows.service);
    for (const std::int64_t cell : rows.code_180_cells) {
      if (!is_protection_point(protected_only.model, cell)) {
        service.emplace_back(protection_code_cut(cell));
      }
    }
  }
  texts_and_model trial = compile_rows(settings, rows.line, service);

  for (const typed_row* row : trial.unfaithful) {
    out.notes.push_back({fmt::format("a {} row with a text that no row can carry as it is",
                                     facts_of(keyword_of(*row)).name),
                         "the texts"});
  }
  out.line_text = std::move(trial.line);
  out.service_text = std::move(trial.service);
  out.recompiled_error = trial.result.error;
  out.recompiled_outcome = trial.result.outcome;
  out.recompiled_warnings = trial.warnings;
  if (out.recompiled_outcome == compile_outcome::complete) out.difference = first_difference(model, trial.model);
  return out;
}

}  // namespace compiler
