// What the local server takes of a request, judged on its head alone: the
// page and its stream by GET or HEAD from its own names and its own page,
// and nothing that carries a body, comes from another site or grows
// without bound.

#include "builder/server/request_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using builder::request_target;

std::string head(std::string request_line, const std::string& fields = {}) {
  return request_line + "\r\nHost: 127.0.0.1:8080\r\n" + fields + "\r\n";
}

TEST(RequestRules, JudgesTheHeadAlone) {
  struct request_case {
    std::string name;
    std::string head;
    request_target target;
    int status;  // for a refusal
    bool head_only = false;
  };
  const std::string many_fields = [] {
    std::string fields;
    for (int i = 0; i < 63; ++i) fields += "X-" + std::to_string(i) + ": 1\r\n";
    return fields;
  }();
  const std::vector<request_case> cases = {
      {"the page", head("GET / HTTP/1.1"), request_target::page, 200},
      {"the page with a query", head("GET /?reload=1 HTTP/1.1"), request_target::page, 200},
      {"the page's header", head("HEAD / HTTP/1.1"), request_target::page, 200, true},
      {"the stream", head("GET /events HTTP/1.1"), request_target::events, 200},
      {"HTTP/1.0", head("GET / HTTP/1.0"), request_target::page, 200},
      {"lone line feeds", "GET / HTTP/1.1\nHost: localhost:8080\n\n", request_target::page, 200},
      {"an empty body announced", head("GET / HTTP/1.1", "Content-Length: 0\r\n"),
       request_target::page, 200},
      {"64 fields", head("GET / HTTP/1.1", many_fields), request_target::page, 200},
      {"another path", head("GET /page.html HTTP/1.1"), request_target::refused, 404},
      {"a climb out", head("GET /../ HTTP/1.1"), request_target::refused, 404},
      {"POST", head("POST / HTTP/1.1", "Content-Length: 5\r\n"), request_target::refused, 405},
      {"PUT", head("PUT /events HTTP/1.1"), request_target::refused, 405},
      {"OPTIONS", head("OPTIONS * HTTP/1.1"), request_target::refused, 405},
      {"get in lower case", head("get / HTTP/1.1"), request_target::refused, 405},
      {"a GET with a body", head("GET / HTTP/1.1", "Content-Length: 1073741824\r\n"),
       request_target::refused, 413},
      {"a GET with chunks", head("GET / HTTP/1.1", "transfer-encoding: chunked\r\n"),
       request_target::refused, 413},
      {"65 fields", head("GET / HTTP/1.1", many_fields + "X-last: 1\r\n"),
       request_target::refused, 431},
      {"a head past 16 KiB", head("GET / HTTP/1.1", "X-long: " + std::string(16384, 'a') + "\r\n"),
       request_target::refused, 431},
      {"another host", "GET / HTTP/1.1\r\nHost: rebound.example:8080\r\n\r\n",
       request_target::refused, 403},
      {"no host", "GET / HTTP/1.1\r\n\r\n", request_target::refused, 403},
      {"two hosts", head("GET / HTTP/1.1", "Host: evil.example\r\n"), request_target::refused, 403},
      {"the own origin", head("GET /events HTTP/1.1", "Origin: http://localhost:8080\r\n"),
       request_target::events, 200},
      {"another site's origin", head("GET / HTTP/1.1", "Origin: http://evil.example\r\n"),
       request_target::refused, 403},
      {"another port's origin", head("GET / HTTP/1.1", "Origin: http://127.0.0.1:8081\r\n"),
       request_target::refused, 403},
      {"an opaque origin", head("GET / HTTP/1.1", "Origin: null\r\n"), request_target::refused,
       403},
      {"a secure origin", head("GET / HTTP/1.1", "Origin: https://127.0.0.1:8080\r\n"),
       request_target::refused, 403},
      {"a cross-site fetch", head("GET / HTTP/1.1", "Sec-Fetch-Site: cross-site\r\n"),
       request_target::refused, 403},
      {"a same-site fetch", head("GET / HTTP/1.1", "Sec-Fetch-Site: same-site\r\n"),
       request_target::refused, 403},
      {"a same-origin fetch", head("GET /events HTTP/1.1", "Sec-Fetch-Site: same-origin\r\n"),
       request_target::events, 200},
      {"a typed address", head("GET / HTTP/1.1", "Sec-Fetch-Site: none\r\n"), request_target::page,
       200},
      {"no version", "GET /\r\nHost: 127.0.0.1:8080\r\n\r\n", request_target::refused, 400},
      {"a field without a colon", head("GET / HTTP/1.1", "Host 127.0.0.1\r\n"),
       request_target::refused, 400},
      {"a folded field", head("GET / HTTP/1.1", "X-a: 1\r\n  2\r\n"), request_target::refused,
       400},
  };
  for (const request_case& c : cases) {
    SCOPED_TRACE(c.name);
    const builder::request_verdict verdict = builder::judge_request(c.head, 8080);
    EXPECT_EQ(verdict.target, c.target);
    if (c.target == request_target::refused) {
      EXPECT_EQ(verdict.status, c.status) << verdict.reason;
      EXPECT_FALSE(verdict.reason.empty());
    } else {
      EXPECT_EQ(verdict.head_only, c.head_only);
    }
  }
}

// A head that comes in pieces is judged once it is whole, and refused as
// soon as what has come is more than a head may hold.
TEST(RequestRules, BoundsAHeadWhileItComes) {
  EXPECT_EQ(builder::request_head_end("GET / HTTP/1.1\r\nHost: a\r\n"), std::string::npos);
  EXPECT_EQ(builder::request_head_end("GET / HTTP/1.1\r\n\r\nbody"), 18u);
  EXPECT_EQ(builder::request_head_end("GET / HTTP/1.1\n\n\r\n\r\n"), 16u);
  EXPECT_FALSE(builder::request_head_too_large(std::string(builder::request_head_max_bytes, 'a')));
  EXPECT_TRUE(
      builder::request_head_too_large(std::string(builder::request_head_max_bytes + 1, 'a')));
  std::string lines = "GET / HTTP/1.1\r\n";
  for (std::size_t i = 0; i < builder::request_header_max_count; ++i) lines += "X: 1\r\n";
  EXPECT_FALSE(builder::request_head_too_large(lines));
  EXPECT_TRUE(builder::request_head_too_large(lines + "X: 1\r\n"));
  // A million empty-named lines are caught by their count, long before
  // their bytes.
  EXPECT_TRUE(builder::request_head_too_large(std::string(100, '\n')));
}

}  // namespace
