#pragma once
// Text files of a build (the two description texts and the three driver
// documents) are held as lists of lines closed by an end mark. They are
// written as single-byte Windows-1252 text with CR LF after every line; the
// end mark itself is never written.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scenario/file_system.h"

namespace scenario {

inline constexpr std::string_view end_mark = "riferimento fine del file";

// The largest description text read. The texts of a scenario of the longest
// line are a few megabytes; a larger file is refused before it is read.
inline constexpr size_bound description_text_bound{std::uint64_t{64} << 20, "a description text"};

// A list holds at most this many entries, the end mark included.
inline constexpr std::size_t line_list_capacity = 1001;

// Converts UTF-8 text to Windows-1252. A failure names the first character that has
// no Windows-1252 byte (or the malformed bytes) when the text cannot be
// converted, and leaves `out` unspecified.
status to_windows_1252(std::string_view utf8, std::string& out);

// Converts Windows-1252 bytes to UTF-8. The five bytes the code page leaves
// undefined become U+FFFD, so any bytes read from a file give valid UTF-8.
std::string from_windows_1252(std::string_view bytes);

// The bytes of a line list: every line before the end mark, converted to
// Windows-1252 and followed by CR LF. A line that cannot be converted is a
// failure naming the line.
struct encoded_text {
  std::string bytes;
  status encoded;
};
encoded_text encode_line_list(const std::vector<std::string>& lines);

// Encodes the list and writes it over `path`, whole or not at all.
status write_line_list(const std::filesystem::path& path, const std::vector<std::string>& lines);

}  // namespace scenario
