#include "builder/server/page_server.h"

#include <fmt/format.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "builder/server/event_streams.h"
#include "builder/server/http_library.h"
#include "builder/server/request_rules.h"

namespace builder {

namespace {

using clock_type = std::chrono::steady_clock;

constexpr const char* loopback = "127.0.0.1";
// The request workers. Each holds a connection only while its head comes in
// (5 s at most) and while its answer goes out: the event streams are served
// apart (event_streams.h). Slow senders hold one each for those 5 s, so
// there are workers to spare for them and for the page.
constexpr std::size_t server_threads = 64;
// At most this many event streams at once, a page's each; beyond, 503.
constexpr std::size_t stream_capacity = 256;
// A request's head must come whole within this, however it trickles in.
constexpr auto head_deadline = std::chrono::seconds(5);
// How often a worker that waits for a head or for room to write looks
// whether the server is stopping.
constexpr time_t wait_slice_us = 50'000;
// An answer that cannot go out within this is dropped: a page on the same
// machine reads its answer at once.
constexpr auto write_deadline = std::chrono::seconds(5);
// After a refusal the rest of what the client sends (a body it would not
// hold back) is read and dropped for a moment, at most this much, so that
// closing does not reset the connection before the client reads the answer.
constexpr std::size_t linger_max_bytes = 256 * 1024;
constexpr auto linger_deadline = std::chrono::milliseconds(200);

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// The listening socket takes no address or port reuse that would let a
// second server bind the same port: two servers on one port would share
// its connections between two pages. Where the system keeps a port of
// closed connections (SO_REUSEADDR on POSIX only lets a server start again
// at once), that is kept; on Windows the port is taken exclusively.
void listening_socket_options(socket_t socket) {
  int yes = 1;
#ifdef _WIN32
  setsockopt(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes),
             sizeof(yes));
#else
  setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
#endif
}

// cpp-httplib accepts the connections (with its listen backlog, timeouts
// and pool of workers) and hands each to this server whole: the library
// reads any head and any body it is sent before a handler may refuse it,
// and bounds neither the number of header fields nor the time a head takes
// to come. Here the head is read under its bounds and judged first, and
// nothing past it is ever kept.
class guarded_server : public httplib::Server {
 public:
  std::function<void(socket_t)> handle_connection;

 private:
  bool process_and_close_socket(socket_t socket) override {
    handle_connection(socket);
    return true;
  }
};

}  // namespace

bool host_allowed(std::string_view host, int port) {
  const std::string with_port = fmt::format(":{}", port);
  if (host.ends_with(with_port)) {
    host.remove_suffix(with_port.size());
  } else if (port != 80) {
    return false;
  }
  return equal_ignoring_case(host, "localhost") || host == loopback;
}

struct page_server::state {
  guarded_server server;
  event_streams streams{stream_capacity};
  std::thread thread;
  std::atomic<bool> finished = false;
  std::atomic<bool> stopping = false;
  int port = 0;

  std::mutex lock;
  std::shared_ptr<const std::string> page = std::make_shared<const std::string>();
  // The connections being answered, shut at a stop so that no worker waits.
  std::set<socket_t> active;

