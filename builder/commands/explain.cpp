#include "builder/commands/explain.h"

#include <fmt/format.h>

#include <charconv>
#include <ostream>

#include "compiler/diagnostics.h"
#include "compiler/error_code.h"
#include "scenario/control_bytes.h"

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
    out << "\nwarning  meaning\n";
    for (const compiler::warning_explanation& w : compiler::warning_explanations()) {
      out << fmt::format("{}  {}\n", w.name, w.meaning);
    }
    out << "Run 'scenario-builder explain CODE' for what raises a code and the usual fix, or "
           "'scenario-builder explain WARNING' for what to do about a warning.\n";
    return exit_status::clean;
  }
  for (const compiler::warning_explanation& w : compiler::warning_explanations()) {
    if (w.name != *code) continue;
    out << fmt::format(
        "warning {}: {}\n"
        "  fix:       {}\n",
        w.name, w.meaning, w.fix);
    return exit_status::clean;
  }
  const auto number = parse_code(*code);
  const compiler::error_explanation* e = number ? compiler::find_explanation(*number) : nullptr;
  if (e == nullptr || e->code == compiler::error_code::none) {
    err << fmt::format(
        "scenario-builder: \"{}\" is neither an error code nor a warning's name\n"
        "run 'scenario-builder explain' for the list\n",
        scenario::visible_control_bytes(*code));
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
