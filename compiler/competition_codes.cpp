#include "compiler/competition_codes.h"

namespace compiler {

namespace {

constexpr std::size_t key_length = 25;

void build_key(build_state& state) {
  std::string& key = state.input_field;
  key = state.stations.slots[train_parameter_slot].name;
  key += state.stations.slots[route_parameter_slot].name;
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  key += competition_filler;
}

}  // namespace

std::int16_t codice_gara_og(build_state& state) {
  build_key(state);
  std::int32_t sum = 0;
  for (std::size_t i = 0; i < key_length; ++i) {
    sum += static_cast<unsigned char>(state.input_field[i]);
  }
  return static_cast<std::int16_t>(sum);
}

std::int32_t codice_gara_st(build_state& state) {
  build_key(state);
  std::int32_t sum = 0;
  for (std::size_t i = 0; i < key_length; ++i) {
    sum += static_cast<unsigned char>(state.input_field[i]) * static_cast<std::int32_t>(i + 1);
  }
  return sum;
}

}  // namespace compiler
