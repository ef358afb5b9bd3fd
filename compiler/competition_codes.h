#pragma once
// The two competition codes of a scenario, from the train number (slot 86)
// and the route base name (slot 85): the 25 first characters of their
// lower-cased join, completed from a fixed filler, summed plainly and
// weighted by position.

#include <cstdint>
#include <string_view>

#include "compiler/model.h"

namespace compiler {

inline constexpr std::string_view competition_filler = "aabbccddeeffgghhiillmmnnoo";

// The plain sum of the 25 character codes (0 to 6375).
std::int16_t plain_competition_code(const station_table& stations);

// The sum of each code times its position 1 to 25 (0 to 82875).
std::int32_t weighted_competition_code(const station_table& stations);

}  // namespace compiler
