#pragma once
// Text from the files of a build, made safe to stand in a page.

#include <string>
#include <string_view>

namespace viewer {

// `text` with &, <, >, " and ' replaced by their character references, so it
// can stand in an element or in a quoted attribute, and each control byte
// by its visible escape ("\x1b"), since a page cannot show one.
std::string escape_html(std::string_view text);

// Windows-1252 bytes of a file (a station name, a sign text) as escaped
// UTF-8 for the page.
std::string page_text(std::string_view windows_1252);

}  // namespace viewer
