#include "scenario/service_text.h"

#include <fmt/format.h>

#include <array>

#include "scenario/service_points.h"
#include "scenario/text_file.h"

namespace scenario {

namespace {

constexpr std::array<std::string_view, 6> head_rows = {
    "Verificare la corretta posizione dei cartelli vel. lim. in relazione alle stazioni (DI - DU)",
    "[generale]",
    "numero vetture,    14",
    "percentuale massa frenata,    105",
    "sabbia,    300",
    "orologio,    15              17            15 ",
};

// Adhesion drops where the tunnels begin and recovers after them.
constexpr std::array<std::string_view, 15> adhesion_rows = {
    "aderenza,   0,    100",    "aderenza,   29150,    82", "aderenza,   32500,    95",
    "aderenza,   37100,    80", "aderenza,   41800,    96", "aderenza,   45000,    85",
    "aderenza,   46200,    97", "aderenza,   48200,    81", "aderenza,   49600,    98",
    "aderenza,   51800,    79", "aderenza,   53400,    96", "aderenza,   54000,    84",
    "aderenza,   55200,    97", "aderenza,   55800,    83", "aderenza,   57600,   100",
};

struct speed_row {
  int position;
  int speed;
};

// Line speeds change 50 m after the board that announces them.
constexpr std::array<speed_row, 11> speed_rows = {{
    {0, 80},
    {650, 130},
    {23300, 80},
    {26150, 100},
    {35550, 110},
    {40050, 95},
    {46050, 120},
    {50550, 105},
    {55550, 90},
    {58050, 60},
    {60750, 80},
}};

struct signal_row {
  int position, sx, s1, s2, s3, rapp, dx, d1, d2, d3, tempo;
};

// Block signals and the entry and exit signals of the stations. Each stands
// on a cell that no station, board, sign or slowdown takes; one stands within
// 1 km before the slowdown's warning and one within 600 m after its end, so
// that the protection pass has work on both sides.
constexpr std::array<signal_row, 34> signal_rows = {{
    {1950, 2, 4, 0, 0, 0, 0, 0, 0, 0, 0},   {4200, 2, 4, 0, 0, 0, 2, 2, 0, 0, 0},
    {5200, 2, 4, 0, 0, 0, 0, 0, 0, 0, 0},   {7300, 2, 4, 0, 0, 0, 0, 0, 0, 0, 0},
    {9150, 2, 4, 0, 0, 0, 2, 2, 0, 0, 140}, {10400, 2, 4, 0, 0, 0, 0, 0, 0, 0, 0},
    {12300, 2, 4, 0, 0, 0, 0, 0, 0, 0, 0},  {14000, 2, 4, 0, 0, 0, 2, 2, 0, 0, 0},
    {15000, 2, 4, 0, 0, 0, 0, 0, 0, 0, 0},  {16900, 2, 4, 0, 0, 0, 0, 0, 0, 0, 0},
    {18700, 2, 4, 0, 0, 0, 2, 2, 0, 0, 0},  {19700, 2, 4, 0, 0, 0, 0, 0, 0, 0, 0},
    {21600, 2, 4, 0, 0, 0, 0, 0, 0, 0, 0},  {23500, 2, 2, 3, 1, 0, 2, 2, 1, 1, 0},
    {24900, 2, 4, 0, 0, 0, 0, 0, 0, 0, 0},  {27000, 2, 4, 0, 0, 0, 0, 0, 0, 0, 0},
    {29500, 2, 4, 0, 0, 0, 0, 0, 0, 0, 0},  {32000, 2, 4, 0, 0, 0, 0, 0, 0, 0, 0},
    {34400, 2, 2, 3, 1, 0, 2, 2, 1, 1, 0},  {35600, 2, 4, 0, 0, 0, 0, 0, 0, 0, 0},
    {38000, 2, 4, 0, 0, 0, 0, 0, 0, 0, 0},  {40500, 2, 4, 0, 0, 0, 0, 0, 0, 0, 0},
    {42800, 2, 4, 0, 0, 0, 0, 0, 0, 0, 0},  {43600, 2, 4, 0, 0, 0, 2, 2, 0, 0, 0},
    {44500, 2, 4, 0, 0, 0, 0, 0, 0, 0, 0},  {47000, 2, 4, 0, 0, 0, 0, 0, 0, 0, 0},
    {49000, 2, 4, 0, 0, 0, 0, 0, 0, 0, 0},  {51000, 2, 4, 0, 0, 0, 2, 2, 0, 0, 0},
    {52000, 2, 4, 0, 0, 0, 0, 0, 0, 0, 0},  {54300, 2, 2, 3, 1, 0, 2, 2, 1, 1, 0},
    {57200, 2, 4, 0, 0, 0, 0, 0, 0, 0, 0},  {59400, 2, 2, 3, 1, 0, 2, 2, 1, 1, 250},
    {60900, 2, 4, 0, 0, 0, 2, 2, 0, 0, 0},  {61400, 2, 2, 3, 1, 1, 2, 2, 1, 1, 0},
}};

constexpr std::array<std::string_view, 4> code_cut_rows = {
    "abbattimento,   60550,   AC",
    "abbattimento,   60650,   AC",
    "abbattimento,   60700,   AC",
    "abbattimento,   60750,   AC",
};

std::string station_line(const service_point& point) {
  const station_row& s = *point.station;
  return fmt::format(
      "stazione,{:>8},{:>3},{:>5},{:>3},{:>2},{:>2},{:>3},{},{},{:>3},{},{},{:>5},{:>4},{},{:>2}, "
      "{}",
      s.position, s.type, s.length, s.flag_a, s.flag_b, s.flag_c, s.group1_a, s.group1_b,
      s.group1_c, s.group2_a, s.group2_b, s.group2_c, s.dwell, s.hours, s.minutes, s.seconds,
      point.name);
}

std::string signal_line(const signal_row& s) {
  return fmt::format("segnale,{:>8},{:>4},{:>2},{:>2},{:>3},{:>2},{:>5},{:>3},{},{}, {}",
                     s.position, s.sx, s.s1, s.s2, s.s3, s.rapp, s.dx, s.d1, s.d2, s.d3, s.tempo);
}

}  // namespace

std::vector<std::string> service_text_lines() {
  std::vector<std::string> lines(head_rows.begin(), head_rows.end());
  lines.emplace_back("[aderenze]");
  lines.insert(lines.end(), adhesion_rows.begin(), adhesion_rows.end());
  lines.emplace_back("[vel_limite]");
  for (const speed_row& row : speed_rows) {
    lines.push_back(fmt::format("velocita,{:>8},{:>6}", row.position, row.speed));
  }
  lines.emplace_back("[stazioni]");
  for (const service_point& point : service_points()) {
    if (point.station) lines.push_back(station_line(point));
  }
  lines.emplace_back("[rallentamenti]");
  lines.emplace_back("rallentamento,   42150,    30,  250, 0,  0,  0");
  lines.emplace_back("[segnali]");
  for (const signal_row& row : signal_rows) lines.push_back(signal_line(row));
  lines.emplace_back("[codici]");
  lines.insert(lines.end(), code_cut_rows.begin(), code_cut_rows.end());
  lines.emplace_back("[fine]");
  lines.emplace_back(end_mark);
  return lines;
}

std::string service_text_file_name(std::string_view route_base_name,
                                   std::string_view train_number) {
  return fmt::format("{}_{}-.txt", route_base_name, train_number);
}

status write_service_text(const std::filesystem::path& directory, std::string_view route_base_name,
                          std::string_view train_number) {
  return write_line_list(directory / service_text_file_name(route_base_name, train_number),
                         service_text_lines());
}

}  // namespace scenario
