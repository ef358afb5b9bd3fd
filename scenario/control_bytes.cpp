#include "scenario/control_bytes.h"

#include <algorithm>

namespace scenario {

namespace {

constexpr std::string_view hex_digits = "0123456789abcdef";

}  // namespace

std::string visible_control_bytes(std::string_view text) {
  if (std::none_of(text.begin(), text.end(), is_escaped_control_byte)) return std::string(text);
  std::string out;
  out.reserve(text.size() + 8);
  for (const char c : text) {
    if (!is_escaped_control_byte(c)) {
      out.push_back(c);
      continue;
    }
    const auto byte = static_cast<unsigned char>(c);
    out += "\\x";
    out.push_back(hex_digits[byte >> 4]);
    out.push_back(hex_digits[byte & 0x0F]);
  }
  return out;
}

std::string json_without_raw_control_bytes(std::string json) {
  if (json.find('\x7f') == std::string::npos) return json;
  std::string out;
  out.reserve(json.size() + 16);
  for (const char c : json) {
    if (c == '\x7f') {
      out += "\\u007f";
    } else {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace scenario
