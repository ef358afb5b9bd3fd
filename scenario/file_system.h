#pragma once
// The one module that touches the file system. Every reader and writer of the
// project goes through these few functions, so that a failure always comes
// back with the path and the system's reason, and no file is ever left
// half-written.
//
// What survives a crash or a power cut: nothing here calls fsync. A file is
// written whole under no name (or under a temporary one) and only then takes
// its name, so a process that is killed leaves either the older file or the
// new one whole. But the system may keep the new content in memory for a few
// seconds after the name has moved: after a power cut or a system crash in
// that time, a just-replaced output can be empty or hold zeros, and the build
// must be run again.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "scenario/status.h"

namespace scenario {

// Every function here that can fail answers with a status: a failure names
// the file and gives the system's reason, and a failure with not_found()
// means that nothing at all stands at the path.

// The most bytes a file may have to be read at all, and what kind of file it
// is meant to be, for the refusal: "a description text".
struct size_bound {
  std::uint64_t bytes;
  std::string_view of_what;
};

// Reads the whole file into `bytes`. Only a regular file is read: a
// directory, a pipe or a device is refused before anything is read from it,
// so that nothing blocks, and so is a file larger than `bound`.
status read_whole_file(const std::filesystem::path& path, std::string& bytes, size_bound bound);

// The bytes of a whole file, read-only, in a buffer that nothing fills
// beforehand: a track plan of a long line is 20 MB that would otherwise be
// zero-filled first. The file is read, not mapped: a mapped file that
// another process shortens kills its reader at the first page past the new
// end.
class file_bytes {
 public:
  file_bytes() = default;
  file_bytes(const file_bytes&) = delete;
  file_bytes& operator=(const file_bytes&) = delete;
  file_bytes(file_bytes&& other) noexcept = default;
  file_bytes& operator=(file_bytes&& other) noexcept = default;
  ~file_bytes() = default;

  std::string_view view() const { return {buffer_.get(), size_}; }

  // A copy of bytes already in memory, held the same way as a file's: for a
  // reader that was handed bytes instead of a path.
  static file_bytes copy_of(std::string_view bytes);

 private:
  friend status read_file_bytes(const std::filesystem::path& path, file_bytes& bytes,
                                size_bound bound);

  std::unique_ptr<char[]> buffer_;
  std::size_t size_ = 0;
};

// Reads the whole file into `bytes`, with the checks and failures of
// read_whole_file.
status read_file_bytes(const std::filesystem::path& path, file_bytes& bytes, size_bound bound);

// Writes `bytes` in place of the file at `path`. The content is written
// first to a file without a name where the system has them (Linux), else to
// a temporary file beside `path`, and takes the name only once it is whole:
// a file already there swaps names with it and is deleted. Either the new
// content is there whole, or the older file (if any) is left as it was and
// nothing else is left behind; a process killed in the instant a file has
// the temporary name leaves it, for remove_stale_temporaries. A directory,
// pipe or device at `path` is refused; a symbolic link there is replaced,
// never written through. A replaced file that cannot be deleted afterwards
// is a failure naming it.
status write_file_atomically(const std::filesystem::path& path, std::string_view bytes);

// The next piece of a file's content; an empty piece ends it. A piece stays
// valid until the next call.
using piece_source = std::function<std::string_view()>;

// The same for content handed out in pieces, so that a large file is never
// held whole in memory.
status write_file_in_pieces(const std::filesystem::path& path, const piece_source& next_piece);

// Removes what an earlier run that was killed may have left of its writing
// of these files in `directory`: the temporary files named after them in
// this module's pattern (FILE.xxxxxxxx.tmp). Run it only while holding the
// folder's lock, so that no other run of the program is writing them.
status remove_stale_temporaries(const std::filesystem::path& directory,
                                std::span<const std::string> file_names);

// Deletes the file; a file that does not exist is not a failure.
status delete_file(const std::filesystem::path& path);

// Makes the directory and those above it that are missing, as `mkdir -p`
// does; a directory already there is not a failure, anything else at the
// path is.
status make_directories(const std::filesystem::path& path);

// Whether anything stands at `path` (a symbolic link counts, even a broken
// one); a failure when the system cannot tell.
struct existence {
  bool exists = false;
  status checked;
};
existence check_existence(const std::filesystem::path& path);

// Whether two paths name one file, by identity (device and inode, or the
// system's equivalent), whatever their spelling, links or case; a path that
// names nothing is no file. A failure when the system cannot tell.
struct sameness {
  bool same = false;
  status checked;
};
sameness same_file(const std::filesystem::path& a, const std::filesystem::path& b);

// The name of the lock file a run keeps in the folder it writes.
inline constexpr std::string_view folder_lock_name = ".scenario-builder.lock";

// An exclusive hold on an output folder for the length of a run, so that two
// runs never write one folder at once. Released, and its lock file deleted,
// when the object goes; a run that is killed leaves the lock file, which the
// next run takes over.
class folder_lock {
 public:
  folder_lock() = default;
  folder_lock(const folder_lock&) = delete;
  folder_lock& operator=(const folder_lock&) = delete;
  folder_lock(folder_lock&& other) noexcept;
  folder_lock& operator=(folder_lock&& other) noexcept;
  ~folder_lock();

 private:
  friend status lock_folder(const std::filesystem::path& directory, std::string_view holder,
                            std::chrono::milliseconds wait, folder_lock& lock);
  void release() noexcept;

  std::filesystem::path path_;
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int descriptor_ = -1;
#endif
};

// Takes `directory`'s lock through a lock file in it (flock, or LockFileEx on
// Windows), waiting up to `wait` for another run to let it go. `holder` names
// this run ("scenario-builder build") for a run that waits on it. When the
// wait ends without the lock, the failure names the directory and the run
// that holds it.
status lock_folder(const std::filesystem::path& directory, std::string_view holder,
                   std::chrono::milliseconds wait, folder_lock& lock);

// How a run that writes into an output folder begins: makes `directory`
// when it is missing, as make_directories does, then takes its lock, as
// lock_folder does. A failure says which of the two steps failed ("cannot
// make the output folder").
status take_output_folder(const std::filesystem::path& directory, std::string_view holder,
                          std::chrono::milliseconds wait, folder_lock& lock);

// What tells a watcher that a file was saved again: its modification time and
// size. Nothing when there is no regular file at `path` (yet, or any more).
struct file_stamp {
  std::filesystem::file_time_type modified;
  std::uintmax_t size = 0;

  friend bool operator==(const file_stamp&, const file_stamp&) = default;
};
std::optional<file_stamp> stamp_of(const std::filesystem::path& path);

// The names of the regular files in `directory`, sorted.
status list_regular_files(const std::filesystem::path& directory, std::vector<std::string>& names);

// Makes a write past the process's file size limit (ulimit -f) fail with
// EFBIG, reported like any other failed write, instead of killing the
// process with SIGXFSZ: a killed run says nothing and leaves its lock file.
// Called once at the start of the program; nothing on Windows, which has no
// such limit.
void report_file_size_limit_as_failure();

// The directory that holds the running executable. `argv0` is used only when
// the system cannot tell the executable's own path.
std::filesystem::path program_directory(const char* argv0);

}  // namespace scenario
