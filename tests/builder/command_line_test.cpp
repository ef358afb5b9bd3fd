// The command line for scenario authors: the compile of exported texts
// against the embedded build, the author's files left alone, the exit
// statuses, the diagnostics and the inspection of built files.

#include "builder/commands/command_line.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "builder/commands/author_commands.h"
#include "builder/commands/inspect.h"
#include "compiler/compile.h"
#include "scenario/build_names.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;
using builder::exit_status;
using test_support::read_file;
using test_support::temporary_directory;
using test_support::write_file;

const std::string line_name = "Vescara_Ormeda_linea.txt";
const std::string service_name = "Vescara_Ormeda_4816-.txt";
const std::vector<std::string> binary_names = {
    "Vescara_Ormeda_linea.dat", "Vescara_Ormeda_4816.sim", "Vescara_Ormeda_4816.dat"};

using test_support::run_result;

run_result run(const std::vector<std::string>& args) { return test_support::run_command(args); }

std::string at(const fs::path& directory, const std::string& name) {
  return (directory / name).string();
}

std::set<std::string> files_in(const fs::path& directory) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// The embedded build as the program runs it without arguments.
void default_build(const fs::path& directory, bool with_plan = true) {
  compiler::build_settings settings = compiler::embedded_settings(directory);
  settings.with_plan = with_plan;
  std::ostringstream out;
  std::ostringstream err;
  builder::terminal_notice notice(out, err);
  ASSERT_EQ(builder::run_build(settings, notice, err), exit_status::clean) << err.str();
}

// Exports the embedded texts into `directory`.
void export_to(const fs::path& directory) {
  const run_result exported = run({"export-sources", "--out", directory.string()});
  ASSERT_EQ(exported.status, exit_status::clean) << exported.err;
}

TEST(CompileCommand, ExportedTextsCompileToTheDefaultBuildByteForByte) {
  for (const bool no_plan : {false, true}) {
    temporary_directory sources, compiled, reference;
    export_to(sources.path());
    std::vector<std::string> args = {"compile", at(sources.path(), line_name),
                                     at(sources.path(), service_name), "--out",
                                     compiled.path().string()};
    if (no_plan) args.push_back("--no-plan");
    const run_result result = run(args);
    ASSERT_EQ(result.status, exit_status::clean) << result.err;
    EXPECT_EQ(result.err, "");
    default_build(reference.path(), !no_plan);
    for (const std::string& name : binary_names) {
      const bool plan_file = name == binary_names[0];
      EXPECT_EQ(fs::exists(compiled.path() / name), !(no_plan && plan_file)) << name;
      if (no_plan && plan_file) continue;
      const std::string expected = read_file(reference.path() / name);
      ASSERT_FALSE(expected.empty()) << name;
      EXPECT_TRUE(read_file(compiled.path() / name) == expected) << name << " no_plan " << no_plan;
    }
  }
}

TEST(BuildCommand, WritesTheDefaultBuildIntoTheChosenDirectory) {
  temporary_directory built, reference;
  const run_result result = run({"build", "--no-window", "--out", built.path().string()});
  ASSERT_EQ(result.status, exit_status::clean) << result.err;
  EXPECT_EQ(result.out, "Attendere\n");
  default_build(reference.path());
  EXPECT_EQ(files_in(built.path()), files_in(reference.path()));
  for (const std::string& name : binary_names) {
    EXPECT_TRUE(read_file(built.path() / name) == read_file(reference.path() / name)) << name;
  }
  temporary_directory without_plan;
  ASSERT_EQ(run({"build", "--no-window", "--out", without_plan.path().string(), "--no-plan"}).status,
            exit_status::clean);
  EXPECT_FALSE(fs::exists(without_plan.path() / binary_names[0]));
  EXPECT_TRUE(fs::exists(without_plan.path() / binary_names[2]));
}

// Content and timestamps of the author's texts after every way a compile can
// end, with the outputs written beside them.
TEST(CompileCommand, LeavesTheAuthorsTextsAsTheyWere) {
  const std::string broken_service =
      test_support::service_text({"stazione, 0, 4, 900, 1,0,0, 4,1,1, 2,1,1, 1, 15,18,0, A",
                                  "segnale, 350, 2,4,0,0,0,0,0,0,0,0"});
  struct case_ {
    std::string name;
    std::string line;
    std::string service;
    std::vector<std::string> extra_args;
    exit_status status;
    std::set<std::string> outputs;
  };
  const std::set<std::string> all(binary_names.begin(), binary_names.end());
  const std::vector<case_> cases = {
      {"clean",
       test_support::embedded_line_text(),
       test_support::embedded_service_text(),
       {},
       exit_status::clean,
       all},
      {"recorded error",
       test_support::line_text({}),
       broken_service,
       {},
       exit_status::build_error,
       all},
      {"no grid",
       "[generale]\r\n[curve]\r\n[fine]\r\n",
       broken_service,
       {},
       exit_status::fatal,
       {}},
      {"dry run",
       test_support::embedded_line_text(),
       test_support::embedded_service_text(),
       {"--dry-run"},
       exit_status::clean,
       {}},
  };
  // Whole seconds, which every file system keeps exactly (Windows keeps
  // times in steps of 100 ns, finer than the clock's ticks would round-trip).
  const auto long_ago = std::chrono::floor<std::chrono::seconds>(
      fs::file_time_type::clock::now() - std::chrono::hours(24 * 400));
  for (const case_& c : cases) {
    temporary_directory dir;
    const fs::path line = dir.path() / line_name;
    const fs::path service = dir.path() / service_name;
    write_file(line, c.line);
    write_file(service, c.service);
    fs::last_write_time(line, long_ago);
    fs::last_write_time(service, long_ago);
    std::vector<std::string> args = {"compile", line.string(), service.string(), "--out",
                                     dir.path().string()};
    args.insert(args.end(), c.extra_args.begin(), c.extra_args.end());
    EXPECT_EQ(run(args).status, c.status) << c.name;
    EXPECT_EQ(read_file(line), c.line) << c.name;
    EXPECT_EQ(read_file(service), c.service) << c.name;
    EXPECT_EQ(fs::last_write_time(line), long_ago) << c.name;
    EXPECT_EQ(fs::last_write_time(service), long_ago) << c.name;
    std::set<std::string> expected = c.outputs;
    expected.insert({line_name, service_name});
    EXPECT_EQ(files_in(dir.path()), expected) << c.name;
  }
}

