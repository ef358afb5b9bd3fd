// Two scenarios compared by meaning, and the summary of one.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler/scenario_diff.h"
#include "compiler/scenario_summary.h"
#include "tests/test_support.h"

namespace {

using test_support::compile;
using test_support::text_of;

std::string line_with(const std::vector<std::string>& rows) {
  std::vector<std::string> all{"[generale]", "lunghezza percorso, 40000", "[curve]"};
  all.insert(all.end(), rows.begin(), rows.end());
  all.emplace_back("[fine]");
  return text_of(all);
}

std::string service_with(const std::vector<std::string>& rows) {
  std::vector<std::string> all{"[generale]", "orologio, 8, 0, 0"};
  all.insert(all.end(), rows.begin(), rows.end());
  all.emplace_back("[fine]");
  return text_of(all);
}

const std::vector<std::string> base_line = {"curvad3, 4000, 300", "pendenza, 0, 0",
                                            "pendenza, 26000, -8", "montagna, 5000, 6000, 11"};
const std::vector<std::string> base_service = {
    "velocita, 0, 110",
    "stazione, 0, 4, 900, 1, 1, 0, 5,6,0, 2,1,1, 30, 8,0,0, ALPE",
    "stazione, 12400, 2, 700, 1, 1, 0, 5,6,0, 2,1,1, 90, 8,14,0, ORMEDA",
    "segnale, 7300, 2, 4, 0, 0, 0, 0, 0,0,0, 0",
    "rallentamento, 20000, 30, 250, 0, 0, 0"};

std::vector<std::string> replaced(std::vector<std::string> rows, const std::string& old_row,
                                  const std::string& new_row) {
  for (auto& row : rows) {
    if (row == old_row) row = new_row;
  }
  std::erase(rows, "");
  return rows;
}

TEST(CompareMeaning, NamesEachChangeByItsCauseAndKilometre) {
  struct diff_case {
    std::string name;
    std::vector<std::string> line;
    std::vector<std::string> service;
    std::vector<std::string> changes;
  };
  const std::vector<diff_case> cases = {
      {"the same texts", base_line, base_service, {}},
      {"a station moved",
       base_line,
       replaced(base_service, base_service[2],
                "stazione, 12450, 2, 700, 1, 1, 0, 5,6,0, 2,1,1, 90, 8,14,0, ORMEDA"),
       {"station ORMEDA moved from 12.400 to 12.450 km"}},
      {"a departure changed",
       base_line,
       replaced(base_service, base_service[2],
                "stazione, 12400, 2, 700, 1, 1, 0, 5,6,0, 2,1,1, 90, 8,16,30, ORMEDA"),
       {"station ORMEDA departure 08:14:00 \u2192 08:16:30"}},
      {"a speed limit changed over a stretch",
       base_line,
       [] {
         auto rows = base_service;
         rows.insert(rows.begin() + 1, "velocita, 22000, 90");
         rows.insert(rows.begin() + 2, "velocita, 30150, 110");
         return rows;
       }(),
       {"speed limit 22.000\u201330.150 km: 110 km/h \u2192 90 km/h"}},
      {"a signal removed, the protection it brings not told",
       base_line,
       replaced(base_service, base_service[3], ""),
       {"signal at 7.300 km removed"}},
      {"a gradient change moved",
       replaced(base_line, "pendenza, 26000, -8", "pendenza, 22000, -8"),
       base_service,
       {"gradient 22.000\u201326.000 km: 0 \u2030 \u2192 -8 \u2030"}},
      {"a tunnel added and a curve sharper",
       [] {
         auto rows = replaced(base_line, "curvad3, 4000, 300", "curvad4, 4000, 300");
         rows.push_back("montagna, 16500, 18200, 1");
         return rows;
       }(),
       base_service,
       {"curve at 4.000 km: class 3 \u2192 4", "tunnel 16.500\u201318.200 km added"}},
      {"a slowdown moved: told as its rows, not its cells",
       base_line,
       replaced(base_service, base_service[4], "rallentamento, 21000, 30, 250, 0, 0, 0"),
       {"slowdown at 20.000 km removed", "slowdown at 21.000 km added"}},
      {"the clock",
       base_line,
       [] {
         auto rows = base_service;
         rows.insert(rows.begin(), "orologio, 8, 30, 0");
         return rows;
       }(),
       {"clock 08:00:00 \u2192 08:30:00"}},
  };
  const test_support::compiled older = compile(line_with(base_line), service_with(base_service));
  ASSERT_EQ(older.result.error.code, compiler::error_code::none);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const test_support::compiled newer = compile(line_with(c.line), service_with(c.service));
    ASSERT_EQ(newer.result.error.code, compiler::error_code::none);
    std::vector<std::string> changes;
    for (const auto& change : compiler::compare_meaning(older.model, newer.model)) {
      changes.push_back(change.change);
    }
    EXPECT_EQ(changes, c.changes);
  }
}

TEST(Summary, TellsTheEmbeddedScenarioOnOneScreen) {
  const test_support::compiled built =
      compile(test_support::embedded_line_text(), test_support::embedded_service_text());
  const compiler::scenario_summary summary = compiler::summarize(built.model);
  EXPECT_EQ(summary.route_base_name, "Vescara_Ormeda");
  EXPECT_EQ(summary.train_number, "4816");
  EXPECT_EQ(summary.length_m, 63500);
  ASSERT_FALSE(summary.stations.empty());
  EXPECT_EQ(summary.stations.front().position, 0);
  EXPECT_EQ(summary.stations.back().name, "ORMEDA CORVENTA");
  EXPECT_EQ(summary.stations.back().departure, "16:17:00");
  ASSERT_EQ(summary.sharpest_curves.size(), 3U);
  EXPECT_EQ(summary.sharpest_curves.front().curve_class, 6);
  EXPECT_EQ(summary.sharpest_curves.front().radius_m, 333);
  EXPECT_EQ(summary.tunnels.size(), 19U);
  EXPECT_EQ(summary.speed_limits.front().value, 80);
  EXPECT_EQ(summary.speed_limits.front().from, 0);
  ASSERT_EQ(summary.slowdowns.size(), 1U);
  EXPECT_EQ(summary.slowdowns.front().from, 42150);
  EXPECT_EQ(summary.slowdowns.front().speed, 30);
}

}  // namespace
