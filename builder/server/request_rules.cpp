#include "builder/server/request_rules.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <vector>

#include "builder/server/page_server.h"

namespace builder {

namespace {

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

struct header_field {
  std::string_view name;
  std::string_view value;
};

struct parsed_head {
  std::string_view method;
  std::string_view target;
  std::string_view version;
  std::vector<header_field> fields;
};

// The lines of a head, split at CR LF (a lone LF is taken as well, as
// browsers and servers do).
std::vector<std::string_view> head_lines(std::string_view head) {
  std::vector<std::string_view> lines;
  while (!head.empty()) {
    const std::size_t end = head.find('\n');
    std::string_view line = head.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) break;
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    head.remove_prefix(end + 1);
  }
  return lines;
}

std::optional<parsed_head> parse_head(std::string_view head) {
  const std::vector<std::string_view> lines = head_lines(head);
  if (lines.empty()) return std::nullopt;
  parsed_head parsed;
  const std::string_view request_line = lines.front();
  const std::size_t first = request_line.find(' ');
  const std::size_t last = request_line.rfind(' ');
  if (first == std::string_view::npos || first == last) return std::nullopt;
  parsed.method = request_line.substr(0, first);
  parsed.target = request_line.substr(first + 1, last - first - 1);
  parsed.version = request_line.substr(last + 1);
  if (parsed.method.empty() || parsed.target.empty() || !parsed.version.starts_with("HTTP/1.")) {
    return std::nullopt;
  }
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::size_t colon = lines[i].find(':');
    // A folded line (one that begins with a blank) is not taken: it is
    // obsolete, and a name with a blank in it is no name.
    if (colon == std::string_view::npos || colon == 0 || lines[i].front() == ' ' ||
        lines[i].front() == '\t') {
      return std::nullopt;
    }
    const std::string_view name = lines[i].substr(0, colon);
    if (name.find_first_of(" \t") != std::string_view::npos) return std::nullopt;
    parsed.fields.push_back({name, trimmed(lines[i].substr(colon + 1))});
  }
  return parsed;
}

// The values of every field of that name.
std::vector<std::string_view> values_of(const parsed_head& head, std::string_view name) {
  std::vector<std::string_view> values;
  for (const header_field& field : head.fields) {
    if (equal_ignoring_case(field.name, name)) values.push_back(field.value);
  }
  return values;
}

bool origin_is_own(std::string_view origin, int port) {
  constexpr std::string_view scheme = "http://";
  if (origin.size() < scheme.size() || !equal_ignoring_case(origin.substr(0, scheme.size()), scheme)) {
    return false;
  }
  return host_allowed(origin.substr(scheme.size()), port);
}

request_verdict refusal(int status, std::string reason) {
  return {request_target::refused, false, status, std::move(reason)};
}

}  // namespace

std::size_t request_head_end(std::string_view received) {
  const std::size_t crlf = received.find("\r\n\r\n");
  const std::size_t lf = received.find("\n\n");
  if (crlf == std::string_view::npos && lf == std::string_view::npos) return std::string_view::npos;
  if (lf == std::string_view::npos || (crlf != std::string_view::npos && crlf < lf)) {
    return crlf + 4;
  }
  return lf + 2;
}

bool request_head_too_large(std::string_view received) {
  if (received.size() > request_head_max_bytes) return true;
  // The request line and the fields, each ended by a line end.
  const auto lines = static_cast<std::size_t>(std::count(received.begin(), received.end(), '\n'));
  return lines > request_header_max_count + 1;
}

request_verdict judge_request(std::string_view head, int port) {
  const std::size_t end = request_head_end(head);
  if (end == std::string_view::npos || end > request_head_max_bytes ||
      request_head_too_large(head.substr(0, end - 1))) {
    return refusal(431, "the request's header is too large");
  }
  const std::optional<parsed_head> parsed = parse_head(head.substr(0, end));
  if (!parsed) return refusal(400, "the request cannot be read");
  const bool head_only = parsed->method == "HEAD";
  if (parsed->method != "GET" && !head_only) {
    return refusal(405, "this server answers GET and HEAD only");
  }
  // A body is announced by its length or by a transfer coding; none is
  // read, whatever it holds.
  const auto lengths = values_of(*parsed, "Content-Length");
  const bool body = !values_of(*parsed, "Transfer-Encoding").empty() ||
                    std::any_of(lengths.begin(), lengths.end(),
                                [](std::string_view length) { return length != "0"; });
  if (body) return refusal(413, "this server takes no request body");
  const auto hosts = values_of(*parsed, "Host");
  if (hosts.size() != 1 || !host_allowed(hosts.front(), port)) {
    return refusal(403, "this server answers to localhost and 127.0.0.1 only");
  }
  // A page of another site may send a request here even though it cannot
  // read the answer; it says where it comes from, and is refused whole.
  for (const std::string_view origin : values_of(*parsed, "Origin")) {
    if (!origin_is_own(origin, port)) {
      return refusal(403, "this server answers its own page only");
    }
  }
  for (const std::string_view site : values_of(*parsed, "Sec-Fetch-Site")) {
    if (!equal_ignoring_case(site, "same-origin") && !equal_ignoring_case(site, "none")) {
      return refusal(403, "this server answers its own page only");
    }
  }
  const std::string_view path = parsed->target.substr(0, parsed->target.find('?'));
  if (path == "/") return {request_target::page, head_only, 200, {}};
  if (path == "/events") return {request_target::events, head_only, 200, {}};
  return refusal(404, "not found");
}

std::string_view status_phrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 400:
      return "Bad Request";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 408:
      return "Request Timeout";
    case 413:
      return "Payload Too Large";
    case 431:
      return "Request Header Fields Too Large";
    case 503:
      return "Service Unavailable";
    default:
      return "Error";
  }
}

}  // namespace builder
