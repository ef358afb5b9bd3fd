// The slowdown order: every one of its 47 lines, as the driver's form has it.

#include "documents/slowdown_order.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scenario/text_file.h"

namespace {

TEST(SlowdownOrder, EveryLineStandsExactly) {
  const std::string rule =
      " |___|____________________________|____________|__________|_________|____________|";
  std::vector<std::string> expected = {
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
      rule,
      " | 1 |   VELDO M. - CASTORNIA     |     15     |    30    |   250   |     E      |",
  };
  for (int i = 0; i < 25; ++i) {
    expected.push_back(
        " |   |                            |            |          |         |            |");
  }
  expected.insert(expected.end(),
                  {
                      rule,
                      "",
                      "              Prescrizioni specifiche",
                      " A - Da rispettare con tutto il treno (per i treni viaggiatori)",
                      " B - Interessa anche la stazione di.......",
                      " D - Rallentamneto N. ... e N. ...  sono contigui",
                      " C - Da rispettare dalle ore ....  alle ore ..... di tutti",
                      "     i giorni esclusi i seguenti:.........",
                      " E - Segnale di avviso non preceduto da tavole distanziometriche",
                  });

  std::vector<std::string> lines = documents::slowdown_order_lines();
  ASSERT_EQ(lines.size(), 48u);
  EXPECT_EQ(lines.back(), scenario::end_mark);
  lines.pop_back();
  ASSERT_EQ(expected.size(), 47u);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;
  }
}

TEST(SlowdownOrder, LinesHaveTheirLengths) {
  // Lengths of lines 1 to 8 and 40 to 47; lines 9 to 39 are the table, 82 each.
  const std::vector<std::size_t> head = {0, 42, 50, 81, 25, 0, 80, 81};
  const std::vector<std::size_t> tail = {0, 37, 63, 42, 49, 58, 42, 64};
  const std::vector<std::string> lines = documents::slowdown_order_lines();
  for (std::size_t i = 0; i < head.size(); ++i) {
    EXPECT_EQ(lines.at(i).size(), head[i]) << "line " << i + 1;
  }
  for (std::size_t number = 9; number <= 39; ++number) {
    EXPECT_EQ(lines.at(number - 1).size(), 82u) << "line " << number;
  }
  for (std::size_t i = 0; i < tail.size(); ++i) {
    EXPECT_EQ(lines.at(39 + i).size(), tail[i]) << "line " << 40 + i;
  }
}

}  // namespace
