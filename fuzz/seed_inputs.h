#pragma once
// The inputs the fuzzer starts from: the embedded scenario in each of the
// control byte's modes, a small scenario that exercises every keyword, and
// hostile texts (bytes that are no text, numbers out of range, positions at
// and past the grid's ends, overfull tables, rows out of order).

#include <string>
#include <vector>

namespace fuzzing {

struct named_input {
  std::string name;  // a file name for the corpus directory
  std::string data;  // in the format of split_input
};

std::vector<named_input> seed_inputs();

}  // namespace fuzzing