TEST(CompileCommand, NeverWritesOverATextItReads) {
  temporary_directory dir;
  const fs::path line = dir.path() / "R_linea.dat";
  write_file(line, test_support::embedded_line_text());
  write_file(dir.path() / "s.txt", test_support::embedded_service_text());
  const run_result result = run({"compile", line.string(), at(dir.path(), "s.txt"), "--route", "R",
                                 "--train", "7", "--out", dir.path().string()});
  EXPECT_EQ(result.status, exit_status::usage_or_file);
  EXPECT_NE(result.err.find("refusing to write"), std::string::npos) << result.err;
  EXPECT_EQ(read_file(line), test_support::embedded_line_text());
  EXPECT_EQ(files_in(dir.path()), (std::set<std::string>{"R_linea.dat", "s.txt"}));
}

TEST(CompileCommand, NamesComeFromTheFileNamesOrTheOptions) {
  temporary_directory dir;
  write_file(dir.path() / "Alpe_linea.txt", test_support::embedded_line_text());
  write_file(dir.path() / "Alpe_77-.txt", test_support::embedded_service_text());
  write_file(dir.path() / "service.txt", test_support::embedded_service_text());
  write_file(dir.path() / "line.txt", test_support::embedded_line_text());
  const fs::path out = dir.path() / "out";
  fs::create_directory(out);
  struct case_ {
    std::vector<std::string> args;
    exit_status status;
    std::set<std::string> outputs;
  };
  const std::vector<case_> cases = {
      {{at(dir.path(), "Alpe_linea.txt"), at(dir.path(), "Alpe_77-.txt")},
       exit_status::clean,
       {"Alpe_linea.dat", "Alpe_77.sim", "Alpe_77.dat"}},
      {{at(dir.path(), "Alpe_linea.txt"), at(dir.path(), "service.txt"), "--train", "8"},
       exit_status::clean,
       {"Alpe_linea.dat", "Alpe_8.sim", "Alpe_8.dat"}},
      {{at(dir.path(), "line.txt"), at(dir.path(), "Alpe_77-.txt"), "--route", "Alpe"},
       exit_status::clean,
       {"Alpe_linea.dat", "Alpe_77.sim", "Alpe_77.dat"}},
      {{at(dir.path(), "line.txt"), at(dir.path(), "Alpe_77-.txt")},
       exit_status::usage_or_file,
       {}},
      {{at(dir.path(), "Alpe_linea.txt"), at(dir.path(), "service.txt")},
       exit_status::usage_or_file,
       {}},
      {{at(dir.path(), "Alpe_linea.txt"), at(dir.path(), "Alpe_77-.txt"), "--route", "a/b"},
       exit_status::usage_or_file,
       {}},
      {{at(dir.path(), "Alpe_linea.txt"), at(dir.path(), "Alpe_77-.txt"), "--train", "n\xC3\xA9"},
       exit_status::usage_or_file,
       {}},
  };
  for (const case_& c : cases) {
    for (const std::string& name : files_in(out)) fs::remove(out / name);
    std::vector<std::string> args = {"compile"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.insert(args.end(), {"--out", out.string()});
    const run_result result = run(args);
    EXPECT_EQ(result.status, c.status) << c.args.back() << ": " << result.err;
    EXPECT_EQ(files_in(out), c.outputs) << c.args.back();
  }
  EXPECT_EQ(scenario::route_from_line_text("Alpe_linea.txt"), "Alpe");
  EXPECT_EQ(scenario::route_from_line_text("_linea.txt"), std::nullopt);
  EXPECT_EQ(scenario::train_from_service_text("Alpe_77-.txt", "Alpe"), "77");
  EXPECT_EQ(scenario::train_from_service_text("Alpe_-.txt", "Alpe"), std::nullopt);
  EXPECT_EQ(scenario::train_from_service_text("Alpe_77.txt", "Alpe"), std::nullopt);
  // A text named for another route still gives its train.
  EXPECT_EQ(scenario::train_from_service_text("Other_77-.txt", "Alpe"), "77");
  EXPECT_EQ(scenario::train_from_service_text("Vescara_Ormeda_4816-.txt", "Alpe"), "4816");
  EXPECT_EQ(scenario::train_from_service_text("77-.txt", "Alpe"), std::nullopt);
}

TEST(CommandLine, ExitStatuses) {
  temporary_directory dir;
  export_to(dir.path());
  const std::string line = at(dir.path(), line_name);
  const std::string service = at(dir.path(), service_name);
  const std::string plain_service = at(dir.path(), "service.txt");
  write_file(plain_service, test_support::service_text({}));
  const std::string warned = at(dir.path(), "W_4816-.txt");
  write_file(warned, test_support::service_text({"sabbia, 300, 7"}));
  const std::string occupied = at(dir.path(), "O_4816-.txt");
  write_file(occupied,
             test_support::service_text({"stazione, 0, 4, 900, 1,0,0, 4,1,1, 2,1,1, 1, 15,18,0, A",
                                         "segnale, 350, 2,4,0,0,0,0,0,0,0,0"}));
  const std::string no_grid = at(dir.path(), "N_linea.txt");
  write_file(no_grid, "[generale]\r\n[curve]\r\n[fine]\r\n");
  const std::string fatal = at(dir.path(), "F_linea.txt");
  write_file(fatal, test_support::line_text({"indicatori_vmax, 0, 80, 80, 80, 0, , , , 0"}));
  const std::string blank_train = at(dir.path(), "Alpe_22 31-.txt");
  write_file(blank_train, test_support::embedded_service_text());
  const std::string out = (dir.path() / "out").string();
  fs::create_directory(out);
  const std::string refused = at(dir.path(), "refused");

  struct case_ {
    std::vector<std::string> args;
    exit_status status;
    std::string err;  // expected within the error output; empty: no error output at all
  };
  const std::vector<case_> cases = {
      {{"--help"}, exit_status::clean, ""},
      {{"compile", "--help"}, exit_status::clean, ""},
      {{"inspect", "--help"}, exit_status::clean, ""},
      {{"--version"}, exit_status::clean, ""},
      {{"compile", line, service, "--out", out}, exit_status::clean, ""},
      {{"compile", line, warned, "--route", "Vescara_Ormeda", "--train", "4816", "--dry-run"},
       exit_status::clean,
       "warning:"},
      {{"compile", line, occupied, "--train", "4816", "--out", out},
       exit_status::build_error,
       "error 16:"},
      {{"compile", no_grid, service, "--train", "4816", "--out", out},
       exit_status::fatal,
       "no binary file written"},
      {{"compile", fatal, service, "--train", "4816", "--out", out},
       exit_status::fatal,
       "error 1250:"},
      {{}, exit_status::usage_or_file, "A subcommand is required"},
      {{"frobnicate"}, exit_status::usage_or_file, "unknown subcommand 'frobnicate'"},
      {{"compile", line}, exit_status::usage_or_file, "SERVICE_TEXT is required"},
      {{"compile", line, service, "--fast"}, exit_status::usage_or_file, "--fast"},
      {{"compile", at(dir.path(), "missing_linea.txt"), service, "--train", "4816"},
       exit_status::usage_or_file,
       "missing_linea.txt"},
      // --out makes the folder it names, as build tools do.
      {{"compile", line, service, "--out", at(dir.path(), "new/out/dir")},
       exit_status::clean,
       ""},
      {{"compile", line, service, "--out", at(dir.path(), line_name)},
       exit_status::usage_or_file,
       "cannot make the output folder"},
      {{"compile", service, line},
       exit_status::usage_or_file,
       "the texts look swapped"},
      // A train number becomes part of every file name: each command that
      // takes one refuses a bad one with the rule, before it writes anything.
      {{"compile", line, service, "--train", "", "--out", refused},
       exit_status::usage_or_file,
       "the train number \"\" is empty, but a train number is 1 to 8 ASCII letters or digits: "
       "give another with --train NUMBER"},
      {{"compile", line, service, "--train", "22 31", "--out", refused},
       exit_status::usage_or_file,
       "the train number \"22 31\" holds a blank, but a train number is 1 to 8 ASCII letters "
       "or digits: give another with --train NUMBER"},
      {{"compile", line, service, "--train", "12345678901234567890", "--out", refused},
       exit_status::usage_or_file,
       "the train number \"12345678901234567890\" has 20 characters, but"},
      {{"compile", line, service, "--train", "123456789", "--out", refused},
       exit_status::usage_or_file,
       "has 9 characters, but"},
      {{"compile", line, service, "--train", "../x", "--out", refused},
       exit_status::usage_or_file,
       "the train number \"../x\" holds \".\", but"},
      {{"compile", line, service, "--train", "77_bis", "--out", refused},
       exit_status::usage_or_file,
       "holds \"_\", but"},
      {{"compile", line, service, "--train", "\x1b[2J", "--out", refused},
       exit_status::usage_or_file,
       "the train number \"\\x1b[2J\" holds the byte 0x1B, but"},
      {{"compile", line, service, "--train", "LINEA", "--out", refused},
       exit_status::usage_or_file,
       "the train number \"LINEA\" would name the grid ROUTE_linea.dat, the track plan's file "
       "name: give another with --train NUMBER"},
      {{"compile", line, blank_train, "--out", refused},
       exit_status::usage_or_file,
       "the train number \"22 31\" holds a blank, but"},
      {{"compile", line, service, "--train", "IC4816ab", "--dry-run"}, exit_status::clean, ""},
      {{"serve", line, service, "--train", "22 31", "--port", "70000"},
       exit_status::usage_or_file,
       "the train number \"22 31\" holds a blank, but"},
      {{"view", line, service, "--train", "../x", "-o", at(refused, "page.html")},
       exit_status::usage_or_file,
       "the train number \"../x\" holds \".\", but"},
      {{"view", "--dir", out, "--train", "../x", "-o", at(refused, "page.html")},
       exit_status::usage_or_file,
       "the train number \"../x\" holds \".\", but"},
      {{"decompile", "--dir", out, "--train", "22 31", "--out", refused},
       exit_status::usage_or_file,
       "the train number \"22 31\" holds a blank, but"},
      {{"summary", "--dir", out, "--train", "12345678901234567890"},
       exit_status::usage_or_file,
       "has 20 characters, but"},
      {{"diff", out, out, "--train", ""}, exit_status::usage_or_file, "is empty, but"},
      {{"compile", line, warned, "--route", "Vescara_Ormeda", "--train", "4816", "--dry-run",
        "--strict"},
       exit_status::build_error,
       "warning:"},
      {{"export-sources", "--out", dir.path().string()},
       exit_status::usage_or_file,
       "give --force"},
      {{"inspect"}, exit_status::usage_or_file, "FILE is required"},
      {{"inspect", at(out, "Vescara_Ormeda_4816.dat"), "--cells", "9..3"},
       exit_status::usage_or_file,
       "--cells takes"},
      {{"inspect", at(out, "Vescara_Ormeda_4816.dat"), "--kind", "tree"},
       exit_status::usage_or_file,
       "--kind takes"},
      {{"view", line, occupied, "--train", "4816", "-o", at(out, "occupied.html")},
       exit_status::build_error,
       "error 16:"},
      {{"view", fatal, service, "--train", "4816", "-o", at(out, "fatal.html")},
       exit_status::fatal,
       "error 1250:"},
      {{"view", line}, exit_status::usage_or_file, "view takes both texts"},
      {{"view", line, service, "--dir", out}, exit_status::usage_or_file, "or --dir, not both"},
      {{"serve", line}, exit_status::usage_or_file, "SERVICE_TEXT is required"},
      {{"serve", line, service, "--port", "65536"}, exit_status::usage_or_file,
       "--port takes a decimal number from 1 to 65535, or 0 for any free port"},
      {{"serve", line, service, "--port", "0x50"}, exit_status::usage_or_file,
       "--port takes a decimal number"},
      {{"serve", line, service, "--port", ""}, exit_status::usage_or_file,
       "--port takes a decimal number"},
      {{"serve", line, service, "--port", "-1"}, exit_status::usage_or_file,
       "--port takes a decimal number"},
      {{"serve", line, service, "--port", "+80"}, exit_status::usage_or_file,
       "--port takes a decimal number"},
      {{"serve", line, service, "--port", "80 "}, exit_status::usage_or_file,
       "--port takes a decimal number"},
      {{"serve", line, service, "--port", "8e3"}, exit_status::usage_or_file,
       "--port takes a decimal number"},
      {{"serve", fatal, plain_service}, exit_status::usage_or_file,
       "cannot tell the train number"},
      {{"serve", at(dir.path(), "missing_linea.txt"), service, "--train", "4816", "--port", "0"},
       exit_status::usage_or_file, "cannot read the line text"},
  };
  for (const case_& c : cases) {
    const run_result result = run(c.args);
    const std::string name = c.args.empty() ? "(none)" : c.args[0] + " " + c.args.back();
    EXPECT_EQ(result.status, c.status) << name << ": " << result.err;
    if (c.err.empty()) {
      EXPECT_EQ(result.err, "") << name;
    } else {
      EXPECT_NE(result.err.find(c.err), std::string::npos) << name << ": " << result.err;
    }
  }
  EXPECT_FALSE(fs::exists(refused));
  EXPECT_NE(run({"compile", "--help"}).out.find("--dry-run"), std::string::npos);
  const std::string version = run({"--version"}).out;
  const std::regex version_text(
      "scenario-builder [0-9]+\\.[0-9]+\\.[0-9]+( \\(commit [0-9a-f]{7,}\\))?\n");
  EXPECT_TRUE(std::regex_match(version, version_text)) << version;
}

// The exit statuses are the program's: listed once, in its own help (and so
// in the manual page made from it); each subcommand's help points there.
TEST(CommandLine, ExitStatusesStandOnceInTheProgramsHelp) {
  const std::string help = run({"--help"}).out;
  const std::size_t block = help.find("\nExit status:\n");
  ASSERT_NE(block, std::string::npos) << help;
  EXPECT_EQ(help.find("Exit status:", block + 2), std::string::npos);
  EXPECT_NE(help.find("\n  3  fatal error", block), std::string::npos);
  std::vector<std::string> subcommands;
  std::istringstream lines(help.substr(help.find("\nSubcommands:\n") + 14));
  for (std::string row; std::getline(lines, row) && !row.empty();) {
    subcommands.push_back(row.substr(2, row.find(' ', 2) - 2));
  }
  EXPECT_EQ(subcommands.size(), 10u) << help;
  for (const std::string& subcommand : subcommands) {
    const run_result sub = run({subcommand, "--help"});
    EXPECT_EQ(sub.status, exit_status::clean) << subcommand;
    EXPECT_EQ(sub.out.find("Exit status:"), std::string::npos) << subcommand;
    EXPECT_EQ(sub.out.find("fatal error"), std::string::npos) << subcommand;
    EXPECT_TRUE(sub.out.ends_with("\nExit statuses: see 'scenario-builder --help'.\n"))
        << subcommand << ": " << sub.out;
  }
  const run_result listed = run({"explain"});
  EXPECT_EQ(listed.out.find("Exit status"), std::string::npos);
  EXPECT_EQ(listed.out.find("fatal error ("), std::string::npos);
}

// Every folder a command writes into, named with --out or as the page's
// with -o, is made when missing, and refused with the reason when something
// else stands at its path.
TEST(CommandLine, OutputFoldersAreMadeWhenMissing) {
  temporary_directory texts, built, top;
  export_to(texts.path());
  default_build(built.path());
  const std::string line = at(texts.path(), line_name);
  const std::string service = at(texts.path(), service_name);
  const std::string blocked = at(top.path(), "file");
  write_file(blocked, "not a folder");
  struct case_ {
    std::vector<std::string> args;  // the folder follows as "--out DIR", or "-o DIR/page.html"
    bool page;
    std::set<std::string> written;
  };
  const std::set<std::string> binaries(binary_names.begin(), binary_names.end());
  const std::set<std::string> sources = {line_name, service_name};
  const std::vector<case_> cases = {
      {{"build", "--no-window"}, false, {}},
      {{"export-sources"}, false, sources},
      {{"compile", line, service}, false, binaries},
      {{"decompile", "--dir", built.path().string()}, false, sources},
      {{"view", "--dir", built.path().string()}, true, {"page.html"}},
      {{"view", line, service}, true, {"page.html"}},
  };
  for (const case_& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args.back());
    const fs::path folder = top.path() / c.args[0] / "made" / "here";
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {c.page ? "-o" : "--out",
                             c.page ? at(folder, "page.html") : folder.string()});
    const run_result made = run(args);
    ASSERT_EQ(made.status, exit_status::clean) << made.err;
    ASSERT_TRUE(fs::is_directory(folder));
    // The build writes its documents as well; the other commands what they
    // name, and nothing else.
    std::set<std::string> expected = c.written;
    if (c.args[0] == "build") expected = files_in(built.path());
    EXPECT_EQ(files_in(folder), expected);

    args.back() = c.page ? at(fs::path(blocked), "page.html") : (fs::path(blocked) / "x").string();
    const run_result refused = run(args);
    EXPECT_EQ(refused.status, exit_status::usage_or_file);
    EXPECT_NE(refused.err.find(c.page ? "cannot make the page's folder: " + blocked
                                      : "cannot make the output folder: " + blocked),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(read_file(blocked), "not a folder");
  }
}

