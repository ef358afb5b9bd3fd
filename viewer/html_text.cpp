#include "viewer/html_text.h"

#include "scenario/control_bytes.h"
#include "scenario/text_file.h"

namespace viewer {

std::string escape_html(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      // A control byte cannot stand in a page as it is: a browser drops a
      // NUL or shows a box, and ESC or BEL are invisible, so the name would
      // read otherwise than the file holds it. It is shown as its escape,
      // as the terminal shows it.
      default:
        if (scenario::is_escaped_control_byte(c)) {
          out += scenario::visible_control_bytes(std::string_view(&c, 1));
        } else {
          out.push_back(c);
        }
    }
  }
  return out;
}

std::string page_text(std::string_view windows_1252) {
  return escape_html(scenario::from_windows_1252(windows_1252));
}

}  // namespace viewer
