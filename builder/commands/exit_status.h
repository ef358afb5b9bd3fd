#pragma once
// The process's exit statuses, the same for every subcommand.

namespace builder {

enum class exit_status : int {
  clean = 0,          // the build recorded no error
  usage_or_file = 1,  // a usage error, or a file that could not be written or read
  build_error = 2,    // an error was recorded; the files are written as specified
  fatal = 3,          // 1250, 1251 or no grid: no binary file was written
};

}  // namespace builder
