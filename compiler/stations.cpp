#include "compiler/stations.h"

#include <limits>

#include "compiler/cell_views.h"
#include "compiler/rounding.h"
#include "compiler/slot_views.h"

namespace compiler {

namespace {

bool fits_int32(std::int64_t value) {
  return value >= std::numeric_limits<std::int32_t>::min() &&
         value <= std::numeric_limits<std::int32_t>::max();
}

// Types 25 and above are places without a stop; 5 and 6 stop without marks.
constexpr std::uint8_t first_type_without_stop = 25;
bool has_stop(const station_record& r) { return r.station_type < first_type_without_stop; }
bool has_marks(const station_record& r) {
  return has_stop(r) && r.station_type != 5 && r.station_type != 6;
}

}  // namespace

bool set_station_area(station_record& record, std::int64_t length) {
  const std::int64_t p = record.position;
  std::int64_t start = p - length / 2;
  std::int64_t finish = p + length / 2 + (area_ends_further(record) ? 50 : 0);
  bool clears_flag_c = false;
  switch (record.station_type) {
    case 5:
    case 6:
      start = p - length;
      finish = p + 150;
      clears_flag_c = true;
      break;
    case 7:
    case 8:
      start = p - length;
      finish = p + length;
      clears_flag_c = true;
      break;
    default:
      break;
  }
  // Stored in this order: a value that does not fit 32 bits fails the
  // reading, and what was stored before it stays.
  if (!fits_int32(start)) return false;
  record.start = static_cast<std::int32_t>(start);
  if (!fits_int32(finish)) return false;
  record.finish = static_cast<std::int32_t>(finish);
  if (clears_flag_c) clear_area_ends_further(record);
  return true;
}

std::int64_t stop_cell_of(std::int32_t finish) { return cell_index(finish, -1); }

placement place_station_cells(scenario_model& model, std::int32_t slot) {
  const station_record& record = model.stations.slots[static_cast<std::size_t>(slot)];
  placement done;
  if (has_marks(record)) {
    for (std::int64_t k = 1; k <= 4; ++k) {
      const std::int64_t marked = cell_index(record.finish, -k - 1);
      if (marked <= 1) continue;
      track_cell& cell = model.grid.cells[static_cast<std::size_t>(marked)];
      const auto mark = static_cast<std::uint8_t>(80 + k);
      done.add({static_cast<std::int32_t>(marked), 0, mark, cell.kind});
      cell.approach_mark = mark;
    }
  }
  if (!has_stop(record)) return done;
  const std::int64_t stop = stop_cell_of(record.finish);
  if (stop <= 1) {
    done.refused =
        cell_conflict{error_code::station_stop_before_line, static_cast<std::int32_t>(stop), 0};
    return done;
  }
  track_cell& cell = model.grid.cells[static_cast<std::size_t>(stop)];
  done.add({static_cast<std::int32_t>(stop), kind_value(cell_kind::station_stop), 0, cell.kind});
  put_slot(cell, cell_kind::station_stop, {static_cast<std::int16_t>(slot)});
  return done;
}

}  // namespace compiler