  void handle(socket_t socket) {
    {
      const std::lock_guard<std::mutex> hold(lock);
      if (stopping) {
        close(socket);
        return;
      }
      active.insert(socket);
    }
    // Every answer is written whole and the connection closed: holding a
    // write back for the acknowledgement of the one before (Nagle) would
    // only delay the page behind its header.
    int yes = 1;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&yes), sizeof(yes));
    const bool keep_open = answer(socket);
    {
      const std::lock_guard<std::mutex> hold(lock);
      active.erase(socket);
    }
    if (!keep_open) close(socket);
  }

  static void close(socket_t socket) {
    httplib::detail::shutdown_socket(socket);
    httplib::detail::close_socket(socket);
  }

  // Answers one connection; true when the socket went to the event streams.
  bool answer(socket_t socket) {
    std::string head;
    const auto deadline = clock_type::now() + head_deadline;
    while (request_head_end(head) == std::string::npos) {
      if (request_head_too_large(head)) {
        refuse(socket, 431, "the request's header is too large");
        return false;
      }
      if (stopping) return false;
      if (clock_type::now() >= deadline) {
        // Nothing came in full: a slow sender is closed, and one that sent
        // nothing at all is just closed.
        if (!head.empty()) refuse(socket, 408, "the request's header came too slowly");
        return false;
      }
      if (httplib::detail::select_read(socket, 0, wait_slice_us) <= 0) continue;
      char buffer[4096];
      const std::size_t room = request_head_max_bytes + 1 - std::min(head.size(), request_head_max_bytes);
      const auto got = httplib::detail::read_socket(socket, buffer, std::min(sizeof buffer, room), 0);
      if (got <= 0) return false;
      head.append(buffer, static_cast<std::size_t>(got));
    }
    const request_verdict verdict = judge_request(head, port);
    switch (verdict.target) {
      case request_target::refused:
        refuse(socket, verdict.status, verdict.reason);
        return false;
      case request_target::page:
        send_page(socket, verdict.head_only);
        return false;
      case request_target::events:
        if (verdict.head_only) {
          write_all(socket, answer_header(200, "text/event-stream", std::nullopt, {}));
          return false;
        }
        if (streams.open(socket)) return true;
        refuse(socket, 503, "too many pages are open on this server");
        return false;
    }
    return false;
  }

  static std::string answer_header(int status, std::string_view type,
                                   std::optional<std::size_t> length, std::string_view extra) {
    std::string header = fmt::format("HTTP/1.1 {} {}\r\nContent-Type: {}\r\n", status,
                                     status_phrase(status), type);
    if (length) header += fmt::format("Content-Length: {}\r\n", *length);
    header += "Cache-Control: no-store\r\nConnection: close\r\n";
    header += extra;
    header += "\r\n";
    return header;
  }

  void send_page(socket_t socket, bool head_only) {
    std::shared_ptr<const std::string> current;
    {
      const std::lock_guard<std::mutex> hold(lock);
      current = page;
    }
    // Handed out as it is: compressing a page for a browser on the same
    // machine would cost more than the whole reload.
    std::string header = answer_header(200, "text/html; charset=utf-8", current->size(), {});
    if (head_only) {
      write_all(socket, header);
      return;
    }
    // A page of up to a few megabytes goes out in one write with its header:
    // the copy costs less than a second send.
    if (current->size() <= 4 * 1024 * 1024) {
      header += *current;
      write_all(socket, header);
    } else if (write_all(socket, header)) {
      write_all(socket, *current);
    }
  }

  void refuse(socket_t socket, int status, std::string_view reason) {
    const std::string body = fmt::format("{}\n", reason);
    const std::string_view extra = status == 405 ? "Allow: GET, HEAD\r\n" : "";
    if (!write_all(socket, answer_header(status, "text/plain", body.size(), extra) + body)) return;
    // The client may still be sending what it meant to (a body it would
    // not hold back): the answer is out, the rest is read and dropped for a
    // moment, never kept, so that it reaches the client before the close.
#ifdef _WIN32
    shutdown(socket, SD_SEND);
#else
    shutdown(socket, SHUT_WR);
#endif
    const auto deadline = clock_type::now() + linger_deadline;
    std::size_t dropped = 0;
    char buffer[4096];
    while (dropped < linger_max_bytes && clock_type::now() < deadline && !stopping) {
      if (httplib::detail::select_read(socket, 0, wait_slice_us) <= 0) continue;
      const auto got = httplib::detail::read_socket(socket, buffer, sizeof buffer, 0);
      if (got <= 0) return;
      dropped += static_cast<std::size_t>(got);
    }
  }

  bool write_all(socket_t socket, std::string_view data) {
    const auto deadline = clock_type::now() + write_deadline;
    while (!data.empty()) {
      if (stopping || clock_type::now() >= deadline) return false;
      const auto ready = httplib::detail::select_write(socket, 0, wait_slice_us);
      if (ready < 0) return false;
      if (ready == 0) continue;
      const auto sent = httplib::detail::send_socket(socket, data.data(), data.size(), 0);
      if (sent <= 0) return false;
      data.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
  }
};

page_server::page_server() : state_(std::make_unique<state>()) {
  guarded_server& server = state_->server;
  // The library takes the pool's ownership through a plain pointer.
  server.new_task_queue = [] {
    return std::make_unique<httplib::ThreadPool>(server_threads).release();
  };
  server.set_socket_options(listening_socket_options);
  // Set on each accepted socket: a blocked read or write gives up this
  // soon, so that a stop never waits long for a worker; a page on the same
  // machine is read at once. No body is ever taken, should the library's
  // own reading be reached.
  server.set_write_timeout(1, 0);
  server.set_read_timeout(1, 0);
  server.set_payload_max_length(0);
  server.handle_connection = [this](socket_t socket) { state_->handle(socket); };
}

page_server::~page_server() { stop(); }

scenario::status page_server::listen(int port) {
  const int bound = port == 0 ? state_->server.bind_to_any_port(loopback)
                              : (state_->server.bind_to_port(loopback, port) ? port : -1);
  if (bound <= 0) {
    return scenario::status::failure(
        fmt::format("cannot listen on {}:{}: the port is taken or not allowed; give another "
                    "with --port, or 0 for any free one",
                    loopback, port));
  }
  state_->port = bound;
  return {};
}

int page_server::port() const { return state_->port; }

void page_server::start() {
  state_->thread = std::thread([this] {
    state_->server.listen_after_bind();
    state_->finished = true;
  });
}

void page_server::publish(std::string build, std::string page) {
  {
    const std::lock_guard<std::mutex> hold(state_->lock);
    state_->page = std::make_shared<const std::string>(std::move(page));
  }
  state_->streams.publish(build);
}

std::size_t page_server::open_streams() const { return state_->streams.open_count(); }

void page_server::stop() {
  {
    const std::lock_guard<std::mutex> hold(state_->lock);
    state_->stopping = true;
    // A worker blocked on a connection is woken by its shutdown.
    for (const socket_t socket : state_->active) httplib::detail::shutdown_socket(socket);
  }
  state_->streams.stop();
  if (!state_->thread.joinable()) return;
  // A server that has not yet begun to listen ignores a stop, and one told
  // twice closes its socket twice: it is stopped once, when it runs.
  while (!state_->finished && !state_->server.is_running()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (!state_->finished) state_->server.stop();
  state_->thread.join();
}

}  // namespace builder
