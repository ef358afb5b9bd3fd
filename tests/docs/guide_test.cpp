// The authors' guide against the program: its error table must be the
// program's error table, word for word and in both directions, and every
// example row it shows must compile to the cells, slots or error it claims.
//
// An example is a fenced block marked line-text or service-text, followed
// by a comment that states what it gives:
//   <!-- expect: cell 15 kind 6 param1 2600; slot 80 name "(PONTE)"; error 15 at 70450 -->
// A clause "metre 2571 x 1001 y 2000" holds a point of the track plan, each
// coordinate rounded to the whole metre. A block whose first row holds
// "[generale]" is the start of a whole text; any other block is set inside a
// minimal text of its kind. Without an error clause the example must compile
// with no error at all.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "compiler/decoding.h"
#include "compiler/error_code.h"
#include "compiler/keywords.h"
#include "tests/test_support.h"

#ifndef SCENARIO_DOCS_DIR
#error "SCENARIO_DOCS_DIR must name the docs directory"
#endif

namespace {

namespace fs = std::filesystem;
using test_support::compiled;

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::string trimmed(const std::string& s) {
  const auto begin = s.find_first_not_of(' ');
  if (begin == std::string::npos) return {};
  return s.substr(begin, s.find_last_not_of(' ') - begin + 1);
}

struct doc_file {
  std::string name;
  std::vector<std::string> lines;
};

std::vector<doc_file> guide_files() {
  std::vector<doc_file> files;
  for (const auto& entry : fs::directory_iterator(SCENARIO_DOCS_DIR)) {
    if (entry.path().extension() != ".md") continue;
    files.push_back(
        {entry.path().filename().string(), lines_of(test_support::read_file(entry.path()))});
  }
  return files;
}

// ---- The error table ----

struct error_row {
  std::string file;
  std::vector<std::string> cells;
};

constexpr const char* error_table_header = "| code | meaning | raised by | position | usual fix |";

// The rows of the tables that open with the error table's header, up to the
// first line that is not a table row.
std::vector<error_row> error_rows(const std::vector<doc_file>& files) {
  std::vector<error_row> rows;
  for (const doc_file& f : files) {
    bool in_table = false;
    for (const std::string& line : f.lines) {
      if (line == error_table_header) {
        in_table = true;
        continue;
      }
      if (line.size() < 2 || line[0] != '|') in_table = false;
      if (!in_table || line.rfind("|---", 0) == 0) continue;
      std::vector<std::string> cells;
      std::size_t from = 1;
      for (std::size_t bar = line.find('|', from); bar != std::string::npos;
           bar = line.find('|', from)) {
        cells.push_back(trimmed(line.substr(from, bar - from)));
        from = bar + 1;
      }
      rows.push_back({f.name, cells});
    }
  }
  return rows;
}

TEST(Guide, ErrorTableIsTheProgramsTableInBothDirections) {
  const auto rows = error_rows(guide_files());
  std::set<std::int32_t> documented;
  for (const error_row& row : rows) {
    SCOPED_TRACE(row.file + ": row " + (row.cells.empty() ? "" : row.cells[0]));
    ASSERT_EQ(row.cells.size(), 5u);
    ASSERT_FALSE(row.cells[0].empty());
    ASSERT_EQ(row.cells[0].find_first_not_of("0123456789"), std::string::npos);
    const std::int32_t number = std::stoi(row.cells[0]);
    EXPECT_TRUE(documented.insert(number).second) << "documented twice";
    const compiler::error_explanation* e = compiler::find_explanation(number);
    ASSERT_NE(e, nullptr) << "the guide names a code the program does not have";
    ASSERT_NE(e->code, compiler::error_code::none);
    EXPECT_EQ(row.cells[1], e->meaning);
    EXPECT_EQ(row.cells[2], e->raised_by);
    EXPECT_EQ(row.cells[3], e->position);
    EXPECT_EQ(row.cells[4], e->fix);
  }
  for (const compiler::error_explanation& e : compiler::error_explanations()) {
    EXPECT_TRUE(documented.count(compiler::code_number(e.code)) == 1)
        << "error " << compiler::code_number(e.code) << " is missing from the guide";
  }
}

TEST(Guide, ExplanationsAreWordsOfTheirOwn) {
  for (const compiler::error_explanation& e : compiler::error_explanations()) {
    SCOPED_TRACE(compiler::code_number(e.code));
    for (std::string_view text : {e.meaning, e.raised_by, e.position, e.fix}) {
      EXPECT_FALSE(text.empty());
      EXPECT_EQ(text.find('|'), std::string_view::npos) << "breaks the guide's table";
    }
    EXPECT_EQ(compiler::meaning(e.code), e.meaning);
  }
  EXPECT_EQ(compiler::find_explanation(14), nullptr);
  EXPECT_EQ(compiler::find_explanation(23), nullptr);
  EXPECT_EQ(compiler::find_explanation(-1), nullptr);
}

// ---- The examples ----

struct example {
  std::string file;
  std::size_t line;  // of the opening fence
  bool service;      // a service-text block, else a line-text block
  std::vector<std::string> rows;
  std::string expect;  // the text after "expect:"
};

std::vector<example> examples(const std::vector<doc_file>& files) {
  std::vector<example> found;
  for (const doc_file& f : files) {
    for (std::size_t i = 0; i < f.lines.size(); ++i) {
      const std::string& fence = f.lines[i];
      if (fence != "```line-text" && fence != "```service-text") continue;
      example e{f.name, i + 1, fence == "```service-text", {}, {}};
      std::size_t j = i + 1;
      for (; j < f.lines.size() && f.lines[j] != "```"; ++j) e.rows.push_back(f.lines[j]);
      ++j;
      while (j < f.lines.size() && trimmed(f.lines[j]).empty()) ++j;
      const std::string comment = j < f.lines.size() ? trimmed(f.lines[j]) : std::string();
      const std::string open = "<!-- expect:";
      if (comment.rfind(open, 0) == 0 && comment.size() >= open.size() + 3 &&
          comment.compare(comment.size() - 3, 3, "-->") == 0) {
        e.expect = trimmed(comment.substr(open.size(), comment.size() - open.size() - 3));
      }
      found.push_back(std::move(e));
      i = j;
    }
  }
  return found;
}

// The words of one clause; a double-quoted word keeps its blanks and commas.
std::vector<std::string> words_of(const std::string& clause) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < clause.size()) {
    if (clause[i] == ' ') {
      ++i;
    } else if (clause[i] == '"') {
      const std::size_t close = clause.find('"', i + 1);
      words.push_back(clause.substr(i + 1, close - i - 1));
      i = close == std::string::npos ? clause.size() : close + 1;
    } else {
      const std::size_t end = std::min(clause.find(' ', i), clause.size());
      words.push_back(clause.substr(i, end - i));
      i = end;
    }
  }
  return words;
}

