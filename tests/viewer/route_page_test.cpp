// The page of a build: one marker per object the files hold, every text from
// the files escaped, the plan drawn thin, and the files' failures named.

#include "viewer/route_page.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "builder/command_line.h"
#include "compiler/decoding.h"
#include "compiler/encoding.h"
#include "compiler/output_files.h"
#include "scenario/text_file.h"
#include "tests/test_support.h"
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
  EXPECT_FALSE(compiler::decode_route_grid(compiler::encode_route_grid(c.model.grid), view.grid));
  EXPECT_FALSE(compiler::decode_station_table(compiler::encode_station_table(c.model.stations),
                                              view.stations));
  if (with_plan) {
    EXPECT_FALSE(viewer::attach_plan(
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
    view.stations.slots[1].name = c.name;   // a station
    view.stations.slots[80].name = c.name;  // the first sign's text
    view.route_base_name = c.name;
    const std::string page = viewer::route_page(view);
    EXPECT_EQ(page.find(c.name), std::string::npos);
    // The station in the lane, the table and its two tips; the sign's label
    // and tip; the route in the title and the heading.
    EXPECT_GE(occurrences(page, c.expected), 6u);
    EXPECT_EQ(occurrences(page, "<script"), 3u);  // the page's own three
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
    const compiler::decode_status refused = compiler::decode_track_plan(bytes, tagged);
    EXPECT_EQ(viewer::attach_plan(view, scenario::file_bytes::copy_of(bytes)), refused);
    if (refused) {
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
    // Nor does a NUL byte: it stands as the symbol for null.
    EXPECT_EQ(page.find('\0'), std::string::npos);
    EXPECT_NE(page.find("&quot;&amp;&#x2400;"), std::string::npos);
    EXPECT_EQ(occurrences(page, "<script"), 3u);
    EXPECT_LT(page.size(), (std::size_t{1} << 20) + 1200 * cells);
  }
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
    EXPECT_FALSE(scenario::to_windows_1252(scenario::from_windows_1252(one), back));
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
  EXPECT_NE(built.err.find("Vescara_Ormeda_4816.dat"), std::string::npos) << built.err;

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
