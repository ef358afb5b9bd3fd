#pragma once
// The build sequence: write the two description texts and the driver
// documents, compile the texts, delete them, and write the three binary files.

#include <chrono>
#include <functional>
#include <iosfwd>

#include "builder/commands/exit_status.h"
#include "builder/notice/waiting_notice.h"
#include "compiler/model.h"

namespace builder {

// Test hook: called between the build steps with the step's name, so a test
// can watch the order of the steps or hold the build up. Empty in the product.
using step_hook = std::function<void(std::string_view step)>;

// How long a run waits for another run that holds its output folder.
inline constexpr std::chrono::milliseconds default_lock_wait{10000};

// What a build may do beyond its names and directory.
struct build_choices {
  // Replace description texts already in the directory whose bytes differ
  // from those the build writes. Without it they are someone's work, and the
  // build refuses to touch them.
  bool replace_texts = false;
  std::chrono::milliseconds lock_wait = default_lock_wait;
};

// Runs the whole build for the names, directory and plan in `settings`,
// holding the directory's lock throughout. Reports on `err`, shows the
// notice through `notice`, and returns the exit status.
exit_status run_build(const compiler::build_settings& settings, waiting_notice& notice,
                      std::ostream& err, const step_hook& hook = {},
                      const build_choices& choices = {});

// Runs `run` and returns its status; an exception that escapes it, out of
// memory above all, ends in one line on `err` and the status for a run that
// could not finish (1) instead of an abort without a word.
exit_status run_guarded(const std::function<exit_status()>& run, std::ostream& err);

}  // namespace builder
