// Replays the fuzzer's seeds and every input that ever broke the program
// through the same in-memory compile and checks as the fuzzer, so that a
// fixed fault that comes back fails an ordinary test run.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "fuzz/binary_input.h"
#include "fuzz/compile_input.h"
#include "fuzz/seed_inputs.h"
#include "scenario/file_system.h"

namespace {

namespace fs = std::filesystem;

// The regression corpora sit in the fuzz folder beside the tests' own data.
fs::path regression_directory(std::string_view name = "regressions") {
  return fs::path(SCENARIO_TEST_DATA).parent_path().parent_path() / "fuzz" / name;
}

// Every input of a regression corpus, in name order.
std::vector<fs::path> regression_inputs(std::string_view name) {
  std::vector<fs::path> inputs;
  for (const auto& entry : fs::directory_iterator(regression_directory(name))) {
    if (entry.is_regular_file() && entry.path().filename() != "README.md") {
      inputs.push_back(entry.path());
    }
  }
  std::sort(inputs.begin(), inputs.end());
  return inputs;
}

std::string input_at(const fs::path& path) {
  std::string data;
  EXPECT_TRUE(scenario::read_whole_file(path, data, {std::uint64_t{1} << 24, "a fuzz input"}))
      << path;
  return data;
}

TEST(FuzzCorpus, InputsSplitIntoModeAndTwoTexts) {
  struct split_case {
    std::string data;
    std::int32_t j;
    std::optional<std::string> line;
    std::optional<std::string> service;
  };
  const std::vector<split_case> cases = {
      {"", 1, "", ""},
      {"1", 1, "", ""},
      {"1line", 1, "line", ""},
      {std::string("1line\0service", 13), 1, "line", "service"},
      {std::string("0a\0b\0c", 6), 0, "a", std::string("b\0c", 3)},
      {std::string("3a\0b", 4), 1, std::nullopt, "b"},
      {std::string("5a\0b", 4), 1, "a", std::nullopt},
      {std::string("\x06"
                   "a\0b",
                   4),
       0, std::nullopt, std::nullopt},
  };
  for (const split_case& c : cases) {
    const fuzzing::compile_input input = fuzzing::split_input(c.data);
    EXPECT_EQ(input.with_plan, c.j == 1) << c.data;
    EXPECT_EQ(input.texts.line, c.line) << c.data;
    EXPECT_EQ(input.texts.service, c.service) << c.data;
  }
  EXPECT_EQ(fuzzing::join_input('1', "line", "service"), std::string("1line\0service", 13));
}

TEST(FuzzCorpus, SeedsCompileWithinTheRules) {
  const std::vector<fuzzing::named_input> seeds = fuzzing::seed_inputs();
  ASSERT_FALSE(seeds.empty());
  for (const fuzzing::named_input& seed : seeds) {
    const auto problem = fuzzing::compile_and_check(seed.data);
    EXPECT_TRUE(problem) << seed.name << ": " << problem.describe();
  }
}

TEST(FuzzCorpus, EveryInputThatEverFailedNowCompilesWithinTheRules) {
  const std::vector<fs::path> inputs = regression_inputs("regressions");
  ASSERT_FALSE(inputs.empty()) << regression_directory();
  for (const fs::path& path : inputs) {
    const auto problem = fuzzing::compile_and_check(input_at(path));
    EXPECT_TRUE(problem) << path.filename() << ": " << problem.describe();
  }
}

// The inspect and view harnesses: their seeds and every input that ever
// broke them, through the same checks.
TEST(FuzzCorpus, BinaryFilesInspectAndViewWithinTheRules) {
  struct harness {
    std::string name;
    std::vector<fuzzing::named_input> seeds;
    std::string regressions;
    std::function<scenario::status(std::string_view)> check;
  };
  const std::vector<harness> harnesses = {
      {"inspect", fuzzing::inspect_seed_inputs(), "inspect_regressions",
       fuzzing::inspect_and_check},
      {"view", fuzzing::view_seed_inputs(), "view_regressions", fuzzing::view_and_check},
      {"decompile", fuzzing::view_seed_inputs(), "decompile_regressions",
       fuzzing::decompile_and_check},
  };
  for (const harness& h : harnesses) {
    ASSERT_GT(h.seeds.size(), 3u) << h.name;
    std::vector<std::pair<std::string, std::string>> inputs;
    for (const fuzzing::named_input& seed : h.seeds) inputs.emplace_back(seed.name, seed.data);
    for (const fs::path& path : regression_inputs(h.regressions)) {
      inputs.emplace_back(path.filename().string(), input_at(path));
    }
    for (const auto& [name, data] : inputs) {
      const auto problem = h.check(data);
      EXPECT_TRUE(problem) << h.name << " " << name << ": " << problem.describe();
    }
  }
}

TEST(FuzzCorpus, LinesLongerThanTheCapAreNotFuzzed) {
  struct cap_case {
    std::string name;
    std::string data;
    bool beyond;
  };
  const std::string service = "[generale]\r\n[fine]\r\n";
  const auto with_length = [&](std::string_view rows) {
    return fuzzing::join_input('1', "[generale]\r\n" + std::string(rows) + "[fine]\r\n", service);
  };
  // The control byte '3' leaves the line text missing.
  const auto without_line_text = [](std::string input) {
    input.front() = '3';
    return input;
  };
  const std::vector<cap_case> cases = {
      {"at the cap", with_length("lunghezza percorso, 2000\r\n"), false},
      {"past the cap", with_length("lunghezza percorso, 2050\r\n"), true},
      {"in capitals", with_length("Lunghezza Percorso, 9000\r\n"), true},
      {"the longer of two", with_length("lunghezza percorso, 100\r\nlunghezza percorso, 9000\r\n"),
       true},
      {"after the general section", with_length("[curve]\r\nlunghezza percorso, 9000\r\n"), false},
      {"a length past the long range", with_length("lunghezza percorso, 99999999999\r\n"), false},
      {"past the long range after a long one",
       with_length("lunghezza percorso, 9000\r\nlunghezza percorso, -99999999999\r\n"), true},
      {"a long one after one past the long range",
       with_length("lunghezza percorso, 99999999999\r\nlunghezza percorso, 9000\r\n"), false},
      {"no line text", without_line_text(with_length("lunghezza percorso, 9000\r\n")), false},
      {"empty", "", false},
  };
  for (const cap_case& c : cases) {
    EXPECT_EQ(fuzzing::beyond_fuzzed_line_length(c.data), c.beyond) << c.name;
  }
  for (const fuzzing::named_input& seed : fuzzing::seed_inputs()) {
    if (seed.name == "embedded" || seed.name == "length_limit") {
      EXPECT_TRUE(fuzzing::beyond_fuzzed_line_length(seed.data)) << seed.name;
    }
    if (seed.name == "small") {
      EXPECT_FALSE(fuzzing::beyond_fuzzed_line_length(seed.data));
    }
  }
}

}  // namespace
