// Writes the seed inputs, one file each, into the directory given as the
// only argument.

#include <cstdio>
#include <filesystem>

#include "fuzz/seed_inputs.h"
#include "scenario/file_system.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_seed_corpus DIRECTORY\n");
    return 1;
  }
  const std::filesystem::path directory = argv[1];
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  for (const fuzzing::named_input& seed : fuzzing::seed_inputs()) {
    if (const auto failure = scenario::write_file_atomically(directory / seed.name, seed.data)) {
      std::fprintf(stderr, "%s\n", failure->describe().c_str());
      return 1;
    }
  }
  return 0;
}
