// The mistakes authors make, text in and report out: each gives its exact
// message at the exact line, and what the files hold stays as the texts say.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "compiler/diagnostics.h"
#include "compiler/error_code.h"
#include "tests/test_support.h"

#ifndef SCENARIO_DOCS_DIR
#error "SCENARIO_DOCS_DIR must name the docs directory"
#endif

namespace {

using test_support::line_text;
using test_support::service_text;

const std::string first_station = "stazione, 0, 4, 900, 1,0,0, 4,1,1, 2,1,1, 1, 15,18,0, A";
const std::string last_station = "stazione, 60000, 2, 200, 0,0,0, 0,0,0, 0,0,0, 0, 16,0,0, END";
const std::string signal_at_350 = "segnale, 350, 2,4,0,0,0,0,0,0,0,0";

TEST(AuthorMistakes, EachGivesItsReportAtItsLine) {
  struct mistake {
    std::string name;
    std::string line;
    std::string service;
    std::vector<std::string> reports;  // whole, in text order
  };
  const std::vector<mistake> mistakes = {
      {"an empty service text",
       line_text({}),
       "",
       {"L_4816-.txt: warning: the text is empty: nothing of it is read"}},
      {"a service text without [generale]",
       line_text({}),
       first_station + "\r\n",
       {"L_4816-.txt:1: warning: the text has no \"[generale]\" line: it is read to its end and "
        "nothing of it is taken (no station, speed, adhesion or signal)\n    " +
        first_station}},
      {"a service text saved as UTF-16",
       line_text({}),
       std::string("\xFF\xFE[\0g\0e\0n\0]\0\r\0\n\0", 16),
       {"L_4816-.txt:1: warning: the text begins with a UTF-16 byte-order mark: read as it is, no "
        "row of it is recognised; save the text as Windows-1252 (ANSI)\n"
        "    \xFF\xFE[\\x00g\\x00e\\x00n\\x00]\\x00",
        "L_4816-.txt:1: warning: the text has no \"[generale]\" line: it is read to its end and "
        "nothing of it is taken (no station, speed, adhesion or signal)\n"
        "    \xFF\xFE[\\x00g\\x00e\\x00n\\x00]\\x00"}},
      {"a station name in UTF-8",
       line_text({}),
       service_text({"stazione, 0, 4, 900, 1,0,0, 4,1,1, 2,1,1, 1, 15,18,0, CITT\xC3\x80 ALTA"}),
       {"L_4816-.txt:2: warning: \"\xC3\x80\" is UTF-8 (bytes C3 80), which the files store as "
        "\"\xC3\x83\xE2\x82\xAC\"; save the text as Windows-1252 (ANSI)\n"
        "    stazione, 0, 4, 900, 1,0,0, 4,1,1, 2,1,1, 1, 15,18,0, CITT\xC3\x80 ALTA"}},
      {"a station written over a signal",
       line_text({}),
       service_text({signal_at_350, first_station}),
       {"L_4816-.txt:3: warning: the station stop overwrites the signal in cell 8, placed by "
        "line 2, and writes only its kind and first value: the signal's param4 6 stays in the "
        "cell; its approach marks stay in cells 2, 0\n    " +
        first_station}},
      {"station names in UTF-8 on three rows",
       line_text({}),
       service_text({"stazione, 0, 4, 900, 1,0,0, 4,1,1, 2,1,1, 1, 15,18,0, CITT\xC3\x80",
                     "stazione, 5000, 4, 400, 1,0,0, 4,1,1, 2,1,1, 1, 0,0,0, \xC3\x89" "BOLI",
                     "stazione, 9000, 4, 400, 1,0,0, 4,1,1, 2,1,1, 1, 0,0,0, S\xC3\x80N \xC3\x80"}),
       {"L_4816-.txt:2: warning: \"\xC3\x80\" is UTF-8 (bytes C3 80), which the files store as "
        "\"\xC3\x83\xE2\x82\xAC\"; save the text as Windows-1252 (ANSI) (2 more lines of this "
        "text hold UTF-8)\n"
        "    stazione, 0, 4, 900, 1,0,0, 4,1,1, 2,1,1, 1, 15,18,0, CITT\xC3\x80"}},
      // Cut, a value is not also "taken as written": one warning says how it
      // reads back.
      {"a gradient of 160",
       line_text({"pendenza, 8000, 160"}),
       service_text({}),
       {"L_linea.txt:4: warning: gradient 160 is stored as 4, which reads as -96 per mille: a "
        "cell keeps the gradient + 100, modulo 256\n    pendenza, 8000, 160"}},
      {"an adhesion of 300",
       line_text({}),
       service_text({"aderenza, 1000, 300"}),
       {"L_4816-.txt:2: warning: adhesion 300 is stored as 44: a cell keeps the adhesion modulo "
        "256\n    aderenza, 1000, 300"}},
      {"a curve whose sense is a word",
       line_text({"curva destra 3, 1000, 500"}),
       service_text({}),
       {"L_linea.txt:4: warning: \"curva destra 3\" takes its sense from any \"s\" it holds, "
        "here in \"destra\": the curve turns left, as \"curvas3\" would; write \"curvad3\" "
        "for a right curve\n    curva destra 3, 1000, 500"}},
      {"a gradient row sent back by a lost digit",
       line_text({"pendenza, 26000, 5", "pendenza, 2600, 3"}),
       service_text({}),
       {"L_linea.txt:5: warning: position 2600 m lies behind the previous \"pendenza\" row at "
        "26000 m (line 4): a profile does not go back: the row writes one cell where the "
        "profile has got to, and its value holds from there on\n    pendenza, 2600, 3"}},
      {"a position that is not a number, and the row it sends back",
       line_text({}),
       service_text({"velocita, 30000, 80", "velocita, 2x, 90"}),
       {"L_4816-.txt:3: warning: \"2x\" is not a number and reads as 0\n    velocita, 2x, 90",
        "L_4816-.txt:3: warning: position 0 m lies behind the previous \"velocita\" row at "
        "30000 m (line 2): a profile does not go back: the row writes one cell where the "
        "profile has got to, and its value holds from there on (follows from the value on "
        "this line that is not a number)\n    velocita, 2x, 90"}},
      {"a negative curve length",
       line_text({"curvad3, 1500, -600"}),
       service_text({}),
       {"L_linea.txt:4: warning: length -600 m is below 0: the curva ends before it starts\n"
        "    curvad3, 1500, -600"}},
      {"a tunnel that ends before it starts, and one of an unknown type",
       line_text({"montagna, 18200, 16500, 11", "montagna, 20000, 21000, 17"}),
       service_text({}),
       {"L_linea.txt:4: warning: the tunnel ends at 16500 m, before its start at 18200 m: it "
        "covers no cell and is dropped\n    montagna, 18200, 16500, 11",
        "L_linea.txt:5: warning: tunnel type 17 is none of 1, 2 and 3 (11, 12 and 13 with "
        "markers): the cells keep type 7, which the program gives no meaning to\n"
        "    montagna, 20000, 21000, 17"}},
      {"a signal digit given two",
       line_text({}),
       service_text({"segnale, 5000, 2,12,0,0,0,2,2,0,0,0"}),
       {"L_4816-.txt:2: warning: s1 12 is more than one digit (0..9): it is packed digit by "
        "digit with the value beside it, runs into it, and reads back as other values\n"
        "    segnale, 5000, 2,12,0,0,0,2,2,0,0,0"}},
      {"a clock at 8 70 0, and a timetable that runs backwards",
       line_text({}),
       service_text({"orologio, 8 70 0", first_station,
                     "stazione, 5000, 99, 400, 1,0,0, 4,1,1, 2,1,1, 1, 14,0,0, B"}),
       {"L_4816-.txt:2: warning: minutes 70 is not part of a time of day (0..59): it is stored "
        "as written\n    orologio, 8 70 0",
        "L_4816-.txt:4: warning: station type 99 lies outside the types the program knows "
        "(1..25): it is stored as written, and taken as a type from 25 up: a record with no "
        "stop cell and no approach marks\n"
        "    stazione, 5000, 99, 400, 1,0,0, 4,1,1, 2,1,1, 1, 14,0,0, B",
        "L_4816-.txt:4: warning: the departure at 14:00:00 comes before the one at 15:18:00 of "
        "the station behind it (line 3): the timetable runs backwards along the line\n"
        "    stazione, 5000, 99, 400, 1,0,0, 4,1,1, 2,1,1, 1, 14,0,0, B"}},
      {"a signal repetition past the line",
       line_text({}, "lunghezza percorso, 42000\r\nripetizione segnali 4 codici, 0, 60000"),
       service_text({}),
       {"L_linea.txt:3: warning: to 60000 m lies past the line's end at 42000 m, and past the "
        "7000 m after it\n    ripetizione segnali 4 codici, 0, 60000"}},
      {"warnings past the first error, in the same round",
       line_text({}),
       service_text({first_station, "stazione, 9025, 4, 400, 1,0,0, 4,1,1, 2,1,1, 1, 0,0,0, B",
                     "velocita, 10000.5, 80"}),
       {"L_4816-.txt:3: error 8: a station position is not a multiple of 50, at 9025 m (cell "
        "180)\n    stazione, 9025, 4, 400, 1,0,0, 4,1,1, 2,1,1, 1, 0,0,0, B",
        "L_4816-.txt:4: warning (found after the build stopped reading): \"10000.5\" is written "
        "as a decimal number and reads as 10000, rounded half to even (a point is not a "
        "thousands separator: 32.000 is 32)\n    velocita, 10000.5, 80"}},
      {"objects past the last station that an error left last",
       line_text({}),
       service_text({"segnale, 20000, 2,4,0,0,0,0,0,0,0,0", first_station,
                     "stazione, 5000, 4, 400, 1,0,0, 4,1,1, 2,1,1, 1, 0,0,0, B",
                     "stazione, 5300, 4, 400, 1,0,0, 4,1,1, 2,1,1, 1, 0,0,0, C", last_station}),
       {"L_4816-.txt:5: error 22: a station area begins less than 350 m after the end of the "
        "previous one, at 5300 m (its area starts at 5100 m, the previous one ends at 5200 m)\n"
        "    stazione, 5300, 4, 400, 1,0,0, 4,1,1, 2,1,1, 1, 0,0,0, C",
        "L_4816-.txt:2: warning: position 20000 m lies past the end of the last station's area "
        "at 5500 m: the train stops before it (follows from error 22 at line 5)\n"
        "    segnale, 20000, 2,4,0,0,0,0,0,0,0,0"}},
      {"a curve without its class",
       line_text({"curva, 100, 100"}),
       service_text({}),
       {"L_linea.txt:4: error 103: the curve keyword \"curva\" names no class: it holds none "
        "of the digits 1 to 6\n    curva, 100, 100"}},
      {"a curve past the plan's end",
       line_text({"curvas2, 100, 80000"}),
       service_text({}),
       {"L_linea.txt:4: error 103: the curve would end at 80100 m, past the track plan's last "
        "metre 70500 (the line's length and 7000 m)\n    curvas2, 100, 80000"}},
      {"a terminus past the line's end",
       line_text({}),
       service_text(
           {first_station, "stazione, 64000, 2, 200, 0,0,0, 0,0,0, 0,0,0, 0, 16,0,0, END"}),
       {"L_4816-.txt:3: warning: position 64000 m lies past the line's end at 63500 m, in the "
        "7000 m margin after it\n    stazione, 64000, 2, 200, 0,0,0, 0,0,0, 0,0,0, 0, 16,0,0, "
        "END"}},
      {"a signal past the terminus",
       line_text({}),
       service_text({first_station, last_station, "segnale, 60400, 2,4,0,0,0,0,0,0,0,0"}),
       {"L_4816-.txt:4: warning: position 60400 m lies past the end of the last station's area at "
        "60100 m: the train stops before it\n    segnale, 60400, 2,4,0,0,0,0,0,0,0,0"}},
      {"a limit of 1000 km/h",
       line_text({}),
       service_text({"velocita, 0, 1000"}),
       {"L_4816-.txt:2: warning: speed 1000 km/h lies outside what a line can have (0..350 km/h); "
        "it is taken as written\n    velocita, 0, 1000"}},
      {"a speed of 82 km/h",
       line_text({}),
       service_text({"velocita, 0, 82"}),
       {"L_4816-.txt:2: warning: speed 82 is stored as 80: speeds are kept in units of 5 km/h\n"
        "    velocita, 0, 82"}},
      {"curves that overlap",
       line_text({"curvas4, 900, 1100", "curvad1, 1500, 200"}),
       service_text({}),
       {"L_linea.txt:5: warning: the curve starts at 1500 m, before the previous curve ends at "
        "2000 m: it bends from metre 2001 on\n    curvad1, 1500, 200"}},
      {"a row one value short",
       line_text({}),
       service_text({"velocita, 650", "segnale, 16000, 2,4,0,0,0,0,0,0,0,0"}),
       {"L_4816-.txt:2: warning: the \"velocita\" row has fewer values than its keyword takes; "
        "the rest were read from the next line, so the row on line 3 (\"segnale, 16000, "
        "2,4,0,0,0,0,0,0,0,0\") is lost\n    velocita, 650"}},
      {"a sign text ending in blanks",
       line_text({"cartello_indicatore, 650, (PONTE)  "}),
       service_text({}),
       {"L_linea.txt:4: warning: the sign text ends in blanks, which the scenario table keeps\n"
        "    cartello_indicatore, 650, (PONTE)  "}},
      {"signal values past their fields",
       line_text({}),
       service_text({"segnale, 5000, 2,4000,0,0,0,0,9,0,0,300"}),
       {"L_4816-.txt:2: warning: s1 4000 is more than one digit (0..9): it is packed digit by "
        "digit with the value beside it, runs into it, and reads back as other values\n"
        "    segnale, 5000, 2,4000,0,0,0,0,9,0,0,300",
        "L_4816-.txt:2: warning: s1 x 10 + d1 40009 is stored as -25527: its field keeps only "
        "its low 16 bits\n    segnale, 5000, 2,4000,0,0,0,0,9,0,0,300",
        "L_4816-.txt:2: warning: tempo 300 is stored as 44: its field keeps only its low 8 "
        "bits\n    segnale, 5000, 2,4000,0,0,0,0,9,0,0,300"}},
      {"a speed whose fifth is no byte, at its own row",
       line_text({}),
       service_text({"velocita, 17050, 1500", "velocita, 18000, 80"}),
       {"L_4816-.txt:2: error 25: speed 1500 km/h does not fit: a speed is stored in units of 5 "
        "km/h in a byte (-2..1277 km/h)\n    velocita, 17050, 1500"}},
      {"clock hours past an Integer",
       line_text({}),
       service_text({"orologio, 99999 51 31"}),
       {"L_4816-.txt:2: error 25: hours 99999 does not fit a 16-bit integer (-32768..32767)\n"
        "    orologio, 99999 51 31"}},
      {"a number on the line after its row",
       line_text({}),
       service_text({"segnale, 1950, 2,4,0,0,0,0,0,0,0", "99999999999"}),
       {"L_4816-.txt:3: error 25: tempo 99999999999 does not fit a 32-bit integer "
        "(-2147483648..2147483647)\n    99999999999"}},
      {"a line text without its length",
       "[generale]\r\n[curve]\r\npendenza, 0, 0\r\n[fine]\r\n",
       service_text({}),
       {"L_linea.txt:1: error 25: the line text has no \"lunghezza percorso\" row in its "
        "[generale] section: there is no grid to place anything on\n    [generale]"}},
      {"errors after the first one",
       line_text({}),
       service_text({first_station, signal_at_350, "segnale, 400, 2,4,0,0,0,0,0,0,0,0",
                     "abbattimento, 400, 3"}),
       {"L_4816-.txt:3: error 16: a signal falls on an occupied cell, at 350 m: cell 8 already "
        "holds the station stop of A (line 2)\n    " +
            signal_at_350,
        "L_4816-.txt:5: error 7 (found after the build stopped reading): a code cut falls on an "
        "occupied cell, at 400 m: cell 8 already holds the station stop of A (line 2)\n"
        "    abbattimento, 400, 3"}},
  };
  for (const mistake& m : mistakes) {
    const auto built = test_support::compile(m.line, m.service);
    EXPECT_EQ(test_support::reports(built), m.reports) << m.name;
  }
}

// The guide lists every warning the program gives, by the name it gives it
// in the JSON report, and no other.
TEST(AuthorMistakes, TheGuideListsEveryWarning) {
  const std::string guide =
      test_support::read_file(std::filesystem::path(SCENARIO_DOCS_DIR) / "errors.md");
  std::set<std::string> listed;
  for (std::size_t at = guide.find("\n| `"); at != std::string::npos;
       at = guide.find("\n| `", at + 1)) {
    const std::size_t end = guide.find('`', at + 4);
    listed.insert(guide.substr(at + 4, end - at - 4));
  }
  std::set<std::string> given;
  for (const auto& warning : compiler::warning_explanations())
    given.insert(std::string(warning.name));
  EXPECT_EQ(listed, given);
}

}  // namespace