TEST(CompileCommand, ReportsErrorsAtTheirFileAndLine) {
  temporary_directory dir;
  export_to(dir.path());
  // A signal on the first station's stop cell, as the first signal row.
  std::string service = test_support::embedded_service_text();
  const std::string header = "[segnali]\r\n";
  service.insert(service.find(header) + header.size(),
                 "segnale,    350,   2, 4, 0,  0, 0,    0,  0,0,0, 0\r\n");
  const fs::path service_path = dir.path() / service_name;
  write_file(service_path, service);
  const std::string line = at(dir.path(), line_name);

  const run_result text = run({"compile", line, service_path.string(), "--dry-run"});
  EXPECT_EQ(text.status, exit_status::build_error);
  EXPECT_EQ(text.out, "");
  EXPECT_EQ(text.err, service_path.string() +
                          ":52: error 16: a signal falls on an occupied cell, at 350 m: cell 8 already holds the station stop of VESCARA (line 36)\n"
                          "    segnale,    350,   2, 4, 0,  0, 0,    0,  0,0,0, 0\n");

  const run_result json = run({"compile", line, service_path.string(), "--dry-run", "--json"});
  EXPECT_EQ(json.status, exit_status::build_error);
  EXPECT_EQ(json.err, "");
  const nlohmann::json reports = nlohmann::json::parse(json.out);
  ASSERT_TRUE(reports.is_array());
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0]["severity"], "error");
  EXPECT_EQ(reports[0]["file"], service_path.string());
  EXPECT_EQ(reports[0]["line"], 52);
  EXPECT_EQ(reports[0]["code"], 16);
  EXPECT_EQ(reports[0]["message"], "a signal falls on an occupied cell, at 350 m: cell 8 already holds the station stop of VESCARA (line 36)");
  EXPECT_EQ(reports[0]["row"], "segnale,    350,   2, 4, 0,  0, 0,    0,  0,0,0, 0");

  // A warning has no code; a row that is not UTF-8 still makes valid JSON.
  write_file(service_path, test_support::service_text({"sabbia, 300, \xE8"}));
  const run_result warned = run({"compile", line, service_path.string(), "--dry-run", "--json"});
  EXPECT_EQ(warned.status, exit_status::clean);
  const nlohmann::json warnings = nlohmann::json::parse(warned.out);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0]["severity"], "warning");
  EXPECT_TRUE(warnings[0]["code"].is_null());
  EXPECT_EQ(warnings[0]["line"], 2);
  EXPECT_EQ(warnings[0]["row"], "sabbia, 300, \xEF\xBF\xBD");

  // Control bytes of a row are shown escaped, never sent to the terminal;
  // the JSON holds them as JSON escapes, which read back as the row's bytes.
  const std::string hostile = "sabbia, 300, \x1b]0;owned\x07\x1b[2J\x7f";
  write_file(service_path, test_support::service_text({hostile, "pi\x1b[31mu\x07, 1"}));
  const run_result escaped = run({"compile", line, service_path.string(), "--dry-run"});
  EXPECT_EQ(escaped.status, exit_status::clean);
  EXPECT_NE(escaped.err.find("    sabbia, 300, \\x1b]0;owned\\x07\\x1b[2J\\x7f\n"),
            std::string::npos)
      << escaped.err;
  EXPECT_NE(escaped.err.find("warning: \"pi\\x1b[31mu\\x07\" matches no keyword here"),
            std::string::npos)
      << escaped.err;
  for (const char control : {'\x1b', '\x07', '\x7f'}) {
    EXPECT_EQ(escaped.err.find(control), std::string::npos) << int(control);
  }
  const run_result escaped_json =
      run({"compile", line, service_path.string(), "--dry-run", "--json"});
  for (const char control : {'\x1b', '\x07', '\x7f'}) {
    EXPECT_EQ(escaped_json.out.find(control), std::string::npos) << int(control);
  }
  EXPECT_EQ(nlohmann::json::parse(escaped_json.out)[0]["row"], hostile);
}

