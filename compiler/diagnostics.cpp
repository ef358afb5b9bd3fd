#include "compiler/diagnostics.h"

#include <fmt/format.h>

#include "compiler/rounding.h"
#include "scenario/field_reader.h"

namespace compiler {

namespace {

std::string where(const build_state& state) {
  if (!keeps_position(state.error)) return {};
  if (state.error_from == error_source::protection_pass) {
    return fmt::format(", at {} m (cell {})", state.error_position, state.error_offset);
  }
  return fmt::format(", at {} m", state.error_position);
}

}  // namespace

std::string describe_error(const build_state& state, const description_texts& texts,
                           const text_names& names) {
  if (state.error == error_code::none) return {};
  const std::string message = fmt::format("error {}: {}{}", code_number(state.error),
                                          meaning(state.error), where(state));
  const std::optional<std::string>* text = nullptr;
  const std::string* name = nullptr;
  if (state.error_from == error_source::line_text) {
    text = &texts.line;
    name = &names.line;
  } else if (state.error_from == error_source::service_text) {
    text = &texts.service;
    name = &names.service;
  }
  if (text == nullptr || !text->has_value()) {
    if (name != nullptr) return fmt::format("{}: {}", *name, message);
    return message;
  }
  const std::string_view body = **text;
  if (state.error_offset >= body.size()) return fmt::format("{}: {}", *name, message);
  return fmt::format("{}:{}: {}\n    {}", *name, scenario::line_number_at(body, state.error_offset),
                     message, scenario::line_at(body, state.error_offset));
}

}  // namespace compiler
