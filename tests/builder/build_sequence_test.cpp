// The whole build on disk: the files it leaves, their bytes, and how each
// kind of failure ends it.

#include "builder/commands/build_sequence.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "compiler/compile.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;
using builder::exit_status;
using test_support::read_file;
using test_support::temporary_directory;

// A notice that remembers what it was asked to show.
class recording_notice final : public builder::waiting_notice {
 public:
  void show() override { shown = true; }
  void close() override { closed = true; }
  void show_error(std::string_view text) override { error_text = text; }
  bool shown = false;
  bool closed = false;
  std::string error_text;
};

struct build_run {
  exit_status status;
  std::string err;
  recording_notice notice;
};

build_run run_in(const fs::path& directory, bool with_plan = true,
                 const builder::step_hook& hook = {}) {
  build_run run{exit_status::clean, {}, {}};
  compiler::build_settings settings = compiler::embedded_settings(directory);
  settings.with_plan = with_plan;
  std::ostringstream err;
  run.status = builder::run_build(settings, run.notice, err, hook);
  run.err = err.str();
  return run;
}

std::set<std::string> files_in(const fs::path& directory) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

std::uint16_t u16_at(const std::string& bytes, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                    static_cast<unsigned char>(bytes[at + 1]) << 8);
}

const std::set<std::string> binary_files = {"Vescara_Ormeda_linea.dat", "Vescara_Ormeda_4816.sim",
                                            "Vescara_Ormeda_4816.dat"};

TEST(EmbeddedBuild, LeavesTheBinaryFilesAndNoTextToRead) {
  temporary_directory dir;
  const build_run run = run_in(dir.path());
  EXPECT_EQ(run.status, exit_status::clean);
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(run.notice.shown);
  EXPECT_TRUE(run.notice.closed);
  const auto names = files_in(dir.path());
  for (const std::string& name : binary_files) EXPECT_TRUE(names.count(name)) << name;
  EXPECT_FALSE(names.count("Vescara_Ormeda_linea.txt"));
  EXPECT_FALSE(names.count("Vescara_Ormeda_4816-.txt"));
  for (const std::string& name : names) {
    EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
  }
}

TEST(EmbeddedBuild, BinaryFilesHoldTheWholeScenario) {
  temporary_directory dir;
  ASSERT_EQ(run_in(dir.path()).status, exit_status::clean);
  const std::string plan = read_file(dir.path() / "Vescara_Ormeda_linea.dat");
  const std::string grid = read_file(dir.path() / "Vescara_Ormeda_4816.dat");
  const std::string table = read_file(dir.path() / "Vescara_Ormeda_4816.sim");

  ASSERT_EQ(plan.size(), 1409964u);  // 20 x 70500 - 36
  EXPECT_EQ(plan.substr(0, 10), std::string("\x02\0\0\0\x02\0\0\0\x05\0", 10));
  // Each half ends with the two empty metres.
  EXPECT_EQ(plan.substr(plan.size() / 2 - 4, 4), std::string(4, '\0'));
  EXPECT_EQ(plan.substr(plan.size() - 4), std::string(4, '\0'));

  ASSERT_EQ(grid.size(), 21165u);
  auto cell = [&](std::size_t i) { return grid.substr(15 * i, 15); };
  EXPECT_EQ(grid.substr(16, 4), std::string("\x01\x14\x3F\x09", 4));  // 5121, then 2367
  // The timed signal at 9150 m, the speed boards at 35500 m, the slowdown.
  EXPECT_EQ(cell(184).substr(0, 11), std::string("\x01\x2A\0\0\0\0\0\x08\0\x8C\0", 11));
  EXPECT_EQ(cell(711).substr(0, 9), std::string("\x06\xAE\x08\x78\x09\x0C\x0B\0\0", 9));
  EXPECT_EQ(cell(820)[0], 4);
  EXPECT_EQ(cell(844)[0], 3);
  EXPECT_EQ(cell(849)[0], 2);
  EXPECT_EQ(u16_at(cell(844), 1), 30);
  // Protection points around the slowdown.
  for (std::size_t i : {810u, 826u, 833u, 839u, 856u}) {
    EXPECT_EQ(cell(i).substr(0, 3), std::string("\x0C\xB4\0", 3)) << i;
  }
  // The first station's stop and approach marks, with 80 km/h and 100 % adhesion.
  EXPECT_EQ(cell(8).substr(0, 3), std::string("\x0A\x01\0", 3));
  EXPECT_EQ(cell(7)[10], 81);
  EXPECT_EQ(cell(4)[10], 84);
  EXPECT_EQ(cell(8)[12], 16);
  EXPECT_EQ(cell(8)[14], 100);
  // The code cuts without code at the end of the line.
  for (std::size_t i : {1211u, 1213u, 1214u, 1215u}) EXPECT_EQ(cell(i)[0], 13) << i;

  // Slot by slot: slot 0 empty, slot 1 VESCARA, 86 the train number.
  EXPECT_EQ(table.substr(0, 34), std::string(34, '\0'));
  EXPECT_EQ(table.substr(34 + 14, 9), std::string("\x07\0VESCARA", 9));
  std::size_t at = 0;
  for (int slot = 0; slot < 86; ++slot) at += 34 + u16_at(table, at + 14);
  EXPECT_EQ(table.substr(at + 14, 6), std::string("\x04\0" "4816", 6));
  EXPECT_EQ(at + 34 + 4, table.size());
}

