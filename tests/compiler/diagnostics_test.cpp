// Errors and warnings as an author reads them: the text, the line, the code,
// the position and cell, and the row itself.

#include "compiler/diagnostics.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "compiler/encoding.h"
#include "tests/test_support.h"

namespace {

using test_support::line_text;
using test_support::service_text;
using test_support::text_of;

const compiler::text_names names{"L_linea.txt", "L_4816-.txt"};

struct diagnosed {
  test_support::compiled built;
  std::vector<compiler::diagnostic> diagnostics;
};

diagnosed diagnose(const std::string& line, const std::string& service, bool with_plan = true) {
  diagnosed out{test_support::compile(line, service, with_plan), {}};
  out.diagnostics =
      compiler::diagnose(out.built.log, out.built.model, out.built.texts, names);
  return out;
}

std::vector<std::string> formatted(const std::vector<compiler::diagnostic>& diagnostics) {
  std::vector<std::string> out;
  for (const auto& d : diagnostics) out.push_back(compiler::format_diagnostic(d));
  return out;
}

const std::string first_station = "stazione, 0, 4, 900, 1,0,0, 4,1,1, 2,1,1, 1, 15,18,0, A";
const std::string slowdown = "rallentamento,   42150,    30,  250, 0,  0,  0";

// A signal at p metres, s side 2 with code 4.
std::string signal_at(int p) { return "segnale, " + std::to_string(p) + ", 2,4,0,0,0,0,0,0,0,0"; }

// A line text whose general section holds `rows` after the length row.
std::string general(std::initializer_list<std::string_view> rows) {
  std::string text = text_of({"[generale]", "lunghezza percorso,    63500"});
  text += text_of(rows);
  text += text_of({"[curve]", "[fine]"});
  return text;
}

// Every code a reader records, reported at the line of the row that raised
// it, with its position and cell where the code keeps one.
TEST(Diagnostics, ReaderErrorsNameTheRowLineAndCell) {
  struct error_case {
    std::string name;
    std::string line;
    std::string service;
    std::string expected;  // the whole report: message line, then the row
  };
  std::vector<std::string> many_signs;
  for (int i = 0; i < 79; ++i) {
    many_signs.push_back("cartello_indicatore, " + std::to_string(1000 + 100 * i) + ", (S)");
  }
  const std::vector<error_case> cases = {
      {"length above the limit", line_text({}, "lunghezza percorso, 1000001"), service_text({}),
       "L_linea.txt:2: error 1: the line length is above 1000000 m: 1000001\n"
       "    lunghezza percorso, 1000001"},
      {"progressive reference not a multiple of 50",
       general({"progressiva chilometrica uno,    24500,    35025,    1"}), service_text({}),
       "L_linea.txt:3: error 2: a start or reference of a kilometric progressive change is not a "
       "multiple of 50: reference 35125 (35025 in the text, and 100 m for its flag 1)\n"
       "    progressiva chilometrica uno,    24500,    35025,    1"},
      {"repetition start", general({"ripetizione segnali 4 codici, 25, 60750"}), service_text({}),
       "L_linea.txt:3: error 3: the first number of the signal repetition row is not a multiple "
       "of 50: 25\n"
       "    ripetizione segnali 4 codici, 25, 60750"},
      {"repetition end", general({"ripetizione segnali 4 codici, 0, 60775"}), service_text({}),
       "L_linea.txt:3: error 4: the second number of the signal repetition row is not a multiple "
       "of 50: 60775\n"
       "    ripetizione segnali 4 codici, 0, 60775"},
      {"repetition count", general({"ripetizione segnali, 0, 60750"}), service_text({}),
       "L_linea.txt:3: error 5: the signal repetition row names neither 4 nor 9 codes\n"
       "    ripetizione segnali, 0, 60750"},
      {"sign on speed boards",
       line_text({"indicatori_vmax,  700,  130,  140,  150,  0,  ,  ,  ,  0",
                  "cartello_indicatore,  700,   (X)"}),
       service_text({}),
       "L_linea.txt:5: error 6: a line-side sign falls on an occupied cell, at 700 m: cell 15 already "
       "holds the speed boards (line 4)\n"
       "    cartello_indicatore,  700,   (X)"},
      {"code cut on a station stop", line_text({}),
       service_text({first_station, "abbattimento, 400, 3"}),
       "L_4816-.txt:3: error 7: a code cut falls on an occupied cell, at 400 m: cell 8 already holds "
       "the station stop of A (line 2)\n"
       "    abbattimento, 400, 3"},
      {"station position", line_text({}),
       service_text({"stazione, 75, 4, 900, 1,0,0, 4,1,1, 2,1,1, 1, 15,18,0, A"}),
       "L_4816-.txt:2: error 8: a station position is not a multiple of 50, at 75 m (cell 2)\n"
       "    stazione, 75, 4, 900, 1,0,0, 4,1,1, 2,1,1, 1, 15,18,0, A"},
      {"station length", line_text({}),
       service_text({"stazione, 1000, 4, 950, 1,0,0, 4,1,1, 2,1,1, 1, 15,18,0, A"}),
       "L_4816-.txt:2: error 9: a station length is not a multiple of 100, at 1000 m: its length "
       "is 950 m\n"
       "    stazione, 1000, 4, 950, 1,0,0, 4,1,1, 2,1,1, 1, 15,18,0, A"},
      {"no slot left for a station", test_support::line_text(many_signs),
       service_text({first_station}),
       "L_4816-.txt:2: error 10: the stations have reached the slots of the line-side signs\n"
       "    " +
           first_station},
      {"gradient beyond the grid", line_text({"pendenza, 70401, 1"}), service_text({}),
       "L_linea.txt:4: error 15: a position lies outside the line and its 7000 m margin, at "
       "70401 m (the grid takes positions up to 70400 m)\n"
       "    pendenza, 70401, 1"},
      {"station beyond the grid", line_text({}),
       service_text({"stazione, 69750, 4, 900, 1,0,0, 4,1,1, 2,1,1, 1, 15,18,0, A"}),
       "L_4816-.txt:2: error 15: a position lies outside the line and its 7000 m margin, at "
       "69750 m (the grid takes positions up to 69700 m)\n"
       "    stazione, 69750, 4, 900, 1,0,0, 4,1,1, 2,1,1, 1, 15,18,0, A"},
      {"slowdown ending beyond the grid", line_text({}),
       service_text({"rallentamento, 70000, 30, 2000, 0, 0, 0"}),
       "L_4816-.txt:2: error 15: a position lies outside the line and its 7000 m margin, at "
       "70000 m (its end lies past the grid's last cell 1410)\n"
       "    rallentamento, 70000, 30, 2000, 0, 0, 0"},
      {"signal before the line", line_text({}), service_text({signal_at(-100)}),
       "L_4816-.txt:2: error 15: a position lies outside the line and its 7000 m margin, at "
       "-100 m (before the start of the line)\n"
       "    segnale, -100, 2,4,0,0,0,0,0,0,0,0"},
      {"signal on a station stop", line_text({}), service_text({first_station, signal_at(350)}),
       "L_4816-.txt:3: error 16: a signal falls on an occupied cell, at 350 m: cell 8 already holds "
       "the station stop of A (line 2)\n"
       "    segnale, 350, 2,4,0,0,0,0,0,0,0,0"},
      {"slowdown warning on a signal", line_text({}), service_text({signal_at(40950), slowdown}),
       "L_4816-.txt:3: error 17: the cell of a slowdown warning is occupied, at 42150 m: its warning "
       "cell 820 already holds the signal (line 2)\n"
       "    " +
           slowdown},
      {"slowdown start on a signal", line_text({}), service_text({signal_at(42150), slowdown}),
       "L_4816-.txt:3: error 18: the start cell of a slowdown is occupied, at 42150 m: its start cell "
       "844 already holds the signal (line 2)\n"
       "    " +
           slowdown},
      {"slowdown end on a signal", line_text({}), service_text({signal_at(42400), slowdown}),
       "L_4816-.txt:3: error 19: the end cell of a slowdown is occupied, at 42150 m: its end cell 849 "
       "already holds the signal (line 2)\n"
       "    " +
           slowdown},
      {"cells ahead of the warning", line_text({}),
       service_text({signal_at(40800), "rallentamento,   42150,    30,  250, 0,  1,  0"}),
       "L_4816-.txt:3: error 20: one of the four cells ahead of a slowdown warning is occupied, "
       "at 42150 m: cell 817, ahead of its warning, already holds the signal (line 2)\n"
       "    rallentamento,   42150,    30,  250, 0,  1,  0"},
      {"speed boards on a sign",
       line_text({"cartello_indicatore,  700,   (X)",
                  "indicatori_vmax,  700,  130,  140,  150,  0,  ,  ,  ,  0"}),
       service_text({}),
       "L_linea.txt:5: error 21: speed indicator boards fall on an occupied cell, at 700 m: cell 15 "
       "already holds the line-side sign \"(X)\" (line 4)\n"
       "    indicatori_vmax,  700,  130,  140,  150,  0,  ,  ,  ,  0"},
      {"stations too close", line_text({}),
       service_text({first_station, "stazione, 1000, 4, 900, 1,0,0, 4,1,1, 2,1,1, 1, 15,18,0, B"}),
       "L_4816-.txt:3: error 22: a station area begins less than 350 m after the end of the "
       "previous one, at 1000 m (its area starts at 550 m, the previous one ends at 450 m)\n"
       "    stazione, 1000, 4, 900, 1,0,0, 4,1,1, 2,1,1, 1, 15,18,0, B"},
      {"station stop before the line", line_text({}),
       service_text({"stazione, 0, 4, 100, 1,0,0, 4,1,1, 2,1,1, 1, 15,18,0, A"}),
       "L_4816-.txt:2: error 24: a station area ends at 100 m or less, leaving no room for its "
       "stop\n"
       "    stazione, 0, 4, 100, 1,0,0, 4,1,1, 2,1,1, 1, 15,18,0, A"},
      {"number out of range", line_text({"pendenza, 9999999999, 1"}), service_text({}),
       "L_linea.txt:4: error 25: position 9999999999 does not fit a 32-bit integer "
       "(-2147483648..2147483647)\n"
       "    pendenza, 9999999999, 1"},
      {"no general section", text_of({"lunghezza percorso, 63500", "[fine]"}), service_text({}),
       "L_linea.txt: error 102: the line description text has no [generale] section"},
      {"curve without a class", line_text({"curvas, 900, 100"}), service_text({}),
       "L_linea.txt:4: error 103: the curve keyword \"curvas\" names no class: it holds none of "
       "the digits 1 to 6\n"
       "    curvas, 900, 100"},
  };
  for (const error_case& c : cases) {
    const diagnosed d = diagnose(c.line, c.service);
    const auto reports = formatted(d.diagnostics);
    ASSERT_EQ(reports.size(), 1u) << c.name << ": " << testing::PrintToString(reports);
    EXPECT_EQ(reports[0], c.expected) << c.name;
  }
}

// The protection pass finds its errors in the grid; the report points at the
// row of the slowdown they concern.
TEST(Diagnostics, ProtectionErrorsNameTheSlowdownAndCell) {
  struct pass_case {
    std::string name;
    std::vector<std::string> rows;
    std::string expected;
  };
  const std::vector<pass_case> cases = {
      {"signal before the warning without room",
       {slowdown, signal_at(39900), signal_at(39950), signal_at(40000)},
       "L_4816-.txt:2: error 11: a signal before a slowdown warning has no free cell and no code "
       "cut in front of it, at 40050 m (cell 801), for the slowdown at 42150 m\n"
       "    " +
           slowdown},
      {"no room before the start",
       {slowdown, "abbattimento, 41850, AC", "abbattimento, 41900, AC", "abbattimento, 41950, AC"},
       "L_4816-.txt:2: error 12: no free cell for a protection point at one of the distances "
       "before a slowdown start, at 42200 m (cell 844), for the slowdown at 42150 m\n"
       "    " +
           slowdown},
      {"no room inside the slowdown",
       {"segnale, 1950, 2,4,0,0,0,0,0,0,0,0", "rallentamento,   42150,    30,  1000, 0,  0,  0",
        signal_at(42500), signal_at(42550), signal_at(42600)},
       "L_4816-.txt:3: error 13: no free cell for a protection point inside a slowdown or before "
       "the signal after it, at 42600 m (cell 852), for the slowdown at 42150 m\n"
       "    rallentamento,   42150,    30,  1000, 0,  0,  0"},
  };
  for (const pass_case& c : cases) {
    const diagnosed d = diagnose(line_text({}), test_support::service_text(c.rows));
    const auto reports = formatted(d.diagnostics);
    ASSERT_EQ(reports.size(), 1u) << c.name << ": " << testing::PrintToString(reports);
    EXPECT_EQ(reports[0], c.expected) << c.name;
  }
}

// An error of the reading stays in the report when the protection pass
// records one of its own over it.
TEST(Diagnostics, ReadingErrorSurvivesALaterPassError) {
  const diagnosed d = diagnose(
      line_text({}), service_text({slowdown, "abbattimento, 41850, AC", "abbattimento, 41900, AC",
                                   "abbattimento, 41950, AC", first_station, signal_at(350)}));
  EXPECT_EQ(d.built.result.error.code, compiler::error_code::slowdown_approach_unprotected);
  std::vector<compiler::diagnostic> errors;
  for (const auto& diagnostic : d.diagnostics) {
    if (diagnostic.level == compiler::severity::error) errors.push_back(diagnostic);
  }
  const auto reports = formatted(errors);
  ASSERT_EQ(reports.size(), 2u) << testing::PrintToString(reports);
  EXPECT_EQ(reports[0].substr(0, reports[0].find(':', 12)), "L_4816-.txt:2");
  EXPECT_NE(reports[0].find("error 12:"), std::string::npos);
  EXPECT_EQ(reports[1].substr(0, reports[1].find('\n')),
            "L_4816-.txt:7: error 16: a signal falls on an occupied cell, at 350 m: cell 8 "
            "already holds the station stop of A (line 6)");
}

// Each error keeps the detail of its own shape: the cell and what held it
// for a conflict, the slowdown for the protection pass, the refused value,
// the failing field.
TEST(Diagnostics, ErrorsKeepTheDetailOfTheirShape) {
  using compiler::cell_kind;
  using compiler::kind_value;
  struct shape_case {
    std::string name;
    std::string line;
    std::string service;
    compiler::error_code code;
    std::size_t shape;  // the index of the detail in the variant
    std::int32_t cell;  // what cell_of gives
    std::uint8_t held_kind;
    std::int64_t value;  // the refused value, or the failing field
  };
  using detail = compiler::error_detail;
  const auto index_of = [](const detail& d) { return d.index(); };
  const std::vector<shape_case> cases = {
      {"conflict", line_text({}), service_text({first_station, signal_at(350)}),
       compiler::error_code::signal_cell_occupied, detail{compiler::cell_held{}}.index(), 8,
       kind_value(cell_kind::station_stop), 0},
      {"protection pass", line_text({}),
       service_text({slowdown, "abbattimento, 41850, AC", "abbattimento, 41900, AC",
                     "abbattimento, 41950, AC"}),
       compiler::error_code::slowdown_approach_unprotected,
       detail{compiler::cell_unprotected{}}.index(), 844, kind_value(cell_kind::slowdown_start), 0},
      {"station length", line_text({}),
       service_text({"stazione, 60300, 2, 750, 1,0,0, 4,1,1, 2,1,1, 1, 15,18,0, B"}),
       compiler::error_code::station_length_not_multiple_of_100,
       detail{compiler::refused_value{}}.index(), -1, 0, 750},
      {"field", line_text({}), service_text({"segnale, 99999999999, 2,4,0,0,0,0,0,0,0,0"}),
       compiler::error_code::reading_failure, detail{compiler::field_refused{}}.index(), -1, 0, 0},
      {"final check", line_text({"indicatori_vmax,  0,  130,  140,  150,  0,  ,  ,  ,  0"}),
       service_text({}), compiler::error_code::fixed_values_taken,
       detail{compiler::cell_held{}}.index(), 1, kind_value(cell_kind::speed_boards), 0},
  };
  for (const shape_case& c : cases) {
    const diagnosed d = diagnose(c.line, c.service);
    const auto errors = compiler::errors_of(d.built.log);
    ASSERT_FALSE(errors.empty()) << c.name;
    const compiler::error_recorded& e = *errors.front();
    EXPECT_EQ(e.code, c.code) << c.name;
    EXPECT_EQ(index_of(e.detail), c.shape) << c.name;
    EXPECT_EQ(compiler::cell_of(e), c.cell) << c.name;
    const compiler::cell_held* held = compiler::held_of(e);
    EXPECT_EQ(held != nullptr, c.held_kind != 0) << c.name;
    if (held != nullptr) {
      EXPECT_EQ(held->held_kind, c.held_kind) << c.name;
      EXPECT_GE(held->held_by, 0) << c.name;  // the entry of the row that placed it
    }
    if (const auto* refused = std::get_if<compiler::refused_value>(&e.detail)) {
      EXPECT_EQ(refused->value, c.value) << c.name;
    }
    if (const auto* field = std::get_if<compiler::field_refused>(&e.detail)) {
      EXPECT_EQ(field->field, c.value) << c.name;
      EXPECT_EQ(field->failure, scenario::field_failure_kind::out_of_range) << c.name;
    }
    if (const auto* pass = std::get_if<compiler::cell_unprotected>(&e.detail)) {
      EXPECT_GE(pass->concerns, 0) << c.name;
    }
  }
}

TEST(Diagnostics, FatalChecksSayWhatHoldsCellOne) {
  const diagnosed d = diagnose(
      line_text({"indicatori_vmax,  0,  130,  140,  150,  0,  ,  ,  ,  0"}), service_text({}));
  EXPECT_EQ(d.built.result.outcome, compiler::compile_outcome::fatal_error);
  EXPECT_EQ(
      formatted(d.diagnostics),
      std::vector<std::string>{
          "L_linea.txt:4: error 1250: the reserved fixed-value fields of cell 1 or slot 85 are "
          "already in use (cell 1 holds speed boards: an object at the very start of the line "
          "takes it)\n"
          "    indicatori_vmax,  0,  130,  140,  150,  0,  ,  ,  ,  0"});
}

// Every kind of warning, at the line of what it concerns, and nothing for
// what the texts write on purpose.
TEST(Diagnostics, WarningsForWhatTheReaderPassesOver) {
  struct warning_case {
    std::string name;
    std::string line;
    std::string service;
    std::vector<std::string> expected;  // first lines of the reports
    bool with_plan = true;
  };
  const std::vector<warning_case> cases = {
      {"keyword with a typo",
       line_text({"pendenza, 0, 0", "pendenz,  600,   1"}),
       service_text({}),
       {"L_linea.txt:5: warning: \"pendenz\" matches no keyword here and is passed over"}},
      {"field dropped by the dash rule",
       line_text({}),
       service_text({"velo-cita, 650, 130"}),
       {"L_4816-.txt:2: warning: \"velo-cita\" contains \"-\" and is dropped; the field after it "
        "is read as the keyword in its place",
        "L_4816-.txt:2: warning: \"650\" matches no keyword here and is passed over"}},
      {"progressive in capitals",
       general({"Progressiva chilometrica uno,    24500,    35000,    1"}),
       service_text({}),
       {"L_linea.txt:3: warning: \"Progressiva chilometrica uno\" is ignored: this general "
        "keyword is recognised only in lower case"}},
      {"background in capitals",
       general({"SFONDO UNO, 70000"}),
       service_text({}),
       {"L_linea.txt:3: warning: \"SFONDO UNO\" is ignored: this general keyword is recognised "
        "only in lower case"}},
      {"progressive without a number name",
       general({"progressiva chilometrica quattro, 1, 2, 3"}),
       service_text({}),
       {"L_linea.txt:3: warning: \"progressiva chilometrica quattro\" matches no keyword here and "
        "is passed over"}},
      {"too few values",
       line_text({}),
       service_text({"velocita, 650", "aderenza, 0, 100"}),
       {"L_4816-.txt:2: warning: the \"velocita\" row has fewer values than its keyword takes; "
        "the rest were read from the next line, so the row on line 3 (\"aderenza, 0, 100\") is "
        "lost"}},
      {"too many values",
       line_text({}),
       service_text({"sabbia, 300, 7", "vetture, 14"}),
       {"L_4816-.txt:2: warning: the \"sabbia\" row has more values than its keyword takes; the "
        "rest of the line is read as keyword fields"}},
      {"a station name with a comma",
       line_text({}),
       service_text({"stazione, 0, 4, 900, 1,0,0, 4,1,1, 2,1,1, 1, 15,18,0, PIAZZA, ALTA"}),
       {"L_4816-.txt:2: warning: the \"stazione\" row has more values than its keyword takes; "
        "the rest of the line is read as keyword fields"}},
      {"non-numeric number",
       line_text({}),
       service_text({"sabbia, 3OO"}),
       {"L_4816-.txt:2: warning: \"3OO\" is not a number and reads as 0"}},
      {"a number with a fraction",
       line_text({}),
       service_text({"numero vetture, 32.000", "sabbia, 2.5e2"}),
       {"L_4816-.txt:2: warning: \"32.000\" is written as a decimal number and reads as 32, "
        "rounded half to even (a point is not a thousands separator: 32.000 is 32)",
        "L_4816-.txt:3: warning: \"2.5e2\" is written as a decimal number and reads as 250, "
        "rounded half to even (a point is not a thousands separator: 32.000 is 32)"}},
      {"non-numeric code of a code cut",
       line_text({}),
       service_text({"abbattimento, 60550, AX"}),
       {"L_4816-.txt:2: warning: \"AX\" is not a number and reads as 0"}},
      {"AC anywhere but a code cut",
       line_text({}),
       service_text({"segnale, 1950, 2,4,0,0,0,0,0,0,0,AC"}),
       {"L_4816-.txt:2: warning: \"AC\" is not a number and reads as 0"}},
      {"AC written for a code cut without a code",
       line_text({}),
       service_text({"abbattimento, 60550, AC", "abbattimento, 60650,   AC  "}),
       {}},
      {"headers, empty fields and blank lines",
       line_text({"", "[pendenze]", "pendenza, 0, 0,"}),
       service_text({"[stazioni]", ""}),
       {}},
      {"curve rows without a plan",
       line_text({"curvas4,  900,  1100", "curvad1, 2700, 2000"}),
       service_text({}),
       {},
       false},
      {"lone line feeds",
       "[generale]\nlunghezza percorso, 63500\n[curve]\npendenz, 600, 1\n[fine]\n",
       service_text({}),
       {"L_linea.txt:4: warning: \"pendenz\" matches no keyword here and is passed over"}},
      {"lone carriage returns",
       line_text({}),
       "[generale]\rsabbia, 300, 7\rvetture, 14\r[fine]\r",
       {"L_4816-.txt:2: warning: the \"sabbia\" row has more values than its keyword takes; the "
        "rest of the line is read as keyword fields"}},
  };
  for (const warning_case& c : cases) {
    const diagnosed d = diagnose(c.line, c.service, c.with_plan);
    std::vector<std::string> first_lines;
    for (const auto& report : formatted(d.diagnostics)) {
      first_lines.push_back(report.substr(0, report.find('\n')));
    }
    EXPECT_EQ(first_lines, c.expected) << c.name;
    EXPECT_EQ(d.built.result.error.code, compiler::error_code::none) << c.name;
  }
}

TEST(Diagnostics, WarningRepeatsTheRow) {
  const diagnosed d = diagnose(line_text({}), service_text({"sabbia,  3OO"}));
  ASSERT_EQ(d.diagnostics.size(), 1u);
  EXPECT_EQ(compiler::format_diagnostic(d.diagnostics[0]),
            "L_4816-.txt:2: warning: \"3OO\" is not a number and reads as 0\n"
            "    sabbia,  3OO");
  EXPECT_EQ(d.diagnostics[0].level, compiler::severity::warning);
  EXPECT_EQ(d.diagnostics[0].line, 2u);
}

TEST(Diagnostics, EmbeddedTextsCompileWithoutAnyReport) {
  for (const bool j : {true, false}) {
    const diagnosed d =
        diagnose(test_support::embedded_line_text(), test_support::embedded_service_text(), j);
    EXPECT_EQ(formatted(d.diagnostics), std::vector<std::string>{}) << "j = " << j;
  }
}

// A text of one endless line, full of rows that each leave values over,
// and of many short wrong lines: a thousand warnings of each kind are
// listed, each repeating a row cut to a readable length, and the rest
// counted.
TEST(Diagnostics, HostileTextsReportInLinearTime) {
  constexpr int rows = 100000;
  std::string service = "[generale]\r\n";
  for (int i = 0; i < rows; ++i) service += "sabbia, 1, ";
  service += "\r\n";
  for (int i = 0; i < rows; ++i) service += "pendenz, 1\r\n";
  service += "[fine]\r\n";
  const diagnosed d = diagnose(line_text({}), service);
  // Every "sabbia" row but the last leaves values on the line.
  ASSERT_EQ(d.diagnostics.size(), 2u * 1000 + 2);
  EXPECT_EQ(d.diagnostics.front().line, 2u);
  EXPECT_EQ(d.diagnostics.front().row.size(), 204u);  // 200 bytes and " ..."
  EXPECT_EQ(d.diagnostics[1999].line, 2u + 1000);
  EXPECT_EQ(d.diagnostics[1999].row, "pendenz, 1");
  EXPECT_EQ(compiler::format_diagnostic(d.diagnostics[2000]),
            "L_4816-.txt: warning: 99000 more warnings like the 1000 above are not listed");
  EXPECT_EQ(compiler::format_diagnostic(d.diagnostics[2001]),
            "L_4816-.txt: warning: 98999 more warnings like the 1000 above are not listed");
}

}  // namespace
