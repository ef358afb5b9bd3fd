#include "viewer/route_page.h"

#include <fmt/format.h>

#include <array>
#include <string_view>
#include <vector>

#include "viewer/html_text.h"
#include "viewer/line_strips.h"
#include "viewer/page_assets.h"
#include "viewer/page_layout.h"
#include "viewer/plan_drawing.h"
#include "viewer/route_tables.h"
#include "viewer/summary_panel.h"

namespace viewer {

namespace {

// The page may run its own inline style and script and nothing else: no
// request leaves it, whatever a name in the files holds. A page served live
// may also listen to the server it came from.
constexpr std::string_view content_policy =
    "default-src 'none'; style-src 'unsafe-inline'; script-src 'unsafe-inline'";
constexpr std::string_view live_content_policy =
    "default-src 'none'; style-src 'unsafe-inline'; script-src 'unsafe-inline'; "
    "connect-src 'self'";

// A text with thousands of mistakes would bury the page under them: the
// list shows the first ones and says how many it leaves out.
constexpr std::size_t max_listed_diagnostics = 500;

// What the page says first when the compile was not clean: what the drawing
// under it is.
std::string banner(const build_notes& notes, bool has_drawing, bool earlier_drawing) {
  std::string what;
  if (notes.outcome == compiler::compile_outcome::no_grid) {
    what = "the reading stopped before the line length was known: no file would be written";
  } else if (notes.outcome == compiler::compile_outcome::fatal_error) {
    what = fmt::format("error {} ended the build: no file would be written",
                       compiler::code_number(notes.fatal));
  } else if (notes.recorded != compiler::error_code::none) {
    what = fmt::format("error {} was recorded", compiler::code_number(notes.recorded));
    if (!earlier_drawing) what += ": what follows is what the files hold";
  } else {
    return {};
  }
  if (earlier_drawing) {
    what += ". The drawing below, greyed, is that of the last build without an error";
  } else if (!has_drawing) {
    what += ". There is nothing to draw";
  }
  return fmt::format("<p id=\"banner\">{}</p>\n", escape_html(what));
}

std::string diagnostics_list(const build_notes& notes, bool linked) {
  if (notes.diagnostics.empty()) return {};
  std::size_t errors = 0;
  for (const page_diagnostic& d : notes.diagnostics) {
    errors += d.report.level == compiler::severity::error ? 1 : 0;
  }
  const std::size_t warnings = notes.diagnostics.size() - errors;
  // A list with errors stays at the top of the window while the reader
  // scrolls the drawing under it, in a box of bounded height.
  std::string out = fmt::format(
      "<section id=\"diagnostics\"{} data-errors=\"{}\" data-warnings=\"{}\"><h2>{} error{}, {} "
      "warning{}</h2><ol>",
      errors > 0 ? " class=\"failed\"" : "", errors, warnings, errors, errors == 1 ? "" : "s",
      warnings, warnings == 1 ? "" : "s");
  std::size_t listed = 0;
  for (const page_diagnostic& d : notes.diagnostics) {
    if (listed++ == max_listed_diagnostics) break;
    const compiler::diagnostic& r = d.report;
    const bool error = r.level == compiler::severity::error;
    std::string where = r.file.empty() ? std::string() : escape_html(r.file);
    if (r.line > 0) where += fmt::format(":{}", r.line);
    // The link centres the strips on the object's place, else the row's.
    const std::optional<std::int64_t> place = d.object_metre ? d.object_metre : d.metre;
    if (linked && place) {
      where = fmt::format("<a href=\"#strips\" data-metre=\"{}\">{}</a>", *place, where);
    }
    std::string what = error ? fmt::format("error {}: ", r.code) : std::string("warning: ");
    what += escape_html(r.message);
    // Its number is that of its mark on the strips, when it has one.
    const std::string mark =
        linked && d.object_metre ? fmt::format(" data-fault=\"fault-{}\"", listed) : std::string();
    fmt::format_to(std::back_inserter(out), "<li id=\"diagnostic-{}\" class=\"{}\"{}>{}{}{}",
                   listed, error ? "error" : "warning", mark, where, where.empty() ? "" : ": ",
                   what);
    // The rows are the texts' own bytes, Windows-1252 as a rule.
    if (r.line > 0) out += fmt::format("<pre>{}</pre>", page_text(r.row));
    out += "</li>";
  }
  if (notes.diagnostics.size() > max_listed_diagnostics) {
    out += fmt::format("<li class=\"more\">and {} more</li>",
                       notes.diagnostics.size() - max_listed_diagnostics);
  }
  return out + "</ol></section>\n";
}

struct legend_entry {
  std::string_view kind;
  std::string_view words;
};

// The marker of each kind, as the lane draws it, with its name.
std::string legend() {
  constexpr std::array<legend_entry, 11> markers = {{
      {"station", "station"},
      {"signal", "signal"},
      {"speed-boards", "speed boards"},
      {"slowdown-warning", "slowdown warning"},
      {"slowdown-start", "slowdown start"},
      {"slowdown-end", "slowdown end"},
      {"slowdown-approach", "ahead of the warning"},
      {"code-cut", "code cut"},
      {"protection", "protection point"},
      {"sign", "line-side sign"},
      {"unknown", "other object"},
  }};
  std::string out = "<div id=\"legend\">";
  for (const legend_entry& m : markers) {
    out += fmt::format(
        "<span><svg width=\"18\" height=\"22\" viewBox=\"-9 -12 18 22\"><use data-legend=\"{}\" "
        "href=\"#m-{}\"/></svg>{}</span>",
        m.kind, m.kind, m.words);
  }
  constexpr std::array<legend_entry, 7> areas = {{
      {"station-area", "station area"},
      {"slowdown", "slowdown"},
      {"t1", "tunnel type 1"},
      {"t2", "tunnel type 2"},
      {"t3", "tunnel type 3"},
      {"curve-right", "curve right"},
      {"curve-left", "curve left"},
  }};
  for (const legend_entry& a : areas) {
    out += fmt::format(
        "<span><svg width=\"18\" height=\"22\"><rect data-legend=\"{}\" class=\"{}\" x=\"1\" "
        "y=\"6\" width=\"16\" height=\"10\"/></svg>{}</span>",
        a.kind, a.kind, a.words);
  }
  return out + "</div>\n";
}

constexpr std::string_view controls =
    "<div id=\"controls\"><button id=\"zoom-in\">zoom in</button>"
    "<button id=\"zoom-out\">zoom out</button><button id=\"zoom-reset\">whole line</button>"
    "<form id=\"jump\"><input id=\"jump-to\" list=\"station-names\" size=\"18\" "
    "placeholder=\"station or km\" aria-label=\"station or kilometre\"><button>go</button>"
    "<span id=\"jump-note\"></span></form><datalist id=\"station-names\"></datalist>"
    "<button id=\"save-cells\">cells as CSV</button><button id=\"save-plan\">plan as SVG</button>"
    " wheel to zoom, drag to pan, hover for values</div>\n";

// The errors of the reported compile whose rows place an object, numbered
// as the list numbers them.
std::vector<fault_mark> fault_marks(const page_parts& parts) {
  std::vector<fault_mark> marks;
  if (parts.notes == nullptr) return marks;
  const std::vector<page_diagnostic>& listed = parts.notes->diagnostics;
  for (std::size_t i = 0; i < listed.size() && i < max_listed_diagnostics; ++i) {
    if (!listed[i].object_metre) continue;
    marks.push_back({i + 1, listed[i].report.code, static_cast<double>(*listed[i].object_metre),
                     escape_html(listed[i].report.message)});
  }
  return marks;
}

void drawing(const page_parts& parts, std::string& page) {
  const route_view& view = *parts.drawing;
  const line_axis axis = axis_of(view);
  page +=
      parts.earlier_drawing ? "<div id=\"drawing\" class=\"earlier\">\n" : "<div id=\"drawing\">\n";
  page += summary_panel_html(view);
  page += plan_drawing(view);
  page += controls;
  page += legend();
  line_strips(view, axis, parts.drawing_notes, fault_marks(parts), page);
  page += "<section id=\"tables\">";
  page += station_table_html(view);
  page += parameter_panel_html(view);
  page += "</section>\n</div>\n";
}

}  // namespace

std::string route_page(const page_parts& parts) {
  const std::string route = page_text(parts.route_base_name);
  const std::string train = page_text(parts.train_number);
  const std::size_t cells = parts.drawing ? parts.drawing->grid.cells.size() : 0;

  // About 35 bytes of page a cell of the grid, most of it in the strips: the
  // page is written into room made once.
  std::string page;
  page.reserve((std::size_t{64} << 10) + 48 * cells);
  const std::string build = parts.live_build
                                ? fmt::format(" data-build=\"{}\"", escape_html(*parts.live_build))
                                : std::string();
  fmt::format_to(std::back_inserter(page),
                 "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
                 "<meta http-equiv=\"Content-Security-Policy\" content=\"{}\">\n"
                 "<title>{} {}</title>\n<script>{}</script>\n<style>{}</style></head>\n<body{}>\n"
                 "<div id=\"script-error\"></div>\n{}<h1>{}, train {}</h1>\n",
                 parts.live_build ? live_content_policy : content_policy, route, train,
                 page_error_catcher, page_style, build, marker_shapes, route, train);
  if (parts.notes != nullptr) {
    page += banner(*parts.notes, parts.drawing != nullptr, parts.earlier_drawing);
    page += diagnostics_list(*parts.notes, parts.drawing != nullptr);
  }
  if (parts.drawing != nullptr) {
    drawing(parts, page);
  } else {
    page += "<p class=\"note\" data-kind=\"no-drawing\">These texts give no grid to draw.</p>\n";
  }
  page += "<div id=\"tip\"></div>\n<script>";
  page += page_script;
  page += "</script>\n";
  if (parts.live_build) {
    page += "<script>";
    page += live_script;
    page += "</script>\n";
  }
  page += "</body></html>\n";
  return page;
}

std::string route_page(const route_view& view) {
  page_parts parts;
  parts.route_base_name = view.route_base_name;
  parts.train_number = view.train_number;
  parts.drawing = &view;
  return route_page(parts);
}

}  // namespace viewer
