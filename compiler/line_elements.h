#pragma once
// Placement of the line's own elements: the order of the kilometric
// progressive changes, tunnels with their types and markers, and speed
// indicator boards.

#include <cstdint>

#include "compiler/model.h"

namespace compiler {

// Puts the three progressive rows of slots 81 to 83 into their fixed order
// (greatest start in slot 81) and adds 100 to each reference whose flag is 1.
// Runs once per build; never fails.
void progressive_ordina(build_state& state);

// Records one tunnel: appends it to the tunnel list, turns a type above 10
// into markers plus the type less 10, gives a tunnel that starts 150 m or less
// after the previous one ends type 3, and writes the type into every cell it
// covers, up to the grid's last cell. A tunnel beyond the 80 the list holds is
// refused with error 25 and changes nothing.
void memo_montagna(build_state& state, std::int32_t& inizio, std::int32_t& fine,
                   std::int32_t& tipo);

// Places one pair of speed boards at cell posizione / 50 + 1, packing the
// speeds of both groups; an occupied cell is error 21, a packed value beyond
// 16 bits error 25, and either leaves the grid unchanged.
void memo_indicatori_v_max(build_state& state, std::int32_t posizione, std::int32_t& vas,
                           std::int32_t& vbs, std::int32_t& vcs, std::int32_t& strisces,
                           std::int32_t& vad, std::int32_t& vbd, std::int32_t& vcd,
                           std::int32_t& strisced);

}  // namespace compiler
