// The build on a file system that fails it: a missing or read-only output
// directory, a directory where a file should go, a full disk, a description
// text that vanishes or cannot be read before the compile takes it. Each ends
// with a message naming the file, a non-zero status, no temporary file left
// behind and every older file it did not replace as it was.
//
// Tests run as root in CI, and root passes over permission bits. Where a test
// needs them respected, it runs the build in a child process that has given up
// the two capabilities that override them; where it needs a full disk, the
// child mounts a small tmpfs in a mount namespace of its own, so the mount
// goes with the child whatever happens.

#include <fcntl.h>
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>

#include "builder/commands/build_sequence.h"
#include "compiler/compile.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;
using builder::exit_status;
using test_support::read_file;
using test_support::temporary_directory;
using test_support::write_file;

const std::string line_text_name = "Vescara_Ormeda_linea.txt";
const std::string service_text_name = "Vescara_Ormeda_4816-.txt";
const std::string plan_name = "Vescara_Ormeda_linea.dat";
const std::string table_name = "Vescara_Ormeda_4816.sim";
const std::string grid_name = "Vescara_Ormeda_4816.dat";

class silent_notice final : public builder::waiting_notice {
 public:
  void show() override {}
  void close() override {}
  void show_error(std::string_view text) override { error_text = text; }
  std::string error_text;
};

struct build_run {
  exit_status status = exit_status::clean;
  std::string err;
};

build_run run_in(const fs::path& directory, const builder::step_hook& hook = {}) {
  const compiler::build_settings settings = compiler::embedded_settings(directory);
  silent_notice notice;
  std::ostringstream err;
  build_run run;
  run.status = builder::run_build(settings, notice, err, hook);
  run.err = err.str();
  return run;
}

// Older binary files, each with content no build writes.
std::map<std::string, std::string> leave_older_binaries(const fs::path& directory) {
  std::map<std::string, std::string> older;
  for (const std::string& name : {plan_name, table_name, grid_name}) {
    older[name] = "older " + name;
    write_file(directory / name, older[name]);
  }
  return older;
}

void expect_no_temporary_file(const fs::path& directory, const std::string& context) {
  for (const auto& entry : fs::directory_iterator(directory)) {
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos)
        << context << ": " << entry.path();
  }
}

// What a child process reports back: a skip reason, or the run and what
// `inspect` found after it.
struct child_report {
  std::string skip;
  build_run run;
  std::string facts;
};

// Runs `prepare`, the build and `inspect` in a child process. `prepare`
// returns an empty string when the child may go on, or why the test cannot
// be made here; `inspect` looks at what the build left, where only the child
// can see it.
child_report run_in_child(const std::function<std::string()>& prepare, const fs::path& directory,
                          const std::function<std::string()>& inspect = {},
                          const builder::step_hook& hook = {}) {
  int channel[2];
  if (pipe(channel) != 0) return {fmt::format("no pipe: {}", std::strerror(errno)), {}, {}};
  const pid_t child = fork();
  if (child < 0) return {fmt::format("no child process: {}", std::strerror(errno)), {}, {}};
  if (child == 0) {
    close(channel[0]);
    std::string message;
    const std::string skip = prepare();
    if (!skip.empty()) {
      message = "S" + skip;
    } else {
      const build_run run = run_in(directory, hook);
      const std::string facts = inspect ? inspect() : std::string();
      message = fmt::format("R{}\n{}\n{}\n{}", static_cast<int>(run.status), run.err.size(),
                            run.err, facts);
    }
    std::size_t sent = 0;
    while (sent < message.size()) {
      const ssize_t count = write(channel[1], message.data() + sent, message.size() - sent);
      if (count <= 0) break;
      sent += static_cast<std::size_t>(count);
    }
    _exit(0);
  }
  close(channel[1]);
  std::string message;
  char buffer[4096];
  ssize_t count = 0;
  while ((count = read(channel[0], buffer, sizeof buffer)) > 0) {
    message.append(buffer, static_cast<std::size_t>(count));
  }
  close(channel[0]);
  int wait_status = 0;
  waitpid(child, &wait_status, 0);
  child_report report;
  if (message.empty()) {
    report.skip = "the child process ended without a report";
  } else if (message[0] == 'S') {
    report.skip = message.substr(1);
  } else {
    std::istringstream in(message.substr(1));
    int status = 0;
    std::size_t err_size = 0;
    in >> status >> err_size;
    in.get();
    report.run.status = static_cast<exit_status>(status);
    report.run.err.resize(err_size);
    in.read(report.run.err.data(), static_cast<std::streamsize>(err_size));
    in.get();
    report.facts.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return report;
}

// Gives up the capabilities that let root read and write whatever the
// permission bits say.
std::string drop_permission_override() {
  __user_cap_header_struct header{};
  header.version = _LINUX_CAPABILITY_VERSION_3;
  header.pid = 0;
  __user_cap_data_struct data[2]{};
  if (syscall(SYS_capget, &header, data) != 0) {
    return fmt::format("capabilities cannot be read: {}", std::strerror(errno));
  }
  const std::uint32_t overrides = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
  data[0].effective &= ~overrides;
  data[0].permitted &= ~overrides;
  data[0].inheritable &= ~overrides;
  if (syscall(SYS_capset, &header, data) != 0) {
    return fmt::format("capabilities cannot be dropped: {}", std::strerror(errno));
  }
  return {};
}

// Mounts a tmpfs of `size` over `directory` in a mount namespace of this
// process's own.
std::string mount_small_tmpfs(const fs::path& directory, std::string_view size) {
  if (unshare(CLONE_NEWNS) != 0) {
    const int root_errno = errno;
    // A user without root may still own a user namespace.
    const uid_t uid = getuid();
    const gid_t gid = getgid();
    if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
      return fmt::format("no mount namespace may be made here: {}; {}", std::strerror(root_errno),
                         std::strerror(errno));
    }
    write_file("/proc/self/setgroups", "deny");
    write_file("/proc/self/uid_map", fmt::format("0 {} 1", uid));
    write_file("/proc/self/gid_map", fmt::format("0 {} 1", gid));
  }
  if (mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    return fmt::format("mounts cannot be made private: {}", std::strerror(errno));
  }
  const std::string options = fmt::format("size={},mode=0777", size);
  if (mount("tmpfs", directory.c_str(), "tmpfs", 0, options.c_str()) != 0) {
    return fmt::format("a tmpfs cannot be mounted here: {}", std::strerror(errno));
  }
  return {};
}

