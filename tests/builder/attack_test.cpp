// Attacks on an author's work and on the program, as a hostile user and a
// failing machine make them: texts in the way of a build, outputs that are
// inputs under another spelling, two runs in one folder, pipes, devices,
// files too large to be what they claim, a plan cut short while it is read,
// an allocation that fails. Each ends with a clear message and the
// documented exit status, and loses nothing.

#include <fcntl.h>
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <latch>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "builder/commands/build_sequence.h"
#include "compiler/compile.h"
#include "compiler/encoding.h"
#include "scenario/file_system.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;
using builder::exit_status;
using test_support::read_file;
using test_support::temporary_directory;
using test_support::write_file;

const std::string line_text = "Vescara_Ormeda_linea.txt";
const std::string service_text = "Vescara_Ormeda_4816-.txt";
const std::string plan_file = "Vescara_Ormeda_linea.dat";
const std::string table_file = "Vescara_Ormeda_4816.sim";
const std::string grid_file = "Vescara_Ormeda_4816.dat";

struct outcome {
  exit_status status = exit_status::clean;
  std::string err;
};

outcome run(const std::vector<std::string>& args) {
  const test_support::run_result result = test_support::run_command(args);
  return {result.status, result.err};
}

outcome build_into(const fs::path& dir, std::vector<std::string> extra = {}) {
  std::vector<std::string> args = {"build", "--no-window", "--out", dir.string()};
  args.insert(args.end(), extra.begin(), extra.end());
  return run(args);
}

class silent_notice final : public builder::waiting_notice {
 public:
  void show() override {}
  void close() override {}
  void show_error(std::string_view) override {}
};

// The embedded build into `dir`, with `hook` between its steps.
outcome build_with(const fs::path& dir, std::chrono::milliseconds lock_wait,
                   const builder::step_hook& hook = {}) {
  const compiler::build_settings settings = compiler::embedded_settings(dir);
  silent_notice notice;
  std::ostringstream err;
  builder::build_choices choices;
  choices.lock_wait = lock_wait;
  const exit_status status = builder::run_build(settings, notice, err, hook, choices);
  return {status, err.str()};
}

// A first build that holds the folder at its compile until `release` is
// counted down; `held` is counted down once it holds it.
struct held_build {
  std::latch held{1};
  std::latch release{1};
  std::future<outcome> done;

  explicit held_build(const fs::path& dir) {
    done = std::async(std::launch::async, [this, dir] {
      return build_with(dir, builder::default_lock_wait, [this](std::string_view step) {
        if (step != "compile_scenario") return;
        held.count_down();
        release.wait();
      });
    });
    held.wait();
  }
};

// Runs `attack`, which reads `fifo`; should it block on the pipe, a writer
// opens the pipe's other end and the attack fails.
outcome unless_blocked_on(const fs::path& fifo, const std::function<outcome()>& attack) {
  std::future<outcome> done = std::async(std::launch::async, attack);
  if (done.wait_for(std::chrono::seconds(10)) == std::future_status::timeout) {
    ADD_FAILURE() << "blocked reading " << fifo;
    const int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) close(writer);
  }
  return done.get();
}

void make_sparse_file(const fs::path& path, off_t size) {
  const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(file, 0) << path;
  ASSERT_EQ(ftruncate(file, size), 0) << path;
  close(file);
}

bool no_temporary_in(const fs::path& dir) {
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() == ".tmp") return false;
  }
  return true;
}

struct attack {
  std::string name;
  // Prepares the attack in a fresh folder and runs it.
  std::function<outcome(const fs::path& dir)> make;
  exit_status status;
  std::string message;  // a part of what the run says on its error stream; empty: says nothing
  // What must hold afterwards.
  std::function<void(const fs::path& dir)> check;
};

