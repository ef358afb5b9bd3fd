// Description texts written by careless or hostile hands: each must end in a
// clear error code or a defined result, and every compile that leaves a grid
// must still encode into files of exactly the sizes their layouts give.

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "compiler/compile.h"
#include "compiler/encoding.h"
#include "tests/test_support.h"

namespace {

using compiler::compile_outcome;
using compiler::error_code;
using test_support::compile;
using test_support::line_text;
using test_support::service_text;

constexpr std::string_view short_line = "lunghezza percorso,    2000";  // G = 180, 50 G = 9000

struct hostile_case {
  std::string name;
  std::optional<std::string> line;
  std::optional<std::string> service;
  error_code error;
  std::optional<std::int32_t> position = std::nullopt;  // checked when given
  compile_outcome outcome = compile_outcome::complete;
};

void expect_encodable(const compiler::scenario_model& state, const std::string& name) {
  EXPECT_EQ(compiler::encode_route_grid(state.grid).size(),
            state.grid.cells.size() * compiler::cell_bytes)
      << name;
  std::size_t names = 0;
  for (const auto& record : state.stations.slots) {
    EXPECT_LE(record.name.size(), compiler::max_name_length) << name;
    names += record.name.size();
  }
  EXPECT_EQ(compiler::encode_station_table(state.stations).size(),
            compiler::station_slot_count * compiler::record_fixed_bytes + names)
      << name;
  EXPECT_EQ(compiler::encode_track_plan(state.plan).size(),
            compiler::track_plan_file_size(state.plan))
      << name;
}

void check_cases(const std::vector<hostile_case>& cases) {
  for (const hostile_case& c : cases) {
    const auto built = compile(c.line, c.service);
    EXPECT_EQ(built.result.error.code, c.error) << c.name;
    if (c.position) {
      EXPECT_EQ(built.result.error.position, *c.position) << c.name;
    }
    EXPECT_EQ(built.result.outcome, c.outcome) << c.name;
    if (built.result.outcome == compile_outcome::complete) expect_encodable(built.model, c.name);
  }
}

std::string repeated(std::string_view row, int count, std::string_view end = "\r\n") {
  std::string text;
  for (int i = 0; i < count; ++i) {
    text += row;
    text += end;
  }
  return text;
}

// `count` rows made from `format` with the positions first, first + step, ...
std::string numbered(std::string_view format, int count, int first, int step) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    text += fmt::format(fmt::runtime(format), first + i * step);
    text += "\r\n";
  }
  return text;
}

std::string line_with(std::string_view rows, std::string_view length_row = short_line) {
  return test_support::text_of({"[generale]", length_row, "[curve]"}) + std::string(rows) +
         "[fine]\r\n";
}

std::string service_with(std::string_view rows) {
  return "[generale]\r\n" + std::string(rows) + "[fine]\r\n";
}

std::string station(std::int32_t position, int type, int length, std::string_view name = "S") {
  return fmt::format("stazione, {}, {}, {}, 0,0,0, 0,0,0, 0,0,0, 30, 8,0,0, {}", position, type,
                     length, name);
}

std::string random_bytes(std::size_t count, unsigned seed) {
  std::mt19937 generator(seed);
  std::string bytes(count, '\0');
  for (char& c : bytes) c = static_cast<char>(generator() & 0xFF);
  return bytes;
}

constexpr std::size_t ten_megabytes = 10 * 1024 * 1024;

