// Replays the fuzzer's seeds and every input that ever broke the program
// through the same in-memory compile and checks as the fuzzer, so that a
// fixed fault that comes back fails an ordinary test run.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/compile_input.h"
#include "fuzz/seed_inputs.h"
#include "scenario/file_system.h"

namespace {

namespace fs = std::filesystem;

// The regression corpus sits in the fuzz folder beside the tests' own data.
fs::path regression_directory() {
  return fs::path(SCENARIO_TEST_DATA).parent_path().parent_path() / "fuzz" / "regressions";
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
    EXPECT_EQ(input.j, c.j) << c.data;
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
    EXPECT_FALSE(problem.has_value()) << seed.name << ": " << problem.value_or("");
  }
}

TEST(FuzzCorpus, EveryInputThatEverFailedNowCompilesWithinTheRules) {
  std::vector<fs::path> inputs;
  for (const auto& entry : fs::directory_iterator(regression_directory())) {
    if (entry.is_regular_file() && entry.path().filename() != "README.md") {
      inputs.push_back(entry.path());
    }
  }
  std::sort(inputs.begin(), inputs.end());
  ASSERT_FALSE(inputs.empty()) << regression_directory();
  for (const fs::path& path : inputs) {
    std::string data;
    ASSERT_FALSE(
        scenario::read_whole_file(path, data, {std::uint64_t{1} << 20, "a fuzz input"}).has_value())
        << path;
    const auto problem = fuzzing::compile_and_check(data);
    EXPECT_FALSE(problem.has_value()) << path.filename() << ": " << problem.value_or("");
  }
}

}  // namespace
