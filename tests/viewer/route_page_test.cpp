// The page of a build: one marker per object the files hold, every text from
// the files escaped, the plan drawn thin, and the files' failures named.

#include "viewer/route_page.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "builder/commands/command_line.h"
#include "compiler/decoding.h"
#include "compiler/encoding.h"
#include "compiler/output_files.h"
#include "scenario/text_file.h"
#include "tests/test_support.h"
#include "viewer/curvature.h"
#include "viewer/html_text.h"
#include "viewer/page_layout.h"
#include "viewer/route_files.h"

namespace {

using test_support::temporary_directory;

std::size_t occurrences(const std::string& text, const std::string& what) {
  std::size_t count = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
    ++count;
  }
  return count;
}

// The embedded build, through the bytes of its three files.
viewer::route_view embedded_view(bool with_plan = true) {
  const test_support::compiled c = test_support::compile(test_support::embedded_line_text(),
                                                         test_support::embedded_service_text());
  viewer::route_view view;
  view.route_base_name = compiler::embedded_route_base_name;
  view.train_number = compiler::embedded_train_number;
  EXPECT_TRUE(compiler::decode_route_grid(compiler::encode_route_grid(c.model.grid), view.grid));
  EXPECT_TRUE(compiler::decode_station_table(compiler::encode_station_table(c.model.stations),
                                             view.stations));
  if (with_plan) {
    EXPECT_TRUE(viewer::attach_plan(
        view, scenario::file_bytes::copy_of(compiler::encode_track_plan(c.model.plan))));
  }
  return view;
}

TEST(RoutePage, EmbeddedBuildHoldsOneMarkerPerObject) {
  const std::string page = viewer::route_page(embedded_view());
  struct expected_count {
    std::string kind;
    std::size_t count;
  };
  // What the embedded texts place: 13 stations, 34 signals, one slowdown of
  // three cells, 21 speed boards, 19 tunnel rows on runs of their own types, 4 signs, 4 code
  // cuts of "AC" and the protection points of the slowdown.
  const std::vector<expected_count> expected = {
      {"station", 13},       {"station-area", 13}, {"plan-station", 13},
      {"signal", 34},        {"slowdown", 1},      {"slowdown-warning", 1},
      {"slowdown-start", 1}, {"slowdown-end", 1},  {"slowdown-approach", 0},
      {"speed-boards", 21},  {"tunnel", 19},       {"plan-tunnel", 19},
      {"sign", 4},           {"code-cut", 4},      {"no-plan", 0},
      {"unknown", 0},
  };
  for (const expected_count& e : expected) {
    SCOPED_TRACE(e.kind);
    EXPECT_EQ(occurrences(page, "data-kind=\"" + e.kind + "\""), e.count);
  }
  EXPECT_GT(occurrences(page, "data-kind=\"protection\""), 0u);
  // Each station once in the lane, once on the plan and once in the table.
  EXPECT_EQ(occurrences(page, ">VESCARA<"), 3u);
  EXPECT_EQ(occurrences(page, ">ORMEDA S.V.<"), 3u);
  EXPECT_NE(page.find("<td>15:18:00</td>"), std::string::npos);
  EXPECT_NE(page.find("<td>63500 m</td>"), std::string::npos);
  EXPECT_NE(page.find("<th>clock</th><td>15:17:15</td>"), std::string::npos);
  // The curves of the plan, one bar each, and the cells' fields for the
  // download, named as the tools name them.
  EXPECT_EQ(occurrences(page, "data-kind=\"curve-right\""), 1u);
  EXPECT_EQ(occurrences(page, "data-kind=\"curve-left\""), 1u);
  const std::size_t bars = page.find("data-kind=\"curve-right\"");
  EXPECT_EQ(occurrences(page.substr(bars, page.find("</svg>", bars) - bars), "z"), 42u);
  EXPECT_NE(page.find("\"fields\":[\"kind\",\"param1\",\"param2\",\"param3\",\"param4\","
                      "\"signal_time\",\"approach_mark\",\"mountain_type\",\"speed_limit\","
                      "\"gradient\",\"adhesion\"]"),
            std::string::npos);
}

