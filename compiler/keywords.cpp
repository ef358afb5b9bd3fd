#include "compiler/keywords.h"

#include <array>
#include <limits>
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

constexpr field_fact position(std::string_view name = "position") {
  return {name, field_type::long32, "m", long_lowest, long_highest, "a place on the line"};
}
constexpr field_fact a_long(std::string_view name, std::string_view unit, std::string_view meaning,
                            std::int64_t lowest = long_lowest, std::int64_t highest = long_highest) {
  return {name, field_type::long32, unit, lowest, highest, meaning};
}
constexpr field_fact an_integer(std::string_view name, std::string_view unit,
                                std::string_view meaning) {
  return {name, field_type::integer16, unit, integer_lowest, integer_highest, meaning};
}
constexpr field_fact a_byte(std::string_view name, std::string_view unit, std::string_view meaning) {
  return {name, field_type::byte8, unit, 0, 255, meaning};
}
constexpr field_fact a_text(std::string_view name, std::string_view meaning) {
  return {name, field_type::text, "", 0, 32767, meaning};
}
constexpr field_fact one_digit(std::string_view name, std::string_view meaning,
                               std::int64_t highest = 9) {
  return {name, field_type::long32, "", 0, highest, meaning, value_check::one_digit};
}
constexpr field_fact a_length(std::string_view name, std::string_view meaning) {
  return {name, field_type::long32, "m", 0, long_highest, meaning, value_check::length};
}
// An hour, a minute or a second of a time of day, read as `type`.
constexpr field_fact time_part(std::string_view name, field_type type, std::string_view unit,
                               std::int64_t highest, std::string_view meaning) {
  return {name, type, unit, 0, highest, meaning, value_check::time_of_day};
}

// The values of each keyword, in the order its row writes them.
constexpr field_fact length_fields[] = {
    a_long("length", "m", "the length L of the line; the grid and the plan reach 7000 m beyond",
           min_line_length_m, max_line_length_m)};
constexpr field_fact progressive_fields[] = {
    position("start"), a_long("reference", "m", "the count at which the section's kilometres run"),
    a_long("flag", "", "1: the reference takes 100 m more")};
constexpr field_fact background_fields[] = {
    a_long("value", "", "a background setting of the simulator")};
constexpr field_fact repetition_fields[] = {
    position("from"), position("to")};
constexpr field_fact gradient_fields[] = {
    position(), a_long("gradient", "per mille", "the gradient from this position on, signed",
                       plausible_gradient.lowest, plausible_gradient.highest)};
constexpr field_fact curve_fields[] = {
    position("start"), a_length("length", "how far the curve runs")};
constexpr field_fact tunnel_fields[] = {
    position("start"), position("end"),
    {"type", field_type::long32, "", 1, 13, "the tunnel type; above 10 the tunnel carries markers",
     value_check::type_code}};
constexpr field_fact speed_boards_fields[] = {
    position(),
    a_long("vas", "km/h", "s side, rank A", plausible_speed.lowest, plausible_speed.highest),
    a_long("vbs", "km/h", "s side, rank B", plausible_speed.lowest, plausible_speed.highest),
    a_long("vcs", "km/h", "s side, rank C", plausible_speed.lowest, plausible_speed.highest),
    one_digit("strisces", "s side stripes"),
    a_long("vad", "km/h", "d side, rank A", plausible_speed.lowest, plausible_speed.highest),
    a_long("vbd", "km/h", "d side, rank B", plausible_speed.lowest, plausible_speed.highest),
    a_long("vcd", "km/h", "d side, rank C", plausible_speed.lowest, plausible_speed.highest),
    one_digit("strisced", "d side stripes")};
constexpr field_fact sign_fields[] = {position(), a_text("sign text", "what the sign shows")};
constexpr field_fact braked_mass_fields[] = {
    a_long("braked-mass percentage", "%", "the train's braked mass")};
constexpr field_fact cars_fields[] = {a_long("number of cars", "", "the train's cars")};
constexpr field_fact speed_fields[] = {
    position(), a_long("speed", "km/h", "the speed limit from this position on",
                       plausible_speed.lowest, plausible_speed.highest)};
constexpr field_fact adhesion_fields[] = {
    position(), a_long("adhesion", "%", "the adhesion from this position on (100: full)",
                       plausible_adhesion.lowest, plausible_adhesion.highest)};
constexpr field_fact clock_fields[] = {
    time_part("hours", field_type::integer16, "h", 23, "the clock at the start"),
    time_part("minutes", field_type::integer16, "min", 59, "the clock at the start"),
    time_part("seconds", field_type::integer16, "s", 59, "the clock at the start")};
constexpr field_fact sand_fields[] = {an_integer("sand", "", "the sand the train carries")};
constexpr field_fact signal_fields[] = {
    position(),
    one_digit("sx", "the s side's code", 2),
    one_digit("s1", "s side, first value"),
    one_digit("s2", "s side, second value"),
    one_digit("s3", "s side, third value"),
    one_digit("rapp", "repetition"),
    one_digit("dx", "the d side's code", 2),
    one_digit("d1", "d side, first value"),
    one_digit("d2", "d side, second value"),
    one_digit("d3", "d side, third value"),
    a_long("tempo", "", "a time value, stored when sx is 2", 0, 255)};
constexpr field_fact slowdown_fields[] = {
    position("x"),
    a_long("v", "km/h", "the slowdown's speed", plausible_speed.lowest, plausible_speed.highest),
    a_length("l", "the slowdown's length"),
    a_long("f_tt", "", "copied to the start and end cells", integer_lowest, integer_highest),
    a_long("f_ta", "", "not 0: the four cells ahead of the warning are marked"),
    a_long("d_v", "", "copied to the slowdown's cells when not 0", integer_lowest, integer_highest)};
constexpr field_fact code_cut_fields[] = {
    position(), a_long("code", "", "the code; 0 or less (written AC): a cut without a code",
                       long_lowest, integer_highest)};
constexpr field_fact station_fields[] = {
    position(),
    {"type", field_type::byte8, "", 1, 25, "the station type", value_check::type_code},
    a_length("length", "the station's length, a multiple of 100"),
    a_byte("flag_a", "", "first flag"),
    a_byte("flag_b", "", "second flag; cleared below 600 m"),
    a_byte("flag_c", "", "third flag"),
    an_integer("group1_a", "", "stored for the simulator"),
    an_integer("group1_b", "", "stored for the simulator"),
    a_byte("group1_c", "", "stored for the simulator"),
    an_integer("group2_a", "", "stored for the simulator"),
    an_integer("group2_b", "", "stored for the simulator"),
    an_integer("group2_c", "", "stored for the simulator"),
    a_byte("dwell", "s", "the stop's dwell"),
    time_part("hours", field_type::long32, "h", 23, "the departure time"),
    time_part("minutes", field_type::long32, "min", 59, "the departure time"),
    time_part("seconds", field_type::long32, "s", 59, "the departure time"),
    a_text("name", "the station's name")};

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