TEST(HostileInput, BytesThatAreNoText) {
  const std::string valid_service = service_text({"velocita, 0, 80"});
  const std::string nul_length =
      std::string("[generale]\r\nlunghezza percorso, 2000\0\r\n", 39) + "[curve]\r\n[fine]\r\n";
  check_cases({
      {"both texts empty", "", "", error_code::general_section_missing, std::nullopt,
       compile_outcome::no_grid},
      {"empty service text", line_with(""), "", error_code::none},
      {"random bytes as the line", random_bytes(65536, 1), valid_service,
       error_code::general_section_missing, std::nullopt, compile_outcome::no_grid},
      {"random bytes as the service", line_with(""), random_bytes(65536, 2), error_code::none},
      {"random bytes after the general header", "[generale]\r\n" + random_bytes(65536, 3),
       valid_service, error_code::reading_failure, std::nullopt, compile_outcome::no_grid},
      {"NUL bytes only", std::string(4096, '\0'), std::string(4096, '\0'),
       error_code::general_section_missing, std::nullopt, compile_outcome::no_grid},
      // "2000\0" is no number and reads as 0: the grid is that of a 0 m line.
      {"NUL byte after a number", nul_length, valid_service, error_code::none},
      {"one line of 10 MB", std::string(ten_megabytes, 'x'), valid_service,
       error_code::general_section_missing, std::nullopt, compile_outcome::no_grid},
      {"10 MB of empty fields", line_with(std::string(ten_megabytes, ',') + "\r\n"), valid_service,
       error_code::none},
      {"a number of 10 MB", line_with("", "lunghezza percorso, " + std::string(ten_megabytes, '9')),
       valid_service, error_code::reading_failure, std::nullopt, compile_outcome::no_grid},
      {"a sign text of 10 MB",
       line_with("cartello_indicatore, 650, " + std::string(ten_megabytes, 'A') + "\r\n"),
       valid_service, error_code::reading_failure},
      {"a sign text of 32767 bytes",
       line_with("cartello_indicatore, 650, " + std::string(32767, 'A') + "\r\n"), valid_service,
       error_code::none},
      {"a station name of 32768 bytes", line_with(""),
       service_with(station(500, 4, 400, std::string(32768, 'N')) + "\r\n"),
       error_code::reading_failure},
  });

  const auto nul = compile(nul_length, valid_service);
  EXPECT_EQ(nul.model.grid.upper(), 140);
  const auto long_sign = compile(
      line_with("cartello_indicatore, 650, " + std::string(32767, 'A') + "\r\n"), valid_service);
  EXPECT_EQ(long_sign.model.stations.slots[80].name.size(), 32767u);
}

// Line ends of every form give the same model as CR LF; a text without a
// final line end loses only its last field, which is never examined anyway.
TEST(HostileInput, LineEndsOfEveryForm) {
  const std::string rows =
      "pendenza, 0, 0\r\npendenza, 600, 4\r\nmontagna, 1000, 1500, 11\r\n"
      "cartello_indicatore, 650, (X)\r\n";
  const std::string service_rows = "velocita, 0, 80\r\naderenza, 0, 90\r\n" + station(500, 4, 400) +
                                   "\r\nsegnale, 1950, 2,4,0,0,0,0,0,0,0,0\r\n";
  const std::string line = line_with(rows);
  const std::string service = service_with(service_rows);
  const auto reference = compile(line, service);
  ASSERT_EQ(reference.result.error.code, error_code::none);
  const std::string reference_grid = compiler::encode_route_grid(reference.model.grid);
  const std::string reference_table = compiler::encode_station_table(reference.model.stations);

  auto with_ends = [](std::string text, std::string_view end) {
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t next = text.find("\r\n", at);
      out += text.substr(at, next - at);
      out += end;
      at = next + 2;
    }
    return out;
  };
  struct ends_case {
    std::string name;
    std::string line;
    std::string service;
  };
  const std::vector<ends_case> cases = {
      {"lone CR", with_ends(line, "\r"), with_ends(service, "\r")},
      {"lone LF", with_ends(line, "\n"), with_ends(service, "\n")},
      {"no final line end", line.substr(0, line.size() - 2), service.substr(0, service.size() - 2)},
      {"LF CR pairs", with_ends(line, "\n\r"), with_ends(service, "\n\r")},
  };
  for (const ends_case& c : cases) {
    const auto built = compile(c.line, c.service);
    EXPECT_EQ(built.result.error.code, error_code::none) << c.name;
    EXPECT_EQ(compiler::encode_route_grid(built.model.grid), reference_grid) << c.name;
    EXPECT_EQ(compiler::encode_station_table(built.model.stations), reference_table) << c.name;
  }

  // A keyword row that is last, without a line end, is still taken: only the
  // field that reaches the end of the text is left unexamined.
  const auto last_row =
      compile(test_support::text_of({"[generale]", std::string(short_line), "[curve]"}) +
                  "pendenza, 600, 4",
              service);
  EXPECT_EQ(last_row.result.error.code, error_code::none);
  EXPECT_EQ(last_row.model.grid.cells[12].gradient, 104);
}

