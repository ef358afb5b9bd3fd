// The server of `serve`: its own names only, the page and its event stream
// only, on the loopback address, and an event as soon as a build is published.

#include "builder/server/page_server.h"

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <chrono>
#include <string>
#include <vector>

#include "builder/server/http_library.h"

namespace {

TEST(PageServer, AnswersItsOwnNamesOnly) {
  struct host_case {
    std::string host;
    int port;
    bool allowed;
  };
  const std::vector<host_case> hosts = {
      {"localhost:8080", 8080, true},
      {"127.0.0.1:8080", 8080, true},
      {"LocalHost:8080", 8080, true},
      {"localhost", 80, true},
      {"127.0.0.1:80", 80, true},
      {"localhost", 8080, false},
      {"localhost:8081", 8080, false},
      {"localhost:80800", 8080, false},
      {"evil.example:8080", 8080, false},
      {"localhost.evil.example:8080", 8080, false},
      {"127.0.0.2:8080", 8080, false},
      {"[::1]:8080", 8080, false},
      {"", 8080, false},
      {":8080", 8080, false},
      {"127.0.0.1:8080:8080", 8080, false},
  };
  for (const host_case& c : hosts) {
    EXPECT_EQ(builder::host_allowed(c.host, c.port), c.allowed) << c.host << " on " << c.port;
  }

  builder::page_server server;
  ASSERT_TRUE(server.listen(0));
  server.publish("1", "<p>one</p>");
  server.start();
  httplib::Client client("127.0.0.1", server.port());
  const std::string own = fmt::format("127.0.0.1:{}", server.port());
  struct request_case {
    std::string path;
    std::string host;
    int status;
    std::string body;
  };
  const std::vector<request_case> requests = {
      {"/", own, 200, "<p>one</p>"},
      {"/", fmt::format("localhost:{}", server.port()), 200, "<p>one</p>"},
      {"/", fmt::format("rebound.example:{}", server.port()), 403, ""},
      {"/events", "rebound.example", 403, ""},
      {"/page.html", own, 404, ""},
      {"/../", own, 404, ""},
  };
  for (const request_case& c : requests) {
    SCOPED_TRACE(c.path + " for " + c.host);
    const auto answer = client.Get(c.path, httplib::Headers{{"Host", c.host}});
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, c.status);
    if (!c.body.empty()) {
      EXPECT_EQ(answer->body, c.body);
    }
  }

  // The stream names the build at once, and the next one when it comes.
  std::string stream;
  std::thread publisher([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    server.publish("2", "<p>two</p>");
  });
  client.set_read_timeout(5, 0);
  client.Get("/events", httplib::Headers{{"Host", own}}, [&](const char* data, std::size_t size) {
    stream.append(data, size);
    return stream.find("data: 2\n\n") == std::string::npos;
  });
  publisher.join();
  EXPECT_EQ(stream, "event: build\ndata: 1\n\nevent: build\ndata: 2\n\n");
  const auto after = client.Get("/", httplib::Headers{{"Host", own}});
  ASSERT_TRUE(after);
  EXPECT_EQ(after->body, "<p>two</p>");
  server.stop();
}

}  // namespace
