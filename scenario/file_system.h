#pragma once
// The one module that touches the file system. Every reader and writer of the
// project goes through these few functions, so that a failure always comes
// back with the path and the system's reason, and no file is ever left
// half-written.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace scenario {

// A failed file operation: which file, and why, in the system's words.
struct file_failure {
  std::filesystem::path path;
  std::string reason;

  // "PATH: REASON", for a message to the user.
  std::string describe() const;
};

// Empty on success.
using file_status = std::optional<file_failure>;

// Reads the whole file into `bytes`.
file_status read_whole_file(const std::filesystem::path& path, std::string& bytes);

// The bytes of a whole file, read-only, for a reader that decodes them once
// and keeps nothing of them: a track plan of a long line is 20 MB that would
// otherwise be zero-filled, copied and dropped. On POSIX systems the file is
// mapped, so its pages come straight from the system's cache; elsewhere, or
// when it cannot be mapped, it is read into a buffer that nothing fills
// beforehand. Every file this project writes is replaced by a new file, never
// rewritten in place, so a mapping keeps the content it was made from.
class file_bytes {
 public:
  file_bytes() = default;
  file_bytes(const file_bytes&) = delete;
  file_bytes& operator=(const file_bytes&) = delete;
  file_bytes(file_bytes&& other) noexcept;
  file_bytes& operator=(file_bytes&& other) noexcept;
  ~file_bytes();

  std::string_view view() const { return {data_, size_}; }

  // A copy of bytes already in memory, held the same way as a file's: for a
  // reader that was handed bytes instead of a path.
  static file_bytes copy_of(std::string_view bytes);

 private:
  friend file_status read_file_bytes(const std::filesystem::path& path, file_bytes& bytes);
  void release() noexcept;

  const char* data_ = nullptr;
  std::size_t size_ = 0;
  void* mapping_ = nullptr;  // what to unmap, when the bytes are a mapping
  std::size_t mapped_ = 0;
  std::unique_ptr<char[]> buffer_;  // the bytes, when they were read
};

// Reads the whole file into `bytes`, with the failures of read_whole_file.
file_status read_file_bytes(const std::filesystem::path& path, file_bytes& bytes);

// Writes `bytes` to a temporary file beside `path`, then puts it in its
// place: a file already there swaps names with it and is deleted. Either the
// new content is there whole, or the older file (if any) is left as it was
// and the temporary file is removed.
file_status write_file_atomically(const std::filesystem::path& path, std::string_view bytes);

// The next piece of a file's content; an empty piece ends it. A piece stays
// valid until the next call.
using piece_source = std::function<std::string_view()>;

// The same for content handed out in pieces, so that a large file is never
// held whole in memory.
file_status write_file_in_pieces(const std::filesystem::path& path, const piece_source& next_piece);

// Deletes the file; a file that does not exist is not a failure.
file_status delete_file(const std::filesystem::path& path);

// True when a regular file exists at `path`.
bool file_exists(const std::filesystem::path& path);

// What tells a watcher that a file was saved again: its modification time and
// size. Nothing when there is no regular file at `path` (yet, or any more).
struct file_stamp {
  std::filesystem::file_time_type modified;
  std::uintmax_t size = 0;

  friend bool operator==(const file_stamp&, const file_stamp&) = default;
};
std::optional<file_stamp> stamp_of(const std::filesystem::path& path);

// The names of the regular files in `directory`, sorted.
file_status list_regular_files(const std::filesystem::path& directory,
                               std::vector<std::string>& names);

// The directory that holds the running executable. `argv0` is used only when
// the system cannot tell the executable's own path.
std::filesystem::path program_directory(const char* argv0);

}  // namespace scenario
