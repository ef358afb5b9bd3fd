#include "builder/server/port_number.h"

namespace builder {

std::optional<int> port_from_text(std::string_view text) {
  // Five digits at most; leading zeros are allowed within them.
  if (text.empty() || text.size() > 5) return std::nullopt;
  int port = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    port = port * 10 + (c - '0');
  }
  if (port > 65535) return std::nullopt;
  return port;
}

}  // namespace builder
