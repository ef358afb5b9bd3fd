#include "scenario/service_points.h"

#include <array>

namespace scenario {

namespace {

constexpr std::string_view entry_switch = "Deviatoio di ingresso";
constexpr std::string_view exit_switch = "Deviatoio di uscita";

using form = card_time_form;

// Positions, lengths and types are chosen so that station areas lie well over
// 350 m apart and no stop cell falls on a signal, board or sign.
const std::array<service_point, 23> points = {{
    {"VESCARA", 80, 65, 80, 0, form::departure, "", "15.20", "",
     station_row{0, 4, 900, 1, 0, 0, 4, 1, 1, 2, 1, 1, 1, 15, 18, 0}},
    {"Cavalcavia Km 0,661", 130, 115, 110, 700, form::passing, "", "15.21", "", std::nullopt},
    {"FORNACE", 0, 0, 0, 4700, form::passing, "", "15.24", "",
     station_row{4700, 22, 300, 1, 0, 1, 4, 1, 0, 2, 1, 0, 0, 0, 0, 0}},
    {"SAN LORIO", 0, 0, 0, 9800, form::passing, "", "15.27", "",
     station_row{9800, 12, 400, 1, 0, 0, 4, 1, 1, 2, 1, 1, 0, 0, 0, 0}},
    {"CAMPOLUNGO", 0, 0, 0, 14500, form::passing, "", "15.30", "",
     station_row{14500, 11, 300, 1, 0, 0, 4, 1, 0, 2, 1, 0, 0, 0, 0, 0}},
    {"ROVETTA", 0, 0, 0, 19200, form::passing, "", "15.33", "",
     station_row{19200, 22, 300, 1, 0, 0, 4, 1, 0, 2, 1, 0, 0, 0, 0, 0}},
    {entry_switch, 80, 60, 80, 23950, form::passing, "", "15.37", "", std::nullopt},
    {"BORGO TERZO", 0, 0, 0, 24200, form::stop, "15.38", "15.39", "0.5",
     station_row{24200, 12, 600, 1, 1, 0, 5, 6, 0, 2, 1, 1, 60, 15, 39, 0}},
    {exit_switch, 80, 60, 80, 24450, form::passing, "", "15.40", "", std::nullopt},
    {entry_switch, 110, 60, 100, 22250, form::passing, "", "15.48", "", std::nullopt},
    {"VELDO MARSINA", 0, 0, 0, 22000, form::stop, "15.49", "15.50", "0.5",
     station_row{35000, 4, 600, 1, 1, 0, 5, 6, 0, 2, 1, 1, 60, 15, 50, 0}},
    {exit_switch, 110, 60, 100, 21750, form::passing, "", "15.51", "", std::nullopt},
    {entry_switch, 95, 60, 95, 13250, form::passing, "", "15.57", "", std::nullopt},
    {"CASTORNIA", 0, 0, 0, 13000, form::passing, "", "15.58", "",
     station_row{44000, 22, 400, 1, 0, 0, 4, 1, 0, 2, 1, 0, 0, 0, 0, 0}},
    {exit_switch, 95, 60, 95, 12750, form::passing, "", "15.59", "", std::nullopt},
    {"PONTE ALTO", 0, 0, 0, 5600, form::passing, "", "16.03", "",
     station_row{51400, 11, 300, 1, 0, 0, 4, 1, 0, 2, 1, 0, 0, 0, 0, 0}},
    {entry_switch, 90, 60, 90, 2400, form::passing, "", "16.05", "1", std::nullopt},
    {"BIVIO SELLANO", 0, 0, 0, 2200, form::passing, "", "16.06", "",
     station_row{54800, 12, 400, 1, 0, 0, 4, 1, 0, 2, 1, 0, 0, 0, 0, 0}},
    {entry_switch, 80, 60, 80, 4850, form::passing, "", "16.09", "", std::nullopt},
    {"ORMEDA S.V.", 0, 0, 0, 4500, form::stop, "16.10", "16.12", "",
     station_row{60300, 2, 700, 1, 1, 0, 5, 6, 0, 2, 1, 1, 90, 16, 12, 0}},
    {exit_switch, 80, 60, 80, 4150, form::passing, "", "16.13", "", std::nullopt},
    {"BIVIO CORVENTA", 0, 0, 0, 3750, form::passing, "", "16.14", "",
     station_row{61250, 25, 200, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    {"ORMEDA CORVENTA", 0, 0, 0, 2500, form::arrival, "", "16.17", "",
     station_row{63000, 2, 600, 1, 1, 0, 5, 6, 0, 2, 1, 1, 0, 16, 17, 0}},
}};

}  // namespace

std::span<const service_point> service_points() { return points; }

}  // namespace scenario
