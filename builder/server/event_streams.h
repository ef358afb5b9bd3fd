#pragma once
// The open event streams of the local server, each telling its page the
// name of the newest build. They are served by one thread of their own, not
// by the server's request workers: a stream stays open as long as its page,
// and a worker held by each would leave none for the page itself once as
// many pages were open as there are workers. Here a hundred open streams
// cost a hundred sockets and nothing more, and the workers stay free.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "builder/server/http_library.h"

namespace builder {

class event_streams {
 public:
  // At most `capacity` streams at once, which bounds the sockets they hold.
  explicit event_streams(std::size_t capacity);
  ~event_streams();
  event_streams(const event_streams&) = delete;
  event_streams& operator=(const event_streams&) = delete;

  // Takes over `socket`, whose request for the stream was accepted: answers
  // its header and the name of the current build, and keeps it open. False
  // when the streams are full or stopped; the socket is then left as it is.
  bool open(socket_t socket);

  // The name of a new build, sent at once to every open stream.
  void publish(const std::string& build);

  // Closes every stream and ends the thread; later opens are refused.
  void stop();

  std::size_t open_count();

 private:
  struct stream {
    socket_t socket;
    std::string sent;  // the name of the last build it was sent
  };

  void serve();
  // Sends the current build to every stream that has not had it, or a quiet
  // comment to all; closes those that cannot take it.
  void send_to_all(bool quiet);

  const std::size_t capacity_;
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<stream> streams_;
  std::string build_;
  std::string sent_;  // the build last sent out
  bool stopping_ = false;
  std::thread thread_;
};

// A stream with nothing to say sends a comment this often, so that the
// socket of a page that went away is found closed and freed.
constexpr auto quiet_stream_beat = std::chrono::seconds(10);

}  // namespace builder