TEST(RoutePage, EmbeddedPageIsSmallAndLoadsNothing) {
  const std::string page = viewer::route_page(embedded_view());
  EXPECT_LT(page.size(), 1'000'000u);
  EXPECT_NE(page.find("content=\"default-src 'none';"), std::string::npos);
  for (const char* reference :
       {"href=\"http", "https:", "src=", "<link", "@import", "url(", "fetch(", "XMLHttpRequest"}) {
    SCOPED_TRACE(reference);
    EXPECT_EQ(page.find(reference), std::string::npos);
  }
  // 70499 metres of plan, thinned to a few dozen points at half a pixel.
  EXPECT_NE(page.find("data-points=\"70499\""), std::string::npos);
  const std::size_t kept = page.find("data-kept=\"");
  ASSERT_NE(kept, std::string::npos);
  EXPECT_LT(std::stoul(page.substr(kept + 11)), 200u);
}

TEST(RoutePage, TextsFromTheFilesAreEscaped) {
  struct test_case {
    std::string name;      // Windows-1252 bytes, as stored
    std::string expected;  // as the page must show it
  };
  const std::vector<test_case> cases = {
      {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
      {"\"quoted\" & 'single'", "&quot;quoted&quot; &amp; &#39;single&#39;"},
      {"CITT\xC0 \x80 \x81", "CITT\xC3\x80 \xE2\x82\xAC \xEF\xBF\xBD"},
  };
  for (const test_case& c : cases) {
    SCOPED_TRACE(c.expected);
    viewer::route_view view = embedded_view(false);
    view.stations.slots[1].name = c.name;  // a station
    // A clock of one-digit values still reads as a clock.
    view.stations.slots[compiler::train_parameter_slot].group2_a = 8;
    view.stations.slots[compiler::train_parameter_slot].group2_b = 0;
    view.stations.slots[compiler::train_parameter_slot].group2_c = 5;
    view.stations.slots[80].name = c.name;  // the first sign's text
    view.route_base_name = c.name;
    const std::string page = viewer::route_page(view);
    EXPECT_EQ(page.find(c.name), std::string::npos);
    // The station in the lane, the table and its two tips; the sign's label
    // and tip; the route in the title and the heading.
    EXPECT_GE(occurrences(page, c.expected), 6u);
    EXPECT_EQ(occurrences(page, "<script"), 3u);  // the page's own three
    EXPECT_NE(page.find("<th>clock</th><td>08:00:05</td>"), std::string::npos);
  }
}

// Plan files no build writes, made from the embedded one: values replaced by
// any bits at all (not a number, infinite, absurdly large), reals split into
// empty elements so that the halves meet inside runs, the end cut off. Each
// one is either refused or drawn into a page of bounded size; under the
// sanitizers this also shows that the walk over the file stays inside it.
TEST(RoutePage, DamagedPlanFilesAreRefusedOrDrawn) {
  const test_support::compiled c = test_support::compile(test_support::embedded_line_text(),
                                                         test_support::embedded_service_text());
  const std::string good = compiler::encode_track_plan(c.model.plan);
  const viewer::route_view base = embedded_view(false);
  std::mt19937 random(2026);
  std::size_t drawn = 0;
  for (int round = 0; round < 24; ++round) {
    SCOPED_TRACE(round);
    std::string bytes = good;
    // Reals sit at 8 + 10 k in the first half: their values are overwritten,
    // or the whole element becomes five empty ones.
    const std::size_t reals = (bytes.size() / 2 - 8) / 10;
    for (int change = 0; change < 1 + round % 6; ++change) {
      const std::size_t element = 8 + 10 * (random() % reals);
      if (round % 3 == 2) {
        std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(element), 10, '\0');
      } else {
        const std::uint64_t bits = (std::uint64_t{random()} << 32) | random();
        for (int b = 0; b < 8; ++b) {
          bytes[element + 2 + static_cast<std::size_t>(b)] = static_cast<char>(bits >> (8 * b));
        }
      }
    }
    if (round % 8 == 7) bytes.resize(bytes.size() - random() % 64);
    viewer::route_view view;
    view.route_base_name = base.route_base_name;
    view.train_number = base.train_number;
    view.grid = base.grid;
    view.stations = base.stations;
    // The inspecting decoder, on its own, tells what must be refused and
    // what drawn.
    compiler::decoded_plan tagged;
    const scenario::status refused = compiler::decode_track_plan(bytes, tagged);
    EXPECT_EQ(viewer::attach_plan(view, scenario::file_bytes::copy_of(bytes)), refused);
    if (!refused) {
      EXPECT_FALSE(view.plan);
      continue;
    }
    const std::size_t drawable = test_support::drawable_metres(tagged);
    ASSERT_TRUE(view.plan);
    EXPECT_EQ(view.plan->drawable, drawable);
    const std::string page = viewer::route_page(view);
    EXPECT_TRUE(page.ends_with("</html>\n"));
    EXPECT_LT(page.size(), std::size_t{3} << 20);
    if (drawable >= 2) {
      ++drawn;
      EXPECT_NE(page.find(fmt::format("data-points=\"{}\"", drawable)), std::string::npos);
    } else {
      EXPECT_NE(page.find("data-kind=\"no-plan\""), std::string::npos);
    }
  }
  EXPECT_GT(drawn, 12u);
}