std::optional<std::int64_t> cell_field(const compiler::track_cell& c, const std::string& name) {
  for (const compiler::named_field& field : compiler::cell_fields(c)) {
    if (field.name == name) return field.value;
  }
  return std::nullopt;
}

std::optional<std::int64_t> slot_field(const compiler::station_record& s, const std::string& name) {
  for (const compiler::named_field& field : compiler::slot_fields(s)) {
    if (field.name == name) return field.value;
  }
  return std::nullopt;
}

std::string text_of_example(const example& e) {
  const bool whole = !e.rows.empty() && e.rows.front().find("[generale]") != std::string::npos;
  if (whole) return test_support::text_of(e.rows) + "[fine]\r\n";
  return e.service ? test_support::service_text(e.rows) : test_support::line_text(e.rows);
}

// Checks one example; every clause must name something it can check.
void check_example(const example& e) {
  ASSERT_FALSE(e.expect.empty()) << "the example has no <!-- expect: ... --> after it";
  const std::string text = text_of_example(e);
  const std::string other = e.service ? test_support::line_text(std::vector<std::string>{})
                                      : test_support::service_text(std::vector<std::string>{});
  bool plan = true;
  for (const std::string& clause_text : words_of(e.expect)) {
    if (clause_text == "no-plan") plan = false;
  }
  const compiled c = e.service ? test_support::compile(other, text, plan ? 1 : 0)
                               : test_support::compile(text, other, plan ? 1 : 0);

  bool error_stated = false;
  std::stringstream clauses(e.expect);
  std::string clause;
  while (std::getline(clauses, clause, ';')) {
    const auto w = words_of(clause);
    ASSERT_FALSE(w.empty()) << "an empty clause in: " << e.expect;
    SCOPED_TRACE("clause: " + clause);
    if (w[0] == "no-plan") continue;
    if (w[0] == "error") {
      ASSERT_GE(w.size(), 2u);
      error_stated = true;
      const std::int32_t code = std::stoi(w[1]);
      const compiler::error_code recorded =
          c.result.fatal != compiler::error_code::none ? c.result.fatal : c.result.error.code;
      EXPECT_EQ(compiler::code_number(recorded), code);
      if (w.size() == 4 && w[2] == "at") {
        EXPECT_EQ(c.result.error.position, std::stoi(w[3]));
      } else {
        ASSERT_EQ(w.size(), 2u) << "error CODE [at POSITION]";
      }
      continue;
    }
    if (w[0] == "metre") {
      ASSERT_TRUE(w.size() == 6 && w[2] == "x" && w[4] == "y") << "metre M x X y Y";
      const std::size_t metre = std::stoul(w[1]);
      ASSERT_LT(metre, c.model.plan.x.size());
      EXPECT_EQ(std::nearbyint(c.model.plan.x[metre]), std::stod(w[3]));
      EXPECT_EQ(std::nearbyint(c.model.plan.y[metre]), std::stod(w[5]));
      continue;
    }
    ASSERT_TRUE(w[0] == "cell" || w[0] == "slot") << "unknown clause";
    ASSERT_GE(w.size(), 4u);
    ASSERT_EQ(w.size() % 2, 0u) << "FIELD VALUE pairs";
    const std::size_t index = std::stoul(w[1]);
    for (std::size_t k = 2; k < w.size(); k += 2) {
      SCOPED_TRACE(w[0] + " " + w[1] + " " + w[k]);
      if (w[0] == "cell") {
        ASSERT_LT(index, c.model.grid.cells.size());
        const auto value = cell_field(c.model.grid.cells[index], w[k]);
        ASSERT_TRUE(value.has_value()) << "no cell field " << w[k];
        EXPECT_EQ(*value, std::stoll(w[k + 1]));
      } else {
        ASSERT_LT(index, c.model.stations.slots.size());
        const compiler::station_record& slot = c.model.stations.slots[index];
        if (w[k] == "name") {
          EXPECT_EQ(slot.name, w[k + 1]);
          continue;
        }
        const auto value = slot_field(slot, w[k]);
        ASSERT_TRUE(value.has_value()) << "no slot field " << w[k];
        EXPECT_EQ(*value, std::stoll(w[k + 1]));
      }
    }
  }
  if (!error_stated) {
    EXPECT_EQ(c.result.error.code, compiler::error_code::none)
        << "error " << compiler::code_number(c.result.error.code) << " at " << c.result.error.position;
    EXPECT_EQ(c.result.fatal, compiler::error_code::none);
  }
}

