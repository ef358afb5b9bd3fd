#include "builder/page_server.h"

#include <fmt/format.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "builder/http_library.h"

namespace builder {

namespace {

constexpr const char* loopback = "127.0.0.1";
// Each open page holds a thread with its event stream.
constexpr std::size_t server_threads = 16;
// A connection left idle is closed this soon, which bounds how long stop()
// waits for one.
constexpr int idle_seconds = 1;
// An event stream with nothing to say sends a comment this often, so that a
// page that went away frees its thread.
constexpr auto quiet_stream_beat = std::chrono::seconds(10);

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

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
  httplib::Server server;
  std::thread thread;
  std::atomic<bool> finished = false;
  int port = 0;

  std::mutex lock;
  std::condition_variable changed;
  std::string build;
  std::shared_ptr<const std::string> page = std::make_shared<const std::string>();
  bool stopping = false;

  void serve_page(httplib::Response& response) {
    std::shared_ptr<const std::string> current;
    {
      const std::lock_guard<std::mutex> hold(lock);
      current = page;
    }
    response.set_header("Cache-Control", "no-store");
    // Handed out as it is: compressing a page for a browser on the same
    // machine would cost more than the whole reload.
    response.set_content_provider(
        current->size(), "text/html; charset=utf-8",
        [current](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
          return sink.write(current->data() + offset, length);
        });
  }

  // Sends the build's name when the stream opens and whenever it changes.
  void serve_events(httplib::Response& response) {
    response.set_header("Cache-Control", "no-store");
    response.set_chunked_content_provider(
        "text/event-stream",
        [this, sent = std::string()](std::size_t, httplib::DataSink& sink) mutable {
          std::unique_lock<std::mutex> hold(lock);
          const bool news =
              changed.wait_for(hold, quiet_stream_beat, [&] { return stopping || build != sent; });
          if (stopping) return false;
          const std::string message =
              news ? fmt::format("event: build\ndata: {}\n\n", build) : std::string(": quiet\n\n");
          if (news) sent = build;
          hold.unlock();
          return sink.is_writable() && sink.write(message.data(), message.size());
        });
  }
};

page_server::page_server() : state_(std::make_unique<state>()) {
  httplib::Server& server = state_->server;
  server.new_task_queue = [] { return new httplib::ThreadPool(server_threads); };
  server.set_keep_alive_timeout(idle_seconds);
  // The headers, the body and each event go out as they are written: a
  // small write left waiting for the browser's delayed acknowledgement costs
  // tens of milliseconds of every reload.
  server.set_tcp_nodelay(true);
  server.set_pre_routing_handler(
      [this](const httplib::Request& request, httplib::Response& response) {
        if (host_allowed(request.get_header_value("Host"), state_->port)) {
          return httplib::Server::HandlerResponse::Unhandled;
        }
        response.status = 403;
        response.set_content("this server answers to localhost and 127.0.0.1 only\n", "text/plain");
        return httplib::Server::HandlerResponse::Handled;
      });
  server.Get("/", [this](const httplib::Request&, httplib::Response& response) {
    state_->serve_page(response);
  });
  server.Get("/events", [this](const httplib::Request&, httplib::Response& response) {
    state_->serve_events(response);
  });
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
    state_->build = std::move(build);
    state_->page = std::make_shared<const std::string>(std::move(page));
  }
  state_->changed.notify_all();
}

void page_server::stop() {
  {
    const std::lock_guard<std::mutex> hold(state_->lock);
    state_->stopping = true;
  }
  state_->changed.notify_all();
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