// Grids and tables no build writes: every cell field and every slot field
// any value its width holds, names of any bytes. The page is still whole,
// escapes every name and stays within a size that follows from the grid.
TEST(RoutePage, AnyCellsAndSlotsMakeAWholePage) {
  std::mt19937 random(77);
  auto any = [&](int bits) { return static_cast<std::int64_t>(random() & ((1ull << bits) - 1)); };
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE(round);
    viewer::route_view view;
    view.route_base_name = "<route" + std::to_string(round);
    view.train_number = std::string("\"&\0", 3);
    const std::size_t cells = compiler::min_grid_cells + random() % 3000;
    view.grid.cells.resize(cells);
    for (compiler::track_cell& cell : view.grid.cells) {
      // Mostly free track, as a line is; the rest any kind at all.
      cell.kind = random() % 4 == 0 ? static_cast<std::uint8_t>(any(8)) : 0;
      cell.param1 = static_cast<std::int16_t>(any(16));
      cell.param2 = static_cast<std::int16_t>(any(16));
      cell.param3 = static_cast<std::int16_t>(any(16));
      cell.param4 = static_cast<std::int16_t>(any(16));
      cell.signal_time = static_cast<std::uint8_t>(any(8));
      cell.approach_mark = static_cast<std::uint8_t>(any(8));
      cell.mountain_type = static_cast<std::uint8_t>(any(8));
      cell.speed_limit = static_cast<std::uint8_t>(any(8));
      cell.gradient = static_cast<std::uint8_t>(any(8));
      cell.adhesion = static_cast<std::uint8_t>(any(8));
    }
    for (compiler::station_record& r : view.stations.slots) {
      r.station_type = static_cast<std::uint8_t>(any(8));
      r.start = static_cast<std::int32_t>(any(32));
      r.finish = static_cast<std::int32_t>(any(32));
      r.position = static_cast<std::int32_t>(any(32));
      r.dwell = static_cast<std::uint8_t>(any(8));
      r.departure_time = static_cast<std::int32_t>(any(32));
      r.name.clear();
      for (std::size_t n = random() % 24; n > 0; --n) r.name.push_back(static_cast<char>(any(8)));
    }
    const std::string page = viewer::route_page(view);
    EXPECT_TRUE(page.ends_with("</html>\n"));
    // Names of any bytes are escaped: no "<" of theirs stands in the page.
    EXPECT_EQ(page.find("<route"), std::string::npos);
    EXPECT_NE(page.find("&lt;route"), std::string::npos);
    // Nor does a control byte: each stands as its visible escape.
    for (const char control : {'\0', '\x1b', '\x07', '\x7f'}) {
      EXPECT_EQ(page.find(control), std::string::npos) << int(control);
    }
    EXPECT_NE(page.find("&quot;&amp;\\x00"), std::string::npos);
    EXPECT_EQ(occurrences(page, "<script"), 3u);
    EXPECT_LT(page.size(), (std::size_t{1} << 20) + 1200 * cells);
  }
}

// The curves read back from the plan are the curve rows of the text: each
// row's stretch, sense and class, found apart from the reader by cutting
// the rows here.
TEST(RoutePage, CurvesAreTheCurveRows) {
  const viewer::route_view view = embedded_view();
  ASSERT_TRUE(view.plan);
  const std::vector<viewer::curve_stretch> found = viewer::curve_stretches(*view.plan);
  const std::array<double, 6> per_class = {0.0001, 0.0002, 0.0004, 0.001, 0.002, 0.003};
  std::istringstream text(test_support::embedded_line_text());
  std::size_t n = 0;
  for (std::string row; std::getline(text, row);) {
    if (!row.starts_with("curva")) continue;
    SCOPED_TRACE(row);
    const char sense = row[5];
    const int digit = row[6] - '1';
    std::size_t first = 0, length = 0;
    ASSERT_EQ(std::sscanf(row.c_str() + row.find(',') + 1, "%zu , %zu", &first, &length), 2);
    ASSERT_LT(n, found.size());
    EXPECT_EQ(found[n].first_metre, first);
    EXPECT_EQ(found[n].last_metre, first + length);
    EXPECT_NEAR(found[n].curvature, (sense == 's' ? -1 : 1) * per_class[digit], 1e-9);
    EXPECT_NEAR(found[n].radius_m(), 1.0 / per_class[digit], 1e-3);
    ++n;
  }
  EXPECT_EQ(n, 42u);
  EXPECT_EQ(found.size(), n);
}

