#include "fuzz/seed_inputs.h"

#include <fmt/format.h>

#include <initializer_list>
#include <random>
#include <string_view>

#include "fuzz/compile_input.h"
#include "scenario/line_text.h"
#include "scenario/service_text.h"
#include "scenario/text_file.h"

namespace fuzzing {

namespace {

std::string rows_of(std::initializer_list<std::string_view> rows) {
  std::string text;
  for (const std::string_view row : rows) {
    text += row;
    text += "\r\n";
  }
  return text;
}

// A 2 km line (grid upper bound 180) with one row of every kind, and a
// service on it with one row of every kind; both compile cleanly, and their
// short grid keeps each fuzz run cheap.
const std::string small_line = rows_of({
    "[generale]",
    "lunghezza percorso,    2000",
    "progressiva chilometrica uno,    500,    1000,    1",
    "sfondo uno,    70000",
    "sfondo due,    50000",
    "sfondo tre,    1",
    "ripetizione segnali 4 codici,    0,    1500",
    "[curve]",
    "curvas4,  300,  200",
    "curvad1,  900,  100",
    "[pendenze]",
    "pendenza,  0,   0",
    "pendenza,  600,   1",
    "pendenza,  700,   -17",
    "[montagne]",
    "montagna,   1000,  1500,  11",
    "montagna,   1600,  1800,  12",
    "[cartelli]",
    "indicatori_vmax,  700,  130,  140,  150,  0,  ,  ,  ,  0",
    "indicatori_vmax,  1200,  110,  120,  140,  0,  110,  120,  140,  0",
    "[indicazioni]",
    "cartello_indicatore,  650,   (CAVALCAVIA)( Km 0.661 )",
    "[fine]",
});

const std::string small_service = rows_of({
    "[generale]",
    "numero vetture,    14",
    "percentuale massa frenata,    105",
    "sabbia,    300",
    "orologio,    15              17            15 ",
    "aderenza,   0,    100",
    "aderenza,   1000,    82",
    "velocita,       0,    80",
    "velocita,     650,   130",
    "stazione,    500,  4,  400,  0, 0, 0,   0,0,0,  0,0,0,   30,  15,17,15, VESCARA",
    "stazione,   3000, 22,  300,  0, 1, 1,   0,0,0,  0,0,0,   30,  15,20,15, ORMEDA",
    "rallentamento,   5000,    30,  250, 0,  1,  7",
    "segnale,    1950,   2, 4, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,    4400,   2, 2, 3,  1, 1,    2,  2,1,1, 50",
    "segnale,    5600,   2, 4, 0,  0, 0,    2,  2,0,0, 140",
    "abbattimento,   6000,   AC",
    "abbattimento,   6100,   270",
    "[fine]",
});

std::string small(std::string_view line_rows, std::string_view service_rows) {
  return join_input('1', line_rows, service_rows);
}

// The small line with `rows` in place of its main part.
std::string line_with(std::string_view rows) {
  return rows_of({"[generale]", "lunghezza percorso,    2000", "[curve]"}) + std::string(rows) +
         "[fine]\r\n";
}

std::string service_with(std::string_view rows) {
  return "[generale]\r\n" + std::string(rows) + "[fine]\r\n";
}

std::string repeated(std::string_view row, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    text += row;
    text += "\r\n";
  }
  return text;
}

std::string numbered_rows(std::string_view format, int count, int first, int step) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    text += fmt::format(fmt::runtime(format), first + i * step);
    text += "\r\n";
  }
  return text;
}

std::string random_bytes(std::size_t count) {
  std::mt19937 generator(7);
  std::string bytes(count, '\0');
  for (char& c : bytes) c = static_cast<char>(generator() & 0xFF);
  return bytes;
}

// Built by appending rather than replacing in place: GCC 12 at -O3 sees an
// overlapping copy in std::string::replace here that cannot happen, and
// refuses the build under -Werror.
std::string replaced(const std::string& text, std::string_view from, std::string_view to) {
  std::string out;
  out.reserve(text.size());
  std::size_t start = 0;
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, start)) {
    out.append(text, start, at - start);
    out.append(to);
    start = at + from.size();
  }
  out.append(text, start, std::string::npos);
  return out;
}

}  // namespace

