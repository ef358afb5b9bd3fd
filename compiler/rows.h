#pragma once
// The keyword rows of the two texts, as the readers hand them to the placers
// and as the text writer writes them: one struct a keyword, its values in the
// order the row writes them. The short names (sx, rapp, f_tt, ...) are the
// texts' own names for the values, as the authors' guide gives them.
//
// `row_values<R>` lists a row's values in text order as pointers to members.
// The keyword table (keywords.h) gives each of them its name, type, unit and
// range; a compile-time check there holds the two lists to one another, so
// the generic reading and writing of a row follow from these lists alone.
// What a keyword field itself carries (the number of a progressive change,
// the class and sense of a curve) is a member outside the list.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <variant>

namespace compiler {

// Which keyword a row was read for, in the order of the keyword table.
enum class row_keyword : std::uint8_t {
  length,
  progressive,
  background,
  repetition,
  gradient,
  curve,
  tunnel,
  speed_boards,
  sign,
  braked_mass,
  cars,
  speed,
  adhesion,
  clock,
  sand,
  signal,
  slowdown,
  code_cut,
  station,
};
inline constexpr std::size_t row_keyword_count = 19;

// The three numbered forms of a general keyword ("uno", "due", "tre").
enum class numbered : std::uint8_t { one, two, three };

// "lunghezza percorso, L".
struct length_row {
  std::int32_t length = 0;
  friend bool operator==(const length_row&, const length_row&) = default;
};

// "progressiva chilometrica uno|due|tre, start, reference, flag".
struct progressive_row {
  numbered which = numbered::one;
  std::int32_t start = 0;
  std::int32_t reference = 0;
  std::int32_t flag = 0;
  friend bool operator==(const progressive_row&, const progressive_row&) = default;
};

// "sfondo uno|due|tre, value".
struct background_row {
  numbered which = numbered::one;
  std::int32_t value = 0;
  friend bool operator==(const background_row&, const background_row&) = default;
};

// "ripetizione segnali 4|9 codici, from, to": `codes` is the digit the
// keyword field names, 0 when it names neither.
struct repetition_row {
  std::int32_t codes = 4;
  std::int32_t from = 0;
  std::int32_t to = 0;
  friend bool operator==(const repetition_row&, const repetition_row&) = default;
};

// "pendenza, position, gradient".
struct gradient_row {
  std::int32_t position = 0;
  std::int32_t gradient = 0;  // per mille, signed
  friend bool operator==(const gradient_row&, const gradient_row&) = default;
};

// "curva" with a sense letter and a class digit, "start, length". A keyword
// field holding an "s" turns the negative way (written "curvas"); without
// one the positive way ("curvad"). `curve_class` is the first of the digits
// 1 to 6 in the field, 0 when it holds none.
struct curve_row {
  bool negative_sense = false;
  std::int32_t curve_class = 1;
  std::int32_t start = 0;
  std::int32_t length = 0;
  friend bool operator==(const curve_row&, const curve_row&) = default;
};

// "montagna, inizio, fine, tipo".
struct tunnel_row {
  std::int32_t start = 0;
  std::int32_t end = 0;
  std::int32_t type = 0;
  friend bool operator==(const tunnel_row&, const tunnel_row&) = default;
};

// "indicatori_vmax, posizione, vas, vbs, vcs, strisces, vad, vbd, vcd,
// strisced": three speeds (ranks A, B, C) and a stripe count for each side.
struct speed_boards_row {
  std::int32_t position = 0;
  std::int32_t s_speed_a = 0;
  std::int32_t s_speed_b = 0;
  std::int32_t s_speed_c = 0;
  std::int32_t s_stripes = 0;
  std::int32_t d_speed_a = 0;
  std::int32_t d_speed_b = 0;
  std::int32_t d_speed_c = 0;
  std::int32_t d_stripes = 0;
  friend bool operator==(const speed_boards_row&, const speed_boards_row&) = default;
};

// "cartello_indicatore, position, text".
struct sign_row {
  std::int32_t position = 0;
  std::string_view text;
  friend bool operator==(const sign_row&, const sign_row&) = default;
};

// "percentuale massa frenata, percentage".
struct braked_mass_row {
  std::int32_t percentage = 0;
  friend bool operator==(const braked_mass_row&, const braked_mass_row&) = default;
};

// "numero vetture, cars".
struct cars_row {
  std::int32_t cars = 0;
  friend bool operator==(const cars_row&, const cars_row&) = default;
};

// "velocita, position, speed": the limit from this position on.
struct speed_row {
  std::int32_t position = 0;
  std::int32_t speed = 0;  // km/h
  friend bool operator==(const speed_row&, const speed_row&) = default;
};

// "aderenza, position, adhesion": the adhesion from this position on.
struct adhesion_row {
  std::int32_t position = 0;
  std::int32_t adhesion = 0;  // percent
  friend bool operator==(const adhesion_row&, const adhesion_row&) = default;
};

// "orologio, hours minutes seconds": the clock at the start.
struct clock_row {
  std::int16_t hours = 0;
  std::int16_t minutes = 0;
  std::int16_t seconds = 0;
  friend bool operator==(const clock_row&, const clock_row&) = default;
};

// "sabbia, sand".
struct sand_row {
  std::int16_t sand = 0;
  friend bool operator==(const sand_row&, const sand_row&) = default;
};

// "segnale, posizione, sx, s1, s2, s3, rapp, dx, d1, d2, d3, tempo".
struct signal_row {
  std::int32_t position = 0;
  std::int32_t sx = 0;
  std::int32_t s1 = 0;
  std::int32_t s2 = 0;
  std::int32_t s3 = 0;
  std::int32_t rapp = 0;
  std::int32_t dx = 0;
  std::int32_t d1 = 0;
  std::int32_t d2 = 0;
  std::int32_t d3 = 0;
  std::int32_t time = 0;
  friend bool operator==(const signal_row&, const signal_row&) = default;
};

// "rallentamento, x, v, l, f_tt, f_ta, d_v": a slowdown of `speed` km/h over
// `length` m from `start`.
struct slowdown_row {
  std::int32_t start = 0;
  std::int32_t speed = 0;
  std::int32_t length = 0;
  std::int32_t f_tt = 0;  // copied to the start and end cells
  std::int32_t f_ta = 0;  // not 0: mark the four cells ahead of the warning
  std::int32_t d_v = 0;   // copied to the slowdown's cells when not 0
  friend bool operator==(const slowdown_row&, const slowdown_row&) = default;
};

// "abbattimento, position, code": a code of 0 or less (written "AC") makes
// a code cut without a code.
struct code_cut_row {
  std::int32_t position = 0;
  std::int32_t code = 0;
  friend bool operator==(const code_cut_row&, const code_cut_row&) = default;
};

// "stazione" and its seventeen values, the name last. The length is not
// stored: it makes the station's area with the position and the type.
struct station_row {
  std::int32_t position = 0;
  std::uint8_t type = 0;
  std::int32_t length = 0;
  std::uint8_t flag_a = 0;
  std::uint8_t flag_b = 0;
  std::uint8_t flag_c = 0;
  std::int16_t group1_a = 0;
  std::int16_t group1_b = 0;
  std::uint8_t group1_c = 0;
  std::int16_t group2_a = 0;
  std::int16_t group2_b = 0;
  std::int16_t group2_c = 0;
  std::uint8_t dwell = 0;
  std::int32_t hours = 0;
  std::int32_t minutes = 0;
  std::int32_t seconds = 0;
  std::string_view name;
  friend bool operator==(const station_row&, const station_row&) = default;
};

// One row of either text, whatever its keyword; the alternatives stand in
// the order of `row_keyword`.
using typed_row =
    std::variant<length_row, progressive_row, background_row, repetition_row, gradient_row,
                 curve_row, tunnel_row, speed_boards_row, sign_row, braked_mass_row, cars_row,
                 speed_row, adhesion_row, clock_row, sand_row, signal_row, slowdown_row,
                 code_cut_row, station_row>;
static_assert(std::variant_size_v<typed_row> == row_keyword_count);

inline row_keyword keyword_of(const typed_row& row) {
  return static_cast<row_keyword>(row.index());
}

// The values of a row in text order.
template <class Row>
inline constexpr auto row_values = nullptr;

template <>
inline constexpr auto row_values<length_row> = std::tuple{&length_row::length};
template <>
inline constexpr auto row_values<progressive_row> =
    std::tuple{&progressive_row::start, &progressive_row::reference, &progressive_row::flag};
template <>
inline constexpr auto row_values<background_row> = std::tuple{&background_row::value};
template <>
inline constexpr auto row_values<repetition_row> =
    std::tuple{&repetition_row::from, &repetition_row::to};
template <>
inline constexpr auto row_values<gradient_row> =
    std::tuple{&gradient_row::position, &gradient_row::gradient};
template <>
inline constexpr auto row_values<curve_row> = std::tuple{&curve_row::start, &curve_row::length};
template <>
inline constexpr auto row_values<tunnel_row> =
    std::tuple{&tunnel_row::start, &tunnel_row::end, &tunnel_row::type};
template <>
inline constexpr auto row_values<speed_boards_row> = std::tuple{
    &speed_boards_row::position,  &speed_boards_row::s_speed_a, &speed_boards_row::s_speed_b,
    &speed_boards_row::s_speed_c, &speed_boards_row::s_stripes, &speed_boards_row::d_speed_a,
    &speed_boards_row::d_speed_b, &speed_boards_row::d_speed_c, &speed_boards_row::d_stripes};
template <>
inline constexpr auto row_values<sign_row> = std::tuple{&sign_row::position, &sign_row::text};
template <>
inline constexpr auto row_values<braked_mass_row> = std::tuple{&braked_mass_row::percentage};
template <>
inline constexpr auto row_values<cars_row> = std::tuple{&cars_row::cars};
template <>
inline constexpr auto row_values<speed_row> = std::tuple{&speed_row::position, &speed_row::speed};
template <>
inline constexpr auto row_values<adhesion_row> =
    std::tuple{&adhesion_row::position, &adhesion_row::adhesion};
template <>
inline constexpr auto row_values<clock_row> =
    std::tuple{&clock_row::hours, &clock_row::minutes, &clock_row::seconds};
template <>
inline constexpr auto row_values<sand_row> = std::tuple{&sand_row::sand};
template <>
inline constexpr auto row_values<signal_row> =
    std::tuple{&signal_row::position, &signal_row::sx, &signal_row::s1, &signal_row::s2,
               &signal_row::s3,       &signal_row::rapp, &signal_row::dx, &signal_row::d1,
               &signal_row::d2,       &signal_row::d3, &signal_row::time};
template <>
inline constexpr auto row_values<slowdown_row> =
    std::tuple{&slowdown_row::start, &slowdown_row::speed, &slowdown_row::length,
               &slowdown_row::f_tt,  &slowdown_row::f_ta,  &slowdown_row::d_v};
template <>
inline constexpr auto row_values<code_cut_row> =
    std::tuple{&code_cut_row::position, &code_cut_row::code};
template <>
inline constexpr auto row_values<station_row> = std::tuple{
    &station_row::position, &station_row::type,     &station_row::length,   &station_row::flag_a,
    &station_row::flag_b,   &station_row::flag_c,   &station_row::group1_a, &station_row::group1_b,
    &station_row::group1_c, &station_row::group2_a, &station_row::group2_b, &station_row::group2_c,
    &station_row::dwell,    &station_row::hours,    &station_row::minutes,  &station_row::seconds,
    &station_row::name};

// The number of values of a row type.
template <class Row>
inline constexpr std::size_t value_count = std::tuple_size_v<decltype(row_values<Row>)>;

namespace detail {
template <class>
struct member_of;
template <class Row, class Value>
struct member_of<Value Row::*> {
  using row = Row;
};
}  // namespace detail

// The place of a value in its row, 0 for the first after the keyword:
// `value_index<&signal_row::time>` is 10. Reports name a value by it.
template <auto Member>
inline constexpr std::int32_t value_index = [] {
  using row = typename detail::member_of<decltype(Member)>::row;
  std::int32_t found = -1;
  std::int32_t i = 0;
  std::apply(
      [&](auto... member) {
        (
            [&] {
              if constexpr (std::is_same_v<decltype(member), decltype(Member)>) {
                if (found < 0 && member == Member) found = i;
              }
              ++i;
            }(),
            ...);
      },
      row_values<row>);
  return found;
}();

// The speeds of a side of a speed-board row, ranks A, B and C.
inline std::array<std::int32_t, 3> s_speeds(const speed_boards_row& row) {
  return {row.s_speed_a, row.s_speed_b, row.s_speed_c};
}
inline std::array<std::int32_t, 3> d_speeds(const speed_boards_row& row) {
  return {row.d_speed_a, row.d_speed_b, row.d_speed_c};
}

}  // namespace compiler