TEST(RoutePage, CoordinatesAreWrittenToATenth) {
  struct coordinate_case {
    double value;
    std::string_view text;
  };
  const std::vector<coordinate_case> cases = {
      {0.0, "0"},
      {-0.0, "0"},
      {-0.04, "0"},
      {0.04, "0"},
      {12.0, "12"},
      {12.34, "12.3"},
      {12.36, "12.4"},
      {-3.06, "-3.1"},
      {1199.96, "1200"},
      {-0.06, "-0.1"},
      {999999999.9, "999999999.9"},
      {1e20, "1000000000000000.0"},
      {-1e300, "-1000000000000000.0"},
      {std::nan(""), "nan"},
  };
  for (const coordinate_case& c : cases) {
    EXPECT_EQ(viewer::px(c.value).view(), c.text) << c.value;
  }
}

TEST(RoutePage, WithoutPlanSaysSo) {
  const std::string page = viewer::route_page(embedded_view(false));
  EXPECT_EQ(occurrences(page, "data-kind=\"no-plan\""), 1u);
  EXPECT_EQ(occurrences(page, "data-kind=\"plan-station\""), 0u);
  EXPECT_EQ(occurrences(page, "data-kind=\"station\""), 13u);
}

TEST(WindowsText, ConvertsEveryByteToUtf8) {
  EXPECT_EQ(scenario::from_windows_1252("abc"), "abc");
  EXPECT_EQ(scenario::from_windows_1252("\xE8\xFF"), "\xC3\xA8\xC3\xBF");
  EXPECT_EQ(scenario::from_windows_1252("\x80\x9F"), "\xE2\x82\xAC\xC5\xB8");
  EXPECT_EQ(scenario::from_windows_1252("\x81\x8D\x8F\x90\x9D"),
            "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
  // Every byte that has a character comes back from the other direction.
  for (int b = 1; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    std::string back;
    if (scenario::from_windows_1252(one) == "\xEF\xBF\xBD") continue;
    EXPECT_TRUE(scenario::to_windows_1252(scenario::from_windows_1252(one), back));
    EXPECT_EQ(back, one) << b;
  }
}

struct view_run {
  int status;
  std::string out;
  std::string err;
};

view_run run_view(const std::vector<std::string>& args) {
  std::ostringstream out;
  std::ostringstream err;
  std::vector<std::string> all{"view"};
  all.insert(all.end(), args.begin(), args.end());
  const auto status = builder::run_command_line(all, nullptr, out, err);
  return {static_cast<int>(status), out.str(), err.str()};
}

TEST(ViewCommand, WritesThePageOrNamesTheFileItCannotRead) {
  temporary_directory dir;
  const auto built = run_view({"--dir", dir.path().string()});
  EXPECT_EQ(built.status, 1);
  EXPECT_EQ(built.err, "scenario-builder: " + dir.path().string() +
                           " holds no build (a ROUTE_TRAIN.dat and ROUTE_TRAIN.sim pair)\n");

  std::ostringstream out, err;
  ASSERT_EQ(builder::run_command_line({"build", "--out", dir.path().string()}, nullptr, out, err),
            builder::exit_status::clean);
  const auto page_path = dir.path() / "page.html";
  const auto viewed = run_view({"--dir", dir.path().string(), "-o", page_path.string()});
  ASSERT_EQ(viewed.status, 0) << viewed.err;
  const std::string page = test_support::read_file(page_path);
  EXPECT_EQ(occurrences(page, "data-kind=\"signal\""), 34u);
  EXPECT_EQ(occurrences(page, "data-kind=\"no-plan\""), 0u);

  struct broken_case {
    std::string file;
    std::string bytes;  // empty: the file is removed
    int status;
    std::string message;
  };
  const std::vector<broken_case> cases = {
      {"Vescara_Ormeda_4816.sim", "not a table", 1,
       "Vescara_Ormeda_4816.sim: not a scenario table"},
      {"Vescara_Ormeda_4816.dat", std::string(16, '\0'), 1,
       "Vescara_Ormeda_4816.dat: not a cell grid"},
      {"Vescara_Ormeda_linea.dat", "\x07\x00", 1, "Vescara_Ormeda_linea.dat: not a track plan"},
      {"Vescara_Ormeda_linea.dat", "", 0, ""},
  };
  for (const broken_case& c : cases) {
    SCOPED_TRACE(c.file);
    temporary_directory copy;
    for (const char* name :
         {"Vescara_Ormeda_4816.dat", "Vescara_Ormeda_4816.sim", "Vescara_Ormeda_linea.dat"}) {
      test_support::write_file(copy.path() / name, test_support::read_file(dir.path() / name));
    }
    if (c.bytes.empty()) {
      std::filesystem::remove(copy.path() / c.file);
    } else {
      test_support::write_file(copy.path() / c.file, c.bytes);
    }
    const auto result = run_view({"--dir", copy.path().string()});
    EXPECT_EQ(result.status, c.status) << result.err;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    const bool written = std::filesystem::exists(copy.path() / "Vescara_Ormeda_4816.html");
    EXPECT_EQ(written, c.status == 0);
    if (written) {
      EXPECT_EQ(occurrences(test_support::read_file(copy.path() / "Vescara_Ormeda_4816.html"),
                            "data-kind=\"no-plan\""),
                1u);
    }
  }
}

}  // namespace

