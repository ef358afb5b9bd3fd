// time_runs: runs a command several times, one run after the other, and
// prints the median, the fastest and the slowest wall time of a run from
// process start to exit, and the largest peak resident set of any run.
//
//   time_runs [--runs N] [--warmup N] -- COMMAND [ARGS...]
//
// Output, one line: "median_ms=... min_ms=... max_ms=... peak_rss_kib=...";
// the command's standard output is discarded.
// A run that fails (non-zero exit status or a signal) stops the timing with
// exit status 1; an exit status listed with --accept counts as a success.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

namespace {

struct run_result {
  bool ok = false;
  double milliseconds = 0;
  long peak_rss_kib = 0;
};

run_result run_once(char** command, const std::vector<int>& accepted) {
  const auto started = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child < 0) return {};
  if (child == 0) {
    // The command's own output would mix with the figures: only its errors
    // are kept.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) _exit(127);
    execvp(command[0], command);
    std::perror(command[0]);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) return {};
  const auto stopped = std::chrono::steady_clock::now();
  run_result result;
  result.ok = WIFEXITED(status) &&
              std::find(accepted.begin(), accepted.end(), WEXITSTATUS(status)) != accepted.end();
  result.milliseconds = std::chrono::duration<double, std::milli>(stopped - started).count();
  result.peak_rss_kib = usage.ru_maxrss;
  return result;
}

std::optional<int> parse_count(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size() || value < 0) return std::nullopt;
  return value;
}

int usage() {
  std::fprintf(stderr,
               "usage: time_runs [--runs N] [--warmup N] [--accept STATUS]... -- COMMAND "
               "[ARGS...]\n");
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 11;
  int warmup = 2;
  std::vector<int> accepted = {0};
  int i = 1;
  for (; i < argc; ++i) {
    const std::string_view option = argv[i];
    if (option == "--") break;
    if (i + 1 >= argc) return usage();
    const std::optional<int> count = parse_count(argv[++i]);
    if (!count) return usage();
    const int value = *count;
    if (option == "--runs" && value > 0) {
      runs = value;
    } else if (option == "--warmup") {
      warmup = value;
    } else if (option == "--accept") {
      accepted.push_back(value);
    } else {
      return usage();
    }
  }
  if (i + 1 >= argc) return usage();
  char** command = argv + i + 1;

  // The first runs warm the page cache and the dynamic loader's files.
  for (int w = 0; w < warmup; ++w) {
    if (!run_once(command, accepted).ok) return std::fprintf(stderr, "time_runs: run failed\n"), 1;
  }
  std::vector<double> times;
  long peak = 0;
  for (int r = 0; r < runs; ++r) {
    const run_result result = run_once(command, accepted);
    if (!result.ok) return std::fprintf(stderr, "time_runs: run failed\n"), 1;
    times.push_back(result.milliseconds);
    peak = std::max(peak, result.peak_rss_kib);
  }
  std::sort(times.begin(), times.end());
  const std::size_t n = times.size();
  const double median = n % 2 == 1 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
  std::printf("median_ms=%.3f min_ms=%.3f max_ms=%.3f peak_rss_kib=%ld\n", median, times.front(),
              times.back(), peak);
  return 0;
}
