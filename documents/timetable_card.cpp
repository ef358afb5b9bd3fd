#include "documents/timetable_card.h"

#include <fmt/format.h>

#include <array>

#include "scenario/text_file.h"

namespace documents {

namespace {

// The card's heading, lines 1 to 16. The trailing spaces of line 9 belong to
// the document.
constexpr std::array<std::string_view, 16> heading = {
    "",
    "",
    "  ___________________                                               ______________",
    " |                   |                    SCHEDA                   |              |",
    " |   TRENO n. 4816   |                   da: VESCARA               |    V140 A    |",
    " |___________________|                    a: ORMEDA CORVENTA       |     105%     |",
    "                                                                   |______________|",
    "  ___________________                ___________________",
    " |  CLASSIFICAZIONE  |              |  MASSA BLOCCATA   |       ",
    " |  INTERREGIONALE   |              |       700T        |",
    " |___________________|              |___________________|",
    "",
    "  ________________________________________________________________________________",
    " | Vel.| Vel.| Progr Km |  No |   Localita' di  Servizio   |     Orario     | Rec |",
    " | Lim.|Marc.|          |  Rs |                            |                |     |",
    " |_____|_____|__________|_____|____________________________|________________|_____|",
};

// The rule under the table heading also closes the table.
constexpr std::string_view table_rule = heading.back();

// A speed right-aligned in four characters and a space; 0 leaves the field
// blank, as station rows do.
std::string speed_field(int speed) {
  if (speed == 0) return std::string(5, ' ');
  return fmt::format("{:>4} ", speed);
}

// Metres shown as kilometres with three decimals. Integer arithmetic keeps
// the card free of any float rounding.
std::string progressive_field(std::int32_t metres) {
  const std::string kilometres = fmt::format("{}.{:03}", metres / 1000, metres % 1000);
  return fmt::format("{:>8}  ", kilometres);
}

std::string time_field(const scenario::service_point& point) {
  using scenario::card_time_form;
  switch (point.time_form) {
    case card_time_form::departure:
      return fmt::format("{:>15} ", point.time);
    case card_time_form::passing:
      return fmt::format("      {:<10}", point.time);
    case card_time_form::stop:
      return fmt::format(" {}    {} ", point.arrival, point.time);
    case card_time_form::arrival:
      return fmt::format(" {:<15}", point.time);
  }
  return {};
}

}  // namespace

std::string timetable_row(const scenario::service_point& point) {
  return fmt::format(" |{}|{}|{}|{}| {:<27}|{}|{:^5}|", speed_field(point.limit_speed),
                     speed_field(point.running_speed), progressive_field(point.progressive_m),
                     speed_field(point.rank_speed), point.name, time_field(point), point.recovery);
}

std::vector<std::string> timetable_card_lines() {
  std::vector<std::string> lines(heading.begin(), heading.end());
  for (const scenario::service_point& point : scenario::service_points()) {
    lines.push_back(timetable_row(point));
  }
  lines.emplace_back(table_rule);
  lines.emplace_back(scenario::end_mark);
  return lines;
}

std::string timetable_card_file_name(std::string_view route_base_name,
                                     std::string_view train_number) {
  return fmt::format("{}_{}_scheda_treno.txt", route_base_name, train_number);
}

scenario::status write_timetable_card(const std::filesystem::path& directory,
                                      std::string_view route_base_name,
                                      std::string_view train_number) {
  return scenario::write_line_list(
      directory / timetable_card_file_name(route_base_name, train_number), timetable_card_lines());
}

}  // namespace documents
