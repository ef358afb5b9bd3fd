// Writes the seed inputs of each harness, one file each, into a folder of
// the harness's name (compile, inspect, view) under the directory given as
// the only argument.

#include <cstdio>
#include <filesystem>
#include <vector>

#include "fuzz/binary_input.h"
#include "fuzz/seed_inputs.h"
#include "scenario/file_system.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_seed_corpus DIRECTORY\n");
    return 1;
  }
  const std::filesystem::path directory = argv[1];
  const std::vector<std::pair<const char*, std::vector<fuzzing::named_input>>> corpora = {
      {"compile", fuzzing::seed_inputs()},
      {"inspect", fuzzing::inspect_seed_inputs()},
      {"view", fuzzing::view_seed_inputs()},
      {"decompile", fuzzing::view_seed_inputs()},
  };
  for (const auto& [harness, seeds] : corpora) {
    std::error_code error;
    std::filesystem::create_directories(directory / harness, error);
    for (const fuzzing::named_input& seed : seeds) {
      if (const scenario::status written =
              scenario::write_file_atomically(directory / harness / seed.name, seed.data);
          !written) {
        std::fprintf(stderr, "%s\n", written.describe().c_str());
        return 1;
      }
    }
  }
  return 0;
}