TEST(HostileInput, NumbersOutsideTheirFieldsOrInOtherForms) {
  struct number_case {
    std::string length;  // the value of the length row
    error_code error;
    std::int32_t grid_upper;  // -1: no grid
  };
  const std::vector<number_case> lengths = {
      {"99999999999", error_code::reading_failure, -1},
      {"-2147483649", error_code::reading_failure, -1},
      {"2147483648", error_code::reading_failure, -1},
      {"2147483647", error_code::line_too_long, -1},
      {"-2147483648", error_code::reading_failure, -1},
      {"-100", error_code::none, 138},  // a negative length keeps its margin
      {"-6974", error_code::none, 1},   // the shortest grid that reaches cell 1
      {"-6975", error_code::reading_failure, -1},
      {"1e-400", error_code::none, 140},  // too small for a double: rounds to 0
      {"1000001", error_code::line_too_long, -1},
      {"1000000", error_code::none, 20140},
      {"1e5", error_code::none, 2140},  // a decimal number: 100000
      {"0x10", error_code::none, 140},
      {"+5000", error_code::none, 240},
      {" - 5000", error_code::none, 140},  // "-" alone reads as 0; "5000" is a field of its own
      {"5000.0", error_code::none, 240},
      {"5000.5", error_code::none, 240},  // rounded half to even
      {"1e7", error_code::line_too_long, -1},
      {"1e10", error_code::reading_failure, -1},
      {"", error_code::none, 140},
  };
  for (const number_case& c : lengths) {
    const auto built = compile(line_with("", "lunghezza percorso, " + c.length), service_text({}));
    EXPECT_EQ(built.result.error.code, c.error) << c.length;
    EXPECT_EQ(built.model.grid.exists() ? built.model.grid.upper() : -1, c.grid_upper) << c.length;
  }

  const std::string line = line_with("");
  check_cases({
      {"32768 in an Integer field", line, service_with("orologio, 32768, 0, 0\r\n"),
       error_code::reading_failure},
      {"-32769 in an Integer field", line, service_with("sabbia, -32769\r\n"),
       error_code::reading_failure},
      {"256 in a Byte field", line, service_with(station(500, 256, 400) + "\r\n"),
       error_code::reading_failure},
      {"-1 in a Byte field", line, service_with(station(500, -1, 400) + "\r\n"),
       error_code::reading_failure},
      {"a departure time past a Long", line,
       service_with("stazione, 500, 4, 400, 0,0,0, 0,0,0, 0,0,0, 0, 596523,14,8, S\r\n"),
       error_code::reading_failure},
      {"a speed of 1278 km/h", line, service_with("velocita, 0, 1278\r\nvelocita, 100, 80\r\n"),
       error_code::reading_failure},
      {"speed boards past an Integer",
       line_with("indicatori_vmax, 700, 1639, 0, 0, 0, 0,0,0, 0\r\n"), service_text({}),
       error_code::reading_failure},
      {"a code past an Integer", line, service_with("abbattimento, 500, 32768\r\n"),
       error_code::reading_failure},
  });

  const auto edges = compile(line, service_with("orologio, 32767 -32768 +5\r\nsabbia, 2.5e2\r\n" +
                                                station(500, 255, 400) + "\r\n"));
  EXPECT_EQ(edges.result.error.code, error_code::none);
  const auto& train = edges.model.stations.slots[86];
  EXPECT_EQ(train.group2_a, 32767);
  EXPECT_EQ(train.group2_b, -32768);
  EXPECT_EQ(train.group2_c, 5);
  EXPECT_EQ(train.group1_a, 250);
  EXPECT_EQ(edges.model.stations.slots[1].station_type, 255);
}