TEST(Guide, EveryExampleCompilesToWhatTheGuideSays) {
  const auto found = examples(guide_files());
  // The guide shows examples of every keyword of both texts; far fewer means
  // the blocks are no longer being found.
  ASSERT_GE(found.size(), 25u);
  for (const example& e : found) {
    SCOPED_TRACE(e.file + ":" + std::to_string(e.line));
    check_example(e);
  }
}

// ---- The README and the links ----

fs::path readme_path() { return fs::path(SCENARIO_DOCS_DIR).parent_path() / "README.md"; }

// Every relative link of the README and of the pages in docs/ leads to a
// file of the tree: a page or a picture moved leaves no link behind.
TEST(Guide, RelativeLinksLeadToFiles) {
  std::vector<fs::path> pages = {readme_path()};
  for (const auto& entry : fs::directory_iterator(SCENARIO_DOCS_DIR)) {
    if (entry.path().extension() == ".md") pages.push_back(entry.path());
  }
  std::size_t checked = 0;
  for (const fs::path& page : pages) {
    const std::string text = test_support::read_file(page);
    for (std::size_t at = text.find("]("); at != std::string::npos; at = text.find("](", at + 2)) {
      const std::size_t close = text.find(')', at);
      ASSERT_NE(close, std::string::npos) << page.filename() << ": a link without its ')'";
      std::string target = text.substr(at + 2, close - at - 2);
      target = target.substr(0, target.find('#'));
      if (target.empty() || target.find("://") != std::string::npos) continue;
      ++checked;
      EXPECT_TRUE(fs::exists(page.parent_path() / target))
          << page.filename() << " links " << target << ", which is not there";
    }
  }
  // The README alone links the guide, its pages and two pictures.
  EXPECT_GE(checked, 20u);
}