std::vector<named_input> seed_inputs() {
  const std::string line = scenario::encode_line_list(scenario::line_text_lines()).bytes;
  const std::string service = scenario::encode_line_list(scenario::service_text_lines()).bytes;
  std::vector<named_input> seeds = {
      {"embedded", join_input('1', line, service)},
      {"embedded_without_plan", join_input('0', line, service)},
      {"embedded_line_missing", join_input('3', line, service)},
      {"embedded_service_missing", join_input('5', line, service)},
      {"small", small(small_line, small_service)},
      {"small_without_plan", join_input('0', small_line, small_service)},
      {"empty", ""},
      {"empty_texts", join_input('1', "", "")},
      {"random_bytes", random_bytes(4096)},
      {"nul_bytes", small(small_line, replaced(small_service, ",", std::string(",\0", 2)))},
      {"no_final_line_end", small(small_line.substr(0, small_line.size() - 2),
                                  small_service.substr(0, small_service.size() - 2))},
      {"lone_cr", small(replaced(small_line, "\r\n", "\r"), replaced(small_service, "\r\n", "\r"))},
      {"lone_lf", small(replaced(small_line, "\r\n", "\n"), replaced(small_service, "\r\n", "\n"))},
      {"length_too_large", small(replaced(small_line, "2000", "99999999999"), small_service)},
      {"length_below_long", small(replaced(small_line, "2000", "-2147483649"), small_service)},
      {"length_negative", small(replaced(small_line, "2000", "-50"), small_service)},
      {"length_limit", small(replaced(small_line, "    2000", "1000000"), small_service)},
      {"clock_past_integer",
       small(small_line, replaced(small_service, "15              17", "32768   17"))},
      {"station_type_past_byte",
       small(small_line, replaced(small_service, "500,  4,", "500,  256,"))},
      {"number_forms",
       small(line_with("pendenza,  1e5,  0x10\r\npendenza,  +5,  - 5\r\n"), small_service)},
      {"positions_at_grid_ends",
       small(line_with("pendenza,  8900,  1\r\nindicatori_vmax,  8850,  80,80,80,0,,,,0\r\n"
                       "cartello_indicatore,  8801,  (X)\r\nmontagna,  8900, 99999, 11\r\n"),
             service_with("velocita,  8900,  80\r\nsegnale,  8850, 2,4,0,0,0,0,0,0,0,0\r\n"
                          "rallentamento,  8800, 30, 50, 0, 1, 0\r\nabbattimento,  8900, 3\r\n"
                          "stazione,  8200, 4, 400, 0,0,0, 0,0,0, 0,0,0, 0, 0,0,0, LAST\r\n"))},
      {"positions_past_grid", small(line_with("cartello_indicatore,  8901,  (X)\r\n"),
                                    service_with("abbattimento,  8901, 3\r\n"))},
      {"positions_zero",
       small(line_with("montagna,  0,  400,  11\r\nindicatori_vmax,  0,  80,80,80,0,,,,0\r\n"
                       "cartello_indicatore,  100,  (X)\r\n"),
             service_with("segnale,  0, 2,4,0,0,0,0,0,0,0,0\r\n"
                          "rallentamento,  0, 30, 500, 0, 1, 0\r\nabbattimento,  0, AC\r\n"))},
      {"positions_negative",
       small(line_with("montagna,  -400,  400,  11\r\nindicatori_vmax,  -50,  80,80,80,0,,,,0\r\n"
                       "pendenza,  -500,  3\r\n"),
             service_with("velocita,  -300, 60\r\naderenza,  -300, 60\r\n"
                          "segnale,  -50, 2,4,0,0,0,0,0,0,0,0\r\n"
                          "rallentamento,  -2000, 30, 50, 0, 1, 0\r\n"))},
      {"tunnels_81",
       small(line_with(numbered_rows("montagna, {}, 10, 11", 81, 0, 20)), small_service)},
      {"signs_81",
       small(line_with(numbered_rows("cartello_indicatore, {}, (X)", 81, 0, 100)), small_service)},
      {"stations_80",
       small(line_with(""),
             service_with(numbered_rows("stazione, {}, 25, 0, 0,0,0, 0,0,0, 0,0,0, 0, 0,0,0, S", 80,
                                        0, 400)))},
      {"curve_past_plan", small(line_with("curvas4,  8000,  1100\r\n"), small_service)},
      {"rows_out_of_order", small(line_with(numbered_rows("pendenza, {}, 3", 40, 8000, -200)),
                                  service_with(numbered_rows("velocita, {}, 60", 40, 8000, -200) +
                                               numbered_rows("aderenza, {}, 60", 40, 8000, -200)))},
      {"unterminated_quote", small(line_with("cartello_indicatore,  650,  \"(OPEN\r\n"),
                                   service_with("stazione, 500, 4, 400, 0,0,0, 0,0,0, 0,0,0, 0, "
                                                "0,0,0, \"OPEN\r\n"))},
      {"keyword_repeated",
       small(line_with(repeated("pendenza,", 2000)), service_with(repeated("segnale,", 2000)))},
  };
  return seeds;
}

}  // namespace fuzzing
