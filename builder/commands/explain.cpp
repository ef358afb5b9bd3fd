#include "builder/commands/explain.h"

#include <fmt/format.h>

#include <charconv>
#include <ostream>

#include "compiler/error_code.h"

namespace builder {

namespace {

// The whole argument as a decimal number, or nothing.
std::optional<std::int32_t> parse_code(const std::string& text) {
  std::int32_t number = 0;
  const char* end = text.data() + text.size();
  const auto [stop, problem] = std::from_chars(text.data(), end, number);
  if (text.empty() || problem != std::errc{} || stop != end) return std::nullopt;
  return number;
}

}  // namespace

exit_status run_explain_command(const std::optional<std::string>& code, std::ostream& out,
                                std::ostream& err) {
  if (!code) {
    out << "code  meaning\n";
    for (const compiler::error_explanation& e : compiler::error_explanations()) {
      out << fmt::format("{:>4}  {}\n", compiler::code_number(e.code), e.meaning);
    }
    out << "Run 'scenario-builder explain CODE' for what raises a code and the usual fix.\n";
    return exit_status::clean;
  }
  const auto number = parse_code(*code);
  const compiler::error_explanation* e = number ? compiler::find_explanation(*number) : nullptr;
  if (e == nullptr || e->code == compiler::error_code::none) {
    err << fmt::format(
        "scenario-builder: \"{}\" is not an error code\n"
        "run 'scenario-builder explain' for the list\n",
        *code);
    return exit_status::usage_or_file;
  }
  out << fmt::format(
      "error {}: {}\n"
      "  raised by: {}\n"
      "  position:  {}\n"
      "  fix:       {}\n",
      compiler::code_number(e->code), e->meaning, e->raised_by, e->position, e->fix);
  return exit_status::clean;
}

}  // namespace builder
