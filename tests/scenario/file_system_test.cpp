// Replacing a file: the new content whole at the name, nothing left beside
// it, and a reader that read the old content keeps it.

#include "scenario/file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;

constexpr scenario::size_bound any_size{std::uint64_t{1} << 30, "a test file"};

std::vector<std::string> names_in(const fs::path& directory) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string content_of(const fs::path& path) {
  std::string bytes;
  EXPECT_TRUE(scenario::read_whole_file(path, bytes, any_size)) << path;
  return bytes;
}

// A failure is told one way, whatever failed: its step, its place and its
// reason, the parts not known left out; a missing file stays known as
// missing through the steps that wrap it.
TEST(FileSystem, FailuresAreToldOneWay) {
  test_support::temporary_directory directory;
  const fs::path absent = directory.path() / "absent.txt";
  std::string bytes = "left over";
  const scenario::status missing = scenario::read_whole_file(absent, bytes, any_size);
  EXPECT_TRUE(bytes.empty());
  const fs::path folder = directory.path() / "folder";
  fs::create_directory(folder);
  const scenario::status not_a_file = scenario::read_whole_file(folder, bytes, any_size);
  struct told_case {
    scenario::status result;
    bool ok;
    bool not_found;
    std::string told;
  };
  const std::vector<told_case> cases = {
      {{}, true, false, ""},
      {scenario::status{}.within("cannot read the line text"), true, false, ""},
      {scenario::status::failure("is empty"), false, false, "is empty"},
      {missing, false, true, absent.string() + ": No such file or directory"},
      {missing.within("cannot read the line text"), false, true,
       "cannot read the line text: " + absent.string() + ": No such file or directory"},
      {not_a_file.within("b").within("a"), false, false,
       "a: b: " + folder.string() + ": is a directory"},
      {scenario::status::failure_at("x.dat", "not a cell grid"), false, false,
       "x.dat: not a cell grid"},
  };
  for (const told_case& c : cases) {
    SCOPED_TRACE(c.told);
    EXPECT_EQ(static_cast<bool>(c.result), c.ok);
    EXPECT_EQ(c.result.not_found(), c.not_found);
    EXPECT_EQ(c.result.describe(), c.told);
  }
  EXPECT_EQ(missing, scenario::read_whole_file(absent, bytes, any_size));
  EXPECT_FALSE(missing == not_a_file);
}

TEST(FileSystem, ReplacesWholeAndLeavesNothingBeside) {
  struct replace_case {
    std::string name;
    std::string before;  // empty: no file there yet
    std::string after;
  };
  const std::vector<replace_case> cases = {
      {"a new file", "", "new content"},
      {"a longer file over a shorter one", "old", std::string(200000, 'n')},
      {"a shorter file over a longer one", std::string(300000, 'o'), "n"},
      {"an empty file over a full one", "old", ""},
  };
  for (const replace_case& c : cases) {
    SCOPED_TRACE(c.name);
    test_support::temporary_directory directory;
    const fs::path target = directory.path() / "Route_1.dat";
    scenario::file_bytes mapped;
    if (!c.before.empty()) {
      ASSERT_TRUE(scenario::write_file_atomically(target, c.before));
      ASSERT_TRUE(scenario::read_file_bytes(target, mapped, any_size));
    }
    ASSERT_TRUE(scenario::write_file_atomically(target, c.after));
    EXPECT_EQ(content_of(target), c.after);
    EXPECT_EQ(names_in(directory.path()), std::vector<std::string>{"Route_1.dat"});
    // The old content, read before, is the old file's, not the new one.
    EXPECT_EQ(mapped.view(), c.before);
  }
}

TEST(FileSystem, ARefusedReplacementLeavesTheTargetAsItWas) {
  test_support::temporary_directory directory;
  // A directory where the file should go is never swapped away.
  const fs::path taken = directory.path() / "Route_1.sim";
  fs::create_directory(taken);
  fs::create_directory(taken / "inside");
  const scenario::status failure = scenario::write_file_atomically(taken, "bytes");
  ASSERT_FALSE(failure);
  EXPECT_EQ(failure.place(), taken);
  EXPECT_TRUE(fs::is_directory(taken / "inside"));
  EXPECT_EQ(names_in(directory.path()), std::vector<std::string>{"Route_1.sim"});
}

TEST(FileSystem, ALinkAtTheNameIsReplacedAndItsTargetKept) {
  test_support::temporary_directory directory;
  const fs::path elsewhere = directory.path() / "elsewhere.dat";
  const fs::path link = directory.path() / "Route_1.dat";
  ASSERT_TRUE(scenario::write_file_atomically(elsewhere, "kept"));
  std::error_code error;
  fs::create_symlink(elsewhere, link, error);
  if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
  ASSERT_TRUE(scenario::write_file_atomically(link, "new"));
  EXPECT_FALSE(fs::is_symlink(link));
  EXPECT_EQ(content_of(link), "new");
  EXPECT_EQ(content_of(elsewhere), "kept");
  EXPECT_EQ((names_in(directory.path())),
            (std::vector<std::string>{"Route_1.dat", "elsewhere.dat"}));
}

}  // namespace
