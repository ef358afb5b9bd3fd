#include "builder/server/event_streams.h"

#include <fmt/format.h>

#include <string_view>

namespace builder {

namespace {

constexpr std::string_view stream_header =
    "HTTP/1.1 200 OK\r\n"
    "Content-Type: text/event-stream\r\n"
    "Cache-Control: no-store\r\n"
    "Connection: close\r\n"
    "\r\n";

std::string build_event(const std::string& build) {
  return fmt::format("event: build\ndata: {}\n\n", build);
}

// Sends all of `message` only if the socket can take it now: a page that
// does not read its stream is closed rather than waited for, so one stuck
// page cannot hold back the others. Each message is a few dozen bytes,
// which an open page's socket always has room for.
bool send_now(socket_t socket, std::string_view message) {
  if (httplib::detail::select_write(socket, 0, 0) <= 0) return false;
  const auto sent = httplib::detail::send_socket(socket, message.data(), message.size(), 0);
  return sent >= 0 && static_cast<std::size_t>(sent) == message.size();
}

void close_stream(socket_t socket) {
  httplib::detail::shutdown_socket(socket);
  httplib::detail::close_socket(socket);
}

}  // namespace

event_streams::event_streams(std::size_t capacity) : capacity_(capacity) {
  thread_ = std::thread([this] { serve(); });
}

event_streams::~event_streams() { stop(); }

bool event_streams::open(socket_t socket) {
  const std::lock_guard<std::mutex> hold(lock_);
  if (stopping_ || streams_.size() >= capacity_) return false;
  // Under the lock: a build published meanwhile is sent after this one.
  std::string opening(stream_header);
  opening += build_event(build_);
  if (send_now(socket, opening)) {
    streams_.push_back({socket, build_});
  } else {
    close_stream(socket);
  }
  return true;
}

void event_streams::publish(const std::string& build) {
  {
    const std::lock_guard<std::mutex> hold(lock_);
    build_ = build;
  }
  changed_.notify_all();
}

void event_streams::stop() {
  {
    const std::lock_guard<std::mutex> hold(lock_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
  const std::lock_guard<std::mutex> hold(lock_);
  for (const stream& s : streams_) close_stream(s.socket);
  streams_.clear();
}

std::size_t event_streams::open_count() {
  const std::lock_guard<std::mutex> hold(lock_);
  return streams_.size();
}

void event_streams::serve() {
  std::unique_lock<std::mutex> hold(lock_);
  sent_ = build_;
  while (!stopping_) {
    const bool news =
        changed_.wait_for(hold, quiet_stream_beat, [&] { return stopping_ || build_ != sent_; });
    if (stopping_) break;
    sent_ = build_;
    send_to_all(!news);
  }
}

void event_streams::send_to_all(bool quiet) {
  const std::string news = build_event(build_);
  std::vector<stream> kept;
  kept.reserve(streams_.size());
  for (stream& s : streams_) {
    bool sent = true;
    if (quiet) {
      sent = send_now(s.socket, ": quiet\n\n");
    } else if (s.sent != build_) {
      sent = send_now(s.socket, news);
      s.sent = build_;
    }
    if (sent) {
      kept.push_back(std::move(s));
    } else {
      close_stream(s.socket);
    }
  }
  streams_ = std::move(kept);
}

}  // namespace builder
