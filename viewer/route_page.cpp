#include "viewer/route_page.h"

#include <fmt/format.h>

#include "viewer/html_text.h"
#include "viewer/line_strips.h"
#include "viewer/page_assets.h"
#include "viewer/page_layout.h"
#include "viewer/plan_drawing.h"
#include "viewer/route_tables.h"

namespace viewer {

namespace {

// The page may run its own inline style and script and nothing else: no
// request leaves it, whatever a name in the files holds.
constexpr std::string_view content_policy =
    "default-src 'none'; style-src 'unsafe-inline'; script-src 'unsafe-inline'";

}  // namespace

std::string route_page(const route_view& view) {
  const std::string route = page_text(view.route_base_name);
  const std::string train = page_text(view.train_number);
  const line_axis axis = axis_of(view);

  // About 35 bytes of page a cell of the grid, most of it in the strips: the
  // page is written into room made once.
  std::string page;
  page.reserve((std::size_t{64} << 10) + 40 * view.grid.cells.size());
  fmt::format_to(std::back_inserter(page),
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
      "<meta http-equiv=\"Content-Security-Policy\" content=\"{}\">\n"
      "<title>{} {}</title>\n<script>{}</script>\n<style>{}</style></head>\n<body>\n"
      "<div id=\"script-error\"></div>\n{}<h1>{}, train {}</h1>\n",
      content_policy, route, train, page_error_catcher, page_style, marker_shapes, route, train);
  page += plan_drawing(view);
  page += "<div id=\"controls\"><button id=\"zoom-in\">zoom in</button>"
          "<button id=\"zoom-out\">zoom out</button><button id=\"zoom-reset\">whole line</button>"
          " wheel to zoom, drag to pan, hover for values</div>\n";
  line_strips(view, axis, page);
  page += "<section id=\"tables\">";
  page += station_table_html(view);
  page += parameter_panel_html(view);
  page += "</section>\n<div id=\"tip\"></div>\n<script>";
  page += page_script;
  page += "</script>\n</body></html>\n";
  return page;
}

}  // namespace viewer
