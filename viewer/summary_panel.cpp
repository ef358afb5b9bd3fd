#include "viewer/summary_panel.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "compiler/scenario_diff.h"
#include "compiler/scenario_summary.h"
#include "viewer/curvature.h"
#include "viewer/html_text.h"

namespace viewer {

namespace {

std::string stretch_text(const compiler::summary_stretch& s, std::string_view unit) {
  return fmt::format("{}\u2013{} km: {} {}", compiler::kilometres(s.from),
                     compiler::kilometres(s.to), s.value, unit);
}

void add_row(std::string& out, std::string_view name, const std::string& value) {
  out += fmt::format("<tr><th>{}</th><td>{}</td></tr>", name, value);
}

std::string joined(const std::vector<std::string>& items, std::string_view none = "none") {
  if (items.empty()) return std::string(none);
  std::string out;
  for (const std::string& item : items) {
    if (!out.empty()) out += "<br>";
    out += item;
  }
  return out;
}

}  // namespace

std::string summary_panel_html(const route_view& view) {
  compiler::scenario_model model;
  model.grid = view.grid;
  model.stations = view.stations;
  const compiler::scenario_summary s = compiler::summarize(model);

  std::string out = "<table id=\"summary\"><caption>Summary</caption><tbody>";
  add_row(out, "length", fmt::format("{} km", compiler::kilometres(s.length_m)));
  // The station table below gives each name whole; here a long one is cut.
  constexpr std::size_t name_shown = 40;
  std::vector<std::string> stations;
  for (const compiler::summary_station& st : s.stations) {
    const std::string_view name = std::string_view(st.name).substr(0, name_shown);
    stations.push_back(fmt::format("{} km {}{} (type {}, {}, dwell {} s)",
                                   compiler::kilometres(st.position), page_text(name),
                                   st.name.size() > name_shown ? "…" : "", st.type,
                                   st.departure, st.dwell));
  }
  add_row(out, fmt::format("{} stations", s.stations.size()), joined(stations));
  std::vector<std::string> gradients;
  for (const auto& g : s.steepest_gradients) gradients.push_back(stretch_text(g, "\u2030"));
  add_row(out, "steepest gradients", joined(gradients, "level throughout"));

  // The page reads the curves from the plan it draws.
  std::vector<std::string> curves;
  if (view.plan) {
    std::vector<curve_stretch> stretches = curve_stretches(*view.plan);
    std::stable_sort(stretches.begin(), stretches.end(), [](const auto& a, const auto& b) {
      return std::abs(a.curvature) > std::abs(b.curvature);
    });
    for (std::size_t i = 0; i < stretches.size() && i < compiler::summary_extremes; ++i) {
      const curve_stretch& c = stretches[i];
      curves.push_back(fmt::format(
          "{}\u2013{} km: radius {} m", compiler::kilometres(static_cast<std::int64_t>(c.first_metre)),
          compiler::kilometres(static_cast<std::int64_t>(c.last_metre)), std::lround(c.radius_m())));
    }
  }
  add_row(out, "sharpest curves", joined(curves, view.plan ? "straight throughout" : "no plan"));
  std::vector<std::string> speeds;
  for (const auto& limit : s.speed_limits) speeds.push_back(stretch_text(limit, "km/h"));
  add_row(out, "speed limits", joined(speeds));
  add_row(out, "tunnels", fmt::format("{}", s.tunnels.size()));
  add_row(out, "signals", fmt::format("{}", s.signals.size()));
  std::vector<std::string> slowdowns;
  for (const auto& sd : s.slowdowns) {
    slowdowns.push_back(fmt::format("{}\u2013{} km: {} km/h", compiler::kilometres(sd.from),
                                    compiler::kilometres(sd.to), sd.speed));
  }
  add_row(out, fmt::format("{} slowdowns", s.slowdowns.size()), joined(slowdowns));
  return out + "</tbody></table>\n";
}

}  // namespace viewer
