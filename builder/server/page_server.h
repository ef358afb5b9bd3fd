#pragma once
// Serves one page and the stream of events that tells the open page when a
// newer one is ready, over HTTP on the loopback address only. Nothing else
// is served: any other path is not found, and a request whose Host header is
// not this server's own name is refused, so that a page of another site that
// a name of its own points here (DNS rebinding) cannot read it. What else
// it refuses, and the bounds it keeps, are in request_rules.h.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "scenario/status.h"

namespace builder {

// True for "localhost:PORT" and "127.0.0.1:PORT" (the names without the port
// on port 80), the names a browser on this machine sends for this server.
bool host_allowed(std::string_view host, int port);

class page_server {
 public:
  page_server();
  ~page_server();
  page_server(const page_server&) = delete;
  page_server& operator=(const page_server&) = delete;

  // Listens on 127.0.0.1:`port`, or on a free port for 0. A failure says
  // why it cannot.
  scenario::status listen(int port);
  int port() const;

  // Serves from a thread of its own until stop().
  void start();

  // The page served from now on, and the name of its build, which every open
  // event stream is sent at once.
  void publish(std::string build, std::string page);

  // How many event streams are open.
  std::size_t open_streams() const;

  // Ends the event streams and the server, and waits for its threads. It
  // waits for no client: connections being answered are shut.
  void stop();

 private:
  struct state;
  std::unique_ptr<state> state_;
};

}  // namespace builder
