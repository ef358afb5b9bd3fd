// Control bytes of a file's text, shown as escapes wherever a report echoes
// them, and text without any left as it is, byte for byte.

#include "scenario/control_bytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(ControlBytes, EscapedForTheTerminalAndForJson) {
  struct escape_case {
    std::string text;
    std::string shown;
  };
  const std::vector<escape_case> cases = {
      {"", ""},
      {"VESCARA", "VESCARA"},
      {"CITT\xC0 ALTA", "CITT\xC0 ALTA"},  // Windows-1252 letters are no control bytes
      {"a\tb", "a\tb"},
      {std::string("A\0B", 3), "A\\x00B"},
      {"\x1b[2J\x07", "\\x1b[2J\\x07"},
      {"\r\n", "\\x0d\\x0a"},
      {"\x1f\x7f\x80", "\\x1f\\x7f\x80"},
      {"\\x1b", "\\x1b"},  // already an escape's letters: left as they are
  };
  for (const escape_case& c : cases) {
    EXPECT_EQ(scenario::visible_control_bytes(c.text), c.shown) << c.text;
  }
  for (int byte = 0; byte < 256; ++byte) {
    const char c = static_cast<char>(byte);
    EXPECT_EQ(scenario::is_escaped_control_byte(c), (byte < 0x20 && byte != '\t') || byte == 0x7f)
        << byte;
  }

  EXPECT_EQ(scenario::json_without_raw_control_bytes("{\"a\": \"x\x7fy\\u001b\"}"),
            "{\"a\": \"x\\u007fy\\u001b\"}");
  EXPECT_EQ(scenario::json_without_raw_control_bytes("[1, \"\xC3\x80\"]"), "[1, \"\xC3\x80\"]");
}

}  // namespace