TEST(Attacks, EndWithAClearMessageTheDocumentedStatusAndNothingLost) {
  // The author's words, appended to an exported text.
  const std::string edit = "[fine]\r\n; my own rows\r\n";
  const auto export_and_edit = [&](const fs::path& dir) {
    EXPECT_EQ(run({"export-sources", "--out", dir.string()}).status, exit_status::clean);
    write_file(dir / line_text, read_file(dir / line_text) + edit);
  };
  const auto exported_line = [](const fs::path& dir) {
    EXPECT_EQ(run({"export-sources", "--out", dir.string()}).status, exit_status::clean);
    return read_file(dir / line_text);
  };
  const std::string embedded_line = test_support::embedded_line_text();
  const std::string embedded_service = test_support::embedded_service_text();
  auto kept = std::make_shared<std::string>();  // a file's bytes before the attack

  const std::vector<attack> attacks = {
      {"a build over an author's edited export",
       [&](const fs::path& dir) {
         export_and_edit(dir);
         return build_into(dir);
       },
       exit_status::usage_or_file, ": differs from the text this build writes",
       [&](const fs::path& dir) {
         EXPECT_TRUE(read_file(dir / line_text).ends_with(edit));
         EXPECT_EQ(read_file(dir / service_text), embedded_service);
         EXPECT_FALSE(fs::exists(dir / grid_file));
       }},
      {"the same build given --force",
       [&](const fs::path& dir) {
         export_and_edit(dir);
         return build_into(dir, {"--force"});
       },
       exit_status::clean, "",
       [](const fs::path& dir) {
         EXPECT_FALSE(fs::exists(dir / line_text));
         EXPECT_TRUE(fs::exists(dir / grid_file));
       }},
      {"a build over texts an interrupted build left",
       [&](const fs::path& dir) {
         EXPECT_EQ(exported_line(dir), embedded_line);
         return build_into(dir);
       },
       exit_status::clean, "",
       [](const fs::path& dir) {
         EXPECT_FALSE(fs::exists(dir / line_text));
         EXPECT_FALSE(fs::exists(dir / service_text));
       }},
      {"a compile whose --out is a link to the texts' folder, a text named like an output",
       [&](const fs::path& dir) {
         fs::create_directory(dir / "texts");
         write_file(dir / "texts" / "Alpe_77.dat", embedded_line);
         write_file(dir / "texts" / "Alpe_77-.txt", embedded_service);
         fs::create_directory_symlink(dir / "texts", dir / "out");
         return run({"compile", (dir / "texts" / "Alpe_77.dat").string(),
                     (dir / "texts" / "Alpe_77-.txt").string(), "--route", "Alpe", "--out",
                     (dir / "out").string()});
       },
       exit_status::usage_or_file, "/out/Alpe_77.dat: it is ",
       [&](const fs::path& dir) {
         EXPECT_EQ(read_file(dir / "texts" / "Alpe_77.dat"), embedded_line);
         EXPECT_FALSE(fs::exists(dir / "texts" / "Alpe_77.sim"));
       }},
      {"a view whose page is its own grid, spelt otherwise",
       [&](const fs::path& dir) {
         EXPECT_EQ(build_into(dir).status, exit_status::clean);
         *kept = read_file(dir / grid_file);
         return run({"view", "--dir", dir.string(), "-o", (dir / "." / grid_file).string()});
       },
       exit_status::usage_or_file, ": it is ",
       [&](const fs::path& dir) { EXPECT_TRUE(read_file(dir / grid_file) == *kept); }},
      {"a second build while a first holds the folder",
       [&](const fs::path& dir) {
         held_build first(dir);
         const outcome second = build_with(dir, std::chrono::milliseconds(100));
         first.release.count_down();
         EXPECT_EQ(first.done.get().status, exit_status::clean);
         return second;
       },
       exit_status::usage_or_file,
       fmt::format(": in use by scenario-builder build (process {}); gave up after waiting 0.1 s",
                   getpid()),
       [](const fs::path& dir) {
         EXPECT_TRUE(fs::exists(dir / grid_file));
         EXPECT_FALSE(fs::exists(dir / line_text));
       }},
      {"a second build that waits for the first",
       [&](const fs::path& dir) {
         held_build first(dir);
         std::future<outcome> second = std::async(
             std::launch::async, [&] { return build_with(dir, std::chrono::seconds(20)); });
         std::this_thread::sleep_for(std::chrono::milliseconds(200));
         EXPECT_EQ(second.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
         first.release.count_down();
         EXPECT_EQ(first.done.get().status, exit_status::clean);
         return second.get();
       },
       exit_status::clean, "",
       [](const fs::path& dir) {
         EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 6);
       }},
      {"a text of the build's own that cannot be looked at when the compile reads it",
       [](const fs::path& dir) {
         // A link to itself: the system can tell only that it cannot tell,
         // as with a disk that fails; never that the text is missing.
         return build_with(dir, builder::default_lock_wait, [dir](std::string_view step) {
           if (step != "compile_scenario") return;
           fs::remove(dir / line_text);
           fs::create_symlink(line_text, dir / line_text);
         });
       },
       exit_status::usage_or_file, line_text + ": Too many levels of symbolic links",
       [](const fs::path& dir) { EXPECT_FALSE(fs::exists(dir / grid_file)); }},
      {"a file of someone's under the lock file's name",
       [](const fs::path& dir) {
         write_file(dir / scenario::folder_lock_name, "my notes");
         return build_into(dir);
       },
       exit_status::usage_or_file, ".scenario-builder.lock: exists and is no lock file",
       [](const fs::path& dir) {
         EXPECT_EQ(read_file(dir / scenario::folder_lock_name), "my notes");
         EXPECT_FALSE(fs::exists(dir / line_text));
       }},
      {"a pipe as the line text",
       [&](const fs::path& dir) {
         EXPECT_EQ(mkfifo((dir / "Alpe_linea.txt").c_str(), 0644), 0);
         write_file(dir / "Alpe_77-.txt", embedded_service);
         return unless_blocked_on(dir / "Alpe_linea.txt", [dir] {
           return run({"compile", (dir / "Alpe_linea.txt").string(),
                       (dir / "Alpe_77-.txt").string(), "--out", dir.string()});
         });
       },
       exit_status::usage_or_file, "Alpe_linea.txt: is not a regular file",
       [](const fs::path& dir) { EXPECT_FALSE(fs::exists(dir / "Alpe_77.dat")); }},
      {"a device as the line text",
       [&](const fs::path& dir) {
         write_file(dir / "Alpe_77-.txt", embedded_service);
         return run({"compile", "/dev/zero", (dir / "Alpe_77-.txt").string(), "--route", "Alpe",
                     "--out", dir.string()});
       },
       exit_status::usage_or_file, "/dev/zero: is not a regular file",
       [](const fs::path& dir) { EXPECT_FALSE(fs::exists(dir / "Alpe_77.dat")); }},
      {"a pipe to inspect",
       [&](const fs::path& dir) {
         EXPECT_EQ(mkfifo((dir / "Alpe_77.dat").c_str(), 0644), 0);
         return unless_blocked_on(dir / "Alpe_77.dat", [dir] {
           return run({"inspect", (dir / "Alpe_77.dat").string()});
         });
       },
       exit_status::usage_or_file, "Alpe_77.dat: is not a regular file", [](const fs::path&) {}},
      {"a pipe where the build writes its table",
       [&](const fs::path& dir) {
         EXPECT_EQ(mkfifo((dir / table_file).c_str(), 0644), 0);
         return build_into(dir);
       },
       exit_status::usage_or_file, table_file + ": is not a regular file",
       [](const fs::path& dir) { EXPECT_TRUE(fs::is_fifo(dir / table_file)); }},
      {"a line text larger than any",
       [&](const fs::path& dir) {
         make_sparse_file(dir / "Alpe_linea.txt", (off_t{64} << 20) + 1);
         write_file(dir / "Alpe_77-.txt", embedded_service);
         return run({"compile", (dir / "Alpe_linea.txt").string(), (dir / "Alpe_77-.txt").string(),
                     "--out", dir.string()});
       },
       exit_status::usage_or_file,
       "Alpe_linea.txt: 67108865 bytes, more than a description text can be (67108864 bytes)",
       [](const fs::path& dir) { EXPECT_FALSE(fs::exists(dir / "Alpe_77.dat")); }},
      {"an 8 GiB sparse plan to inspect",
       [&](const fs::path& dir) {
         make_sparse_file(dir / "Alpe_linea.dat", off_t{8} << 30);
         return run({"inspect", (dir / "Alpe_linea.dat").string()});
       },
       exit_status::usage_or_file,
       "Alpe_linea.dat: 8589934592 bytes, more than a track plan can be (20140020 bytes)",
       [](const fs::path&) {}},
      {"a plan of another line length beside the table",
       [&](const fs::path& dir) {
         EXPECT_EQ(build_into(dir).status, exit_status::clean);
         const test_support::compiled shorter = test_support::compile(
             test_support::line_text({}, "lunghezza percorso, 0"), embedded_service);
         write_file(dir / plan_file, compiler::encode_track_plan(shorter.model.plan));
         return run({"view", "--dir", dir.string()});
       },
       exit_status::usage_or_file,
       "not a track plan: 7001 metres, where the table's line length of 63500 m makes 70501",
       [](const fs::path& dir) { EXPECT_FALSE(fs::exists(dir / "Vescara_Ormeda_4816.html")); }},
      {"a plan cut short again and again while view reads it",
       [&](const fs::path& dir) {
         EXPECT_EQ(build_into(dir).status, exit_status::clean);
         const std::string whole = read_file(dir / plan_file);
         std::atomic<bool> stop = false;
         // Shortened and grown back in place, never replaced: what a mapped
         // reader dies of.
         std::thread cutter([&] {
           const int file = open((dir / plan_file).c_str(), O_WRONLY);
           while (!stop) {
             EXPECT_EQ(ftruncate(file, 4096), 0);
             EXPECT_EQ(pwrite(file, whole.data(), whole.size(), 0),
                       static_cast<ssize_t>(whole.size()));
           }
           close(file);
         });
         outcome worst;
         for (int i = 0; i < 40 && worst.status == exit_status::clean; ++i) {
           const outcome viewed = run({"view", "--dir", dir.string()});
           if (viewed.status != exit_status::clean) worst = viewed;
         }
         stop = true;
         cutter.join();
         // Each view either drew the plan whole or refused it by name.
         if (worst.status == exit_status::usage_or_file &&
             worst.err.find(plan_file + ": not a track plan: ") != std::string::npos) {
           worst = {};
         }
         return worst;
       },
       exit_status::clean, "", [](const fs::path&) {}},
      {"an allocation that fails",
       [](const fs::path&) {
         std::ostringstream err;
         const exit_status status =
             builder::run_guarded([]() -> exit_status { throw std::bad_alloc(); }, err);
         const std::string said = err.str();
         EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
         return outcome{status, said};
       },
       exit_status::usage_or_file, "scenario-builder: out of memory", [](const fs::path&) {}},
      {"temporaries a killed run left",
       [&](const fs::path& dir) {
         for (const std::string& name :
              {grid_file + ".0123abcd.tmp", grid_file + ".tmp",
               std::string("notes.txt.0123abcd.tmp"), line_text + ".ffffffff.tmp"}) {
           write_file(dir / name, "stale");
         }
         return build_into(dir);
       },
       exit_status::clean, "",
       [](const fs::path& dir) {
         EXPECT_FALSE(fs::exists(dir / (grid_file + ".0123abcd.tmp")));
         EXPECT_FALSE(fs::exists(dir / (line_text + ".ffffffff.tmp")));
         // Not of this run's files, or not of the pattern: someone else's.
         EXPECT_TRUE(fs::exists(dir / (grid_file + ".tmp")));
         EXPECT_TRUE(fs::exists(dir / "notes.txt.0123abcd.tmp"));
       }},
  };

  for (const attack& a : attacks) {
    SCOPED_TRACE(a.name);
    temporary_directory dir;
    const outcome result = a.make(dir.path());
    EXPECT_EQ(result.status, a.status) << result.err;
    if (a.message.empty()) {
      EXPECT_EQ(result.err, "");
    } else {
      EXPECT_NE(result.err.find(a.message), std::string::npos) << result.err;
    }
    a.check(dir.path());
    if (a.name != "a file of someone's under the lock file's name") {
      EXPECT_FALSE(fs::exists(dir.path() / scenario::folder_lock_name));
    }
    if (a.name != "temporaries a killed run left") {
      EXPECT_TRUE(no_temporary_in(dir.path()));
    }
  }
}

}  // namespace