class InspectCommand : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    built_ = new temporary_directory;
    default_build(built_->path());
  }
  static void TearDownTestSuite() {
    delete built_;
    built_ = nullptr;
  }
  static std::string file(const std::string& name) { return at(built_->path(), name); }
  static temporary_directory* built_;
};

temporary_directory* InspectCommand::built_ = nullptr;

TEST_F(InspectCommand, GridCellsAsTableAndJson) {
  const run_result table = run({"inspect", file("Vescara_Ormeda_4816.dat"), "--cells", "184"});
  ASSERT_EQ(table.status, exit_status::clean) << table.err;
  EXPECT_EQ(table.out,
            file("Vescara_Ormeda_4816.dat") +
                ": cell grid, 21165 bytes\n"
                "1411 cells (0 to 1410), 1 shown\n"
                "cell  metres  kind  name    param1  param2  param3  param4  time  mark  tunnel  "
                "speed/5  grad+100  adhesion\n"
                " 184    9200     1  signal      42       0       0       8   140     0       0  "
                "     26        96       100\n");

  const run_result json = run({"inspect", file("Vescara_Ormeda_4816.dat"), "--json", "--kind",
                               "speed-boards", "--cells", "700..720"});
  ASSERT_EQ(json.status, exit_status::clean) << json.err;
  const nlohmann::json files = nlohmann::json::parse(json.out);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0]["kind"], "cell grid");
  EXPECT_EQ(files[0]["cell_count"], 1411);
  ASSERT_EQ(files[0]["cells"].size(), 1u);
  const nlohmann::json& boards = files[0]["cells"][0];
  EXPECT_EQ(boards["cell"], 711);
  EXPECT_EQ(boards["metres"], 35550);
  EXPECT_EQ(boards["kind"], 6);
  EXPECT_EQ(boards["kind_name"], "speed boards");
  EXPECT_EQ(boards["param1"], 2222);
  EXPECT_EQ(boards["param2"], 2424);
  EXPECT_EQ(boards["param3"], 2828);
  EXPECT_EQ(boards["param4"], 0);

  // Every signal, and nothing but signals: the embedded service has 34.
  const nlohmann::json signals = nlohmann::json::parse(
      run({"inspect", file("Vescara_Ormeda_4816.dat"), "--json", "--kind", "1"}).out);
  EXPECT_EQ(signals[0]["cells"].size(), 34u);
  for (const auto& cell : signals[0]["cells"]) EXPECT_EQ(cell["kind"], 1);

  // Only the cells that hold an object, each with the text line that put it
  // there when the texts are given.
  temporary_directory texts;
  export_to(texts.path());
  const nlohmann::json objects = nlohmann::json::parse(
      run({"inspect", file("Vescara_Ormeda_4816.dat"), "--json", "--objects", "--source",
           at(texts.path(), line_name), at(texts.path(), service_name)})
          .out);
  for (const auto& cell : objects[0]["cells"]) {
    EXPECT_NE(cell["kind"], 0);
    EXPECT_TRUE(cell.contains("source")) << cell.dump();
  }
  EXPECT_EQ(objects[0]["cells"][0]["cell"], 8);
  EXPECT_EQ(objects[0]["cells"][0]["source"], "Vescara_Ormeda_4816-.txt:36");

  // The cells as comma-separated values, with the elevation summed from the
  // gradients: 50 m at 4 per mille climb 0.2 m.
  const run_result csv = run({"inspect", file("Vescara_Ormeda_4816.dat"), "--csv", "--cells",
                              "582..583"});
  EXPECT_EQ(csv.out,
            "distance_m,kind,speed_kmh,gradient_per_mille,adhesion_percent,elevation_m\n"
            "29100,free,100,4,100,24.20\n"
            "29150,free,100,4,82,24.40\n");
}