namespace {

// The 1-based line of the first row that starts with `keyword`.
std::size_t line_of_first(const std::string& text, std::string_view keyword) {
  const std::size_t at = text.find("\n" + std::string(keyword));
  return at == std::string::npos
             ? 0
             : static_cast<std::size_t>(
                   std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n')) +
                   2;
}

std::string replaced(std::string text, std::string_view what, std::string_view with) {
  const std::size_t at = text.find(what);
  EXPECT_NE(at, std::string::npos) << what;
  if (at != std::string::npos) text.replace(at, what.size(), with);
  return text;
}

}  // namespace

// The page of texts compiled in memory: the view writes the page alone, and
// the page tells what the journal tells: the errors and warnings with their
// places, the banner of a recorded error, the row behind each object.
TEST(ViewCommand, PagesOfTextsTellWhatTheJournalTells) {
  const std::string line = test_support::embedded_line_text();
  const std::string service = test_support::embedded_service_text();
  struct text_case {
    std::string name;
    std::string line;
    std::string service;
    int status;
    std::string banner;  // empty: none
    std::size_t errors;
    std::string link;   // a diagnostic linked to its place on the axis
    std::string shown;  // what else the page holds
    bool drawn;
    std::string fault;  // the mark of the first error on the strips: its code and metre
  };
  const std::vector<text_case> cases = {
      {"clean", line, service, 0, "", 0, "", "", true, ""},
      {"a curve of no class", replaced(line, "curvad1,  2700,", "curvad,  2700,"), service, 2,
       "error 103 was recorded: what follows is what the files hold", 1,
       "<a href=\"#strips\" data-metre=\"2700\">", "", true, ""},
      {"a row of markup", replaced(line, "curvas4,", "<b>pendenz</b>, 5\r\ncurvas4,"), service, 0,
       "", 0, "", "<pre>&lt;b&gt;pendenz&lt;/b&gt;, 5</pre>", true, ""},
      {"an empty line text", "", service, 3,
       "the reading stopped before the line length was known: no file would be written. There "
       "is nothing to draw",
       1, "", "", false, ""},
      // Cell 85, from 4250 m, holds the signal at 4200 m: the second one
      // would stand there.
      {"a signal on an occupied cell", line,
       replaced(service, "segnale,   10400,", "segnale,    4200,"), 2,
       "error 16 was recorded: what follows is what the files hold", 1,
       "<a href=\"#strips\" data-metre=\"4250\">", "", true, "16 4250"},
  };
  for (const text_case& c : cases) {
    SCOPED_TRACE(c.name);
    temporary_directory dir;
    const auto line_path = dir.path() / "Vescara_Ormeda_linea.txt";
    const auto service_path = dir.path() / "Vescara_Ormeda_4816-.txt";
    test_support::write_file(line_path, c.line);
    test_support::write_file(service_path, c.service);
    const auto page_path = dir.path() / "page.html";
    const auto result =
        run_view({line_path.string(), service_path.string(), "-o", page_path.string()});
    EXPECT_EQ(result.status, c.status) << result.err;
    // Nothing but the page is written, and the texts are as they were.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Vescara_Ormeda_4816-.txt",
                                               "Vescara_Ormeda_linea.txt", "page.html"}));
    EXPECT_EQ(test_support::read_file(line_path), c.line);
    const std::string page = test_support::read_file(page_path);
    EXPECT_TRUE(page.ends_with("</html>\n"));
    EXPECT_EQ(occurrences(page, "<script"), c.drawn ? 3u : 2u);

    if (c.banner.empty()) {
      EXPECT_EQ(page.find("id=\"banner\""), std::string::npos);
    } else {
      EXPECT_NE(page.find("<p id=\"banner\">" + c.banner + "</p>"), std::string::npos);
    }
    if (c.errors > 0) {
      EXPECT_NE(page.find(fmt::format("data-errors=\"{}\"", c.errors)), std::string::npos);
    } else {
      EXPECT_EQ(page.find("<li class=\"error\">"), std::string::npos);
    }
    if (!c.shown.empty()) {
      EXPECT_NE(page.find(c.shown), std::string::npos);
    }
    if (!c.link.empty()) {
      // The link names the text and line of the row, then the report.
      const std::size_t at = page.find(c.link);
      ASSERT_NE(at, std::string::npos);
      const std::string where = c.fault.empty() ? line_path.string() + ":12</a>: error 103"
                                                : service_path.string() + ":57</a>: error 16";
      EXPECT_EQ(page.substr(at + c.link.size(), where.size()), where);
    }
    // A list with errors comes before the drawing, in the box that stays in
    // view; an error's object is marked on the strips, linked both ways.
    if (c.errors > 0) {
      const std::size_t list = page.find("<section id=\"diagnostics\" class=\"failed\"");
      EXPECT_NE(list, std::string::npos);
      EXPECT_LT(list, std::min(page.find("<div id=\"drawing\""), page.find("no-drawing")));
    }
    if (c.fault.empty()) {
      EXPECT_EQ(page.find("data-kind=\"fault\""), std::string::npos);
    } else {
      const std::string code = c.fault.substr(0, c.fault.find(' '));
      const std::string metre = c.fault.substr(c.fault.find(' ') + 1);
      EXPECT_EQ(occurrences(page, "data-kind=\"fault\""), 1u);
      EXPECT_NE(page.find("<li id=\"diagnostic-1\" class=\"error\" data-fault=\"fault-1\">"),
                std::string::npos);
      const std::size_t mark = page.find("<a data-kind=\"fault\"");
      ASSERT_NE(mark, std::string::npos);
      const std::string element = page.substr(mark, page.find("</a>", mark) - mark);
      EXPECT_NE(element.find(" id=\"fault-1\" href=\"#diagnostic-1\""), std::string::npos);
      EXPECT_NE(element.find(fmt::format(" data-metre=\"{}\"", metre)), std::string::npos);
      EXPECT_NE(element.find(fmt::format(">{}</text>", code)), std::string::npos) << element;
      EXPECT_NE(element.find(fmt::format("data-tip=\"error {}: ", code)), std::string::npos);
    }
    EXPECT_EQ(page.find("<b>pendenz"), std::string::npos);
    EXPECT_EQ(page.find("data-kind=\"no-drawing\"") == std::string::npos, c.drawn);
    // An error that stops the reading leaves the service text unread.
    if (c.status != 0) continue;
    // The first signal's hover names the row of the first signal.
    const std::size_t signal = page.find("data-kind=\"signal\"");
    ASSERT_NE(signal, std::string::npos);
    const std::string tip = page.substr(signal, page.find(" d=", signal) - signal);
    EXPECT_NE(tip.find(fmt::format(" · from {}:{}\"", service_path.string(),
                                   line_of_first(c.service, "segnale"))),
              std::string::npos)
        << tip;
    EXPECT_NE(page.find(" · from the protection pass\""), std::string::npos);
  }
}

