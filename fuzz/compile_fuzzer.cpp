// libFuzzer entry: every input whose line is not longer than the fuzzed cap
// is compiled in memory and checked; a broken rule aborts the run so that
// libFuzzer keeps the input.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "fuzz/compile_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  // Kept out of the corpus, so that mutations start from inputs that run fast.
  if (fuzzing::beyond_fuzzed_line_length(input)) return -1;
  if (const scenario::status kept = fuzzing::compile_and_check(input); !kept) {
    std::fprintf(stderr, "broken rule: %s\n", kept.describe().c_str());
    std::abort();
  }
  return 0;
}