TEST_F(InspectCommand, TableSlotsWithTheirRoles) {
  const run_result table = run({"inspect", file("Vescara_Ormeda_4816.sim"), "--slots", "86"});
  ASSERT_EQ(table.status, exit_status::clean) << table.err;
  EXPECT_NE(table.out.find("1 shown\n"), std::string::npos) << table.out;
  EXPECT_NE(table.out.find("  86  train parameters"), std::string::npos) << table.out;
  EXPECT_TRUE(table.out.ends_with("  4816\n")) << table.out;

  const nlohmann::json files = nlohmann::json::parse(
      run({"inspect", file("Vescara_Ormeda_4816.sim"), "--json", "--slots", "0..2"}).out);
  ASSERT_EQ(files[0]["slots"].size(), 2u);  // slot 0 holds nothing
  EXPECT_EQ(files[0]["slots"][0]["slot"], 1);
  EXPECT_EQ(files[0]["slots"][0]["role"], "station");
  EXPECT_EQ(files[0]["slots"][0]["name"], "VESCARA");
  EXPECT_EQ(files[0]["slots"][0]["finish"], 450);

  const nlohmann::json all =
      nlohmann::json::parse(run({"inspect", file("Vescara_Ormeda_4816.sim"), "--json"}).out);
  const nlohmann::json& last = all[0]["slots"].back();
  EXPECT_EQ(last["slot"], 86);
  EXPECT_EQ(last["name"], "4816");
  EXPECT_EQ(last["group1_a"], 300);

  // A Windows-1252 name is shown as the letters it stands for.
  temporary_directory dir;
  write_file(dir.path() / "A_linea.txt", test_support::line_text({}));
  write_file(dir.path() / "A_7-.txt", test_support::service_text(
                                          {"stazione, 0, 4, 900, 1,0,0, 4,1,1, 2,1,1, 1, 15,18,0, "
                                           "CITT\xC0 ALTA"}));
  ASSERT_EQ(run({"compile", at(dir.path(), "A_linea.txt"), at(dir.path(), "A_7-.txt"), "--out",
                 dir.path().string()})
                .status,
            exit_status::clean);
  const run_result named = run({"inspect", at(dir.path(), "A_7.sim"), "--slots", "1", "--json"});
  EXPECT_EQ(nlohmann::json::parse(named.out)[0]["slots"][0]["name"], "CITT\xC3\x80 ALTA");

  // A name's control bytes are shown escaped in the table, as JSON escapes
  // in the JSON: none reaches the terminal as it is.
  write_file(dir.path() / "A_8-.txt",
             test_support::service_text(
                 {"stazione, 0, 4, 900, 1,0,0, 4,1,1, 2,1,1, 1, 15,18,0, VIA\x1b[2J\x07\x7f"}));
  ASSERT_EQ(run({"compile", at(dir.path(), "A_linea.txt"), at(dir.path(), "A_8-.txt"), "--out",
                 dir.path().string()})
                .status,
            exit_status::clean);
  const run_result hostile = run({"inspect", at(dir.path(), "A_8.sim"), "--slots", "1"});
  EXPECT_NE(hostile.out.find("VIA\\x1b[2J\\x07\\x7f"), std::string::npos) << hostile.out;
  const run_result hostile_json =
      run({"inspect", at(dir.path(), "A_8.sim"), "--slots", "1", "--json"});
  for (const char control : {'\x1b', '\x07', '\x7f'}) {
    EXPECT_EQ(hostile.out.find(control), std::string::npos) << int(control);
    EXPECT_EQ(hostile_json.out.find(control), std::string::npos) << int(control);
  }
  EXPECT_EQ(nlohmann::json::parse(hostile_json.out)[0]["slots"][0]["name"], "VIA\x1b[2J\x07\x7f");
}