TEST(FailingDisk, OutputDirectoryMissing) {
  temporary_directory dir;
  const fs::path missing = dir.path() / "missing";
  const build_run run = run_in(missing);
  EXPECT_EQ(run.status, exit_status::usage_or_file);
  // The first thing the build does there is to take the folder's lock.
  EXPECT_NE(run.err.find(missing.string() + ": No such file or directory"), std::string::npos)
      << run.err;
  EXPECT_FALSE(fs::exists(missing));
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(FailingDisk, OutputDirectoryReadOnly) {
  temporary_directory dir;
  const auto older = leave_older_binaries(dir.path());
  fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec |
                                  fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
  const child_report report = run_in_child(drop_permission_override, dir.path());
  fs::permissions(dir.path(), fs::perms::owner_all, fs::perm_options::add);
  if (!report.skip.empty()) {
    GTEST_SKIP() << report.skip;
  }
  EXPECT_EQ(report.run.status, exit_status::usage_or_file);
  EXPECT_NE(
      report.run.err.find((dir.path() / ".scenario-builder.lock").string() + ": Permission denied"),
      std::string::npos)
      << report.run.err;
  for (const auto& [name, content] : older) EXPECT_EQ(read_file(dir.path() / name), content);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3);
}

TEST(FailingDisk, TargetPathIsADirectory) {
  struct directory_case {
    std::string blocked;  // the file whose path is a directory
    exit_status status;
    std::vector<std::string> left_older;  // older files the build must not have reached
  };
  const std::vector<directory_case> cases = {
      {line_text_name, exit_status::usage_or_file, {plan_name, table_name, grid_name}},
      {service_text_name, exit_status::usage_or_file, {plan_name, table_name, grid_name}},
      {plan_name, exit_status::usage_or_file, {table_name, grid_name}},
      {table_name, exit_status::usage_or_file, {grid_name}},
      {grid_name, exit_status::usage_or_file, {}},
  };
  for (const directory_case& c : cases) {
    temporary_directory dir;
    const auto older = leave_older_binaries(dir.path());
    fs::remove(dir.path() / c.blocked);
    fs::create_directory(dir.path() / c.blocked);
    write_file(dir.path() / c.blocked / "inside", "kept");

    const build_run run = run_in(dir.path());
    EXPECT_EQ(run.status, c.status) << c.blocked;
    EXPECT_NE(run.err.find((dir.path() / c.blocked).string() + ": is a directory"),
              std::string::npos)
        << c.blocked << ": " << run.err;
    EXPECT_EQ(read_file(dir.path() / c.blocked / "inside"), "kept") << c.blocked;
    for (const std::string& name : c.left_older) {
      EXPECT_EQ(read_file(dir.path() / name), older.at(name)) << c.blocked << " " << name;
    }
    expect_no_temporary_file(dir.path(), c.blocked);
  }
}

