#include "documents/notes_page.h"

#include <fmt/format.h>

#include <array>

#include "scenario/text_file.h"

namespace documents {

namespace {

// Each paragraph is one line, however long: the reader's viewer wraps it.
// The accented letters stay UTF-8 here; the writer turns them into their
// single Windows-1252 bytes.
constexpr std::array<std::string_view, 8> page = {
    "Treno impostato in rango A - la locomotiva è un E656.",
    "Questo treno proviene da Velmio e prosegue fino a Lorvadino, ferma nelle stazioni "
    "principali.",
    "Il treno è pesante ed ha un freno non troppo efficiente (105%), prestare attenzione alla "
    "pendenza, al rallentamento e alla cattiva aderenza in galleria. La Tartaruga con treni "
    "pesanti e in salita non ha prestazioni eccezionali.",
    "Ci sono quattro variazioni di progressiva chilometrica ma il simulatore ne consente tre, per "
    "cui dopo la stazione di Ormeda S.V. non vi sono più cippi chilometrici.",
    "Si ringrazia l'amico Carlo Fittizio per i preziosi consigli sui profili altimetrico e "
    "planimetrico della linea e sul suo segnalamento.",
    "",
    "Mario Esempio - Vescara",
    "(mario.esempio@example.org)",
};

}  // namespace

std::vector<std::string> notes_page_lines() {
  std::vector<std::string> lines(page.begin(), page.end());
  lines.emplace_back(scenario::end_mark);
  return lines;
}

std::string notes_page_file_name(std::string_view route_base_name, std::string_view train_number) {
  return fmt::format("{}_{}_note.txt", route_base_name, train_number);
}

scenario::status write_notes_page(const std::filesystem::path& directory,
                                  std::string_view route_base_name, std::string_view train_number) {
  return scenario::write_line_list(directory / notes_page_file_name(route_base_name, train_number),
                                   notes_page_lines());
}

}  // namespace documents