TEST(EmbeddedBuild, ReplacesOlderFilesWhole) {
  temporary_directory dir;
  test_support::write_file(dir.path() / "Vescara_Ormeda_4816.dat", std::string(50000, 'x'));
  test_support::write_file(dir.path() / "Vescara_Ormeda_4816.sim", "short");
  ASSERT_EQ(run_in(dir.path()).status, exit_status::clean);
  const std::string first = read_file(dir.path() / "Vescara_Ormeda_4816.dat");
  EXPECT_EQ(first.size(), 21165u);
  ASSERT_EQ(run_in(dir.path()).status, exit_status::clean);
  EXPECT_EQ(read_file(dir.path() / "Vescara_Ormeda_4816.dat"), first);
}

TEST(EmbeddedBuild, WithoutAPlanLeavesAnOlderPlanFileAlone) {
  temporary_directory dir;
  test_support::write_file(dir.path() / "Vescara_Ormeda_linea.dat", "older plan");
  const build_run run = run_in(dir.path(), false);
  EXPECT_EQ(run.status, exit_status::clean);
  EXPECT_EQ(read_file(dir.path() / "Vescara_Ormeda_linea.dat"), "older plan");
  EXPECT_EQ(read_file(dir.path() / "Vescara_Ormeda_4816.dat").size(), 21165u);
}

// Replaces the line text on disk just before the compile reads it.
builder::step_hook line_text_becomes(const fs::path& directory, std::string text) {
  return [directory, text](std::string_view step) {
    if (step == "compile_scenario") {
      test_support::write_file(directory / "Vescara_Ormeda_linea.txt", text);
    }
  };
}

TEST(BuildFailures, EachEndsWithItsStatusAndFiles) {
  struct failure_case {
    std::string name;
    std::string line_text;
    exit_status status;
    bool binaries_written;
    std::string message;  // expected in the report; empty: nothing is reported
  };
  const std::vector<failure_case> cases = {
      {"fixed values taken",
       test_support::line_text({"indicatori_vmax, 0, 80, 80, 80, 0, , , , 0"}), exit_status::fatal,
       false, ""},
      {"no grid", "[generale]\r\n[curve]\r\n[fine]\r\n", exit_status::fatal, false, "error 25"},
      {"recorded error",
       test_support::line_text({"cartello_indicatore, 42150, (X)"}), exit_status::build_error,
       true, "Vescara_Ormeda_4816-.txt:50: error 18: the start cell of a slowdown is occupied, at "
             "42150 m"},
  };
  for (const failure_case& c : cases) {
    temporary_directory dir;
    const build_run run = run_in(dir.path(), true, line_text_becomes(dir.path(), c.line_text));
    EXPECT_EQ(run.status, c.status) << c.name;
    const auto names = files_in(dir.path());
    for (const std::string& name : binary_files) {
      EXPECT_EQ(names.count(name) == 1, c.binaries_written) << c.name << " " << name;
    }
    if (c.message.empty()) {
      EXPECT_EQ(run.err, "") << c.name;
    } else {
      EXPECT_NE(run.err.find(c.message), std::string::npos) << c.name << ": " << run.err;
    }
  }
  // The report quotes the row that raised the error.
  temporary_directory dir;
  const build_run run = run_in(
      dir.path(), true,
      line_text_becomes(dir.path(), test_support::line_text({"cartello_indicatore, 42150, (X)"})));
  EXPECT_NE(run.err.find("\n    rallentamento,   42150,    30,  250, 0,  0,  0"), std::string::npos)
      << run.err;
}

TEST(BuildFailures, FatalErrorGoesThroughTheNotice) {
  temporary_directory dir;
  test_support::write_file(dir.path() / "Vescara_Ormeda_4816.sim", "older table");
  const build_run run = run_in(
      dir.path(), true,
      line_text_becomes(dir.path(),
                        test_support::line_text({"indicatori_vmax, 0, 80, 80, 80, 0, , , , 0"})));
  EXPECT_EQ(run.status, exit_status::fatal);
  EXPECT_EQ(run.notice.error_text, " Errore n. 1250");
  EXPECT_TRUE(run.notice.closed);
  // An older file that was not replaced stays as it was.
  EXPECT_EQ(read_file(dir.path() / "Vescara_Ormeda_4816.sim"), "older table");
}

}  // namespace
