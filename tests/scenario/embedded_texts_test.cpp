// The embedded description texts: the rows that must stand exactly as given,
// and the properties the rest of the content must keep.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "scenario/line_text.h"
#include "scenario/service_points.h"
#include "scenario/service_text.h"
#include "scenario/text_file.h"

namespace {

std::vector<std::string> written_lines(std::vector<std::string> lines) {
  EXPECT_EQ(lines.back(), scenario::end_mark);
  lines.pop_back();
  return lines;
}

// The comma-separated values after the keyword, as integers (blank = 0).
std::vector<long> values_of(const std::string& row) {
  std::vector<long> values;
  std::size_t at = row.find(',');
  while (at != std::string::npos) {
    const std::size_t next = row.find(',', at + 1);
    const std::string field = row.substr(at + 1, next == std::string::npos ? next : next - at - 1);
    values.push_back(std::strtol(field.c_str(), nullptr, 10));
    at = next;
  }
  return values;
}

std::vector<std::string> rows_starting(const std::vector<std::string>& lines,
                                       const std::string& keyword) {
  std::vector<std::string> rows;
  for (const std::string& line : lines) {
    if (line.rfind(keyword, 0) == 0) rows.push_back(line);
  }
  return rows;
}

bool contains(const std::vector<std::string>& lines, const std::string& row) {
  return std::find(lines.begin(), lines.end(), row) != lines.end();
}

TEST(EmbeddedLineText, QuotedRowsAndSectionsStandExactly) {
  const auto lines = written_lines(scenario::line_text_lines());
  ASSERT_EQ(lines.size(), 179u);
  const std::vector<std::pair<std::size_t, std::string>> fixed = {
      {1, "[generale]"},
      {2, "lunghezza percorso,    63500"},
      {3, "progressiva chilometrica uno,    24500,    35000,    1"},
      {4, "progressiva chilometrica due,    34950,    57000,    1"},
      {5, "progressiva chilometrica tre,    55500,    60300,    1"},
      {6, "sfondo uno,    70000"},
      {7, "sfondo due,    50000"},
      {8, "sfondo tre,    1"},
      {9, "ripetizione segnali 4 codici,    0,    60750"},
      {10, "[curve]"},
      {11, "curvas4,  900,  1100"},
      {12, "curvad1,  2700,  2000"},
      {52, "curvas4,  61150,  950"},
      {53, "[pendenze]"},
      {54, "pendenza,  0,   0"},
      {131, "pendenza,  59500,   0"},
      {132, "[montagne]"},
      {133, "montagna,   29150,  32500,  11"},
      {151, "montagna,   60700,  62550,  12"},
      {152, "[cartelli]"},
      {153, "indicatori_vmax,  700,  130,  140,  150,  0,  ,  ,  ,  0"},
      {173, "indicatori_vmax,  60800,  80,  80,  80,  0,  ,  ,  ,  0"},
      {174, "[indicazioni]"},
      {175, "cartello_indicatore,  650,   (CAVALCAVIA)( Km 0.661 )"},
      {176, "cartello_indicatore,  59450,   (ORMEDA S.V.)"},
      {179, "[fine]"},
  };
  for (const auto& [number, row] : fixed) EXPECT_EQ(lines[number - 1], row) << "line " << number;
  for (const char* row :
       {"curvas6,  37000,  50", "pendenza,  25300,   10", "pendenza,  55500,   -17",
        "indicatori_vmax,  22250,  80,  80,  80,  2,  ,  ,  ,  0",
        "indicatori_vmax,  22750,  80,  80,  80,  1,  ,  ,  ,  0",
        "indicatori_vmax,  23250,  80,  80,  80,  0,  ,  ,  ,  0",
        "indicatori_vmax,  35500,  110,  120,  140,  0,  110,  120,  140,  0"}) {
    EXPECT_TRUE(contains(lines, row)) << row;
  }
  // The two junction signs carry the same two-group text.
  const std::string junction_60950 = lines[176];
  const std::string junction_61300 = lines[177];
  EXPECT_EQ(junction_60950.rfind("cartello_indicatore,  60950,   (", 0), 0u);
  EXPECT_EQ(junction_61300.rfind("cartello_indicatore,  61300,   (", 0), 0u);
  EXPECT_EQ(junction_60950.substr(junction_60950.find('(')),
            junction_61300.substr(junction_61300.find('(')));
  EXPECT_EQ(std::count(junction_60950.begin(), junction_60950.end(), '('), 2);
}

TEST(EmbeddedLineText, RowsKeepTheirCountsOrdersAndProperties) {
  const auto lines = written_lines(scenario::line_text_lines());

  const auto curves = rows_starting(lines, "curva");
  ASSERT_EQ(curves.size(), 42u);
  std::set<char> classes;
  std::set<char> senses;
  long previous_end = -1;
  long shortest = 1'000'000;
  for (const std::string& row : curves) {
    const auto v = values_of(row);
    EXPECT_GT(v[0], previous_end) << row;  // ascending, no overlap
    previous_end = v[0] + v[1];
    shortest = std::min(shortest, v[1]);
    senses.insert(row[5]);
    classes.insert(row[6]);
  }
  EXPECT_EQ(classes, (std::set<char>{'1', '2', '3', '4', '5', '6'}));
  EXPECT_EQ(senses, (std::set<char>{'s', 'd'}));
  EXPECT_EQ(shortest, 50);

  const auto gradients = rows_starting(lines, "pendenza");
  ASSERT_EQ(gradients.size(), 78u);
  long max_rise = -100, max_fall = 100;
  for (std::size_t i = 0; i < gradients.size(); ++i) {
    const auto v = values_of(gradients[i]);
    max_rise = std::max(max_rise, v[1]);
    max_fall = std::min(max_fall, v[1]);
    if (i == 0) continue;
    const auto before = values_of(gradients[i - 1]);
    EXPECT_GT(v[0], before[0]) << gradients[i];
    const long change = std::labs(v[1] - before[1]);
    EXPECT_TRUE(change == 1 || change == 2) << gradients[i];
    // Within a ramp the rows stand 50 to 200 m apart.
    if (v[0] - before[0] <= 200) {
      EXPECT_GE(v[0] - before[0], 50) << gradients[i];
    }
  }
  EXPECT_EQ(max_rise, 10);
  EXPECT_EQ(max_fall, -17);

  const auto tunnels = rows_starting(lines, "montagna");
  ASSERT_EQ(tunnels.size(), 19u);
  int close_pairs = 0;
  for (std::size_t i = 0; i < tunnels.size(); ++i) {
    const auto v = values_of(tunnels[i]);
    EXPECT_EQ(v[2], i < 14 ? 11 : 12) << tunnels[i];
    if (i == 0) continue;
    const auto before = values_of(tunnels[i - 1]);
    EXPECT_GT(v[0], before[1]) << tunnels[i];
    if (v[0] - before[1] <= 150) ++close_pairs;
  }
  EXPECT_EQ(close_pairs, 1);  // only 40000 / 40100
  EXPECT_TRUE(contains(lines, "montagna,   40100,  41800,  11"));

  const auto boards = rows_starting(lines, "indicatori_vmax");
  ASSERT_EQ(boards.size(), 21u);
  int full_d_groups = 0;
  for (std::size_t i = 0; i < boards.size(); ++i) {
    const auto v = values_of(boards[i]);
    if (v[5] != 0) ++full_d_groups;
    for (int k = 1; k <= 3; ++k) EXPECT_EQ(v[static_cast<std::size_t>(k)] % 5, 0) << boards[i];
    if (i > 0) {
      EXPECT_GT(v[0], values_of(boards[i - 1])[0]) << boards[i];
    }
    // A board with stripes 2 is followed by stripes 1 and 0, 500 m apart.
    if (v[4] == 2) {
      ASSERT_LT(i + 2, boards.size());
      const auto one = values_of(boards[i + 1]);
      const auto zero = values_of(boards[i + 2]);
      EXPECT_EQ(one[4], 1);
      EXPECT_EQ(zero[4], 0);
      EXPECT_EQ(one[0] - v[0], 500);
      EXPECT_EQ(zero[0] - one[0], 500);
    }
  }
  EXPECT_EQ(full_d_groups, 5);
  EXPECT_EQ(rows_starting(lines, "cartello_indicatore").size(), 4u);
}

TEST(EmbeddedLineText, IsWrittenAsWindows1252WithCrLfAndNoEndMark) {
  const auto encoded = scenario::encode_line_list(scenario::line_text_lines());
  ASSERT_TRUE(encoded.encoded);
  EXPECT_EQ(std::count(encoded.bytes.begin(), encoded.bytes.end(), '\n'), 179);
  EXPECT_EQ(std::count(encoded.bytes.begin(), encoded.bytes.end(), '\r'), 179);
  EXPECT_EQ(encoded.bytes.substr(encoded.bytes.size() - 8), "[fine]\r\n");
  EXPECT_EQ(encoded.bytes.find("riferimento"), std::string::npos);
  EXPECT_EQ(scenario::line_text_file_name("Vescara_Ormeda"), "Vescara_Ormeda_linea.txt");
}

TEST(EmbeddedServiceText, QuotedRowsAndSectionsStandExactly) {
  const auto lines = written_lines(scenario::service_text_lines());
  ASSERT_EQ(lines.size(), 91u);
  const std::vector<std::pair<std::size_t, std::string>> fixed = {
      {1, "Verificare la corretta posizione dei cartelli vel. lim. in relazione alle stazioni "
          "(DI - DU)"},
      {2, "[generale]"},
      {3, "numero vetture,    14"},
      {4, "percentuale massa frenata,    105"},
      {5, "sabbia,    300"},
      {6, "orologio,    15              17            15 "},
      {7, "[aderenze]"},
      {8, "aderenza,   0,    100"},
      {22, "aderenza,   57600,   100"},
      {23, "[vel_limite]"},
      {24, "velocita,       0,    80"},
      {34, "velocita,   60750,    80"},
      {35, "[stazioni]"},
      {36, "stazione,       0,  4,  900,  1, 0, 0,  4,1,1,  2,1,1,    1,  15,18, 0, VESCARA"},
      {49, "[rallentamenti]"},
      {50, "rallentamento,   42150,    30,  250, 0,  0,  0"},
      {51, "[segnali]"},
      {52, "segnale,    1950,   2, 4, 0,  0, 0,    0,  0,0,0, 0"},
      {85, "segnale,   61400,   2, 2, 3,  1, 1,    2,  2,1,1, 0"},
      {86, "[codici]"},
      {87, "abbattimento,   60550,   AC"},
      {88, "abbattimento,   60650,   AC"},
      {89, "abbattimento,   60700,   AC"},
      {90, "abbattimento,   60750,   AC"},
      {91, "[fine]"},
  };
  for (const auto& [number, row] : fixed) EXPECT_EQ(lines[number - 1], row) << "line " << number;
  for (const char* row :
       {"aderenza,   29150,    82", "velocita,     650,   130",
        "stazione,   60300,  2,  700,  1, 1, 0,  5,6,0,  2,1,1,   90,  16,12, 0, ORMEDA S.V.",
        "segnale,    9150,   2, 4, 0,  0, 0,    2,  2,0,0, 140",
        "segnale,   59400,   2, 2, 3,  1, 0,    2,  2,1,1, 250"}) {
    EXPECT_TRUE(contains(lines, row)) << row;
  }
  EXPECT_EQ(scenario::service_text_file_name("Vescara_Ormeda", "4816"),
            "Vescara_Ormeda_4816-.txt");
}

TEST(EmbeddedServiceText, RowsKeepTheirCountsOrdersAndProperties) {
  const auto lines = written_lines(scenario::service_text_lines());

  const auto adhesion = rows_starting(lines, "aderenza");
  ASSERT_EQ(adhesion.size(), 15u);
  long lowest = 1000, highest = 0, previous = -1;
  for (const std::string& row : adhesion) {
    const auto v = values_of(row);
    EXPECT_GT(v[0], previous) << row;
    previous = v[0];
    lowest = std::min(lowest, v[1]);
    highest = std::max(highest, v[1]);
  }
  EXPECT_EQ(lowest, 79);
  EXPECT_EQ(highest, 100);

  const auto speeds = rows_starting(lines, "velocita");
  ASSERT_EQ(speeds.size(), 11u);
  previous = -1;
  for (const std::string& row : speeds) {
    const auto v = values_of(row);
    EXPECT_GT(v[0], previous) << row;
    previous = v[0];
    EXPECT_EQ(v[1] % 5, 0) << row;
    EXPECT_GE(v[1], 60) << row;
    EXPECT_LE(v[1], 130) << row;
  }

  const auto stations = rows_starting(lines, "stazione");
  ASSERT_EQ(stations.size(), 13u);
  int timed = 0;
  std::multiset<long> timed_dwells;
  previous = -1;
  for (const std::string& row : stations) {
    const auto v = values_of(row);
    EXPECT_GT(v[0], previous) << row;
    previous = v[0];
    if (v[13] != 0 || v[14] != 0 || v[15] != 0) {
      ++timed;
      timed_dwells.insert(v[12]);
      EXPECT_TRUE(v[1] == 4 || v[1] == 12 || v[1] == 2) << row;
    } else if (v[0] == 61250) {
      EXPECT_EQ(v[1], 25);
      for (std::size_t k = 3; k < 16; ++k) EXPECT_EQ(v[k], 0) << row;
    } else {
      EXPECT_TRUE(v[1] == 22 || v[1] == 12 || v[1] == 11) << row;
    }
  }
  EXPECT_EQ(timed, 5);
  EXPECT_EQ(timed_dwells, (std::multiset<long>{0, 1, 60, 60, 90}));
  EXPECT_EQ(values_of(stations.back())[0], 63000);
  EXPECT_EQ(values_of(stations.back())[1], 2);
  EXPECT_EQ(values_of(stations.back())[13], 16);
  EXPECT_EQ(values_of(stations.back())[14], 17);

  const auto signals = rows_starting(lines, "segnale");
  ASSERT_EQ(signals.size(), 34u);
  previous = -1;
  for (const std::string& row : signals) {
    const auto v = values_of(row);
    EXPECT_GT(v[0], previous) << row;
    previous = v[0];
    EXPECT_EQ(v[1], 2) << row;
    EXPECT_TRUE(v[6] == 0 || v[6] == 2) << row;
  }
}

TEST(EmbeddedServiceText, StationRowsComeFromTheSharedServicePoints) {
  const auto lines = written_lines(scenario::service_text_lines());
  const auto stations = rows_starting(lines, "stazione");
  std::vector<std::string> names;
  for (const auto& point : scenario::service_points()) {
    if (point.station) names.emplace_back(point.name);
  }
  ASSERT_EQ(names.size(), stations.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(stations[i].substr(stations[i].rfind(", ") + 2), names[i]);
  }
  EXPECT_EQ(names.front(), "VESCARA");
  EXPECT_EQ(names.back(), "ORMEDA CORVENTA");
  EXPECT_TRUE(std::find(names.begin(), names.end(), "VELDO MARSINA") != names.end());
}

}  // namespace
