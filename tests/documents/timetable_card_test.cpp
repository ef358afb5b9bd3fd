// The timetable card: the columns of its table, its rows against the shared
// service points, and the one row formatter that every table row goes
// through. The card's bytes themselves are pinned with the embedded build's
// digests (tests/builder/embedded_build.sha256).

#include "documents/timetable_card.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scenario/service_points.h"
#include "scenario/text_file.h"

namespace {

using scenario::card_time_form;
using scenario::service_point;

std::vector<std::string> card_lines_without_end_mark() {
  std::vector<std::string> lines = documents::timetable_card_lines();
  EXPECT_EQ(lines.back(), scenario::end_mark);
  lines.pop_back();
  return lines;
}

TEST(TimetableCard, TableRowsHaveTheSeparatorsInTheirColumns) {
  const std::vector<std::size_t> separators = {1, 7, 13, 24, 30, 59, 76, 82};
  const std::vector<std::string> lines = card_lines_without_end_mark();
  // Lines 14 to 16 are the table heading, 17 to 39 its rows and 40 its rule.
  for (std::size_t number = 14; number <= 40; ++number) {
    const std::string& line = lines.at(number - 1);
    ASSERT_EQ(line.size(), documents::card_row_width) << "line " << number;
    EXPECT_EQ(line[0], ' ') << "line " << number;
    std::vector<std::size_t> found;
    for (std::size_t column = 0; column < line.size(); ++column) {
      if (line[column] == '|') found.push_back(column);
    }
    EXPECT_EQ(found, separators) << "line " << number;
  }
}

TEST(TimetableCard, RowsFollowTheSharedServicePoints) {
  const auto points = scenario::service_points();
  const std::vector<std::string> lines = card_lines_without_end_mark();
  ASSERT_EQ(points.size(), 23u);
  for (std::size_t i = 0; i < points.size(); ++i) {
    const std::string& row = lines.at(16 + i);
    const std::string name_field = row.substr(31, 28);
    // Appended rather than " " + name: GCC 12 at -O3 warns of an overlapping
    // copy in operator+ that cannot happen.
    const std::string expected = std::string(" ").append(points[i].name);
    EXPECT_EQ(name_field.substr(0, 1 + points[i].name.size()), expected)
        << "line " << 17 + i;
    EXPECT_NE(row.substr(60, 16).find(points[i].time), std::string::npos) << "line " << 17 + i;
  }
}

service_point point_of(std::string_view name, int limit, int running, int rank,
                       std::int32_t progressive, card_time_form time_form, std::string_view arrival,
                       std::string_view time, std::string_view recovery) {
  return service_point{name,      limit,   running, rank,     progressive,
                       time_form, arrival, time,    recovery, std::nullopt};
}

TEST(TimetableRow, FormatsTheSevenFields) {
  struct row_case {
    service_point point;
    std::string row;
  };
  const std::vector<row_case> cases = {
      {point_of("A", 80, 65, 80, 0, card_time_form::departure, "", "15.20", ""),
       " |  80 |  65 |   0.000  |  80 | A                          |          15.20 |     |"},
      {point_of("B", 130, 115, 110, 700, card_time_form::passing, "", "15.21", ""),
       " | 130 | 115 |   0.700  | 110 | B                          |      15.21     |     |"},
      {point_of("C", 0, 0, 0, 22000, card_time_form::stop, "15.49", "15.50", "0.5"),
       " |     |     |  22.000  |     | C                          | 15.49    15.50 | 0.5 |"},
      {point_of("D", 0, 0, 0, 2500, card_time_form::arrival, "", "16.17", ""),
       " |     |     |   2.500  |     | D                          | 16.17          |     |"},
      {point_of("E", 5, 0, 95, 7, card_time_form::passing, "", "9.05", "1"),
       " |   5 |     |   0.007  |  95 | E                          |      9.05      |  1  |"},
      {point_of("Deviatoio di ingresso 12345", 0, 60, 0, 123456, card_time_form::passing, "",
                "23.59", ""),
       " |     |  60 | 123.456  |     | Deviatoio di ingresso 12345|      23.59     |     |"},
  };
  for (const row_case& c : cases) {
    EXPECT_EQ(documents::timetable_row(c.point), c.row);
  }
}

}  // namespace