// The short line has G = 180: a position p passes while p + 100 <= 9000.
TEST(HostileInput, PositionsAtZeroBelowItAndAtTheGridsEnd) {
  const std::string line = line_with("");
  const std::string service = service_text({});
  check_cases({
      {"gradient at 0", line_with("pendenza, 0, 5\r\n"), service, error_code::none},
      {"gradient below 0", line_with("pendenza, -500, 5\r\n"), service, error_code::none},
      {"gradient at the end", line_with("pendenza, 8900, 5\r\n"), service, error_code::none},
      {"gradient past the end", line_with("pendenza, 8901, 5\r\n"), service,
       error_code::position_beyond_grid, 8901},
      {"curve below 0", line_with("curvas4, -500, 600\r\n"), service, error_code::none},
      {"curve at the end", line_with("curvas4, 8900, 0\r\n"), service, error_code::none},
      {"curve past the end", line_with("curvas4, 8901, 0\r\n"), service,
       error_code::position_beyond_grid, 8901},
      {"tunnel at 0", line_with("montagna, 0, 500, 11\r\n"), service, error_code::none},
      {"tunnel below 0", line_with("montagna, -50, 500, 11\r\n"), service,
       error_code::position_beyond_grid, -50},
      {"tunnel ending past the grid", line_with("montagna, 8900, 2000000, 11\r\n"), service,
       error_code::none},
      {"tunnel past the end", line_with("montagna, 8901, 9000, 11\r\n"), service,
       error_code::position_beyond_grid, 8901},
      // Boards at 0 stand in cell 1, like a signal at 0 below.
      {"boards at 0", line_with("indicatori_vmax, 0, 80,80,80,0,,,,0\r\n"), service,
       error_code::none, std::nullopt, compile_outcome::fatal_error},
      {"boards below 0", line_with("indicatori_vmax, -1, 80,80,80,0,,,,0\r\n"), service,
       error_code::position_beyond_grid, -1},
      {"boards at the end", line_with("indicatori_vmax, 8900, 80,80,80,0,,,,0\r\n"), service,
       error_code::none},
      {"sign below 0", line_with("cartello_indicatore, -2147483648, (X)\r\n"), service,
       error_code::position_beyond_grid, -2147483648},
      {"sign at the end", line_with("cartello_indicatore, 8900, (X)\r\n"), service,
       error_code::none},
      {"sign past the end", line_with("cartello_indicatore, 2147483647, (X)\r\n"), service,
       error_code::position_beyond_grid, 2147483647},
      {"speed below 0", line, service_with("velocita, -300, 60\r\n"), error_code::none},
      {"adhesion at the end", line, service_with("aderenza, 8900, 60\r\n"), error_code::none},
      {"adhesion past the end", line, service_with("aderenza, 8901, 60\r\n"),
       error_code::position_beyond_grid, 8901},
      {"signal below 0", line, service_with("segnale, -50, 2,4,0,0,0,0,0,0,0,0\r\n"),
       error_code::position_beyond_grid, -50},
      {"signal near 0 keeps its markers inside the grid", line,
       service_with("segnale, 200, 2,4,0,0,0,0,0,0,0,0\r\n"), error_code::none},
      {"signal at the end", line, service_with("segnale, 8900, 2,4,0,0,0,0,0,0,0,0\r\n"),
       error_code::none},
      // A signal at 0 stands in cell 1, whose first value the final check
      // finds taken.
      {"signal at 0", line, service_with("segnale, 0, 2,4,0,0,0,0,0,0,0,0\r\n"), error_code::none,
       std::nullopt, compile_outcome::fatal_error},
      {"slowdown below 0", line, service_with("rallentamento, -100, 30, 500, 0, 1, 0\r\n"),
       error_code::position_beyond_grid, -100},
      {"slowdown ending at the last cell", line,
       service_with("rallentamento, 8900, 30, 0, 0, 0, 0\r\n"), error_code::none},
      {"slowdown ending past the grid", line,
       service_with("rallentamento, 8800, 30, 200, 0, 0, 0\r\n"), error_code::position_beyond_grid,
       8800},
      {"slowdown ending before the line", line,
       service_with("rallentamento, 2000, 30, -5000, 0, 0, 0\r\n"),
       error_code::position_beyond_grid, 2000},
      {"code cut at 0", line, service_with("abbattimento, 0, 3\r\n"), error_code::none},
      {"code cut below 0", line, service_with("abbattimento, -25, 3\r\n"),
       error_code::position_beyond_grid, -25},
      {"station at the end", line, service_with(station(8200, 25, 0) + "\r\n"), error_code::none},
      {"station past the end", line, service_with(station(8250, 25, 0) + "\r\n"),
       error_code::position_beyond_grid, 8250},
      {"station whose stop passes the grid", line, service_with(station(8200, 4, 2000) + "\r\n"),
       error_code::position_beyond_grid, 8200},
      {"station whose stop lies before the line", line,
       service_with(station(-100, 4, 400) + "\r\n"), error_code::station_stop_before_line},
  });

  const auto near_start = compile(line, service_with("segnale, 200, 2,4,0,0,0,0,0,0,0,0\r\n"));
  // Cell 5: markers in 3 and 1; those of 4 and 6 cells before would lie below
  // cell 0 and are skipped.
  EXPECT_EQ(near_start.model.grid.cells[3].approach_mark, 61);
  EXPECT_EQ(near_start.model.grid.cells[1].approach_mark, 62);
  EXPECT_EQ(near_start.model.grid.cells[0].approach_mark, 0);
}

