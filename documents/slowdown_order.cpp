#include "documents/slowdown_order.h"

#include <fmt/format.h>

#include <array>

#include "scenario/text_file.h"

namespace documents {

namespace {

// The form is fixed text. Its one filled row describes the slowdown of the
// service text (30 km/h over 250 m) but is written here, not derived: the
// form is what the driver is handed, whatever the compile later makes of
// the service.
constexpr std::array<std::string_view, 12> form_heading = {
    "",
    "                               Modulo M. 3",
    "                           ORDINE DI RALLENTAMENTO",
    " ________________________________________________________________________________",
    "  Linea  VESCARA - ORMEDA",
    "",
    "  Si ordina al macchinista del treno 4816 di effettuare i seguenti rallentamenti",
    "  _______________________________________________________________________________",
    " |   |                            |Inizio dopo |          |         |            |",
    " | N.|      FRA LE STAZIONI       | il cippo   | Velocita'|Lunghezza|Prescrizioni|",
    " |   |   (o nelle Stazioni di)    |chilometrico|          |   metri | specifiche |",
    " |___|____________________________|____________|__________|_________|____________|",
};

// The rule under the table heading also closes the table.
constexpr std::string_view table_rule = form_heading.back();

constexpr std::string_view filled_row =
    " | 1 |   VELDO M. - CASTORNIA     |     15     |    30    |   250   |     E      |";

// Rows left for slowdowns ordered by hand.
constexpr int blank_row_count = 25;
constexpr std::string_view blank_row =
    " |   |                            |            |          |         |            |";

// The key to the prescriptions stands in the order A, B, D, C, E, and the
// misspelt "Rallentamneto" is the form's own wording: both are kept as the
// driver knows them.
constexpr std::array<std::string_view, 8> prescription_key = {
    "",
    "              Prescrizioni specifiche",
    " A - Da rispettare con tutto il treno (per i treni viaggiatori)",
    " B - Interessa anche la stazione di.......",
    " D - Rallentamneto N. ... e N. ...  sono contigui",
    " C - Da rispettare dalle ore ....  alle ore ..... di tutti",
    "     i giorni esclusi i seguenti:.........",
    " E - Segnale di avviso non preceduto da tavole distanziometriche",
};

}  // namespace

std::vector<std::string> slowdown_order_lines() {
  std::vector<std::string> lines(form_heading.begin(), form_heading.end());
  lines.emplace_back(filled_row);
  lines.insert(lines.end(), blank_row_count, std::string(blank_row));
  lines.emplace_back(table_rule);
  lines.insert(lines.end(), prescription_key.begin(), prescription_key.end());
  lines.emplace_back(scenario::end_mark);
  return lines;
}

std::string slowdown_order_file_name(std::string_view route_base_name,
                                     std::string_view train_number) {
  return fmt::format("{}_{}_rallentamenti.txt", route_base_name, train_number);
}

scenario::status write_slowdown_order(const std::filesystem::path& directory,
                                      std::string_view route_base_name,
                                      std::string_view train_number) {
  return scenario::write_line_list(
      directory / slowdown_order_file_name(route_base_name, train_number), slowdown_order_lines());
}

}  // namespace documents
