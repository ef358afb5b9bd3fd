// The labels of the object lane: none covers a marker or another label, and
// none is cut at the edge of the strip, as laid out and as written in pages.

#include "viewer/label_layout.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <string>
#include <vector>

#include "bench/large_scenario.h"
#include "compiler/decoding.h"
#include "compiler/encoding.h"
#include "tests/test_support.h"
#include "viewer/page_layout.h"
#include "viewer/route_page.h"

namespace {

using viewer::lane_label;
using viewer::layout_box;

constexpr double width = viewer::strip_width_px;

layout_box box_around(double x, double y, double half_width, double up, double down) {
  return {x - half_width, y - up, x + half_width, y + down};
}

// What no layout may do: a shown label out of the drawing, on a marker or
// on another shown label. Returns the first such fault in words.
std::string first_fault(const std::vector<layout_box>& markers,
                        const std::vector<layout_box>& shown) {
  for (std::size_t i = 0; i < shown.size(); ++i) {
    const layout_box& a = shown[i];
    if (a.left < 0 || a.right > width) return fmt::format("label {} passes an edge", i);
    for (const layout_box& m : markers) {
      if (viewer::boxes_meet(a, m, 0)) {
        return fmt::format("label {} at {} covers the marker at {}", i, a.left, m.left);
      }
    }
    for (std::size_t j = i + 1; j < shown.size(); ++j) {
      if (viewer::boxes_meet(a, shown[j], 0)) return fmt::format("labels {} and {} meet", i, j);
    }
  }
  return {};
}

TEST(LabelLayout, LabelsKeepClearOfMarkersAndEdges) {
  // Every marker is a sign's, ±7 px across and from 12 px above its point to
  // 9 below; the labels' lanes are 4 and 17 px under the signs' row.
  constexpr double row = 236;
  const std::vector<double> lanes = {row + 4, row + 17};
  struct point {
    double x;
    double y;
  };
  struct layout_case {
    std::string name;
    std::vector<double> labelled;  // x of a sign on the row, with a label
    std::vector<point> bare;       // a marker without a label
    std::string text;
    std::size_t shown;   // labels that find room
    std::size_t before;  // labels that stand before their marker
    double first_lane;   // where the first label stands, when it is shown
  };
  const std::vector<layout_case> cases = {
      {"a label at the right edge ends at its marker", {1195}, {}, "ALPE TERMINI", 1, 1, lanes[0]},
      {"a label at the left edge starts after its marker", {2}, {}, "ALPE TERMINI", 1, 0, lanes[0]},
      {"a label too long for either side is hidden", {600}, {}, std::string(130, 'W'), 0, 0, 0},
      {"a marker on the first lane sends the label to the second",
       {100},
       {{130, row - 8}},
       "CAVALCAVIA",
       1,
       0,
       lanes[1]},
      {"a sign marker where the label would go sends it to the left",
       {300},
       {{320, row}, {335, row}, {350, row}},
       "BIVIO",
       1,
       1,
       lanes[0]},
      {"ten signs 5 px apart",
       {400, 405, 410, 415, 420, 425, 430, 435, 440, 445},
       {},
       "BIVIO NORD",
       2,
       1,
       lanes[0]},
  };
  for (const layout_case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<layout_box> markers;
    std::vector<lane_label> labels;
    for (const double x : c.labelled) {
      markers.push_back(box_around(x, row, 7, 12, 9));
      labels.push_back({x, 8, viewer::label_width_px(c.text, 10), lanes, 0});
    }
    for (const point& p : c.bare) markers.push_back(box_around(p.x, p.y, 7, 12, 9));
    const std::vector<viewer::label_place> places = viewer::lay_out_labels(markers, labels, width);
    ASSERT_EQ(places.size(), labels.size());
    std::vector<layout_box> shown;
    std::size_t before = 0;
    for (std::size_t i = 0; i < places.size(); ++i) {
      if (!places[i].shown) continue;
      shown.push_back(places[i].box);
      before += places[i].before_marker ? 1 : 0;
      // The box is the one its text takes, on one of its lanes.
      EXPECT_DOUBLE_EQ(places[i].box.right - places[i].box.left, labels[i].width);
      EXPECT_TRUE(places[i].baseline == lanes[0] || places[i].baseline == lanes[1]);
      EXPECT_DOUBLE_EQ(places[i].before_marker ? places[i].box.right : places[i].box.left,
                       places[i].before_marker ? labels[i].x - 8 : labels[i].x + 8);
    }
    EXPECT_EQ(shown.size(), c.shown);
    EXPECT_EQ(before, c.before);
    if (places[0].shown) {
      EXPECT_EQ(places[0].baseline, c.first_lane);
    }
    EXPECT_EQ(first_fault(markers, shown), "");
  }
}

TEST(LabelLayout, WidthsCountCharactersNotBytes) {
  // "M" is among the widest letters, "i" among the narrowest; a character
  // reference and a UTF-8 sequence are one character each.
  EXPECT_GT(viewer::label_width_px("MMMM", 10), viewer::label_width_px("iiii", 10) * 2);
  EXPECT_DOUBLE_EQ(viewer::label_width_px("&amp;", 10), 10.0);
  EXPECT_DOUBLE_EQ(viewer::label_width_px("\xC3\x80", 10), 10.0);
  EXPECT_DOUBLE_EQ(viewer::label_width_px("100/90", 20), 2 * viewer::label_width_px("100/90", 10));
}

// The object lane of a page as written: its markers' rooms and its shown
// labels' boxes, read back from the page's own attributes.
struct written_lane {
  std::vector<layout_box> markers;
  std::vector<layout_box> labels;
  std::size_t hidden = 0;
};

written_lane lane_of(const std::string& page) {
  written_lane lane;
  const std::size_t start = page.find("data-strip=\"objects\"");
  EXPECT_NE(start, std::string::npos);
  const std::string svg = page.substr(start, page.find("</svg>", start) - start);
  std::map<std::string, std::vector<double>> rooms;
  const std::regex room(R"re(&quot;([a-z-]+)&quot;:\[([-\d.]+),([-\d.]+),([-\d.]+),([-\d.]+)\])re");
  for (std::sregex_iterator m(svg.begin(), svg.end(), room), end; m != end; ++m) {
    rooms[(*m)[1]] = {std::stod((*m)[2]), std::stod((*m)[3]), std::stod((*m)[4]),
                      std::stod((*m)[5])};
  }
  const std::regex marker(R"re(<(?:g|path) data-kind="([a-z-]+)" data-x="([-\d.]+)")re");
  const std::string pinned = svg.substr(svg.find("<g class=\"pinned\">"));
  for (std::sregex_iterator m(pinned.begin(), pinned.end(), marker), end; m != end; ++m) {
    const auto r = rooms.find((*m)[1]);
    EXPECT_NE(r, rooms.end()) << (*m)[1];
    if (r == rooms.end()) continue;
    const double x = std::stod((*m)[2]);
    lane.markers.push_back({x + r->second[0], r->second[1], x + r->second[2], r->second[3]});
  }
  const std::regex label(
      R"re(<text x="([-\d.]+)" y="([-\d.]+)" data-dx="[-\d.]+" data-w="([\d.]+)" )re"
      R"re(data-lanes="[-\d. ]+"( data-priority="1")?( text-anchor="end")?( style="display:none")?>)re");
  for (std::sregex_iterator m(pinned.begin(), pinned.end(), label), end; m != end; ++m) {
    if ((*m)[6].matched) {
      ++lane.hidden;
      continue;
    }
    const double x = std::stod((*m)[1]);
    const double y = std::stod((*m)[2]);
    const double w = std::stod((*m)[3]);
    const double left = (*m)[5].matched ? x - w : x;
    lane.labels.push_back(
        {left, y - viewer::label_ascent_px, left + w, y + viewer::label_descent_px});
  }
  return lane;
}

viewer::route_view view_of(const test_support::compiled& c, const std::string& route) {
  viewer::route_view view;
  view.route_base_name = route;
  view.train_number = "1";
  EXPECT_TRUE(compiler::decode_route_grid(compiler::encode_route_grid(c.model.grid), view.grid));
  EXPECT_TRUE(compiler::decode_station_table(compiler::encode_station_table(c.model.stations),
                                             view.stations));
  return view;
}

std::string with_row_before(std::string text, std::string_view before, const std::string& rows) {
  const std::size_t at = text.find(before);
  EXPECT_NE(at, std::string::npos) << before;
  if (at != std::string::npos) text.insert(at, rows);
  return text;
}

// Pages of whole lines: the embedded one, whose signs stand close together
// near the end of the line with long texts; the same with a crowd of signs
// and a last station named at the line's very end; and a long generated
// line.
TEST(LabelLayout, PagesKeepEveryLabelClear) {
  const std::string line = test_support::embedded_line_text();
  const std::string service = test_support::embedded_service_text();
  std::string crowd;
  for (int i = 0; i < 30; ++i) {
    crowd +=
        fmt::format("cartello_indicatore,  {},   (SEGNALE DI PROVA {})\r\n", 20000 + 100 * i, i);
  }
  const bench::generated_scenario long_line = bench::make_large_scenario(300'000, 5);
  struct page_case {
    std::string name;
    std::string line;
    std::string service;
    std::size_t least_shown;
    std::string ends_at_marker;  // a label that stands whole before its marker
  };
  const std::vector<page_case> cases = {
      {"embedded", line, service, 25, "ORMEDA CORVENTA"},
      {"a crowd of signs", with_row_before(line, "cartello_indicatore,  59450,", crowd), service,
       28, "(ORMEDA S.V.)"},
      {"300 km", long_line.line_text, long_line.service_text, 60, ""},
  };
  for (const page_case& c : cases) {
    SCOPED_TRACE(c.name);
    const test_support::compiled compiled = test_support::compile(c.line, c.service, false);
    const viewer::route_view view = view_of(compiled, c.name);
    const std::string page = viewer::route_page(view);
    const written_lane lane = lane_of(page);
    EXPECT_GE(lane.labels.size(), c.least_shown) << lane.hidden << " hidden";
    EXPECT_EQ(first_fault(lane.markers, lane.labels), "");
    if (!c.ends_at_marker.empty()) {
      EXPECT_NE(page.find(" text-anchor=\"end\">" + c.ends_at_marker + "</text>"),
                std::string::npos);
    }
  }
}

}  // namespace
