// The three driver documents on disk: their names, sizes and bytes, their
// replacement of older files, the writer's refusal of an unconvertible
// character, and their place in the build sequence.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "builder/commands/build_sequence.h"
#include "builder/notice/waiting_notice.h"
#include "compiler/compile.h"
#include "documents/notes_page.h"
#include "documents/slowdown_order.h"
#include "documents/timetable_card.h"
#include "scenario/text_file.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;
using test_support::read_file;
using test_support::temporary_directory;
using test_support::write_file;

using writer = std::function<scenario::status(const fs::path&, std::string_view, std::string_view)>;

struct document {
  std::string file_name;  // for route "Vescara_Ormeda" and train "4816"
  writer write;
  std::function<std::vector<std::string>()> lines;
  std::size_t line_count;
  std::size_t byte_count;
};

std::vector<document> documents_of_a_build() {
  return {
      {"Vescara_Ormeda_4816_note.txt", documents::write_notes_page, documents::notes_page_lines, 8, 737},
      {"Vescara_Ormeda_4816_rallentamenti.txt", documents::write_slowdown_order,
       documents::slowdown_order_lines, 47, 3350},
      {"Vescara_Ormeda_4816_scheda_treno.txt", documents::write_timetable_card,
       documents::timetable_card_lines, 40, 3051},
  };
}

std::set<std::string> files_in(const fs::path& directory) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

TEST(DriverDocuments, FilesHaveTheirNamesLinesAndBytes) {
  for (const document& doc : documents_of_a_build()) {
    SCOPED_TRACE(doc.file_name);
    const temporary_directory dir;
    ASSERT_TRUE(doc.write(dir.path(), "Vescara_Ormeda", "4816"));
    EXPECT_EQ(files_in(dir.path()), std::set<std::string>{doc.file_name});

    const std::string bytes = read_file(dir.path() / doc.file_name);
    EXPECT_EQ(bytes.size(), doc.byte_count);
    EXPECT_EQ(bytes, scenario::encode_line_list(doc.lines()).bytes);
    ASSERT_TRUE(bytes.ends_with("\r\n"));
    EXPECT_FALSE(bytes.ends_with("\r\n\r\n"));
    EXPECT_EQ(bytes.find("riferimento"), std::string::npos);

    // Every line ends in CR LF, and there is no other CR or LF.
    const auto line_ends = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
    const auto returns = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\r'));
    std::size_t pairs = 0;
    for (std::size_t at = bytes.find("\r\n"); at != std::string::npos;
         at = bytes.find("\r\n", at + 2)) {
      ++pairs;
    }
    EXPECT_EQ(pairs, doc.line_count);
    EXPECT_EQ(line_ends, doc.line_count);
    EXPECT_EQ(returns, doc.line_count);
  }
}

TEST(DriverDocuments, NameFollowsTheScenarioButTextDoesNot) {
  const std::vector<std::string> other_names = {
      "Altra_Linea_99_note.txt",
      "Altra_Linea_99_rallentamenti.txt",
      "Altra_Linea_99_scheda_treno.txt",
  };
  const auto docs = documents_of_a_build();
  for (std::size_t i = 0; i < docs.size(); ++i) {
    SCOPED_TRACE(other_names[i]);
    const temporary_directory dir;
    ASSERT_TRUE(docs[i].write(dir.path(), "Altra_Linea", "99"));
    EXPECT_EQ(files_in(dir.path()), std::set<std::string>{other_names[i]});
    EXPECT_EQ(read_file(dir.path() / other_names[i]),
              scenario::encode_line_list(docs[i].lines()).bytes);
  }
}

TEST(DriverDocuments, RerunLeavesExactlyTheNewContent) {
  for (const document& doc : documents_of_a_build()) {
    const std::string expected = scenario::encode_line_list(doc.lines()).bytes;
    const std::vector<std::string> older_files = {
        expected + std::string(4000, 'x') + "\r\n",  // longer: no tail may survive
        "old\r\n",                                   // shorter
        "",
    };
    for (const std::string& older : older_files) {
      SCOPED_TRACE(doc.file_name + " over " + std::to_string(older.size()) + " bytes");
      const temporary_directory dir;
      write_file(dir.path() / doc.file_name, older);
      ASSERT_TRUE(doc.write(dir.path(), "Vescara_Ormeda", "4816"));
      EXPECT_EQ(read_file(dir.path() / doc.file_name), expected);
      EXPECT_EQ(files_in(dir.path()), std::set<std::string>{doc.file_name});
    }
  }
}

