#include "bench/large_scenario.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <string_view>
#include <vector>

#include "compiler/line_reader.h"
#include "compiler/model.h"

namespace bench {

namespace {

constexpr std::int32_t cell_m = compiler::cell_length_m;
constexpr std::int32_t margin_m = compiler::grid_margin_m;

// Densities per 1,000 km of line.
constexpr double stations_per_largest = 70;
constexpr double tunnels_per_largest = 80;
constexpr double slowdowns_per_largest = 10;
constexpr auto max_tunnels = static_cast<std::int32_t>(compiler::max_tunnel_rows);
constexpr std::int32_t max_sign_slot = compiler::sign_slot_first;

constexpr std::int32_t curve_spacing_m = 400;
constexpr std::int32_t gradient_spacing_m = 100;
constexpr std::int32_t signal_spacing_m = 1500;
constexpr std::int32_t board_spacing_m = 3000;
constexpr std::int32_t speed_spacing_m = 2500;
constexpr std::int32_t adhesion_spacing_m = 5000;
constexpr std::int32_t code_cut_spacing_m = 10000;

constexpr std::int32_t steepest_rise = 10;
constexpr std::int32_t steepest_fall = -17;

// A slowdown's warning stands 24 cells before its start. Around it the
// protection pass looks up to 20 cells before the warning and 12 after the
// end; the map keeps a little more than that free.
constexpr std::int64_t warning_cells_before_start = 24;
constexpr std::int64_t kept_before_warning = 30;
constexpr std::int64_t kept_after_end = 14;

// splitmix64: the standard library's distributions may differ from one
// library to another, and the texts must not.
class random_source {
 public:
  explicit random_source(std::uint64_t seed) : state_(seed) {}

  std::uint64_t next() {
    state_ += 0x9E3779B97F4A7C15ULL;
    std::uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }

  // A whole number from `low` to `high`, both included.
  std::int32_t between(std::int32_t low, std::int32_t high) {
    const auto span = static_cast<std::uint64_t>(std::int64_t{high} - low + 1);
    return static_cast<std::int32_t>(low + static_cast<std::int64_t>(next() % span));
  }

  bool one_in(std::int32_t n) { return between(1, n) == 1; }

  template <typename T, std::size_t N>
  const T& pick(const std::array<T, N>& choices) {
    return choices[static_cast<std::size_t>(between(0, static_cast<std::int32_t>(N) - 1))];
  }

 private:
  std::uint64_t state_;
};

std::int32_t round_down_50(double metres) {
  return static_cast<std::int32_t>(std::floor(metres / cell_m)) * cell_m;
}

std::int32_t scaled_count(double per_largest, std::int32_t length, std::int32_t at_least) {
  const double exact = per_largest * length / largest_line_length_m;
  return std::max(at_least, static_cast<std::int32_t>(std::lround(exact)));
}

// What the planner knows of each grid cell: nothing yet, an object of the
// scenario, or a cell that must stay free for the protection pass.
enum class cell_use : std::uint8_t { open, taken, kept_free };

class grid_map {
 public:
  explicit grid_map(std::int32_t length)
      : cells_(static_cast<std::size_t>((length + margin_m) / cell_m) + 1, cell_use::open) {}

  std::int64_t last() const { return static_cast<std::int64_t>(cells_.size()) - 1; }

  bool open_at(std::int64_t cell) const {
    return cell >= 0 && cell <= last() && cells_[static_cast<std::size_t>(cell)] == cell_use::open;
  }

  void take(std::int64_t cell) {
    assert(open_at(cell) || use(cell) == cell_use::kept_free);
    cells_[static_cast<std::size_t>(cell)] = cell_use::taken;
  }

  void keep_free(std::int64_t first, std::int64_t last_cell) {
    for (std::int64_t cell = std::max<std::int64_t>(first, 0); cell <= std::min(last_cell, last());
         ++cell) {
      if (open_at(cell)) cells_[static_cast<std::size_t>(cell)] = cell_use::kept_free;
    }
  }

  // The first open cell from `cell` on.
  std::int64_t first_open(std::int64_t cell) const {
    while (!open_at(cell)) ++cell;
    return cell;
  }

