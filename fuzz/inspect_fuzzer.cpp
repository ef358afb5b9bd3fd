// libFuzzer entry: every input is one binary file of a build, decoded and
// shown as inspect shows it; a broken rule aborts the run so that libFuzzer
// keeps the input.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "fuzz/binary_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  if (const scenario::status kept = fuzzing::inspect_and_check(input); !kept) {
    std::fprintf(stderr, "broken rule: %s\n", kept.describe().c_str());
    std::abort();
  }
  return 0;
}
