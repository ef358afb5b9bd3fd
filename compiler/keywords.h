#pragma once
// The keyword table: every fact the program knows of each keyword of the two
// texts, in one place. The readers take their dispatch from it, the reports
// their field names and ranges, the text writer its keywords and layout, and
// the authors' guide and the fuzz dictionary are held to it by tests.
//
// A keyword is recognised by substring tests on its row's keyword field. In
// one pass all tests of the part of the text being read are made on the same
// field, in the table's order, and every test that matches reads its own
// values: a field "progressiva uno due" reads two rows. A keyword whose field
// also names a variant (the number of a progressive change or background)
// has one test per variant.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "compiler/rows.h"

namespace compiler {

// Where in the texts a keyword is recognised.
enum class text_section : std::uint8_t {
  line_general,  // the line text's [generale] section
  line_main,     // the line text after it
  service,       // the service text after "[generale]"
};

// How a field is read, and so how it is cut and what it holds.
enum class field_type : std::uint8_t {
  byte8,      // Byte, 0..255
  integer16,  // Integer, -32768..32767
  long32,     // Long, -2147483648..2147483647
  text,       // up to the next comma or line end, or a quoted text
};

// What a value outside its field's range of meaning is taken for, and so
// which warning it gets.
enum class value_check : std::uint8_t {
  none,         // only its type bounds it, or its own reader warns
  one_digit,    // packed digit by digit with others: more digits run into the next
  time_of_day,  // a part of a time of day
  type_code,    // a code the program gives a meaning to only within the range
  length,       // a length: below 0 it runs backwards
};

// One value of a row, as authors read it.
struct field_fact {
  std::string_view name;     // "position", "tempo"
  field_type type;
  std::string_view unit;     // "m", "km/h", ... ; empty for a code or a count
  std::int64_t lowest = 0;   // the values that have a meaning: a value outside
  std::int64_t highest = 0;  // is stored as the type allows, with a warning where one is given
  std::string_view meaning;  // what the value is, in a few words
  // What the program and its files do with the value: where it is stored,
  // what it changes, and whether only the simulator gives it a meaning.
  std::string_view effect;
  value_check check = value_check::none;
};

// One substring test on a keyword field: every word must occur in it.
struct keyword_test {
  std::string_view first;
  std::string_view second;  // empty: one word suffices
  numbered variant = numbered::one;
  std::string_view written;  // how the text writer writes this variant's keyword
};

struct keyword_fact {
  row_keyword keyword;
  std::string_view name;  // the keyword as the guide names it
  text_section section;
  bool exact_case;  // the words match in lower case only
  std::span<const keyword_test> tests;
  std::span<const field_fact> fields;
  bool places_object;  // the row writes an object (a cell kind) into the grid
  bool names_place;    // its first value is a place on the line
  // An object the train meets: one past the end of the service is warned.
  bool met_by_train;
  std::string_view header;   // the section header the program writes its rows under
  std::string_view goes_to;  // where its values end up, for the guide
  std::string_view errors;   // the error codes the row itself can raise, for the guide
  std::string_view example;  // a row as the program's own texts write it
};

// The whole table, in the order of `row_keyword`, which is the order of the
// tests within each section.
std::span<const keyword_fact> keyword_table();
const keyword_fact& facts_of(row_keyword keyword);

// The field named by a row's keyword and a value's index; nothing for an
// index past the row's values.
const field_fact* field_of(row_keyword keyword, std::int32_t index);

// True when `field` passes `test`, letter case ignored unless `exact_case`.
bool passes(const keyword_test& test, bool exact_case, std::string_view field);

// The type range of a field type.
std::int64_t type_lowest(field_type type);
std::int64_t type_highest(field_type type);
std::string_view type_name(field_type type);  // "Byte", "Integer", "Long", "text"

// The words a curve keyword field is written with: "curva", then the sense
// letter and the class digit.
inline constexpr std::string_view curve_word = "curva";
inline constexpr std::string_view negative_sense_letter = "s";
inline constexpr std::string_view positive_sense_letter = "d";
// The word a code cut without a code is written with; it reads as 0.
inline constexpr std::string_view no_code_word = "AC";

// The class digit of a curve keyword field (the first of 1 to 6 it holds, 0
// for none) and its sense (negative with an "s" of either case).
std::int32_t curve_class_of(std::string_view field);
bool curve_sense_negative(std::string_view field);
// Whether the field writes its sense as the program does: after "curva" no
// letter but at most one sense letter. "curva destra 3" does not: its sense
// comes from the "s" of a word.
bool curve_sense_written_plainly(std::string_view field);
// The word of the field, after "curva", that holds the negative sense letter;
// empty when none does.
std::string curve_sense_word(std::string_view field);
// The keyword the program writes for a curve of that sense and class:
// "curvas3", "curvad3".
std::string curve_keyword(bool negative_sense, std::int32_t curve_class);

// The number of codes a repetition keyword field names: 4, else 9, else 0.
std::int32_t repetition_codes_of(std::string_view field);

// The section headers of the program's own texts, in their order.
std::span<const std::string_view> line_headers();
std::span<const std::string_view> service_headers();
inline constexpr std::string_view general_header = "[generale]";
inline constexpr std::string_view end_header = "[fine]";

}  // namespace compiler