TEST(DriverDocuments, WriteFailuresNameTheFile) {
  for (const document& doc : documents_of_a_build()) {
    SCOPED_TRACE(doc.file_name);
    const temporary_directory dir;
    const fs::path missing = dir.path() / "missing";
    const scenario::status status = doc.write(missing, "Vescara_Ormeda", "4816");
    ASSERT_FALSE(status);
    EXPECT_EQ(status.place(), missing / doc.file_name);
    EXPECT_FALSE(status.reason().empty());
  }
}

TEST(DriverDocuments, UnconvertibleCharacterIsAClearError) {
  const temporary_directory dir;
  const fs::path path = dir.path() / "Vescara_Ormeda_4816_note.txt";
  ASSERT_TRUE(documents::write_notes_page(dir.path(), "Vescara_Ormeda", "4816"));
  const std::string before = read_file(path);

  // An arrow (U+2192) has no Windows-1252 byte; it must not become "?".
  std::vector<std::string> lines = documents::notes_page_lines();
  lines.at(6) = "Mario Esempio \u2192 Vescara";
  const scenario::status status = scenario::write_line_list(path, lines);
  ASSERT_FALSE(status);
  EXPECT_EQ(status.place(), path);
  EXPECT_NE(status.reason().find("line 7"), std::string::npos) << status.reason();
  EXPECT_NE(status.reason().find("U+2192"), std::string::npos) << status.reason();
  EXPECT_EQ(read_file(path), before);
  EXPECT_EQ(files_in(dir.path()), std::set<std::string>{path.filename().string()});
}

class silent_notice final : public builder::waiting_notice {
 public:
  void show() override {}
  void close() override {}
  void show_error(std::string_view) override {}
};

TEST(BuildSequence, DocumentsAreWrittenAfterTheDescriptionTextsAndBeforeTheCompile) {
  const std::string line_text = "Vescara_Ormeda_linea.txt";
  const std::string service_text = "Vescara_Ormeda_4816-.txt";
  const std::string note = "Vescara_Ormeda_4816_note.txt";
  const std::string order = "Vescara_Ormeda_4816_rallentamenti.txt";
  const std::string card = "Vescara_Ormeda_4816_scheda_treno.txt";

  // Each step with the files on disk as it begins; the folder's lock file
  // stands there from the start to the end of the run, and goes with it.
  const std::string lock(scenario::folder_lock_name);
  const std::vector<std::pair<std::string, std::set<std::string>>> expected = {
      {"write_line_text", {lock}},
      {"write_service_text", {lock, line_text}},
      {"write_notes_page", {lock, line_text, service_text}},
      {"write_slowdown_order", {lock, line_text, service_text, note}},
      {"write_timetable_card", {lock, line_text, service_text, note, order}},
      {"compile_scenario", {lock, line_text, service_text, note, order, card}},
      {"write_output_files", {lock, note, order, card}},
  };

  const temporary_directory dir;
  const compiler::build_settings settings = compiler::embedded_settings(dir.path());
  silent_notice notice;
  std::ostringstream err;
  std::vector<std::pair<std::string, std::set<std::string>>> seen;
  const builder::exit_status status = builder::run_build(
      settings, notice, err,
      [&](std::string_view step) { seen.emplace_back(std::string(step), files_in(dir.path())); });

  EXPECT_EQ(status, builder::exit_status::clean) << err.str();
  EXPECT_EQ(seen, expected);
  const std::set<std::string> kept = {note,
                                      order,
                                      card,
                                      "Vescara_Ormeda_linea.dat",
                                      "Vescara_Ormeda_4816.sim",
                                      "Vescara_Ormeda_4816.dat"};
  EXPECT_EQ(files_in(dir.path()), kept);
  for (const document& doc : documents_of_a_build()) {
    EXPECT_EQ(read_file(dir.path() / doc.file_name).size(), doc.byte_count) << doc.file_name;
  }
}

}  // namespace
