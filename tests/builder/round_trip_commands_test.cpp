// decompile, diff and summary as an author runs them: the embedded build
// decompiled and compiled back to its bytes, damaged and hostile files
// refused or told, two versions compared, one summarised.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "compiler/encoding.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;
using builder::exit_status;
using test_support::read_file;
using test_support::run_command;
using test_support::temporary_directory;
using test_support::write_file;

const std::string grid = "Vescara_Ormeda_4816.dat";
const std::string table = "Vescara_Ormeda_4816.sim";
const std::string plan = "Vescara_Ormeda_linea.dat";
const std::string line_text = "Vescara_Ormeda_linea.txt";
const std::string service_text = "Vescara_Ormeda_4816-.txt";

// The embedded build's three files in `dir`, compiled in memory.
void write_embedded_build(const fs::path& dir, const std::function<void(compiler::scenario_model&)>&
                                                   damage = {}) {
  test_support::compiled built =
      test_support::compile(test_support::embedded_line_text(), test_support::embedded_service_text());
  if (damage) damage(built.model);
  fs::create_directories(dir);
  write_file(dir / grid, compiler::encode_route_grid(built.model.grid));
  write_file(dir / table, compiler::encode_station_table(built.model.stations));
  write_file(dir / plan, compiler::encode_track_plan(built.model.plan));
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(DecompileCommand, WritesTextsThatCompileBackOrSaysWhyNot) {
  struct decompile_case {
    std::string name;
    std::function<void(const fs::path& dir)> prepare;
    std::vector<std::string> args;  // after "decompile"
    exit_status status;
    std::string in_err;  // part of what is said on stderr
    bool texts_written;
  };
  const std::vector<decompile_case> cases = {
      {"the embedded build", [](const fs::path& d) { write_embedded_build(d / "b"); },
       {"--dir", "b", "--out", "texts"}, exit_status::clean, "", true},
      {"the files named one by one, the plan left out",
       [](const fs::path& d) { write_embedded_build(d / "b"); },
       {"b/" + grid, "b/" + table, "--out", "texts"}, exit_status::clean, "", true},
      {"a text already there", [](const fs::path& d) {
         write_embedded_build(d / "b");
         fs::create_directories(d / "texts");
         write_file(d / "texts" / service_text, "mine");
       },
       {"--dir", "b", "--out", "texts"}, exit_status::usage_or_file,
       "exists; give --force to replace it", false},
      {"a grid cut short", [](const fs::path& d) {
         write_embedded_build(d / "b");
         const std::string bytes = read_file(d / "b" / grid);
         write_file(d / "b" / grid, bytes.substr(0, bytes.size() - 7));
       },
       {"--dir", "b", "--out", "texts"}, exit_status::usage_or_file, grid, false},
      {"no build in the folder", [](const fs::path& d) { fs::create_directories(d / "b"); },
       {"--dir", "b", "--out", "texts"}, exit_status::usage_or_file, "holds no build", false},
      {"no build of the names given", [](const fs::path& d) { write_embedded_build(d / "b"); },
       {"--dir", "b", "--route", "Alpe", "--out", "texts"}, exit_status::usage_or_file,
       "b holds no build of route Alpe; the builds it holds:\n"
       "  --route Vescara_Ormeda --train 4816\n",
       false},
      {"a cell no row writes",
       [](const fs::path& d) {
         write_embedded_build(d / "b", [](auto& m) { m.grid.cells.at(300).kind = 9; });
       },
       {"--dir", "b", "--out", "texts"}, exit_status::build_error,
       "first at cell 300, kind: the files hold 9, the texts give 0", true},
      {"a table naming its build with a path",
       [](const fs::path& d) {
         write_embedded_build(d / "b", [](auto& m) { m.stations.slots[85].name = "../x"; });
       },
       {"--dir", "b", "--out", "texts"}, exit_status::usage_or_file,
       "the table names its build \"../x\"", false},
      {"a table naming its train with a blank",
       [](const fs::path& d) {
         write_embedded_build(d / "b", [](auto& m) { m.stations.slots[86].name = "48 16"; });
       },
       {"--dir", "b", "--out", "texts"}, exit_status::usage_or_file,
       "the table names its build \"48 16\": holds a blank, but a train number is 1 to 8 ASCII "
       "letters or digits",
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const temporary_directory dir;
    c.prepare(dir.path());
    const fs::path here = fs::current_path();
    fs::current_path(dir.path());
    std::vector<std::string> args = {"decompile"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto result = run_command(args);
    fs::current_path(here);
    EXPECT_EQ(result.status, c.status) << result.err;
    EXPECT_TRUE(contains(result.err, c.in_err)) << result.err;
    EXPECT_EQ(fs::exists(dir.path() / "texts" / line_text), c.texts_written);
    if (c.status != exit_status::clean) continue;
    // What was written compiles, strictly, to the same bytes.
    const auto again = run_command({"compile", (dir.path() / "texts" / line_text).string(),
                                    (dir.path() / "texts" / service_text).string(), "--strict",
                                    "--out", (dir.path() / "again").string()});
    EXPECT_EQ(again.status, exit_status::clean) << again.err;
    for (const std::string& file : {grid, table}) {
      EXPECT_EQ(read_file(dir.path() / "again" / file), read_file(dir.path() / "b" / file)) << file;
    }
  }
}

TEST(DiffCommand, TellsSameDifferentAndCouldNotCompareApart) {
  const temporary_directory dir;
  const fs::path d = dir.path();
  write_embedded_build(d / "old");
  write_embedded_build(d / "moved", [](auto& m) {
    // ORMEDA S.V. moved on 50 m, and its stop with it, as its row would.
    m.stations.slots[11].position += 50;
    m.stations.slots[11].start += 50;
    m.stations.slots[11].finish += 50;
  });
  write_embedded_build(d / "late", [](auto& m) { m.stations.slots[11].departure_time += 150; });
  struct diff_case {
    std::vector<std::string> args;
    exit_status status;
    std::string out;
  };
  const std::vector<diff_case> cases = {
      {{(d / "old").string(), (d / "old").string()}, exit_status::clean,
       "the two mean the same\n"},
      {{(d / "old").string(), (d / "late").string()}, exit_status::build_error,
       "station ORMEDA S.V. departure 16:12:00 \u2192 16:14:30\n"},
      {{(d / "old").string(), (d / "moved").string()}, exit_status::build_error,
       "station ORMEDA S.V. moved from 60.300 to 60.350 km\n"},
      {{(d / "old").string(), (d / "none").string()}, exit_status::usage_or_file, ""},
      {{(d / "old").string()}, exit_status::usage_or_file, ""},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"diff"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    SCOPED_TRACE(args.back());
    const auto result = run_command(args);
    EXPECT_EQ(result.status, c.status) << result.err;
    EXPECT_EQ(result.out, c.out);
  }
  const auto json_result =
      run_command({"diff", (d / "old").string(), (d / "late").string(), "--json"});
  const auto changes = nlohmann::json::parse(json_result.out);
  ASSERT_EQ(changes.size(), 1U);
  EXPECT_DOUBLE_EQ(changes[0]["km"].get<double>(), 60.3);
  EXPECT_EQ(changes[0]["before"], "16:12:00");
  EXPECT_EQ(changes[0]["after"], "16:14:30");
}

TEST(SummaryCommand, ShowsABuildOrTextsOnOneScreen) {
  const temporary_directory dir;
  const fs::path d = dir.path();
  write_embedded_build(d / "b");
  write_file(d / line_text, test_support::embedded_line_text());
  write_file(d / service_text, test_support::embedded_service_text());
  write_file(d / "Bad_linea.txt", test_support::embedded_line_text());
  write_file(d / "Bad_4816-.txt",
             test_support::service_text({"stazione, 1025, 4, 900, 0,0,0, 0,0,0, 0,0,0, 0, 8,0,0, X"}));

  const auto build = run_command({"summary", "--dir", (d / "b").string()});
  EXPECT_EQ(build.status, exit_status::clean) << build.err;
  EXPECT_TRUE(contains(build.out, "Vescara_Ormeda, train 4816: 63.500 km\n")) << build.out;
  EXPECT_TRUE(contains(build.out, "stations (13):")) << build.out;
  EXPECT_TRUE(contains(build.out, "slowdowns (1): 42.150\u201342.400 km 30 km/h")) << build.out;

  const auto texts = run_command(
      {"summary", (d / line_text).string(), (d / service_text).string(), "--json"});
  EXPECT_EQ(texts.status, exit_status::clean) << texts.err;
  const auto value = nlohmann::json::parse(texts.out);
  EXPECT_DOUBLE_EQ(value["length_km"].get<double>(), 63.5);
  EXPECT_EQ(value["stations"].size(), 13U);
  EXPECT_EQ(value["recorded_error"], 0);

  const auto failed =
      run_command({"summary", (d / "Bad_linea.txt").string(), (d / "Bad_4816-.txt").string()});
  EXPECT_EQ(failed.status, exit_status::build_error) << failed.err;
  EXPECT_TRUE(contains(failed.out, "recorded error: error 8 at 1025 m")) << failed.out;
}

}  // namespace
