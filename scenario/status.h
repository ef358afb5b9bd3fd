#pragma once
// The result of anything that can fail, from a file operation to a command:
// success, or a failure that carries what failed, the file or place it
// concerns, and the reason. It reads right at the call site,
//
//   const scenario::status written = write_file_atomically(path, bytes);
//   if (!written) return written;
//
// and a failure is told one way, by describe(): "WHAT: PLACE: REASON", with
// the parts that are not known left out.

#include <filesystem>
#include <string>
#include <string_view>

namespace scenario {

class status {
 public:
  // Success.
  status() = default;

  // A failure with only its reason: "the grid is 12 bytes, ...".
  static status failure(std::string reason);
  // A failure concerning one file or place.
  static status failure_at(std::filesystem::path place, std::string reason);
  // Nothing at all stands at the path: the one failure a caller may take for
  // "missing" rather than for a fault.
  static status missing(std::filesystem::path place, std::string reason);

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }

  bool not_found() const { return not_found_; }
  const std::string& what() const { return what_; }
  const std::filesystem::path& place() const { return place_; }
  const std::string& reason() const { return reason_; }

  // The same failure as the cause of a larger step that failed with it:
  // "cannot read the line text". A success stays a success.
  status within(std::string_view step) const;

  // "WHAT: PLACE: REASON", the parts that are not known left out; empty for
  // a success. No final line end.
  std::string describe() const;

  // Two results are the same when both succeed, or both fail the same way.
  bool operator==(const status&) const = default;

 private:
  bool failed_ = false;
  bool not_found_ = false;
  std::string what_;
  std::filesystem::path place_;
  std::string reason_;
};

}  // namespace scenario
