#include "viewer/html_text.h"

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
      default:
        out.push_back(c);
    }
  }
  return out;
}

std::string page_text(std::string_view windows_1252) {
  return escape_html(scenario::from_windows_1252(windows_1252));
}

}  // namespace viewer