// `view` of texts and `compile` take the texts the same one way, so they list
// the same errors and warnings, those found after the build stopped reading
// included, in the same order and the same words.
TEST(ViewCommand, ListsWhatCompileReports) {
  const std::string line = test_support::embedded_line_text();
  const std::string service = test_support::embedded_service_text();
  struct report_case {
    std::string name;
    std::string line;
    std::string service;
    std::size_t errors;  // as compile --json lists them
  };
  const std::vector<report_case> cases = {
      {"clean", line, service, 0},
      // Error 102 once: reading on finds it where the build did.
      {"an empty line text", "", service, 1},
      {"two curves of no class",
       replaced(replaced(line, "curvad1,  2700,", "curvad,  2700,"), "curvas1,  5300,",
                "curvas,  5300,"),
       service, 2},
      {"three signals on one cell", line,
       replaced(replaced(service, "segnale,   10400,", "segnale,    4200,"), "segnale,   16900,",
                "segnale,    4200,"),
       2},
  };
  for (const report_case& c : cases) {
    SCOPED_TRACE(c.name);
    temporary_directory dir;
    const auto line_path = dir.path() / "Vescara_Ormeda_linea.txt";
    const auto service_path = dir.path() / "Vescara_Ormeda_4816-.txt";
    test_support::write_file(line_path, c.line);
    test_support::write_file(service_path, c.service);
    const auto compiled = test_support::run_command(
        {"compile", line_path.string(), service_path.string(), "--json", "--dry-run"});
    const nlohmann::json listed = nlohmann::json::parse(compiled.out);
    const auto page_path = dir.path() / "page.html";
    const auto viewed =
        run_view({line_path.string(), service_path.string(), "-o", page_path.string()});

    // One line of view's report for each entry of compile's, in its order.
    std::vector<std::string> shown;
    std::istringstream err(viewed.err);
    for (std::string row; std::getline(err, row);) {
      if (!row.starts_with("    ")) shown.push_back(row);
    }
    ASSERT_EQ(shown.size(), listed.size()) << viewed.err << compiled.out;
    std::size_t errors = 0;
    for (std::size_t i = 0; i < listed.size(); ++i) {
      const nlohmann::json& d = listed[i];
      const bool error = d["severity"] == "error";
      errors += error ? 1 : 0;
      std::string heading = d["file"].get<std::string>();
      if (!d["line"].is_null()) heading += fmt::format(":{}", d["line"].get<int>());
      heading += error ? fmt::format(": error {}", d["code"].get<int>()) : ": warning";
      if (d.contains("after_stop")) heading += " (found after the build stopped reading)";
      EXPECT_EQ(shown[i], heading + ": " + d["message"].get<std::string>()) << i;
    }
    EXPECT_EQ(errors, c.errors);
    const std::string page = test_support::read_file(page_path);
    if (errors > 0) {
      EXPECT_NE(page.find(fmt::format("data-errors=\"{}\"", errors)), std::string::npos);
    }
    // The exit status follows the same report.
    EXPECT_EQ(viewed.status, static_cast<int>(compiled.status));
  }
}