TEST(HostileInput, TablesFilledPastTheirSlots) {
  const std::string service = service_text({});
  const std::string long_line = "lunghezza percorso,    63500";
  check_cases({
      {"80 tunnels", line_with(numbered("montagna, {}, 0, 11", 80, 0, 50), long_line), service,
       error_code::none},
      {"81 tunnels", line_with(numbered("montagna, {}, 0, 11", 81, 0, 50), long_line), service,
       error_code::reading_failure},
      {"200 tunnels", line_with(numbered("montagna, {}, 0, 11", 200, 0, 50), long_line), service,
       error_code::reading_failure},
      {"80 signs", line_with(numbered("cartello_indicatore, {}, (X)", 80, 100, 100), long_line),
       service, error_code::none},
      {"81 signs", line_with(numbered("cartello_indicatore, {}, (X)", 81, 100, 100), long_line),
       service, error_code::station_slots_exhausted},
      {"200 signs", line_with(numbered("cartello_indicatore, {}, (X)", 200, 100, 100), long_line),
       service, error_code::station_slots_exhausted},
      {"a station after 80 signs",
       line_with(numbered("cartello_indicatore, {}, (X)", 80, 100, 100), long_line),
       service_with(station(20000, 4, 400) + "\r\n"), error_code::station_slots_exhausted},
      {"80 stations", line_with("", long_line),
       service_with(numbered("stazione, {}, 25, 0, 0,0,0, 0,0,0, 0,0,0, 0, 0,0,0, S", 80, 0, 400)),
       error_code::station_slots_exhausted},
  });

  const auto tunnels =
      compile(line_with(numbered("montagna, {}, 0, 11", 200, 0, 50), long_line), service);
  // The 81st tunnel row finds the tunnel list full.
  EXPECT_EQ(tunnels.result.error.code, error_code::reading_failure);
  EXPECT_EQ(test_support::rows_read(tunnels.log, compiler::row_keyword::tunnel), 81u);
  const auto stations = compile(
      line_with("", long_line),
      service_with(numbered("stazione, {}, 25, 0, 0,0,0, 0,0,0, 0,0,0, 0, 0,0,0, S", 80, 0, 400)));
  // The 79th station is stored whole, then there is no slot below the signs.
  EXPECT_EQ(stations.model.stations.slots[79].position, 78 * 400);
  EXPECT_EQ(stations.model.stations.slots[79].name, "S");
  EXPECT_TRUE(stations.model.stations.slots[80].name.empty());
}

