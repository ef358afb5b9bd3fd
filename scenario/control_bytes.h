#pragma once
// Text of an author's file or of a binary file, echoed in a report or a
// table, with its control bytes made visible. A station name or a keyword
// may hold any byte; written out as they are, ESC, BEL, NUL or a carriage
// return would move the cursor, recolour or retitle the author's terminal,
// or hide what the file holds. Each is shown as its escape instead ("\x1b"),
// on a terminal and in a pipe alike: a pipe so often ends at a terminal (a
// pager, a log that is read back) that the bytes are escaped the same
// wherever they go, and a report read twice reads the same.
//
// A tab stays as it is: it only moves the cursor along the line, and texts
// indented with tabs would otherwise read badly. Text without any control
// byte is returned unchanged, byte for byte.

#include <string>
#include <string_view>

namespace scenario {

// True for the bytes shown escaped: 0x00 to 0x1F but the tab, and DEL.
constexpr bool is_escaped_control_byte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte < 0x20 && byte != '\t') || byte == 0x7F;
}

// `text` with each escaped control byte written as a backslash, 'x' and two
// lower case hexadecimal digits.
std::string visible_control_bytes(std::string_view text);

// JSON as a JSON writer dumps it, with the control bytes it leaves raw
// (DEL) written as JSON escapes ("\u007f"), as it already writes the others.
// Such a byte can only stand inside a string, where the escape means it.
std::string json_without_raw_control_bytes(std::string json);

}  // namespace scenario