 private:
  cell_use use(std::int64_t cell) const { return cells_[static_cast<std::size_t>(cell)]; }
  std::vector<cell_use> cells_;
};

// Signals, speed boards, signs and slowdown starts sit in cell p / 50 + 1;
// code cuts in cell p / 50.
std::int64_t shifted_cell(std::int32_t position) { return position / cell_m + 1; }
std::int32_t shifted_position(std::int64_t cell) {
  return static_cast<std::int32_t>((cell - 1) * cell_m);
}

struct station_plan {
  std::int32_t position = 0;
  std::int32_t type = 0;
  std::int32_t length = 0;
  std::int32_t flag_a = 0, flag_b = 0, flag_c = 0;
  std::int32_t group1_a = 0, group1_b = 0, group1_c = 0;
  std::int32_t group2_a = 0, group2_b = 0, group2_c = 0;
  std::int32_t dwell = 0;
  std::int32_t hours = 0, minutes = 0, seconds = 0;
  std::string name;
};

struct slowdown_plan {
  std::int32_t x = 0, v = 0, l = 0, f_tt = 0, f_ta = 0, d_v = 0;
};

struct signal_plan {
  std::int32_t position = 0;
  std::int32_t sx = 2, s1 = 4, s2 = 0, s3 = 0, rapp = 0, dx = 0, d1 = 0, d2 = 0, d3 = 0;
  std::int32_t tempo = 0;
};

struct board_plan {
  std::int32_t position = 0;
  std::array<std::int32_t, 3> s_speeds{};
  std::int32_t s_stripes = 0;
  bool has_d_group = false;
  std::array<std::int32_t, 3> d_speeds{};
  std::int32_t d_stripes = 0;
};

struct sign_plan {
  std::int32_t position = 0;
  std::string text;
};

struct tunnel_plan {
  std::int32_t start = 0;
  std::int32_t end = 0;
  std::int32_t type = 11;
};

struct code_cut_plan {
  std::int32_t position = 0;
  std::int32_t code = 0;  // 0: written "AC", a cut without a code
};

// Everything placed on the grid, before it is written out as text.
struct scenario_plan {
  std::vector<station_plan> stations;
  std::vector<slowdown_plan> slowdowns;
  std::vector<signal_plan> signals;
  std::vector<board_plan> boards;
  std::vector<sign_plan> signs;
  std::vector<tunnel_plan> tunnels;
  std::vector<code_cut_plan> code_cuts;
};

class planner {
 public:
  planner(std::int32_t length, std::uint64_t seed) : length_(length), random_(seed), map_(length) {}

  scenario_plan plan() {
    // Stations and slowdowns first: their cells are fixed by their
    // positions, the other objects move aside for them.
    plan_stations();
    plan_slowdowns();
    plan_boards();
    plan_signs();
    plan_signals();
    plan_code_cuts();
    plan_tunnels();
    return std::move(result_);
  }

  random_source& random() { return random_; }

 private:
  void plan_stations() {
    static constexpr std::array<std::int32_t, 8> types = {4, 12, 22, 2, 11, 12, 22, 25};
    const std::int32_t count = scaled_count(stations_per_largest, length_, 2);
    const double spacing = static_cast<double>(length_ - 1000) / (count - 1);
    std::int32_t clock = 6 * 3600;
    for (std::int32_t i = 0; i < count; ++i) {
      station_plan s;
      s.position = round_down_50(i * spacing);
      s.type = i == 0 ? 4 : i == count - 1 ? 2 : types[static_cast<std::size_t>(i) % types.size()];
      s.length = i == 0 ? 900 : 100 * random_.between(3, 9);
      s.name = fmt::format("POSTO {:02}", i + 1);
      if (s.type != 25) {
        s.flag_a = 1;
        s.flag_b = random_.between(0, 1);
        s.flag_c = random_.between(0, 1);
        s.group1_a = random_.between(1, 6);
        s.group1_b = random_.between(1, 6);
        s.group1_c = random_.between(0, 1);
        s.group2_a = 2;
        s.group2_b = 1;
        s.group2_c = 1;
        s.dwell = random_.pick(std::array{0, 1, 60, 90});
        // A station every ten minutes or so; the clock keeps running past
        // midnight as a plain count of seconds.
        clock += random_.between(420, 780);
        s.hours = clock / 3600;
        s.minutes = clock / 60 % 60;
        s.seconds = clock % 60;
      }
      const std::int32_t half = s.length / 2 + (s.flag_c != 0 ? cell_m : 0);
      if (s.type < 25) map_.take((s.position + half) / cell_m - 1);
      result_.stations.push_back(std::move(s));
    }
  }

