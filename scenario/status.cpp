#include "scenario/status.h"

#include <utility>

namespace scenario {

status status::failure(std::string reason) {
  status s;
  s.failed_ = true;
  s.reason_ = std::move(reason);
  return s;
}

status status::failure_at(std::filesystem::path place, std::string reason) {
  status s = failure(std::move(reason));
  s.place_ = std::move(place);
  return s;
}

status status::missing(std::filesystem::path place, std::string reason) {
  status s = failure_at(std::move(place), std::move(reason));
  s.not_found_ = true;
  return s;
}

status status::within(std::string_view step) const {
  if (ok()) return *this;
  status s = *this;
  s.what_ = what_.empty() ? std::string(step) : std::string(step) + ": " + what_;
  return s;
}

std::string status::describe() const {
  if (ok()) return {};
  std::string text;
  const auto add = [&text](const std::string& part) {
    if (part.empty()) return;
    if (!text.empty()) text += ": ";
    text += part;
  };
  add(what_);
  add(place_.string());
  add(reason_);
  return text;
}

}  // namespace scenario
