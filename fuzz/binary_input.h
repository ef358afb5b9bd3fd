#pragma once
// Fuzz inputs that are the binary files of a build, as inspect and view read
// them: decoded, shown as inspect shows them, and drawn into the route page.
// Everything happens in memory.
//
// An inspect input is a control byte, a window byte and one file's bytes.
// The control byte names the kind of file: 'p' a track plan, 's' a scenario
// table, 'g' a cell grid (any other byte picks one by its value). The window
// byte w picks the cells and slots shown, as --cells and --slots would: 32
// cells from cell 80 × w, 16 slots from slot w. The whole file is decoded
// all the same; showing every cell of a grid in JSON would cost a hundred
// times its decoding.
//
// A view input is the grid and the table, each preceded by its length in 4
// little-endian bytes, then the plan: the rest of the input, none when it is
// empty.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compiler/decoding.h"
#include "fuzz/seed_inputs.h"
#include "scenario/status.h"

namespace fuzzing {

// The kind an inspect input names, and its file's bytes.
compiler::output_file_kind inspect_kind(std::string_view data);
std::string inspect_input(compiler::output_file_kind kind, std::string_view file,
                          unsigned char window = 0);

// Decodes the file with every decoder that reads its kind and shows it as
// inspect does. Checks that the two plan decoders agree, on the refusal and
// its reason and on every drawable point, and that a file is either refused
// with a reason or shown whole. A failure names the first broken rule.
scenario::status inspect_and_check(std::string_view data);

std::string view_input(std::string_view grid, std::string_view table, std::string_view plan);

// Decodes the three files as view does and, when the grid and the table are
// such files, writes the page. Checks that the page is whole, that no byte
// of a name stands in it unescaped (no tag of its own, no NUL) and that its
// size follows from the grid's. A failure names the first broken rule.
scenario::status view_and_check(std::string_view data);

// Decodes the three files of a view input and, when the grid and the table
// are such files, decompiles them. Checks that the texts it writes, compiled
// again, give exactly the input's grid and table (and plan) whenever the
// decompile says they do, and that it says why whenever they do not.
scenario::status decompile_and_check(std::string_view data);

// The seeds: the files of small compiled builds, and damaged ones.
std::vector<named_input> inspect_seed_inputs();
std::vector<named_input> view_seed_inputs();

}  // namespace fuzzing
