#include "compiler/slot_views.h"

namespace compiler {

progressive_change progressive_change_of(const station_table& stations, std::size_t index) {
  const station_record& slot = stations.slots[progressive_slot_first + index];
  return {slot.start, slot.finish, slot.position};
}

line_parameters line_parameters_of(const station_table& stations) {
  const station_record& slot = stations.slots[line_parameter_slot];
  return {slot.start, slot.finish, slot.position};
}

route_parameters route_parameters_of(const station_table& stations) {
  const station_record& slot = stations.slots[route_parameter_slot];
  return {slot.start, slot.position, slot.finish, slot.group1_a, slot.departure_time};
}

train_parameters train_parameters_of(const station_table& stations) {
  const station_record& slot = stations.slots[train_parameter_slot];
  return {slot.start,    slot.finish,   slot.position, slot.group1_a,
          slot.group2_a, slot.group2_b, slot.group2_c};
}

void put_progressive_change(station_table& stations, std::size_t index,
                            const progressive_change& change) {
  station_record& slot = stations.slots[progressive_slot_first + index];
  slot.start = change.start;
  slot.finish = change.reference;
  slot.position = change.flag;
}

void put_line_parameters(station_table& stations, const line_parameters& line) {
  station_record& slot = stations.slots[line_parameter_slot];
  slot.start = line.braked_mass_percent;
  slot.finish = line.line_length_m;
  slot.position = line.car_count;
}

void put_route_parameters(station_table& stations, const route_parameters& route) {
  station_record& slot = stations.slots[route_parameter_slot];
  slot.start = route.background_one;
  slot.position = route.background_two;
  slot.finish = route.background_three;
  slot.group1_a = route.fixed_value;
  slot.departure_time = route.weighted_competition_code;
}

void put_train_parameters(station_table& stations, const train_parameters& train) {
  station_record& slot = stations.slots[train_parameter_slot];
  slot.start = train.repetition_from_m;
  slot.finish = train.repetition_to_m;
  slot.position = train.repetition_codes;
  slot.group1_a = train.sand;
  slot.group2_a = train.clock_hours;
  slot.group2_b = train.clock_minutes;
  slot.group2_c = train.clock_seconds;
}

bool area_ends_further(const station_record& station) { return station.flag_c != 0; }

void clear_area_ends_further(station_record& station) { station.flag_c = 0; }

}  // namespace compiler