// The names of a build become parts of file names: every command that takes
// the two texts refuses the same names, with the same words and status 1,
// before it reads, writes or serves anything.
TEST(ViewCommand, RefusesTheNamesCompileRefuses) {
  temporary_directory top;
  const auto dir = top.path() / "a" / "b";
  std::filesystem::create_directories(dir);
  const auto line_path = dir / "Vescara_Ormeda_linea.txt";
  const auto service_path = dir / "Vescara_Ormeda_4816-.txt";
  test_support::write_file(line_path, test_support::embedded_line_text());
  test_support::write_file(service_path, test_support::embedded_service_text());
  const auto other_line = dir / "linea.txt";
  test_support::write_file(other_line, test_support::embedded_line_text());
  struct name_case {
    std::vector<std::string> args;  // after the two texts
    std::string line_text;
    std::string refusal;
  };
  const std::vector<name_case> cases = {
      {{"--route", "../../escaped"},
       line_path.string(),
       "the route base name \"../../escaped\" must be printable ASCII without path separators: "
       "give another with --route NAME"},
      {{"--train", "4816/x"},
       line_path.string(),
       "the train number \"4816/x\" holds \"/\", but a train number is 1 to 8 ASCII letters or "
       "digits: give another with --train NUMBER"},
      {{},
       other_line.string(),
       "cannot tell the route base name from \"linea.txt\" (it is not named ROUTE_linea.txt): "
       "give it with --route NAME, or rename the text"},
  };
  for (const name_case& c : cases) {
    for (const std::string command : {"compile", "view", "serve"}) {
      SCOPED_TRACE(command + " " + c.refusal);
      std::vector<std::string> args = {command, c.line_text, service_path.string()};
      args.insert(args.end(), c.args.begin(), c.args.end());
      // A serve that got past the names would stop at the port, not serve.
      if (command == "serve") args.insert(args.end(), {"--port", "70000"});
      const auto result = test_support::run_command(args);
      EXPECT_EQ(result.status, builder::exit_status::usage_or_file);
      EXPECT_EQ(result.err, "scenario-builder: " + c.refusal + "\n");
    }
  }
  std::vector<std::string> written;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(top.path())) {
    written.push_back(std::filesystem::relative(entry.path(), top.path()).generic_string());
  }
  std::sort(written.begin(), written.end());
  EXPECT_EQ(written, (std::vector<std::string>{"a", "a/b", "a/b/Vescara_Ormeda_4816-.txt",
                                               "a/b/Vescara_Ormeda_linea.txt", "a/b/linea.txt"}));
}