// The README is read first: its two set-up commands open it, Install comes
// before the exit statuses, and it stays short.
TEST(Guide, ReadmeOpensWithTheSetUpAndStaysShort) {
  const std::vector<std::string> lines = lines_of(test_support::read_file(readme_path()));
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[2], "```sh");
  EXPECT_EQ(lines[3].rfind("scripts/run-build ", 0), 0u) << lines[3];
  EXPECT_EQ(lines[4].rfind("scripts/run-tests ", 0), 0u) << lines[4];
  EXPECT_LT(lines.size(), 200u);
  const auto install = std::find(lines.begin(), lines.end(), "## Install");
  const auto exit_status = std::find(lines.begin(), lines.end(), "## Exit status");
  ASSERT_NE(install, lines.end());
  ASSERT_NE(exit_status, lines.end());
  EXPECT_LT(install, exit_status);
}

}  // namespace

// ---- The keyword tables ----

namespace keyword_guide {

using compiler::keyword_fact;

constexpr const char* header = "| row as written | test on the keyword field | values | goes to | errors |";

std::string tests_of(const keyword_fact& k) {
  std::string out;
  for (const compiler::keyword_test& t : k.tests) {
    if (!out.empty()) out += " or ";
    out += "\"" + std::string(t.first) + "\"";
    if (!t.second.empty()) out += " and \"" + std::string(t.second) + "\"";
  }
  if (k.exact_case) out += ", lower case only";
  return out;
}

std::string type_of(const compiler::field_fact& f) {
  std::string out(compiler::type_name(f.type));
  if (!f.unit.empty()) out += ", " + std::string(f.unit);
  return out;
}

std::string values_of(const keyword_fact& k) {
  std::string out;
  for (const compiler::field_fact& f : k.fields) {
    if (!out.empty()) out += "; ";
    out += std::string(f.name) + ": " + type_of(f);
  }
  return out;
}

// The row of the guide's keyword table that the program's table makes.
std::string row_of(const keyword_fact& k) {
  return "| `" + std::string(k.example) + "` | " + tests_of(k) + " | " + values_of(k) + " | " +
         std::string(k.goes_to) + " | " + std::string(k.errors) + " |";
}

// Each keyword's values have a table of their own: what each is and what
// the program does with it, one row a value in the row's order.
constexpr const char* value_header_end = " value | type | what it is | what it does |";

std::string value_header(const keyword_fact& k) {
  return "| `" + std::string(k.name) + "`" + value_header_end;
}

std::vector<std::string> value_rows(const keyword_fact& k) {
  std::vector<std::string> rows;
  for (const compiler::field_fact& f : k.fields) {
    rows.push_back("| " + std::string(f.name) + " | " + type_of(f) + " | " +
                   std::string(f.meaning) + " | " + std::string(f.effect) + " |");
  }
  return rows;
}

// The value tables of one guide file, by header, each with its rows.
std::map<std::string, std::vector<std::string>> value_tables_in(const doc_file& f) {
  std::map<std::string, std::vector<std::string>> tables;
  const std::string end = value_header_end;
  std::vector<std::string>* rows = nullptr;
  for (const std::string& line : f.lines) {
    if (line.rfind("| `", 0) == 0 && line.size() > end.size() &&
        line.compare(line.size() - end.size(), end.size(), end) == 0) {
      rows = &tables[line];
      rows->clear();
      continue;
    }
    if (line.size() < 2 || line[0] != '|') rows = nullptr;
    if (rows != nullptr && line.rfind("|---", 0) != 0) rows->push_back(line);
  }
  return tables;
}

// The rows of the keyword tables of one guide file.
std::set<std::string> rows_in(const doc_file& f) {
  std::set<std::string> rows;
  bool in_table = false;
  for (const std::string& line : f.lines) {
    if (line == header) {
      in_table = true;
      continue;
    }
    if (line.size() < 2 || line[0] != '|') in_table = false;
    if (in_table && line.rfind("|---", 0) != 0) rows.insert(line);
  }
  return rows;
}

}  // namespace keyword_guide

