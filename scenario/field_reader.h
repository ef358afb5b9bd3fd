#pragma once
// Cutting a description text into fields, and recognising keywords in them.
//
// The texts are never read line by line. A reader asks for one field at a
// time, and the type it asks for decides how the field is cut:
//   - a text field skips leading blanks and runs to the next comma or line
//     end, which it consumes; its trailing blanks are part of it. A field
//     that opens with a double quote runs to the closing quote;
//   - a number skips leading blanks and ends at the first blank, comma or line
//     end; a comma or line end that follows (after blanks) is consumed, so
//     numbers may be separated by blanks alone. A decimal number ("2.5",
//     "-3.25", "1e3") reads as its value rounded half to even; an empty field,
//     or one whose text is not a number ("AC", "12AB", "&H10"), reads as 0.
// Two things make a field fail: a number whose value lies outside its type's
// range, and a field asked for when the text has already ended. A failure is
// final: it stays set, and every later read returns 0 or an empty text without
// consuming anything, so nothing after the failing field is ever taken. The
// caller turns a failure into error 25.
// A keyword line is therefore one text field (the keyword field) followed by
// as many values as its keyword takes. Line ends are CR LF, a lone LF or a
// lone CR.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace scenario {

// What the reader passed over silently, for authors' diagnostics. Collecting
// them never changes what is read.
enum class field_note_kind : std::uint8_t {
  non_numeric_number,  // a number field whose text is not a number, read as 0
  dash_field_dropped,  // a candidate keyword field dropped because it holds "-"
  number_rounded,      // a number written with a decimal point or an exponent
};

// Why the reading of a field failed.
enum class field_failure_kind : std::uint8_t {
  none,
  out_of_range,  // a number outside its type's range
  past_end,      // a field asked for after the text ended
};

// The type a number field is read as.
enum class number_type : std::uint8_t { long32, integer16, byte8 };

// The field that failed, for the report: where it stands and what it held.
struct field_failure {
  field_failure_kind kind = field_failure_kind::none;
  number_type type = number_type::long32;  // for out_of_range
  std::size_t offset = 0;                  // where the field begins
  std::string_view token;                  // the number as written
  std::size_t index = 0;                   // how many fields were read before it
};

struct field_note {
  field_note_kind kind;
  std::size_t offset;  // byte offset of the field in the text
};

class field_reader {
 public:
  explicit field_reader(std::string_view text, std::vector<field_note>* notes = nullptr)
      : text_(text), notes_(notes) {}

  // True when every byte of the text has been consumed.
  bool at_end() const { return cursor_ == text_.size(); }

  std::string_view read_text();
  std::int32_t read_long();
  std::int16_t read_integer();
  std::uint8_t read_byte();

  // Set by the first field that fails; stays set.
  bool failed() const { return failure_.kind != field_failure_kind::none; }
  const field_failure& failure() const { return failure_; }
  // Forgets a number out of range, whose field is already passed, so that a
  // reading that only looks for further mistakes can go on after it.
  void forget_range_failure() {
    if (failure_.kind == field_failure_kind::out_of_range) failure_ = {};
  }

  // How many fields have been asked for so far.
  std::size_t fields_read() const { return fields_read_; }

  // Byte offset where the last field read begins (after its leading blanks).
  std::size_t field_offset() const { return field_offset_; }
  std::size_t cursor() const { return cursor_; }
  std::string_view text() const { return text_; }

  // Records a note when notes are being collected.
  void note(field_note_kind kind, std::size_t offset) {
    if (notes_ != nullptr) notes_->push_back({kind, offset});
  }

 private:
  std::int64_t read_number(number_type type, std::int64_t lowest, std::int64_t highest);
  // Fails the reading when the text has ended; true when a field can be read.
  bool field_available();
  void skip_blanks();
  void consume_separator();
  void consume_line_end();

  std::string_view text_;
  std::vector<field_note>* notes_;
  std::size_t cursor_ = 0;
  std::size_t field_offset_ = 0;
  field_failure failure_;
  std::size_t fields_read_ = 0;
};

// Takes the next candidate keyword field. A field that contains "-" is
// dropped and the next one read in its place, at most `dash_limit` times in a
// row. Returns nothing when the end of the text is reached: the field whose
// reading reaches the end is never examined, which is why a text ends with a
// line that carries no keyword.
std::optional<std::string_view> next_keyword_field(field_reader& reader, int dash_limit);

// Reads fields until one contains `marker` (letter case ignored). Returns
// false when the end of the text comes first.
bool skip_to_marker(field_reader& reader, std::string_view marker);

// Substring tests on a keyword field. `keyword` must be lower case. Every
// row of a text is tested against each keyword of its reader in turn, so the
// test is inline: with the keyword a literal, it comes down to a few
// compares.
inline bool contains_ignoring_case(std::string_view field, std::string_view keyword) {
  if (keyword.empty()) return true;
  if (field.size() < keyword.size()) return false;
  // The keyword is lower case: setting bit 5 of a text byte folds an upper
  // case letter onto its lower case, and can only make a byte equal to a
  // keyword byte that is a letter. Other keyword bytes are compared as they
  // are.
  const auto fold_mask = [](char k) -> char { return (k >= 'a' && k <= 'z') ? 0x20 : 0; };
  const char first = keyword.front();
  const char first_mask = fold_mask(first);
  const std::size_t last_start = field.size() - keyword.size();
  for (std::size_t start = 0; start <= last_start; ++start) {
    if (static_cast<char>(field[start] | first_mask) != first) continue;
    std::size_t i = 1;
    while (i < keyword.size() &&
           static_cast<char>(field[start + i] | fold_mask(keyword[i])) == keyword[i]) {
      ++i;
    }
    if (i == keyword.size()) return true;
  }
  return false;
}
inline bool contains_exact(std::string_view field, std::string_view keyword) {
  return field.find(keyword) != std::string_view::npos;
}

// 1-based line number of the byte at `offset`, for diagnostics.
std::size_t line_number_at(std::string_view text, std::size_t offset);

// The text of the line that holds the byte at `offset`, without its line end.
std::string_view line_at(std::string_view text, std::size_t offset);

}  // namespace scenario
