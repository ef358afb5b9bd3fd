// `explain`: one code in full, the list of all codes, and the refusal of
// anything that is not a code.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "builder/commands/command_line.h"
#include "compiler/diagnostics.h"
#include "compiler/error_code.h"
#include "tests/test_support.h"

namespace {

using builder::exit_status;

using test_support::run_result;

run_result run(const std::vector<std::string>& args) { return test_support::run_command(args); }

TEST(Explain, OneCodeGivesEveryPartOfItsEntry) {
  for (const compiler::warning_explanation& w : compiler::warning_explanations()) {
    const std::string name(w.name);
    SCOPED_TRACE(name);
    const run_result r = run({"explain", name});
    EXPECT_EQ(r.status, exit_status::clean);
    EXPECT_EQ(r.out, "warning " + name + ": " + std::string(w.meaning) +
                         "\n  fix:       " + std::string(w.fix) + "\n");
  }
  for (const compiler::error_explanation& e : compiler::error_explanations()) {
    const std::string code = std::to_string(compiler::code_number(e.code));
    SCOPED_TRACE(code);
    const run_result r = run({"explain", code});
    EXPECT_EQ(r.status, exit_status::clean);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "error " + code + ": " + std::string(e.meaning) + "\n  raised by: " +
                         std::string(e.raised_by) + "\n  position:  " + std::string(e.position) +
                         "\n  fix:       " + std::string(e.fix) + "\n");
  }
}

TEST(Explain, WithoutACodeListsEveryCodeOnce) {
  const run_result r = run({"explain"});
  EXPECT_EQ(r.status, exit_status::clean);
  const auto& all = compiler::error_explanations();
  std::istringstream lines(r.out);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "code  meaning");
  for (const compiler::error_explanation& e : all) {
    ASSERT_TRUE(std::getline(lines, line));
    const std::string number = std::to_string(compiler::code_number(e.code));
    EXPECT_EQ(line, std::string(4 - number.size(), ' ') + number + "  " + std::string(e.meaning));
  }
  ASSERT_TRUE(std::getline(lines, line));
  EXPECT_EQ(line, "");
  ASSERT_TRUE(std::getline(lines, line));
  EXPECT_EQ(line, "warning  meaning");
  for (const compiler::warning_explanation& w : compiler::warning_explanations()) {
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line, std::string(w.name) + "  " + std::string(w.meaning));
  }
  ASSERT_TRUE(std::getline(lines, line));
  EXPECT_NE(line.find("explain CODE"), std::string::npos);
  EXPECT_NE(line.find("explain WARNING"), std::string::npos);
  EXPECT_FALSE(std::getline(lines, line));
  EXPECT_EQ(all.size(), 28u);
  EXPECT_EQ(compiler::warning_explanations().size(), 26u);
}

TEST(Explain, RefusesWhatIsNotACode) {
  for (const std::string bad : {"14", "23", "0", "-1", "abc", "17x", "", " 17", "99999999999",
                                "Unknown-Keyword", "unknown-keyword "}) {
    SCOPED_TRACE("[" + bad + "]");
    const run_result r = run({"explain", bad});
    EXPECT_EQ(r.status, exit_status::usage_or_file);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("\"" + bad + "\" is neither an error code nor a warning's name"),
              std::string::npos)
        << r.err;
  }
  // What the terminal is shown of a name it does not know is escaped.
  const run_result hostile = run({"explain", "\x1b]0;x\x07"});
  EXPECT_EQ(hostile.status, exit_status::usage_or_file);
  EXPECT_EQ(hostile.err.find('\x1b'), std::string::npos) << hostile.err;
  const run_result extra = run({"explain", "17", "18"});
  EXPECT_EQ(extra.status, exit_status::usage_or_file);
}

}  // namespace
