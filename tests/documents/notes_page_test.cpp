// The notes page: its four paragraphs as Windows-1252 bytes, the accented
// letters as single bytes, and the roles of the closing credits.

#include "documents/notes_page.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "scenario/text_file.h"

namespace {

// The page's lines as the writer turns them into bytes, one per line.
std::vector<std::string> encoded_lines() {
  std::vector<std::string> lines = documents::notes_page_lines();
  EXPECT_EQ(lines.back(), scenario::end_mark);
  lines.pop_back();
  std::vector<std::string> encoded;
  for (const std::string& line : lines) {
    std::string bytes;
    EXPECT_TRUE(scenario::to_windows_1252(line, bytes)) << line;
    encoded.push_back(bytes);
  }
  return encoded;
}

TEST(NotesPage, FirstFourLinesAreTheseBytes) {
  // The expected bytes are written out in Windows-1252, so a UTF-8 letter
  // that slipped through unconverted would show.
  const std::vector<std::string> expected = {
      "Treno impostato in rango A - la locomotiva \xE8 un E656.",
      "Questo treno proviene da Velmio e prosegue fino a Lorvadino, ferma nelle stazioni "
      "principali.",
      "Il treno \xE8 pesante ed ha un freno non troppo efficiente (105%), prestare attenzione "
      "alla pendenza, al rallentamento e alla cattiva aderenza in galleria. La Tartaruga con "
      "treni pesanti e in salita non ha prestazioni eccezionali.",
      "Ci sono quattro variazioni di progressiva chilometrica ma il simulatore ne consente tre, "
      "per cui dopo la stazione di Ormeda S.V. non vi sono pi\xF9 cippi chilometrici.",
  };
  const std::vector<std::size_t> lengths = {53, 93, 227, 164};
  const std::vector<std::string> lines = encoded_lines();
  ASSERT_EQ(lines.size(), 8u);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;
    EXPECT_EQ(lines[i].size(), lengths[i]) << "line " << i + 1;
  }
}

TEST(NotesPage, AccentedLettersAreSingleBytes) {
  const std::vector<std::string> lines = encoded_lines();
  // {line number, byte offset, byte}
  const std::vector<std::tuple<std::size_t, std::size_t, unsigned char>> accents = {
      {1, 43, 0xE8},
      {3, 9, 0xE8},
      {4, 143, 0xF9},
  };
  std::size_t high_bytes = 0;
  for (const std::string& line : lines) {
    for (char byte : line) high_bytes += static_cast<unsigned char>(byte) >= 0x80 ? 1 : 0;
  }
  EXPECT_EQ(high_bytes, accents.size());
  for (const auto& [number, offset, byte] : accents) {
    EXPECT_EQ(static_cast<unsigned char>(lines.at(number - 1).at(offset)), byte)
        << "line " << number;
  }
}

TEST(NotesPage, CreditsKeepTheirRoles) {
  const std::vector<std::string> lines = encoded_lines();
  EXPECT_NE(lines.at(4).find("amico"), std::string::npos);
  EXPECT_NE(lines.at(4).find("altimetric"), std::string::npos);
  EXPECT_NE(lines.at(4).find("planimetric"), std::string::npos);
  EXPECT_NE(lines.at(4).find("segnalamento"), std::string::npos);
  EXPECT_EQ(lines.at(5), "");
  const std::string& author = lines.at(6);
  const std::size_t joint = author.find(" - ");
  ASSERT_NE(joint, std::string::npos);
  EXPECT_GT(joint, 0u);
  EXPECT_LT(joint + 3, author.size());
  EXPECT_EQ(author.find(" - ", joint + 1), std::string::npos);
  const std::string& contact = lines.at(7);
  EXPECT_EQ(contact.front(), '(');
  EXPECT_TRUE(contact.ends_with("@example.org)")) << contact;
}

}  // namespace
