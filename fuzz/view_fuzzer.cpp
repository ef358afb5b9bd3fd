// libFuzzer entry: every input is the three binary files of a build, drawn
// into the route page as view draws them; a broken rule aborts the run so
// that libFuzzer keeps the input.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "fuzz/binary_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  if (const scenario::status kept = fuzzing::view_and_check(input); !kept) {
    std::fprintf(stderr, "broken rule: %s\n", kept.describe().c_str());
    std::abort();
  }
  return 0;
}