TEST_F(InspectCommand, PlanSummary) {
  const run_result json = run({"inspect", file("Vescara_Ormeda_linea.dat"), "--json"});
  ASSERT_EQ(json.status, exit_status::clean) << json.err;
  const nlohmann::json plan = nlohmann::json::parse(json.out)[0];
  EXPECT_EQ(plan["kind"], "track plan");
  EXPECT_EQ(plan["bytes"], 1409964);
  EXPECT_EQ(plan["metres"], 70501);
  EXPECT_EQ(plan["tags"]["int16"], 4);
  EXPECT_EQ(plan["tags"]["double"], 140994);
  EXPECT_EQ(plan["tags"]["empty"], 4);
  EXPECT_EQ(plan["points"], 70499);
  EXPECT_EQ(plan["samples"][1]["metre"], 1);
  EXPECT_EQ(plan["samples"][1]["x"], 0.0);
  EXPECT_EQ(plan["samples"][1]["y"], 1.0);
  EXPECT_EQ(plan["samples"].back()["metre"], 70498);

  const run_result text = run({"inspect", file("Vescara_Ormeda_linea.dat")});
  EXPECT_NE(text.out.find("metres        70501 (0 to 70500)\n"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("type tags     4 int16, 140994 double, 4 empty\n"), std::string::npos);
}

TEST_F(InspectCommand, RefusesFilesThatCannotBeWhatTheirNamesSay) {
  temporary_directory dir;
  const std::string grid = read_file(built_->path() / "Vescara_Ormeda_4816.dat");
  const std::string table = read_file(built_->path() / "Vescara_Ormeda_4816.sim");
  write_file(dir.path() / "cut.dat", grid.substr(0, grid.size() - 1));
  write_file(dir.path() / "cut.sim", table.substr(0, table.size() - 1));
  write_file(dir.path() / "table_linea.dat", table);
  write_file(dir.path() / "grid.bin", grid);
  struct case_ {
    std::string name;
    std::string message;
  };
  const std::vector<case_> cases = {
      {"cut.dat", "cut.dat: not a cell grid: 21164 bytes is not a whole number of 15-byte cells"},
      {"cut.sim", "cut.sim: not a scenario table: the file ends inside slot 86"},
      // Slot 0 is 34 zero bytes, 17 empty elements; slot 1 starts with type 4
      // and a start of -450, bytes 04 3E.
      {"table_linea.dat",
       "table_linea.dat: not a track plan: element 17 (byte 34) has the type "
       "code 15876"},
      {"grid.bin", "grid.bin: cannot tell the kind of file from its name"},
      {"missing.dat", "missing.dat: No such file or directory"},
  };
  // An option for another kind of file is refused with the reason.
  const run_result misplaced = run({"inspect", file("Vescara_Ormeda_4816.sim"), "--kind", "signal"});
  EXPECT_EQ(misplaced.status, exit_status::usage_or_file);
  EXPECT_NE(misplaced.err.find("--kind applies to a cell grid"), std::string::npos) << misplaced.err;
  for (const case_& c : cases) {
    const run_result result = run({"inspect", at(dir.path(), c.name)});
    EXPECT_EQ(result.status, exit_status::usage_or_file) << c.name;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << c.name << ": " << result.err;
    EXPECT_EQ(result.out, "") << c.name;
  }
  // The good files of a list are still shown.
  const run_result mixed =
      run({"inspect", at(dir.path(), "cut.dat"), file("Vescara_Ormeda_4816.sim"), "--json"});
  EXPECT_EQ(mixed.status, exit_status::usage_or_file);
  const nlohmann::json files = nlohmann::json::parse(mixed.out);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_TRUE(files[0].contains("error"));
  EXPECT_EQ(files[1]["kind"], "scenario table");
}

TEST(InspectRanges, ParsesRangesAndKinds) {
  struct range_case {
    std::string text;
    std::optional<std::pair<std::int64_t, std::int64_t>> expected;
  };
  const std::int64_t open = std::numeric_limits<std::int64_t>::max();
  const std::vector<range_case> cases = {
      {"3..9", std::pair<std::int64_t, std::int64_t>{3, 9}},
      {"184", std::pair<std::int64_t, std::int64_t>{184, 184}},
      {"80..", std::pair<std::int64_t, std::int64_t>{80, open}},
      {"..5", std::pair<std::int64_t, std::int64_t>{0, 5}},
      {"9..3", std::nullopt},
      {"..", std::nullopt},
      {"", std::nullopt},
      {"-1..4", std::nullopt},
      {"1...4", std::nullopt},
      {"a..b", std::nullopt},
      {"99999999999999999999", std::nullopt},
  };
  for (const range_case& c : cases) {
    const auto range = builder::parse_index_range(c.text);
    ASSERT_EQ(range.has_value(), c.expected.has_value()) << c.text;
    if (!range) continue;
    EXPECT_EQ(range->first, c.expected->first) << c.text;
    EXPECT_EQ(range->last, c.expected->second) << c.text;
  }
  EXPECT_EQ(builder::parse_kind("signal"), 1);
  EXPECT_EQ(builder::parse_kind("speed_boards"), 6);
  EXPECT_EQ(builder::parse_kind("code-cut-without-code"), 13);
  EXPECT_EQ(builder::parse_kind("14"), 14);
  EXPECT_EQ(builder::parse_kind("station"), 10);
  EXPECT_EQ(builder::parse_kind("Station-Stop"), 10);
  EXPECT_EQ(builder::parse_kind("signals"), 1);
  EXPECT_EQ(builder::parse_kind("sign"), 14);
  EXPECT_EQ(builder::parse_kind("256"), std::nullopt);
  EXPECT_EQ(builder::parse_kind("unknown"), std::nullopt);
}

}  // namespace