  void plan_slowdowns() {
    static constexpr std::array<std::int32_t, 10> speeds = {30, 60, 80, 100, 120,
                                                            50, 70, 90, 110, 40};
    const std::int32_t count = scaled_count(slowdowns_per_largest, length_, 1);
    const auto gaps = static_cast<std::int32_t>(result_.stations.size()) - 1;
    for (std::int32_t k = 0; k < count; ++k) {
      // Midway between two stations, spread over the whole line.
      const std::int32_t gap = (2 * k + 1) * gaps / (2 * count);
      const auto& before = result_.stations[static_cast<std::size_t>(gap)];
      const auto& after = result_.stations[static_cast<std::size_t>(gap) + 1];
      slowdown_plan s;
      s.x = round_down_50((before.position + after.position) / 2.0);
      s.v = speeds[static_cast<std::size_t>(k) % speeds.size()];
      s.l = cell_m * random_.between(6, 30);
      s.f_tt = random_.between(0, 1);
      s.f_ta = k % 3 == 0 ? 1 : 0;
      s.d_v = k % 4 == 1 ? random_.between(1, 9) : 0;

      const std::int64_t start = shifted_cell(s.x);
      const std::int64_t end = shifted_cell(s.x + s.l);
      const std::int64_t warning = start - warning_cells_before_start;
      map_.keep_free(warning - kept_before_warning, end + kept_after_end);
      map_.take(warning);
      map_.take(start);
      map_.take(end);
      if (s.f_ta != 0) {
        for (std::int64_t ahead = warning - 4; ahead < warning; ++ahead) map_.take(ahead);
      }
      // One signal shortly before the warning and one shortly after the end,
      // so that the pass protects both; the cells in front of them stay free.
      map_.take(warning - 10);
      map_.take(end + 5);
      result_.signals.push_back(make_signal(shifted_position(warning - 10)));
      result_.signals.push_back(make_signal(shifted_position(end + 5)));
      result_.slowdowns.push_back(s);
    }
  }

  void plan_boards() {
    std::int32_t group = 0;
    for (std::int32_t p = 700; p + 1000 < length_; p += board_spacing_m, ++group) {
      const std::int32_t top = 5 * random_.between(16, 32);
      if (group % 5 == 4) {
        // A speed reduction, announced by three boards 500 m apart with 2,
        // 1 and 0 stripes.
        const std::int32_t low = 5 * random_.between(12, 15);
        for (std::int32_t stripes = 2; stripes >= 0; --stripes) {
          add_board(p + 500 * (2 - stripes), {low, low, low}, stripes);
        }
      } else {
        add_board(p, {top - 20, top - 10, top}, 0);
      }
    }
  }

  void add_board(std::int32_t position, std::array<std::int32_t, 3> speeds, std::int32_t stripes) {
    const std::int64_t cell = map_.first_open(shifted_cell(position));
    map_.take(cell);
    board_plan b;
    b.position = shifted_position(cell);
    b.s_speeds = speeds;
    b.s_stripes = stripes;
    if (random_.one_in(4)) {
      b.has_d_group = true;
      b.d_speeds = speeds;
      b.d_stripes = stripes;
    }
    result_.boards.push_back(b);
  }

  void plan_signs() {
    // Signs take the table slots from 80 downward, the stations from 1
    // upward, and one slot must stay between them.
    const auto stations = static_cast<std::int32_t>(result_.stations.size());
    const std::int32_t count = std::clamp(max_sign_slot - stations - 2, 0, max_sign_slot);
    for (std::int32_t i = 0; i < count; ++i) {
      const std::int32_t wanted = round_down_50((i + 0.5) * length_ / count) + 150;
      const std::int64_t cell = map_.first_open(shifted_cell(wanted));
      map_.take(cell);
      sign_plan s;
      s.position = shifted_position(cell);
      const std::int32_t km = s.position / 1000;
      const std::int32_t m = s.position % 1000;
      s.text = i % 3 == 2 ? fmt::format("(BIVIO)( Km {}.{:03} )", km, m)
                          : fmt::format("(CAVALCAVIA)( Km {}.{:03} )", km, m);
      result_.signs.push_back(std::move(s));
    }
  }

  signal_plan make_signal(std::int32_t position) {
    signal_plan s;
    s.position = position;
    if (random_.one_in(3)) {
      s.s1 = 2;
      s.s2 = 3;
      s.s3 = 1;
      s.rapp = random_.between(0, 1);
      s.d1 = 2;
      s.d2 = 1;
      s.d3 = 1;
    }
    s.dx = random_.one_in(2) ? 2 : 0;
    if (random_.one_in(10)) s.tempo = random_.between(101, 255);
    return s;
  }

  void plan_signals() {
    for (std::int32_t p = signal_spacing_m; p + 500 < length_; p += signal_spacing_m) {
      const std::int64_t cell = map_.first_open(shifted_cell(p));
      map_.take(cell);
      result_.signals.push_back(make_signal(shifted_position(cell)));
    }
    std::sort(result_.signals.begin(), result_.signals.end(),
              [](const signal_plan& a, const signal_plan& b) { return a.position < b.position; });
  }