// Each file of the directory, with its content when it is one of the older
// files, one a line.
std::string directory_listing(const fs::path& directory) {
  std::string listing;
  for (const auto& entry : fs::directory_iterator(directory)) {
    const std::string name = entry.path().filename().string();
    listing += name;
    if (name == plan_name || name == table_name || name == grid_name) {
      listing += " = " + read_file(entry.path());
    }
    listing += "\n";
  }
  return listing;
}

TEST(FailingDisk, FullDisk) {
  ASSERT_GT(test_support::embedded_line_text().size(), 4096u);
  struct full_case {
    std::string size;    // of the tmpfs
    std::string failed;  // the file the report names
    bool older_files;    // older binary files stand on the tmpfs before the build
  };
  const std::vector<full_case> cases = {
      // One page: not even the line text fits.
      {"4k", line_text_name, false},
      // Room for the texts and the documents, not for the 1.4 MB track plan.
      {"512k", plan_name, true},
  };
  for (const full_case& c : cases) {
    temporary_directory dir;
    const child_report report = run_in_child(
        [&] {
          if (std::string skip = mount_small_tmpfs(dir.path(), c.size); !skip.empty()) return skip;
          if (c.older_files) leave_older_binaries(dir.path());
          return std::string();
        },
        dir.path(), [&] { return directory_listing(dir.path()); });
    if (!report.skip.empty()) {
      GTEST_SKIP() << report.skip;
    }
    EXPECT_EQ(report.run.status, exit_status::usage_or_file) << c.size;
    EXPECT_NE(report.run.err.find((dir.path() / c.failed).string() + ": No space left on device"),
              std::string::npos)
        << c.size << ": " << report.run.err;
    // The older files are whole and no temporary file is left on the tmpfs.
    for (const std::string& name : {plan_name, table_name, grid_name}) {
      EXPECT_EQ(report.facts.find(name + " = older " + name + "\n") != std::string::npos,
                c.older_files)
          << c.size << ":\n"
          << report.facts;
    }
    if (!c.older_files) {
      EXPECT_EQ(report.facts, "") << c.size;
    }
    EXPECT_EQ(report.facts.find(".tmp"), std::string::npos) << c.size << ":\n" << report.facts;
    // The tmpfs went with the child: the parent sees the directory untouched.
    EXPECT_TRUE(fs::is_empty(dir.path())) << c.size;
  }
}

// Changes a description text on disk just before the compile reads it.
builder::step_hook before_compile(std::function<void()> change) {
  return [change](std::string_view step) {
    if (step == "compile_scenario") change();
  };
}

TEST(FailingDisk, DescriptionTextVanishesBeforeTheCompile) {
  struct vanish_case {
    std::string text;
    exit_status status;
    std::string report;  // the start of the report
    bool binaries_written;
  };
  const std::vector<vanish_case> cases = {
      // Without the line text there is no grid: nothing is written.
      {line_text_name, exit_status::fatal, line_text_name + ": error 101", false},
      // A missing service text is error 25 after the line half made the grid;
      // the build then writes its files from what it holds.
      {service_text_name, exit_status::build_error, service_text_name + ": error 25", true},
  };
  for (const vanish_case& c : cases) {
    temporary_directory dir;
    const auto older = leave_older_binaries(dir.path());
    const build_run run =
        run_in(dir.path(), before_compile([&] { fs::remove(dir.path() / c.text); }));
    EXPECT_EQ(run.status, c.status) << c.text;
    EXPECT_EQ(run.err.rfind(c.report, 0), 0u) << c.text << ": " << run.err;
    for (const auto& [name, content] : older) {
      EXPECT_EQ(read_file(dir.path() / name) != content, c.binaries_written)
          << c.text << " " << name;
    }
    EXPECT_FALSE(fs::exists(dir.path() / line_text_name)) << c.text;
    expect_no_temporary_file(dir.path(), c.text);
  }
}

TEST(FailingDisk, DescriptionTextUnreadableBeforeTheCompile) {
  for (const std::string& text : {line_text_name, service_text_name}) {
    temporary_directory dir;
    const auto older = leave_older_binaries(dir.path());
    const child_report report =
        run_in_child(drop_permission_override, dir.path(), {},
                     before_compile([&] { fs::permissions(dir.path() / text, fs::perms::none); }));
    if (!report.skip.empty()) {
      GTEST_SKIP() << report.skip;
    }
    EXPECT_EQ(report.run.status, exit_status::usage_or_file) << text;
    EXPECT_NE(report.run.err.find((dir.path() / text).string() + ": Permission denied"),
              std::string::npos)
        << text << ": " << report.run.err;
    for (const auto& [name, content] : older) {
      EXPECT_EQ(read_file(dir.path() / name), content) << text << " " << name;
    }
    expect_no_temporary_file(dir.path(), text);
  }
}

}  // namespace