// Without names, `view --dir` shows the one build the directory holds,
// whatever its names; names narrow the choice, and a choice left open, or
// names that match no build there, list the builds rather than guess.
TEST(ViewCommand, FindsTheOneBuildInTheDirectory) {
  temporary_directory texts;
  ASSERT_EQ(test_support::run_command({"export-sources", "--out", texts.path().string()}).status,
            builder::exit_status::clean);
  const std::string line = (texts.path() / "Vescara_Ormeda_linea.txt").string();
  const std::string service = (texts.path() / "Vescara_Ormeda_4816-.txt").string();
  struct directory_case {
    std::vector<std::vector<std::string>> builds;  // --route, --train and flags of each compile
    std::vector<std::string> view;                 // view's names
    int status;
    std::string page;     // the page written, or the message
    std::string heading;  // the names the page shows
  };
  // A name splits at its last underscore, since a train number holds none,
  // with or without a plan beside it.
  const std::vector<directory_case> cases = {
      {{{"Alpe_Nord", "77"}}, {}, 0, "Alpe_Nord_77.html", "Alpe_Nord, train 77"},
      {{{"Alpe_Nord", "77bis", "--no-plan"}}, {}, 0, "Alpe_Nord_77bis.html",
       "Alpe_Nord, train 77bis"},
      {{{"Alpe", "77"}, {"Brenta", "5"}},
       {},
       1,
       "holds 2 builds: name one\n  --route Alpe --train 77\n  --route Brenta --train 5",
       ""},
      {{{"Alpe", "77"}, {"Brenta", "5"}},
       {"--route", "Brenta"},
       0,
       "Brenta_5.html",
       "Brenta, train 5"},
      {{{"Alpe", "77"}, {"Alpe", "78"}}, {"--train", "78"}, 0, "Alpe_78.html", "Alpe, train 78"},
      {{{"Alpe", "77"}, {"Brenta", "5"}},
       {"--route", "Corno"},
       1,
       " holds no build of route Corno; the builds it holds:\n  --route Alpe --train 77\n  "
       "--route Brenta --train 5\n",
       ""},
      {{{"Alpe", "77"}}, {"--route", "Alpe", "--train", "78"}, 1,
       " holds no build of route Alpe and train 78; the builds it holds:\n  --route Alpe "
       "--train 77\n",
       ""},
      {{{"Alpe", "77"}}, {"--train", "4816"}, 1,
       " holds no build of train 4816; the builds it holds:\n  --route Alpe --train 77\n", ""},
      {{}, {}, 1, " holds no build (a ROUTE_TRAIN.dat and ROUTE_TRAIN.sim pair)\n", ""},
  };
  for (const directory_case& c : cases) {
    SCOPED_TRACE(c.page);
    temporary_directory dir;
    for (const auto& build : c.builds) {
      std::vector<std::string> args = {"compile", line,     service, "--route",          build[0],
                                       "--train", build[1], "--out", dir.path().string()};
      args.insert(args.end(), build.begin() + 2, build.end());
      ASSERT_EQ(test_support::run_command(args).status, builder::exit_status::clean);
    }
    std::vector<std::string> args = {"--dir", dir.path().string()};
    args.insert(args.end(), c.view.begin(), c.view.end());
    const auto result = run_view(args);
    EXPECT_EQ(result.status, c.status) << result.err;
    if (c.status == 0) {
      ASSERT_TRUE(std::filesystem::exists(dir.path() / c.page)) << result.out;
      EXPECT_NE(test_support::read_file(dir.path() / c.page).find("<h1>" + c.heading + "</h1>"),
                std::string::npos);
    } else {
      EXPECT_NE(result.err.find(c.page), std::string::npos) << result.err;
      for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        EXPECT_NE(entry.path().extension(), ".html") << entry.path();
      }
    }
  }
}
