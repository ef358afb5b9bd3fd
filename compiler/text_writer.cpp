#include "compiler/text_writer.h"

#include <fmt/format.h>

#include <tuple>
#include <type_traits>

namespace compiler {

namespace {

constexpr std::string_view value_separator = ",  ";

bool is_blank(char c) { return c == ' ' || c == '\t'; }

template <class Row>
const keyword_test& test_for(const Row&) {
  return facts_of(keyword_of(typed_row{Row{}})).tests.front();
}

const keyword_test& numbered_test(row_keyword keyword, numbered which) {
  for (const keyword_test& test : facts_of(keyword).tests) {
    if (test.variant == which) return test;
  }
  return facts_of(keyword).tests.front();
}

template <class Row>
void write_values(const Row& row, row_keyword keyword, row_text& out) {
  std::size_t index = 0;
  const auto write_one = [&](auto member) {
    const std::size_t i = index++;
    out.text += value_separator;
    const auto& value = row.*member;
    if constexpr (std::is_same_v<std::remove_cvref_t<decltype(value)>, std::string_view>) {
      if (!write_text_value(value, out.text) && out.unfaithful == nullptr) {
        out.unfaithful = &facts_of(keyword).fields[i];
      }
    } else if constexpr (std::is_same_v<Row, code_cut_row>) {
      // A code cut without a code is written as the program's own texts
      // write it; the word reads as 0.
      if (i == 1 && value == 0) {
        out.text += no_code_word;
      } else {
        out.text += fmt::format("{}", value);
      }
    } else {
      out.text += fmt::format("{}", static_cast<std::int64_t>(value));
    }
  };
  std::apply([&](auto... member) { (write_one(member), ...); }, row_values<Row>);
}

}  // namespace

bool write_text_value(std::string_view value, std::string& out) {
  const bool has_line_end = value.find_first_of("\r\n") != std::string_view::npos;
  const bool bare = !value.empty() && !is_blank(value.front()) && value.front() != '"' &&
                    value.find(',') == std::string_view::npos && !has_line_end;
  if (bare) {
    out += value;
    return true;
  }
  // A quoted text runs to the next quote: it cannot hold one, nor a line end
  // that would end its row.
  const bool quotable = value.find('"') == std::string_view::npos && !has_line_end;
  out += '"';
  for (const char c : value) {
    if (c != '"' && c != '\r' && c != '\n') out += c;
  }
  out += '"';
  return quotable;
}

std::string keyword_text(const typed_row& row) {
  return std::visit(
      [](const auto& r) -> std::string {
        using row_type = std::decay_t<decltype(r)>;
        const row_keyword keyword = keyword_of(typed_row{r});
        if constexpr (std::is_same_v<row_type, progressive_row> ||
                      std::is_same_v<row_type, background_row>) {
          return std::string(numbered_test(keyword, r.which).written);
        } else if constexpr (std::is_same_v<row_type, curve_row>) {
          const std::string_view sense =
              r.negative_sense ? negative_sense_letter : positive_sense_letter;
          // A class outside 1 to 6 is written without a digit, as a row
          // that names none reads.
          if (r.curve_class < 1 || r.curve_class > 6) return fmt::format("{}{}", curve_word, sense);
          return fmt::format("{}{}{}", curve_word, sense, r.curve_class);
        } else if constexpr (std::is_same_v<row_type, repetition_row>) {
          const std::string_view base = facts_of(keyword).tests.front().written;
          if (r.codes == 0) return std::string(base);
          return fmt::format("{} {} codici", base, r.codes);
        } else {
          return std::string(test_for(r).written);
        }
      },
      row);
}

row_text write_row(const typed_row& row) {
  row_text out;
  out.text = keyword_text(row);
  std::visit([&](const auto& r) { write_values(r, keyword_of(row), out); }, row);
  return out;
}

}  // namespace compiler
