// libFuzzer entry: every input is the three binary files of a build,
// decompiled into texts and compiled back; a broken rule aborts the run so
// that libFuzzer keeps the input.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "fuzz/binary_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  if (const auto checked = fuzzing::decompile_and_check(input); !checked) {
    std::fprintf(stderr, "broken rule: %s\n", checked.describe().c_str());
    std::abort();
  }
  return 0;
}