// The short line's plan runs to metre 9000.
TEST(HostileInput, CurvesPastThePlanAndRowsOutOfOrder) {
  const std::string service = service_text({});
  check_cases({
      {"curve ending on the last metre", line_with("curvas4, 8000, 1000\r\n"), service,
       error_code::none},
      {"curve ending past the plan", line_with("curvas4, 8000, 1001\r\n"), service,
       error_code::curve_invalid},
      {"curve of the greatest length", line_with("curvas4, 0, 2147483647\r\n"), service,
       error_code::curve_invalid},
      {"curve of negative length", line_with("curvas4, 500, -2147483648\r\n"), service,
       error_code::none},
      {"curve behind the plan cursor", line_with("curvas4, 5000, 100\r\ncurvad1, 100, 100\r\n"),
       service, error_code::none},
      {"gradients descending", line_with(numbered("pendenza, {}, 3", 400, 8900, -20)), service,
       error_code::none},
      {"speeds and adhesions descending", line_with(""),
       service_with(numbered("velocita, {}, 60", 400, 8900, -20) +
                    numbered("aderenza, {}, 60", 400, 8900, -20)),
       error_code::none},
      {"stations descending", line_with(""),
       service_with(station(4000, 4, 400) + "\r\n" + station(2000, 4, 400) + "\r\n"),
       error_code::stations_too_close, 2000},
      {"length row after the general section",
       test_support::text_of(
           {"[generale]", "[curve]", std::string(short_line), "pendenza, 0, 1", "[fine]"}),
       service, error_code::reading_failure, std::nullopt, compile_outcome::no_grid},
      {"service rows before its general header", line_with(""),
       "velocita, 0, 80\r\n" + station(500, 4, 400) + "\r\n[generale]\r\n[fine]\r\n",
       error_code::none},
  });

  const auto last_metre = compile(line_with("curvas4, 8000, 1000\r\n"), service);
  EXPECT_EQ(last_metre.model.plan.filled, 9001);
}

TEST(HostileInput, QuotesLeftOpen) {
  const std::string rest = "(OPEN\r\npendenza, 600, 4\r\n[fine]\r\n";
  const auto sign =
      compile(test_support::text_of({"[generale]", std::string(short_line), "[curve]"}) +
                  "cartello_indicatore, 650, \"" + rest,
              service_text({}));
  // The quoted field takes the rest of the text: no row after it is read.
  EXPECT_EQ(sign.result.error.code, error_code::none);
  EXPECT_EQ(sign.model.stations.slots[80].name, rest);
  EXPECT_EQ(sign.model.grid.cells[12].gradient, 100);

  const auto keyword = compile(line_with("\"pendenza, 600, 4\r\n"), service_text({}));
  EXPECT_EQ(keyword.result.error.code, error_code::none);
  EXPECT_EQ(keyword.model.grid.cells[12].gradient, 100);

  const auto name = compile(line_with(""), service_with("stazione, 500, 4, 400, 0,0,0, 0,0,0, "
                                                        "0,0,0, 0, 0,0,0, \"VESCARA\r\n"));
  EXPECT_EQ(name.result.error.code, error_code::none);
  EXPECT_EQ(name.model.stations.slots[1].name, "VESCARA\r\n[fine]\r\n");
}

TEST(HostileInput, KeywordsRepeatedThousandsOfTimes) {
  const std::string line = line_with("");
  check_cases({
      {"gradient keyword", line_with(repeated("pendenza,", 5000)), service_text({}),
       error_code::none},
      {"gradient keywords on one line", line_with(repeated("pendenza,", 5000, "") + "\r\n"),
       service_text({}), error_code::none},
      {"tunnel keyword", line_with(repeated("montagna,", 5000)), service_text({}),
       error_code::reading_failure},
      // Every sign reads position 0: the first takes cell 1, which the final
      // check then finds taken.
      {"sign keyword", line_with(repeated("cartello_indicatore,", 5000)), service_text({}),
       error_code::sign_cell_occupied, 0, compile_outcome::fatal_error},
      {"general header", repeated("[generale]", 5000), service_text({}),
       error_code::reading_failure, std::nullopt, compile_outcome::no_grid},
      {"length row",
       "[generale]\r\n" + repeated(std::string(short_line), 2000) + "[x]\r\n[fine]\r\n",
       service_text({}), error_code::none},
      {"signal keyword", line, service_with(repeated("segnale,", 5000)),
       error_code::signal_cell_occupied, 0},
      {"station keyword", line, service_with(repeated("stazione,", 5000)),
       error_code::station_stop_before_line},
      {"slowdown keyword", line, service_with(repeated("rallentamento,", 5000)),
       error_code::slowdown_start_occupied, 0},
      {"speed keyword", line, service_with(repeated("velocita,", 5000)), error_code::none},
      {"dash fields", line_with(repeated("-,-,-,-,-", 5000)), service_with(repeated("-", 5000)),
       error_code::none},
  });
}

}  // namespace
