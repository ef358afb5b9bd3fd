#include "scenario/build_names.h"

#include <fmt/format.h>

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

}  // namespace scenario
