#include "scenario/build_names.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>

#include "scenario/control_bytes.h"

namespace scenario {

namespace {

constexpr std::string_view line_text_suffix = "_linea.txt";
constexpr std::string_view service_text_suffix = "-.txt";

}  // namespace

std::optional<std::string> route_from_line_text(std::string_view file_name) {
  if (file_name.size() <= line_text_suffix.size() || !file_name.ends_with(line_text_suffix)) {
    return std::nullopt;
  }
  return std::string(file_name.substr(0, file_name.size() - line_text_suffix.size()));
}

std::optional<std::string> train_from_service_text(std::string_view file_name,
                                                   std::string_view route) {
  if (!file_name.ends_with(service_text_suffix)) return std::nullopt;
  const std::string_view stem = file_name.substr(0, file_name.size() - service_text_suffix.size());
  // ROUTE_TRAIN for this route; failing that, whatever follows the last "_",
  // so that a text named for another route still gives its train.
  const std::string prefix = fmt::format("{}_", route);
  if (!route.empty() && stem.starts_with(prefix) && stem.size() > prefix.size()) {
    return std::string(stem.substr(prefix.size()));
  }
  const std::size_t last = stem.rfind('_');
  if (last == std::string_view::npos || last + 1 >= stem.size()) return std::nullopt;
  return std::string(stem.substr(last + 1));
}

status check_build_name(std::string_view name) {
  if (name.empty()) return status::failure("is empty");
  for (const char c : name) {
    if (c < ' ' || c > '~' || c == '/' || c == '\\') {
      return status::failure("must be printable ASCII without path separators");
    }
  }
  return {};
}

namespace {

bool is_ascii_letter_or_digit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A character that cannot stand in a train number, named for the refusal.
std::string named(char c) {
  if (c == ' ' || c == '\t') return "a blank";
  if (c > ' ' && c <= '~') return fmt::format("\"{}\"", c);
  return fmt::format("the byte 0x{:02X}", static_cast<unsigned char>(c));
}

}  // namespace

status check_train_number(std::string_view train) {
  const auto refused = [](std::string_view what) {
    return status::failure(fmt::format("{}, but a train number is 1 to {} ASCII letters or digits",
                                       what, train_number_max_length));
  };
  if (train.empty()) return refused("is empty");
  if (train.size() > train_number_max_length) {
    return refused(fmt::format("has {} characters", train.size()));
  }
  const auto odd = std::find_if_not(train.begin(), train.end(), is_ascii_letter_or_digit);
  if (odd != train.end()) return refused(fmt::format("holds {}", named(*odd)));
  // File systems that ignore case would take ROUTE_LINEA.dat for the plan too.
  std::string lower(train);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == "linea") {
    return status::failure("would name the grid ROUTE_linea.dat, the track plan's file name");
  }
  return {};
}

status check_route_given(std::string_view route) {
  if (const status checked = check_build_name(route); !checked) {
    return status::failure(
        fmt::format("the route base name \"{}\" {}: give another with --route NAME",
                    visible_control_bytes(route), checked.reason()));
  }
  return {};
}

status check_train_given(std::string_view train) {
  if (const status checked = check_train_number(train); !checked) {
    return status::failure(
        fmt::format("the train number \"{}\" {}: give another with --train NUMBER",
                    visible_control_bytes(train), checked.reason()));
  }
  return {};
}

}  // namespace scenario
