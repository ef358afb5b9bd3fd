#include "compiler/keywords.h"

#include <array>
#include <cctype>
#include <limits>
#include <string>
#include <tuple>
#include <type_traits>

#include "compiler/journal.h"
#include "compiler/model.h"
#include "compiler/row_reading.h"
#include "scenario/field_reader.h"

namespace compiler {

namespace {

constexpr std::int64_t long_lowest = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t long_highest = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t integer_lowest = std::numeric_limits<std::int16_t>::min();
constexpr std::int64_t integer_highest = std::numeric_limits<std::int16_t>::max();

// Each value says what it is (`meaning`) and what the program and its files
// do with it (`effect`). Where only the simulator gives a value a meaning, the
// effect says where it is stored and that the program does nothing more.
constexpr field_fact position(std::string_view name, std::string_view meaning,
                              std::string_view effect) {
  return {name, field_type::long32, "m", long_lowest, long_highest, meaning, effect};
}
constexpr field_fact a_long(std::string_view name, std::string_view unit, std::string_view meaning,
                            std::string_view effect, std::int64_t lowest = long_lowest,
                            std::int64_t highest = long_highest) {
  return {name, field_type::long32, unit, lowest, highest, meaning, effect};
}
constexpr field_fact an_integer(std::string_view name, std::string_view unit,
                                std::string_view meaning, std::string_view effect) {
  return {name, field_type::integer16, unit, integer_lowest, integer_highest, meaning, effect};
}
constexpr field_fact a_byte(std::string_view name, std::string_view unit, std::string_view meaning,
                            std::string_view effect) {
  return {name, field_type::byte8, unit, 0, 255, meaning, effect};
}
constexpr field_fact a_text(std::string_view name, std::string_view meaning,
                            std::string_view effect) {
  return {name, field_type::text, "", 0, 32767, meaning, effect};
}
// A value packed digit by digit with others: 0 to 9, or to `highest`.
constexpr field_fact one_digit(std::string_view name, std::string_view meaning,
                               std::string_view effect, std::int64_t highest = 9) {
  field_fact fact = a_long(name, "", meaning, effect, 0, highest);
  fact.check = value_check::one_digit;
  return fact;
}
// A value whose meaning `check` watches over, within `lowest` to `highest`.
constexpr field_fact checked(field_fact fact, value_check check, std::int64_t lowest,
                             std::int64_t highest) {
  fact.check = check;
  fact.lowest = lowest;
  fact.highest = highest;
  return fact;
}
constexpr field_fact a_speed(std::string_view name, std::string_view meaning,
                             std::string_view effect) {
  return a_long(name, "km/h", meaning, effect, plausible_speed.lowest, plausible_speed.highest);
}

// The values of each keyword, in the order its row writes them.
constexpr field_fact length_fields[] = {a_long(
    "length", "m", "the length L of the line",
    "slot 84 `finish`; makes the grid, cells 0 to (L + 7000) / 50, and the plan, metres 0 to "
    "L + 7000, against whose end every position is checked (error 15); above 1000000: error 1",
    min_line_length_m, max_line_length_m)};
constexpr field_fact progressive_fields[] = {
    position("start", "where a section with a kilometre count of its own begins",
             "`start` of slot 81, 82 or 83: the rows are ordered by it, the greatest to slot 81; "
             "two sharing the greatest clear all three slots; not a multiple of 50: error 2; the "
             "simulator's kilometre posts follow it"),
    a_long("reference", "m", "the section's kilometre reference",
           "`finish` of the row's slot after ordering, 100 more when the flag is 1; not a "
           "multiple of 50: error 2; the simulator reads it, the program gives it no further "
           "meaning"),
    a_long("flag", "", "1: the reference is taken 100 m further",
           "`position` of the row's slot, as written; exactly 1 adds 100 to the stored "
           "reference, any other value adds nothing")};
constexpr field_fact background_fields[] = {a_long(
    "value", "", "a background setting of the simulator",
    "slot 85 `start` (uno), `position` (due) or `finish` (tre), as written; the simulator reads "
    "it, the program gives it no further meaning")};
constexpr field_fact repetition_fields[] = {
    position("from", "where the signals begin to be repeated in the cab",
             "slot 86 `start`; not a multiple of 50: error 3; the simulator repeats the signals "
             "from here, the program gives it no further meaning"),
    position("to", "where the repetition ends",
             "slot 86 `finish`; not a multiple of 50: error 4; 0 also sets the count of codes, "
             "slot 86 `position` (else 4 or 9, from the keyword), to 0")};
constexpr field_fact gradient_fields[] = {
    position("position", "where the gradient begins",
             "the gradient holds from cell position / 50 on; the cells before it, back to the "
             "previous row's cell, keep the previous gradient"),
    a_long("gradient", "per mille", "the gradient from this position on; above 0 it rises",
           "`gradient` = gradient + 100, modulo 256, in every cell up to the next row's cell (the "
           "grid's last three cells keep 0); the simulator's climbs and the page's elevation "
           "come from it",
           plausible_gradient.lowest, plausible_gradient.highest)};
constexpr field_fact curve_fields[] = {
    position("start", "where the curve begins",
             "the track plan runs straight from its end so far up to this metre (a start behind "
             "it: no straight run); the grid is not touched, curves live in the plan alone"),
    checked(a_long("length", "m", "how far the curve runs",
                   "the plan bends over this many metres by the curvature of the keyword's class "
                   "digit (1: 0.0001 to 6: 0.003 per metre), the negative way, left on the page, "
                   "when the keyword holds an s; past metre L + 7000: error 103"),
            value_check::length, 0, long_highest)};
constexpr field_fact tunnel_fields[] = {
    position("start", "where the tunnel begins",
             "the first covered cell is start / 50; a start 150 m or less after the previous "
             "tunnel row's end (or before it) makes the type 3"),
    position("end", "where the tunnel ends",
             "the last covered cell is end / 50 − 1; an end not beyond the start covers no cell, "
             "and no cell past the grid is written"),
    // 1, 2 and 3, and 11 to 13 with markers: the check leaves out 4 to 10.
    checked(a_long("type", "", "the tunnel type",
                   "`mountain_type` of every covered cell (low 8 bits); above 10, 10 is taken off "
                   "and every fourth covered cell still empty gets a tunnel marker (kind 11) that "
                   "any later object may take; the simulator gives each type its meaning"),
            value_check::type_code, 1, 13)};
constexpr field_fact speed_boards_fields[] = {
    position("position", "where the boards stand",
             "cell position / 50 + 1 becomes kind 6 (an occupied cell: error 21); the simulator "
             "shows the boards there"),
    a_speed("vas", "the s side's speed for rank A",
            "hundreds of `param1` = vad / 5 + vas × 20, rounded; the simulator shows it to trains "
            "of rank A"),
    a_speed("vbs", "the s side's speed for rank B",
            "hundreds of `param2` = vbd / 5 + vbs × 20, rounded; the simulator shows it to rank B"),
    a_speed("vcs", "the s side's speed for rank C",
            "hundreds of `param3` = vcd / 5 + vcs × 20, rounded; the simulator shows it to rank C"),
    one_digit("strisces", "the stripes on the s side's boards",
              "tens of `param4` = strisces × 10 + strisced; the carried boards count down to a "
              "lower speed with 2, 1 and 0 stripes 500 m apart"),
    a_speed("vad", "the d side's speed for rank A",
            "last two digits of `param1`, as vad / 5; empty reads 0: no d side speed"),
    a_speed("vbd", "the d side's speed for rank B", "last two digits of `param2`, as vbd / 5"),
    a_speed("vcd", "the d side's speed for rank C", "last two digits of `param3`, as vcd / 5"),
    one_digit("strisced", "the stripes on the d side's boards",
              "units of `param4`; the simulator shows the stripes, the program gives them no "
              "further meaning")};
constexpr field_fact sign_fields[] = {
    position("position", "where the sign stands",
             "cell position / 50 + 1 becomes kind 14, `param1` the slot of its text (an occupied "
             "cell: error 6)"),
    a_text("sign text", "what the sign shows",
           "`name` of slot 80 for the first sign row, 79 for the next and so on down (an 81st: "
           "error 10); the simulator shows it, each group in parentheses one line of the sign")};
constexpr field_fact braked_mass_fields[] = {
    a_long("braked-mass percentage", "%", "the train's braked mass",
           "slot 84 `start`, as written; the simulator's braking reads it, the program gives it no "
           "further meaning")};
constexpr field_fact cars_fields[] = {
    a_long("number of cars", "", "the cars of the train",
           "slot 84 `position`, as written; the simulator reads it, the program gives it no "
           "further meaning")};
constexpr field_fact speed_fields[] = {
    position("position", "where the limit begins",
             "the limit holds from cell position / 50 on, up to the next row's cell"),
    a_speed("speed", "the line speed limit from this position on",
            "`speed_limit` = speed / 5, rounded half to even, in every cell up to the next row's "
            "(the grid's last three cells keep 0); below −2 or above 1277: error 25; the "
            "simulator's limit, drawn on the page")};
constexpr field_fact adhesion_fields[] = {
    position("position", "where the adhesion begins",
             "the adhesion holds from cell position / 50 on, up to the next row's cell"),
    a_long("adhesion", "%", "the adhesion from this position on (100: full)",
           "`adhesion` = adhesion modulo 256 in every cell up to the next row's (the grid's last "
           "three cells keep 0); the simulator's wheel grip, the program gives it no further "
           "meaning",
           plausible_adhesion.lowest, plausible_adhesion.highest)};
constexpr field_fact clock_fields[] = {
    {"hours", field_type::integer16, "h", 0, 23, "the clock at the start",
     "slot 86 `group2_a`, as written; the simulator's clock starts from it",
     value_check::time_of_day},
    {"minutes", field_type::integer16, "min", 0, 59, "the clock at the start",
     "slot 86 `group2_b`, as written", value_check::time_of_day},
    {"seconds", field_type::integer16, "s", 0, 59, "the clock at the start",
     "slot 86 `group2_c`, as written; the page shows the clock as 15:17:15",
     value_check::time_of_day}};
constexpr field_fact sand_fields[] = {
    an_integer("sand", "", "the sand the train carries",
               "slot 86 `group1_a`, as written; the simulator reads it, the program gives it no "
               "further meaning")};
constexpr field_fact signal_fields[] = {
    position("position", "where the signal stands",
             "cell position / 50 + 1 becomes kind 1 (an occupied cell: error 16) and the cells 2, "
             "4, 6, 8 before it get approach marks; near a slowdown the protection pass puts a "
             "code cut 180 in front of it"),
    one_digit("sx", "the s side's code",
              "units of `param4` as sx × 3 + dx, and tens of the approach marks; 2 keeps tempo in "
              "`signal_time`; what a code shows is the simulator's",
              2),
    one_digit("s1", "the s side's first digit",
              "tens of `param1` = s1 × 10 + d1; the aspect it stands for is the simulator's, the "
              "program only packs it; 10 or more does not fit its place"),
    one_digit("s2", "the s side's second digit",
              "tens of `param2` = s2 × 10 + d2; an aspect of the simulator's"),
    one_digit("s3", "the s side's third digit",
              "tens of `param3` = s3 × 10 + d3; an aspect of the simulator's"),
    one_digit("rapp", "a one-digit switch (0 or 1 in the carried rows)",
              "tens of `param4` = rapp × 10 + sx × 3 + dx; the simulator reads it, the program "
              "gives it no further meaning"),
    one_digit("dx", "the d side's code",
              "with sx, units of `param4` and tens of the approach marks (sx × 3 + dx); a code of "
              "the simulator's",
              2),
    one_digit("d1", "the d side's first digit",
              "units of `param1`; an aspect of the simulator's, the program only packs it; 10 "
              "or more spills into s1's tens"),
    one_digit("d2", "the d side's second digit", "units of `param2`; an aspect of the simulator's"),
    one_digit("d3", "the d side's third digit", "units of `param3`; an aspect of the simulator's"),
    a_long("tempo", "", "a time of the signal",
           "`signal_time` when sx is 2 (1 to 100 become 101; low 8 bits), else 0; the simulator "
           "reads it, the program gives it no further meaning",
           0, 255)};
constexpr field_fact slowdown_fields[] = {
    position("x", "where the slowdown begins",
             "start cell x / 50 + 1, kind 3; beyond 1500 m a warning cell (x − 1200) / 50 + 1, "
             "kind 4; the protection pass adds code cuts 180 at 5 to 7, 11 to 13 and 18 to 20 "
             "cells before the start"),
    a_speed("v", "the slowdown's speed",
            "`param1` of the warning, start and end cells; below 110 km/h the protection pass "
            "puts a code cut 180 every 8 cells inside the slowdown"),
    checked(a_long("l", "m", "the slowdown's length",
                   "end cell (x + l) / 50 + 1, kind 2 (with 0 the start takes the one cell); an "
                   "end past the grid: error 15"),
            value_check::length, 0, long_highest),
    a_long("f_tt", "", "a value of the start and the end",
           "`param3` of the start and end cells, low 16 bits; the simulator reads it, the program "
           "gives it no further meaning",
           integer_lowest, integer_highest),
    a_long("f_ta", "", "not 0: four cells lead up to the warning",
           "not 0 and x beyond 1500 m: the four cells before the warning become kind 5, numbered "
           "1 (nearest) to 4 (one taken: error 20); 0 leaves them as they are"),
    a_long("d_v", "", "a value of the slowdown's cells",
           "when not 0, `param2` of the warning, start and end cells, and of the kind 5 cells "
           "their number; the simulator reads it",
           integer_lowest, integer_highest)};
constexpr field_fact code_cut_fields[] = {
    position("position", "where the code is cut",
             "cell position / 50 (no + 1) becomes kind 12, or kind 13 without a code (an occupied "
             "cell: error 7)"),
    a_long("code", "", "the code; 0 or less (written AC): a cut without a code",
           "`param1` of the kind 12 cell (above 32767: error 25); the protection pass may lower it "
           "to 180 in front of a signal near a slowdown; the simulator reads it",
           long_lowest, integer_highest)};
constexpr field_fact station_fields[] = {
    position("position", "where the station stands",
             "`position` of the slot; a multiple of 50 (error 8) with position + 800 within the "
             "grid (error 15); the area and the stop cell are worked out from it"),
    checked(a_byte("type", "", "the station type",
                   "below 25: a stop cell, kind 10, at `finish` / 50 − 1, and but for 5 and 6 "
                   "approach marks 81 to 84 before it; 25 and above: slot and area only; area 5, "
                   "6: P − len to P + 150; 7, 8: P − len to P + len (both clear the third flag); "
                   "others: P ± len / 2; the simulator gives each type its meaning"),
            value_check::type_code, 1, 25),
    checked(a_long("length", "m", "the station's length, a multiple of 100",
                   "not stored: it gives the area (`start`, `finish`) and below 600 clears the "
                   "second flag; not a multiple of 100: error 9"),
            value_check::length, 0, long_highest),
    a_byte("flag_a", "", "the first flag",
           "`flag_a` of the slot, as written; the simulator reads it, the program gives it "
           "no further meaning"),
    a_byte("flag_b", "", "the second flag",
           "`flag_b` of the slot, cleared for a station shorter than 600 m and in slot 1; the "
           "simulator reads it, the program gives it no further meaning"),
    a_byte("flag_c", "", "the third flag",
           "not 0: `finish`, the stop cell and the marks lie 50 m further (not for types 5 to 8); "
           "`flag_c` of the slot, cleared for types 5 to 8 and in slot 1 (which keeps the 50 m)"),
    an_integer("group1_a", "", "a value for the simulator",
               "`group1_a` of the slot, as written; the simulator reads it, the program gives it "
               "no further meaning"),
    an_integer("group1_b", "", "a value for the simulator",
               "`group1_b` of the slot, as written; the simulator reads it, the program gives it "
               "no further meaning"),
    a_byte("group1_c", "", "a value for the simulator",
           "`group1_c` of the slot, as written; the simulator reads it, the program gives it "
           "no further meaning"),
    an_integer("group2_a", "", "a value for the simulator",
               "`group2_a` of the slot, as written; the simulator reads it, the program gives it "
               "no further meaning"),
    an_integer("group2_b", "", "a value for the simulator",
               "`group2_b` of the slot, as written; the simulator reads it, the program gives it "
               "no further meaning"),
    an_integer("group2_c", "", "a value for the simulator",
               "`group2_c` of the slot, as written; the simulator reads it, the program gives it "
               "no further meaning"),
    a_byte("dwell", "s", "the stop's dwell",
           "`dwell` of the slot, as written; the simulator reads it as the stop time"),
    checked(a_long("hours", "h", "the departure time",
                   "`departure_time` = (hours × 60 + minutes) × 60 + seconds; the simulator's "
                   "timetable reads it, the driver documents do not"),
            value_check::time_of_day, 0, 23),
    checked(a_long("minutes", "min", "the departure time", "the minutes of `departure_time`"),
            value_check::time_of_day, 0, 59),
    checked(a_long("seconds", "s", "the departure time", "the seconds of `departure_time`"),
            value_check::time_of_day, 0, 59),
    a_text("name", "the station's name",
           "`name` of the slot, Windows-1252; the simulator shows it, and the page and the "
           "reports name the station by it")};

// The tests of each keyword, in the order they are made on a field.
constexpr keyword_test length_tests[] = {{"lunghezza", "percorso", numbered::one,
                                          "lunghezza percorso"}};
// Slots 81, 82 and 83 are read from the "tre", "due" and "uno" rows, in
// that order.
constexpr keyword_test progressive_tests[] = {
    {"tre", "progressiva", numbered::three, "progressiva chilometrica tre"},
    {"due", "progressiva", numbered::two, "progressiva chilometrica due"},
    {"uno", "progressiva", numbered::one, "progressiva chilometrica uno"}};
constexpr keyword_test background_tests[] = {
    {"sfondo", "uno", numbered::one, "sfondo uno"},
    {"sfondo", "due", numbered::two, "sfondo due"},
    {"sfondo", "tre", numbered::three, "sfondo tre"}};
constexpr keyword_test repetition_tests[] = {
    {"segnali", "ripetizione", numbered::one, "ripetizione segnali"}};
constexpr keyword_test gradient_tests[] = {{"pendenza", {}, numbered::one, "pendenza"}};
constexpr keyword_test curve_tests[] = {{curve_word, {}, numbered::one, curve_word}};
constexpr keyword_test tunnel_tests[] = {{"montagna", {}, numbered::one, "montagna"}};
constexpr keyword_test speed_boards_tests[] = {
    {"indicatori_v", {}, numbered::one, "indicatori_vmax"}};
constexpr keyword_test sign_tests[] = {
    {"cartello", "indicat", numbered::one, "cartello_indicatore"}};
constexpr keyword_test braked_mass_tests[] = {
    {"frenata", "massa", numbered::one, "percentuale massa frenata"}};
constexpr keyword_test cars_tests[] = {{"vetture", {}, numbered::one, "numero vetture"}};
constexpr keyword_test speed_tests[] = {{"velocit", {}, numbered::one, "velocita"}};
constexpr keyword_test adhesion_tests[] = {{"aderenza", {}, numbered::one, "aderenza"}};
constexpr keyword_test clock_tests[] = {{"orologio", {}, numbered::one, "orologio"}};
constexpr keyword_test sand_tests[] = {{"sabbia", {}, numbered::one, "sabbia"}};
constexpr keyword_test signal_tests[] = {{"segnale", {}, numbered::one, "segnale"}};
constexpr keyword_test slowdown_tests[] = {{"rallentamento", {}, numbered::one, "rallentamento"}};
constexpr keyword_test code_cut_tests[] = {{"abbattimento", {}, numbered::one, "abbattimento"}};
constexpr keyword_test station_tests[] = {{"stazione", {}, numbered::one, "stazione"}};

constexpr std::string_view line_section_headers[] = {
    general_header, "[curve]", "[pendenze]", "[montagne]", "[cartelli]", "[indicazioni]",
    end_header};
constexpr std::string_view service_section_headers[] = {
    general_header, "[aderenze]", "[vel_limite]", "[stazioni]", "[rallentamenti]", "[segnali]",
    "[codici]", end_header};

using enum text_section;

constexpr keyword_fact table[] = {
    {row_keyword::length, "lunghezza percorso", line_general, false, length_tests, length_fields,
     false, false, false, general_header, "slot 84 `finish`; makes the grid and the plan", "1, 25",
     "lunghezza percorso,    63500"},
    {row_keyword::progressive, "progressiva chilometrica", line_general, true, progressive_tests,
     progressive_fields, false, true, false, general_header,
     "slots 81 (tre), 82 (due), 83 (uno) as read, then ordered", "2, 25",
     "progressiva chilometrica tre,    55500,    60300,    1"},
    {row_keyword::background, "sfondo", line_general, true, background_tests, background_fields,
     false, false, false, general_header, "slot 85 `start` (uno), `position` (due), `finish` (tre)", "none", "sfondo uno,    70000"},
    {row_keyword::repetition, "ripetizione segnali", line_general, true, repetition_tests,
     repetition_fields, false, false, false, general_header,
     "slot 86 `start`, `finish`; `position` 4 or 9, from the keyword", "3, 4, 5",
     "ripetizione segnali 4 codici,    0,    60750"},
    {row_keyword::gradient, "pendenza", line_main, false, gradient_tests, gradient_fields, false,
     true, false, "[pendenze]", "`gradient` of the cells from position / 50 on", "15, 25",
     "pendenza,  600,   1"},
    {row_keyword::curve, "curva", line_main, false, curve_tests, curve_fields, false, true, false,
     "[curve]", "the track plan; class digit 1 to 6 and sense letter in the keyword",
     "15, 103", "curvas4,  900,  1100"},
    {row_keyword::tunnel, "montagna", line_main, false, tunnel_tests, tunnel_fields, true, true,
     false, "[montagne]", "`mountain_type` and tunnel markers", "15, 25",
     "montagna,   29150,  32500,  11"},
    {row_keyword::speed_boards, "indicatori_vmax", line_main, false, speed_boards_tests,
     speed_boards_fields, true, true, true, "[cartelli]", "a kind 6 cell", "15, 21, 25",
     "indicatori_vmax,  700,  130,  140,  150,  0,  ,  ,  ,  0"},
    {row_keyword::sign, "cartello_indicatore", line_main, false, sign_tests, sign_fields, true,
     true, false, "[indicazioni]", "a kind 14 cell and a slot from 80 down",
     "6, 10, 15, 25", "cartello_indicatore,  650,   (CAVALCAVIA)( Km 0.661 )"},
    {row_keyword::braked_mass, "percentuale massa frenata", service, false, braked_mass_tests,
     braked_mass_fields, false, false, false, general_header, "slot 84 `start`", "25",
     "percentuale massa frenata,    105"},
    {row_keyword::cars, "numero vetture", service, false, cars_tests, cars_fields, false, false,
     false, general_header, "slot 84 `position`", "25", "numero vetture,    14"},
    {row_keyword::speed, "velocita", service, false, speed_tests, speed_fields, false, true, false,
     "[vel_limite]", "`speed_limit` of the cells from position / 50 on", "15, 25",
     "velocita,     650,   130"},
    {row_keyword::adhesion, "aderenza", service, false, adhesion_tests, adhesion_fields, false,
     true, false, "[aderenze]", "`adhesion` of the cells from position / 50 on", "15, 25",
     "aderenza,   29150,    82"},
    {row_keyword::clock, "orologio", service, false, clock_tests, clock_fields, false, false, false,
     general_header, "slot 86 `group2_a`, `group2_b`, `group2_c`", "25", "orologio,    15              17            15 "},
    {row_keyword::sand, "sabbia", service, false, sand_tests, sand_fields, false, false, false,
     general_header, "slot 86 `group1_a`", "25", "sabbia,    300"},
    {row_keyword::signal, "segnale", service, false, signal_tests, signal_fields, true, true, true,
     "[segnali]", "a kind 1 cell and approach marks", "15, 16, 25",
     "segnale,    1950,   2, 4, 0,  0, 0,    0,  0,0,0, 0"},
    {row_keyword::slowdown, "rallentamento", service, false, slowdown_tests, slowdown_fields, true,
     true, true, "[rallentamenti]", "kind 4, 3, 2 (and 5) cells",
     "15, 17, 18, 19, 20, 25", "rallentamento,   42150,    30,  250, 0,  0,  0"},
    {row_keyword::code_cut, "abbattimento", service, false, code_cut_tests, code_cut_fields, true,
     true, true, "[codici]", "a kind 12 or 13 cell", "7, 15, 25",
     "abbattimento,   60550,   AC"},
    {row_keyword::station, "stazione", service, false, station_tests, station_fields, true, true,
     false, "[stazioni]", "the next station slot, a kind 10 cell",
     "8, 9, 10, 15, 22, 24, 25",
     "stazione,   60300,  2,  700,  1, 1, 0,  5,6,0,  2,1,1,   90,  16,12, 0, ORMEDA S.V."},
};
static_assert(std::size(table) == row_keyword_count);

constexpr bool table_in_keyword_order() {
  for (std::size_t i = 0; i < std::size(table); ++i) {
    if (static_cast<std::size_t>(table[i].keyword) != i) return false;
  }
  return true;
}
static_assert(table_in_keyword_order());

// The type a member of a typed row is read as.
template <class T>
constexpr field_type type_of_member() {
  if constexpr (std::is_same_v<T, std::uint8_t>) {
    return field_type::byte8;
  } else if constexpr (std::is_same_v<T, std::int16_t>) {
    return field_type::integer16;
  } else if constexpr (std::is_same_v<T, std::int32_t>) {
    return field_type::long32;
  } else {
    static_assert(std::is_same_v<T, std::string_view>);
    return field_type::text;
  }
}

// Each typed row's values match its table row in number and type.
template <std::size_t K>
constexpr bool row_matches_table() {
  using row = std::variant_alternative_t<K, typed_row>;
  constexpr auto values = row_values<row>;
  const keyword_fact& fact = table[K];
  if (fact.fields.size() != std::tuple_size_v<decltype(values)>) return false;
  bool same = true;
  std::size_t i = 0;
  std::apply(
      [&](auto... member) {
        ((same = same &&
                 fact.fields[i++].type ==
                     type_of_member<std::remove_cvref_t<decltype(row{}.*member)>>()),
         ...);
      },
      values);
  return same;
}

template <std::size_t... K>
constexpr bool rows_match_table(std::index_sequence<K...>) {
  return (row_matches_table<K>() && ...);
}
static_assert(rows_match_table(std::make_index_sequence<row_keyword_count>{}),
              "a typed row and its keyword's fields disagree");

}  // namespace

std::span<const keyword_fact> keyword_table() { return table; }

const keyword_fact& facts_of(row_keyword keyword) {
  return table[static_cast<std::size_t>(keyword)];
}

const field_fact* field_of(row_keyword keyword, std::int32_t index) {
  const auto fields = facts_of(keyword).fields;
  if (index < 0 || static_cast<std::size_t>(index) >= fields.size()) return nullptr;
  return &fields[static_cast<std::size_t>(index)];
}

bool passes(const keyword_test& test, bool exact_case, std::string_view field) {
  const auto contains = [&](std::string_view word) {
    return exact_case ? scenario::contains_exact(field, word)
                      : scenario::contains_ignoring_case(field, word);
  };
  return contains(test.first) && contains(test.second);
}

std::int64_t type_lowest(field_type type) {
  switch (type) {
    case field_type::byte8:
      return 0;
    case field_type::integer16:
      return integer_lowest;
    case field_type::long32:
      return long_lowest;
    case field_type::text:
      return 0;
  }
  return 0;
}

std::int64_t type_highest(field_type type) {
  switch (type) {
    case field_type::byte8:
      return 255;
    case field_type::integer16:
      return integer_highest;
    case field_type::long32:
      return long_highest;
    case field_type::text:
      return 0;
  }
  return 0;
}

std::string_view type_name(field_type type) {
  switch (type) {
    case field_type::byte8:
      return "Byte";
    case field_type::integer16:
      return "Integer";
    case field_type::long32:
      return "Long";
    case field_type::text:
      return "text";
  }
  return "text";
}

std::int32_t curve_class_of(std::string_view field) {
  for (char digit = '1'; digit <= '6'; ++digit) {
    if (field.find(digit) != std::string_view::npos) return digit - '0';
  }
  return 0;
}

namespace {

std::string lower_case(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

// Where the field's letters after the curve word begin.
std::size_t after_curve_word(std::string_view lower) {
  const std::size_t at = lower.find(curve_word);
  return at == std::string_view::npos ? 0 : at + curve_word.size();
}

}  // namespace

bool curve_sense_written_plainly(std::string_view field) {
  const std::string lower = lower_case(field);
  int sense_letters = 0;
  for (const char c : std::string_view(lower).substr(after_curve_word(lower))) {
    if (c == negative_sense_letter[0] || c == positive_sense_letter[0]) {
      ++sense_letters;
    } else if (std::isalpha(static_cast<unsigned char>(c)) != 0 ||
               static_cast<unsigned char>(c) >= 0x80) {
      return false;
    }
  }
  return sense_letters <= 1;
}

std::string curve_sense_word(std::string_view field) {
  const std::string lower = lower_case(field);
  const std::size_t from = after_curve_word(lower);
  const std::size_t at = lower.find(negative_sense_letter, from);
  if (at == std::string::npos) return {};
  const auto is_letter = [&](std::size_t i) {
    return std::isalpha(static_cast<unsigned char>(lower[i])) != 0;
  };
  std::size_t begin = at;
  while (begin > from && is_letter(begin - 1)) --begin;
  std::size_t end = at + 1;
  while (end < lower.size() && is_letter(end)) ++end;
  return std::string(field.substr(begin, end - begin));
}

std::string curve_keyword(bool negative_sense, std::int32_t curve_class) {
  return std::string(curve_word) +
         std::string(negative_sense ? negative_sense_letter : positive_sense_letter) +
         std::to_string(curve_class);
}

bool curve_sense_negative(std::string_view field) {
  return scenario::contains_ignoring_case(field, negative_sense_letter);
}

std::int32_t repetition_codes_of(std::string_view field) {
  if (scenario::contains_exact(field, "4")) return 4;
  if (scenario::contains_exact(field, "9")) return 9;
  return 0;
}

std::span<const std::string_view> line_headers() { return line_section_headers; }
std::span<const std::string_view> service_headers() { return service_section_headers; }

namespace {

template <std::size_t K>
read_typed_row read_row_of(const keyword_test& test, std::string_view field,
                           scenario::field_reader& in) {
  using row_type = std::variant_alternative_t<K, typed_row>;
  row_type row = row_named_by<row_type>(test, field);
  const bool complete = read_values(in, row) == value_count<row_type>;
  return {typed_row{std::in_place_index<K>, row}, complete};
}

template <std::size_t... K>
read_typed_row read_row_by_index(std::size_t index, const keyword_test& test,
                                 std::string_view field, scenario::field_reader& in,
                                 std::index_sequence<K...>) {
  read_typed_row out;
  ((index == K ? (out = read_row_of<K>(test, field, in), true) : false) || ...);
  return out;
}

}  // namespace

read_typed_row read_row(const keyword_fact& keyword, const keyword_test& test,
                        std::string_view field, scenario::field_reader& in) {
  return read_row_by_index(static_cast<std::size_t>(keyword.keyword), test, field, in,
                           std::make_index_sequence<row_keyword_count>{});
}

}  // namespace compiler