  void plan_code_cuts() {
    static constexpr std::array<std::int32_t, 4> codes = {75, 120, 270, 0};
    std::int32_t i = 0;
    for (std::int32_t p = 5250; p + 500 < length_; p += code_cut_spacing_m, ++i) {
      const std::int64_t cell = map_.first_open(p / cell_m);
      map_.take(cell);
      result_.code_cuts.push_back(
          {static_cast<std::int32_t>(cell * cell_m), codes[static_cast<std::size_t>(i) % 4]});
    }
  }

  void plan_tunnels() {
    const std::int32_t count = std::min(max_tunnels, scaled_count(tunnels_per_largest, length_, 1));
    const double spacing = static_cast<double>(length_) / count;
    std::int32_t previous_end = 0;
    for (std::int32_t i = 0; i < count; ++i) {
      tunnel_plan t;
      // Every seventh tunnel follows the previous one after 100 m, which
      // turns its type into 3.
      if (i % 7 == 6) {
        t.start = previous_end + 100;
      } else {
        t.start = std::max(previous_end + 1000, round_down_50(i * spacing) + 1000);
      }
      t.end = t.start + cell_m * random_.between(10, 60);
      if (t.end >= length_) break;
      t.type = random_.between(11, 12);
      previous_end = t.end;
      result_.tunnels.push_back(t);
    }
  }

  std::int32_t length_;
  random_source random_;
  grid_map map_;
  scenario_plan result_;
};

// The texts are CR LF text, every line ended, the last one included.
class text_builder {
 public:
  template <typename... Args>
  void line(fmt::format_string<Args...> format, Args&&... args) {
    fmt::format_to(std::back_inserter(bytes_), format, std::forward<Args>(args)...);
    bytes_ += "\r\n";
  }
  std::string take() { return std::move(bytes_); }

