// The keyword table against what reads and writes rows: every typed row
// written by the text writer reads back as itself, through the keyword
// tests of its own part of the text and no other keyword's; the table's own
// example rows read as their keyword; and the fuzz dictionary and the
// sources hold no keyword the table does not.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <cctype>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "compiler/keywords.h"
#include "compiler/row_reading.h"
#include "compiler/text_writer.h"
#include "scenario/field_reader.h"

#ifndef SCENARIO_SOURCE_DIR
#error "SCENARIO_SOURCE_DIR must name the source tree"
#endif

namespace {

using namespace compiler;

struct row_read_back {
  // The text read: the row's text values point into it.
  std::unique_ptr<std::string> text;
  std::vector<row_keyword> recognised;  // every keyword of the part whose test passes
  read_typed_row first;                 // the row the first passing test reads
};

// Reads one row of text as the readers do: the keyword field, the tests of
// its part in the table's order, and the values of the first that passes.
row_read_back read_back(const std::string& row, text_section section) {
  row_read_back out;
  out.text = std::make_unique<std::string>(row + "\r\n[fine]\r\n");
  scenario::field_reader in(*out.text);
  const auto field = scenario::next_keyword_field(in, 2);
  if (!field) return out;
  bool read = false;
  for (const keyword_fact& k : keyword_table()) {
    if (k.section != section) continue;
    for (const keyword_test& t : k.tests) {
      if (!passes(t, k.exact_case, *field)) continue;
      out.recognised.push_back(k.keyword);
      if (!read) out.first = read_row(k, t, *field, in);
      read = true;
    }
  }
  return out;
}

constexpr std::int32_t long_max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t long_min = std::numeric_limits<std::int32_t>::min();
constexpr std::int16_t integer_min = std::numeric_limits<std::int16_t>::min();

TEST(KeywordTable, EveryTypedRowWrittenReadsBackAsItself) {
  station_row station{63000, 2, 700, 1, 1, 0, 5, 6, 0, 2, 1, 1, 90, 16, 12, 0, "ORMEDA S.V."};
  station_row edges{long_max, 255, -100,        255,         0, 0, integer_min, 32767, 255,
                    -1,       0,   integer_min, 255,         long_min, long_max, -1,  "A, B"};
  station_row quoted_name = station;
  quoted_name.name = "  leading blanks";
  station_row empty_name = station;
  empty_name.name = "";
  const typed_row rows[] = {
      length_row{63500},
      length_row{-6974},
      progressive_row{numbered::one, 24500, 35000, 1},
      progressive_row{numbered::two, -50, long_max, 0},
      progressive_row{numbered::three, 55500, 60300, 1},
      background_row{numbered::one, 70000},
      background_row{numbered::two, long_min},
      background_row{numbered::three, 1},
      repetition_row{4, 0, 60750},
      repetition_row{9, 50, 0},
      repetition_row{0, 1, 2},
      gradient_row{0, 0},
      gradient_row{55500, -17},
      curve_row{true, 4, 900, 1100},
      curve_row{false, 1, 2700, -600},
      curve_row{true, 6, 37000, 50},
      curve_row{false, 0, 10, 10},
      tunnel_row{29150, 32500, 11},
      tunnel_row{18200, 16500, 256},
      speed_boards_row{700, 130, 140, 150, 0, 0, 0, 0, 0},
      speed_boards_row{35500, 110, 120, 140, 2, 110, 120, 140, 1},
      sign_row{650, "(CAVALCAVIA)( Km 0.661 )"},
      sign_row{61300, "(A, B)"},
      braked_mass_row{105},
      cars_row{14},
      speed_row{650, 130},
      speed_row{0, -5},
      adhesion_row{29150, 82},
      clock_row{15, 17, 15},
      clock_row{integer_min, 32767, -1},
      sand_row{300},
      signal_row{1950, 2, 4, 0, 0, 0, 0, 0, 0, 0, 0},
      signal_row{9150, 2, 4, 0, 0, 0, 2, 2, 0, 0, 140},
      slowdown_row{42150, 30, 250, 0, 0, 0},
      slowdown_row{5000, 30, 250, -3, 1, 7},
      code_cut_row{60550, 0},
      code_cut_row{60650, 270},
      code_cut_row{60700, -4},
      station,
      edges,
      quoted_name,
      empty_name,
  };
  std::set<row_keyword> covered;
  for (const typed_row& row : rows) {
    const row_text written = write_row(row);
    SCOPED_TRACE(written.text);
    EXPECT_EQ(written.unfaithful, nullptr);
    const keyword_fact& facts = facts_of(keyword_of(row));
    const row_read_back back = read_back(written.text, facts.section);
    ASSERT_EQ(back.recognised, std::vector<row_keyword>{keyword_of(row)})
        << "the written keyword must be recognised as its own keyword alone";
    EXPECT_TRUE(back.first.complete);
    EXPECT_TRUE(back.first.row == row);
    covered.insert(keyword_of(row));
  }
  EXPECT_EQ(covered.size(), row_keyword_count);
}

// Each keyword's example reads as that keyword, and reads the same once
// written again in the program's layout.
TEST(KeywordTable, ExamplesReadAsTheirKeywordAndWriteBackTheSame) {
  for (const keyword_fact& k : keyword_table()) {
    SCOPED_TRACE(k.example);
    const row_read_back example = read_back(std::string(k.example), k.section);
    ASSERT_FALSE(example.recognised.empty());
    EXPECT_EQ(example.recognised.front(), k.keyword);
    EXPECT_TRUE(example.first.complete);
    const row_text again = write_row(example.first.row);
    EXPECT_TRUE(read_back(again.text, k.section).first.row == example.first.row) << again.text;
  }
}

// A text value no writing carries as it is is said to be so, not passed off.
TEST(KeywordTable, TextsThatCannotBeWrittenAreNamed) {
  struct text_case {
    std::string_view name;
    std::string_view written;
    bool faithful;
  };
  const text_case cases[] = {
      {"VESCARA", "VESCARA", true},
      {"ORMEDA S.V.", "ORMEDA S.V.", true},
      {"A, B", "\"A, B\"", true},
      {" X", "\" X\"", true},
      {"\"QUOTED", "\"QUOTED\"", false},
      {"A,\"B", "\"A,B\"", false},
      {"LINE\r\nEND", "\"LINEEND\"", false},
  };
  for (const text_case& c : cases) {
    std::string out;
    EXPECT_EQ(write_text_value(c.name, out), c.faithful) << c.name;
    EXPECT_EQ(out, c.written);
    station_row row;
    row.name = c.name;
    EXPECT_EQ(write_row(row).unfaithful != nullptr, !c.faithful) << c.name;
  }
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The fuzz dictionary offers every keyword in the form the writer writes
// it, and every section header, and no keyword row the table does not know.
TEST(KeywordTable, FuzzDictionaryHoldsTheTablesKeywords) {
  const std::filesystem::path source(SCENARIO_SOURCE_DIR);
  std::set<std::string> entries;
  std::istringstream lines(read_file(source / "fuzz" / "keywords.dict"));
  for (std::string line; std::getline(lines, line);) {
    if (line.size() >= 2 && line.front() == '"' && line.back() == '"') {
      entries.insert(line.substr(1, line.size() - 2));
    }
  }
  std::set<std::string> keyword_entries;
  for (const keyword_fact& k : keyword_table()) {
    for (const keyword_test& t : k.tests) {
      if (k.keyword == row_keyword::curve) {
        for (const std::string_view sense : {negative_sense_letter, positive_sense_letter}) {
          keyword_entries.insert(std::string(curve_word) + std::string(sense));
        }
      } else if (k.keyword == row_keyword::repetition) {
        keyword_entries.insert(keyword_text(repetition_row{4}) + ",");
        keyword_entries.insert(keyword_text(repetition_row{9}) + ",");
      } else {
        keyword_entries.insert(std::string(t.written) + ",");
      }
    }
  }
  keyword_entries.insert(std::string(no_code_word));
  for (const auto& headers : {line_headers(), service_headers()}) {
    for (const std::string_view header : headers) {
      EXPECT_TRUE(entries.count(std::string(header))) << header;
    }
  }
  for (const std::string& entry : keyword_entries) {
    EXPECT_TRUE(entries.count(entry)) << "the dictionary lacks " << entry;
  }
  for (const std::string& entry : entries) {
    const bool keyword_like = entry.size() > 1 && entry.back() == ',' &&
                              std::isalpha(static_cast<unsigned char>(entry.front()));
    if (keyword_like) {
      EXPECT_TRUE(keyword_entries.count(entry)) << "unknown keyword " << entry;
    }
  }
}

// No source outside the keyword table (and the embedded texts, which are
// texts) spells a keyword test's word as a string of its own: a keyword
// fact written anywhere else is a copy waiting to disagree.
TEST(KeywordTable, NoKeywordLiteralOutsideTheTable) {
  std::set<std::string> words;
  for (const keyword_fact& k : keyword_table()) {
    for (const keyword_test& t : k.tests) {
      words.insert(std::string(t.first));
      if (!t.second.empty()) words.insert(std::string(t.second));
      words.insert(std::string(t.written));
    }
  }
  const std::filesystem::path source(SCENARIO_SOURCE_DIR);
  const std::set<std::string> allowed = {"compiler/keywords.cpp", "compiler/keywords.h",
                                         "scenario/line_text.cpp",
                                         "scenario/service_text.cpp"};
  std::vector<std::string> found;
  for (const char* folder : {"builder", "compiler", "documents", "scenario", "viewer"}) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(source / folder)) {
      const std::string ext = entry.path().extension().string();
      if (ext != ".cpp" && ext != ".h") continue;
      const std::string name = std::filesystem::relative(entry.path(), source).generic_string();
      if (allowed.count(name)) continue;
      // Comments may name a keyword; code may not spell one.
      std::istringstream lines(read_file(entry.path()));
      for (std::string line; std::getline(lines, line);) {
        const std::string code = line.substr(0, line.find("//"));
        for (const std::string& word : words) {
          if (code.find("\"" + word + "\"") != std::string::npos) {
            found.push_back(name + ": " + word);
          }
        }
      }
    }
  }
  EXPECT_TRUE(found.empty()) << ::testing::PrintToString(found);
}

}  // namespace
