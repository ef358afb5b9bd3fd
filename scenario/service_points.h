#pragma once
// The places of the embedded train service, in route order: every row of the
// driver's timetable card, and among them the thirteen stations that the
// service description text lists. Both documents are made from this one list,
// so that a station's name and time cannot differ between them.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace scenario {

// The values of a "stazione" row of the service text, in the row's order
// (the name comes from the service point).
struct station_row {
  std::int32_t position;
  int type;
  int length;
  int flag_a, flag_b, flag_c;
  int group1_a, group1_b, group1_c;
  int group2_a, group2_b, group2_c;
  int dwell;
  int hours, minutes, seconds;
};

// How the card's time field shows the point's time.
enum class card_time_form : std::uint8_t {
  departure,  // first station: departure time only
  passing,    // a point with a single time
  stop,       // a stop: arrival and departure
  arrival,    // last station: arrival time only
};

struct service_point {
  std::string_view name;
  // Card speeds in km/h (line limit, running speed, rank speed); 0 leaves the
  // field blank.
  int limit_speed;
  int running_speed;
  int rank_speed;
  std::int32_t progressive_m;  // kilometric progressive shown on the card, metres
  card_time_form time_form;
  std::string_view arrival;    // "15.49", for a stop
  std::string_view time;       // departure or passing time
  std::string_view recovery;   // recovery allowance: "", "0.5" or "1"
  std::optional<station_row> station;
};

// The 23 service points of the embedded service, in route order.
std::span<const service_point> service_points();

}  // namespace scenario