 private:
  std::string bytes_;
};

std::string line_text(std::int32_t length, const scenario_plan& plan, random_source& random,
                      scenario_counts& counts) {
  text_builder out;
  out.line("[generale]");
  out.line("lunghezza percorso,    {}", length);
  const std::int32_t first = round_down_50(length * 0.2);
  const std::int32_t second = round_down_50(length * 0.5) - 50;
  const std::int32_t third = round_down_50(length * 0.8);
  out.line("progressiva chilometrica uno,    {},    {},    1", first, second + 10500);
  out.line("progressiva chilometrica due,    {},    {},    1", second, third + 2000);
  out.line("progressiva chilometrica tre,    {},    {},    1", third, length + 500);
  out.line("sfondo uno,    70000");
  out.line("sfondo due,    50000");
  out.line("sfondo tre,    1");
  out.line("ripetizione segnali 4 codici,    0,    {}", round_down_50(length - 2750.0));

  out.line("[curve]");
  for (std::int32_t p = curve_spacing_m; p + curve_spacing_m < length; p += curve_spacing_m) {
    const std::int32_t start = p + cell_m * random.between(0, 2);
    const std::int32_t span = cell_m * random.between(1, 5);
    out.line("curva{}{},  {},  {}", random.one_in(2) ? 's' : 'd', random.between(1, 6), start,
             span);
    ++counts.curves;
  }

  // A random walk that changes by 1 or 2 per mille from row to row, stays
  // between the steepest fall and rise, and comes back to 0 at the last row.
  out.line("[pendenze]");
  const std::int32_t rows = length / gradient_spacing_m;
  std::int32_t gradient = 0;
  out.line("pendenza,  0,   0");
  ++counts.gradients;
  for (std::int32_t row = 1; row < rows; ++row) {
    const std::int32_t left = rows - 1 - row;  // rows after this one
    std::array<std::int32_t, 4> allowed{};
    std::int32_t allowed_count = 0;
    for (const std::int32_t step : {-2, -1, 1, 2}) {
      const std::int32_t next = gradient + step;
      const bool within = next >= steepest_fall && next <= steepest_rise;
      const bool can_return = left == 0 ? next == 0 : std::abs(next) <= 2 * left;
      const bool no_dead_end = left != 1 || next != 0;
      if (within && can_return && no_dead_end)
        allowed[static_cast<std::size_t>(allowed_count++)] = next;
    }
    gradient = allowed[static_cast<std::size_t>(random.between(0, allowed_count - 1))];
    out.line("pendenza,  {},   {}", row * gradient_spacing_m, gradient);
    ++counts.gradients;
  }

  out.line("[montagne]");
  for (const tunnel_plan& t : plan.tunnels)
    out.line("montagna,   {},  {},  {}", t.start, t.end, t.type);
  counts.tunnels = plan.tunnels.size();

  out.line("[cartelli]");
  for (const board_plan& b : plan.boards) {
    if (b.has_d_group) {
      out.line("indicatori_vmax,  {},  {},  {},  {},  {},  {},  {},  {},  {}", b.position,
               b.s_speeds[0], b.s_speeds[1], b.s_speeds[2], b.s_stripes, b.d_speeds[0],
               b.d_speeds[1], b.d_speeds[2], b.d_stripes);
    } else {
      out.line("indicatori_vmax,  {},  {},  {},  {},  {},  ,  ,  ,  0", b.position, b.s_speeds[0],
               b.s_speeds[1], b.s_speeds[2], b.s_stripes);
    }
  }
  counts.speed_boards = plan.boards.size();

  out.line("[indicazioni]");
  for (const sign_plan& s : plan.signs) {
    out.line("cartello_indicatore,  {},   {}", s.position, s.text);
    counts.name_bytes += s.text.size();
  }
  counts.signs = plan.signs.size();
  out.line("[fine]");
  return out.take();
}

std::string service_text(std::int32_t length, const scenario_plan& plan, random_source& random,
                         scenario_counts& counts, std::uint64_t seed) {
  text_builder out;
  out.line("Scenario di prova per le misure di scala, seme {}", seed);
  out.line("[generale]");
  out.line("numero vetture,    14");
  out.line("percentuale massa frenata,    105");
  out.line("sabbia,    300");
  out.line("orologio,    6              0            0 ");

  out.line("[aderenze]");
  for (std::int32_t p = 0; p + 500 < length; p += adhesion_spacing_m) {
    out.line("aderenza,  {},  {}", p, p == 0 ? 100 : random.between(79, 100));
    ++counts.adhesion_rows;
  }
  out.line("[vel_limite]");
  for (std::int32_t p = 0; p + 500 < length; p += speed_spacing_m) {
    out.line("velocita,  {},  {}", p, 5 * random.between(12, 32));
    ++counts.speed_rows;
  }

  out.line("[stazioni]");
  for (const station_plan& s : plan.stations) {
    out.line("stazione,  {},  {},  {},  {}, {}, {},  {},{},{},  {},{},{},  {},  {},{}, {}, {}",
             s.position, s.type, s.length, s.flag_a, s.flag_b, s.flag_c, s.group1_a, s.group1_b,
             s.group1_c, s.group2_a, s.group2_b, s.group2_c, s.dwell, s.hours, s.minutes, s.seconds,
             s.name);
    counts.name_bytes += s.name.size();
    if (s.type < 25) ++counts.stations_with_stop;
  }
  counts.stations = plan.stations.size();

  out.line("[rallentamenti]");
  for (const slowdown_plan& s : plan.slowdowns) {
    out.line("rallentamento,   {},    {},  {}, {},  {},  {}", s.x, s.v, s.l, s.f_tt, s.f_ta, s.d_v);
    if (s.f_ta != 0) ++counts.slowdowns_with_approach;
  }
  counts.slowdowns = plan.slowdowns.size();

  out.line("[segnali]");
  for (const signal_plan& s : plan.signals) {
    out.line("segnale,  {},   {}, {}, {},  {}, {},    {},  {},{},{}, {}", s.position, s.sx, s.s1,
             s.s2, s.s3, s.rapp, s.dx, s.d1, s.d2, s.d3, s.tempo);
  }
  counts.signals = plan.signals.size();

  out.line("[codici]");
  for (const code_cut_plan& c : plan.code_cuts) {
    if (c.code == 0) {
      out.line("abbattimento,   {},   AC", c.position);
      ++counts.code_cuts_without_code;
    } else {
      out.line("abbattimento,   {},   {}", c.position, c.code);
      ++counts.code_cuts_with_code;
    }
  }
  out.line("[fine]");
  return out.take();
}

}  // namespace

generated_scenario make_large_scenario(std::int32_t line_length_m, std::uint64_t seed) {
  generated_scenario result;
  result.route_base_name = "Scala_Grande";
  result.train_number = "9001";
  result.line_length_m = line_length_m;
  planner p(line_length_m, seed);
  const scenario_plan plan = p.plan();
  result.line_text = line_text(line_length_m, plan, p.random(), result.counts);
  result.service_text = service_text(line_length_m, plan, p.random(), result.counts, seed);
  return result;
}

}  // namespace bench