// Each text's guide holds one row for each of its keywords, as the program's
// keyword table makes it, and no other: a keyword added, renamed or given
// another field shows here until the guide says so too. Each keyword also has
// its table of values, every value saying what it is and what it does.
TEST(Guide, KeywordTablesAreTheProgramsKeywordTable) {
  const std::vector<doc_file> files = guide_files();
  struct text_guide {
    std::string file;
    std::vector<compiler::text_section> sections;
  };
  const text_guide guides[] = {
      {"line-text.md", {compiler::text_section::line_general, compiler::text_section::line_main}},
      {"service-text.md", {compiler::text_section::service}}};
  for (const text_guide& g : guides) {
    SCOPED_TRACE(g.file);
    std::set<std::string> expected;
    for (const compiler::keyword_fact& k : compiler::keyword_table()) {
      for (const compiler::text_section s : g.sections) {
        if (k.section == s) expected.insert(keyword_guide::row_of(k));
      }
    }
    std::set<std::string> shown;
    for (const doc_file& f : files) {
      if (f.name == g.file) shown = keyword_guide::rows_in(f);
    }
    for (const std::string& row : expected) {
      EXPECT_TRUE(shown.count(row)) << "the guide lacks the row\n" << row;
    }
    for (const std::string& row : shown) {
      EXPECT_TRUE(expected.count(row)) << "the guide has a row no keyword makes\n" << row;
    }

    std::map<std::string, std::vector<std::string>> value_tables;
    for (const doc_file& f : files) {
      if (f.name == g.file) value_tables = keyword_guide::value_tables_in(f);
    }
    for (const compiler::keyword_fact& k : compiler::keyword_table()) {
      if (std::find(g.sections.begin(), g.sections.end(), k.section) == g.sections.end()) continue;
      SCOPED_TRACE(std::string(k.name));
      for (const compiler::field_fact& f : k.fields) {
        SCOPED_TRACE(std::string(f.name));
        EXPECT_FALSE(f.meaning.empty()) << "a value that does not say what it is";
        EXPECT_FALSE(f.effect.empty()) << "a value that does not say what it does";
        for (const std::string_view text : {f.meaning, f.effect}) {
          EXPECT_EQ(text.find('|'), std::string_view::npos) << "breaks the guide's table";
        }
      }
      const auto table = value_tables.find(keyword_guide::value_header(k));
      if (table == value_tables.end()) {
        ADD_FAILURE() << "the guide lacks the table\n" << keyword_guide::value_header(k);
        continue;
      }
      EXPECT_EQ(table->second, keyword_guide::value_rows(k));
      value_tables.erase(table);
    }
    for (const auto& [header, rows] : value_tables) {
      ADD_FAILURE() << "the guide has a value table no keyword of its text makes\n" << header;
    }
  }
}
