#pragma once
// The port `serve` is given on the command line.

#include <optional>
#include <string_view>

namespace builder {

// The port written in `text`: decimal digits alone, from 1 to 65535, or 0
// for any free port. Nothing else is a port: no sign, blank, base prefix
// ("0x50") or empty text, each of which a looser reading would take for a
// port the author did not mean.
std::optional<int> port_from_text(std::string_view text);

// What --port takes, for the author who gave something else.
inline constexpr std::string_view port_usage =
    "--port takes a decimal number from 1 to 65535, or 0 for any free port";

}  // namespace builder
