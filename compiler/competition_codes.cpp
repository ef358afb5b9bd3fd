#include "compiler/competition_codes.h"

#include <array>

namespace compiler {

namespace {

constexpr std::size_t key_length = 25;

// The key's 25 character codes: train number, then route base name, lower
// cased, completed from the filler.
std::array<std::int32_t, key_length> key_codes(const station_table& stations) {
  std::array<std::int32_t, key_length> codes{};
  std::size_t at = 0;
  for (const std::string_view part :
       {std::string_view(stations.slots[train_parameter_slot].name),
        std::string_view(stations.slots[route_parameter_slot].name), competition_filler}) {
    for (std::size_t i = 0; i < part.size() && at < key_length; ++i) {
      char c = part[i];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      codes[at++] = static_cast<unsigned char>(c);
    }
  }
  return codes;
}

}  // namespace

std::int16_t plain_competition_code(const station_table& stations) {
  std::int32_t sum = 0;
  for (const std::int32_t code : key_codes(stations)) sum += code;
  return static_cast<std::int16_t>(sum);
}

std::int32_t weighted_competition_code(const station_table& stations) {
  const auto codes = key_codes(stations);
  std::int32_t sum = 0;
  for (std::size_t i = 0; i < key_length; ++i) sum += codes[i] * static_cast<std::int32_t>(i + 1);
  return sum;
}

}  // namespace compiler
