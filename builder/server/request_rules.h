#pragma once
// What the local server accepts of a request, judged on its head alone (the
// request line and the header fields) before anything else is read: the
// page and its event stream are fetched with GET (or HEAD) and carry no
// body, so any other method, and any announced body, is refused without
// reading a byte of it. A head is bounded in size and in fields, and a
// request that another site's page sends (its Origin or its fetch metadata
// say so) is refused like one that names another host.

#include <cstddef>
#include <string>
#include <string_view>

namespace builder {

// The largest head read, request line and fields with their line ends.
constexpr std::size_t request_head_max_bytes = 16 * 1024;
// The most header fields a head may hold.
constexpr std::size_t request_header_max_count = 64;

enum class request_target { page, events, refused };

struct request_verdict {
  request_target target = request_target::refused;
  bool head_only = false;    // HEAD: the answer's header without its body
  int status = 200;          // for a refusal: 400, 403, 404, 405, 413 or 431
  std::string reason;        // for a refusal: one line, the answer's body
};

// Where the head ends: the offset just past the empty line that closes it,
// or npos while it has not come yet.
std::size_t request_head_end(std::string_view received);

// True when what has come of a head that is not yet complete already breaks
// its bounds: more bytes, or more lines, than a head may hold.
bool request_head_too_large(std::string_view received);

// Judges a complete head (as far as request_head_end) for the server on
// 127.0.0.1:`port`.
request_verdict judge_request(std::string_view head, int port);

// The standard phrase of a status this server answers with.
std::string_view status_phrase(int status);

}  // namespace builder
