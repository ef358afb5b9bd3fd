#include "scenario/file_system.h"

#include <fmt/format.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <system_error>
#include <vector>
#include <thread>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace scenario {

namespace fs = std::filesystem;

namespace {

// A failure at `path`; `not_found` when nothing at all stands there.
status failed_at(const fs::path& path, std::string reason, bool not_found = false) {
  return not_found ? status::missing(path, std::move(reason))
                   : status::failure_at(path, std::move(reason));
}

status failure_from_errno(const fs::path& path, int error_number) {
  return failed_at(path, std::strerror(error_number), error_number == ENOENT);
}

status failure_from_code(const fs::path& path, const std::error_code& error) {
  return failed_at(path, error.message(), error == std::errc::no_such_file_or_directory);
}

status too_large(const fs::path& path, std::uint64_t size, size_bound bound) {
  return failed_at(path, fmt::format("{} bytes, more than {} can be ({} bytes)", size,
                                     bound.of_what, bound.bytes));
}

constexpr std::string_view temporary_suffix = ".tmp";
constexpr std::size_t temporary_digits = 8;

// A name in the target's own directory, so that the final rename never
// crosses file systems: FILE.xxxxxxxx.tmp, eight hexadecimal digits.
fs::path temporary_beside(const fs::path& path) {
  static thread_local std::mt19937 generator{std::random_device{}()};
  fs::path temporary = path;
  temporary += fmt::format(".{:0{}x}{}", static_cast<std::uint32_t>(generator()), temporary_digits,
                           temporary_suffix);
  return temporary;
}

// True when `name` is FILE.xxxxxxxx.tmp for the file `target`.
bool is_temporary_of(const fs::path::string_type& name, const fs::path& target) {
  const fs::path::string_type prefix = (fs::path(target) += ".").native();
  const fs::path::string_type suffix = fs::path(temporary_suffix).native();
  if (name.size() != prefix.size() + temporary_digits + suffix.size()) return false;
  if (name.compare(0, prefix.size(), prefix) != 0) return false;
  if (name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) return false;
  for (std::size_t i = prefix.size(); i < prefix.size() + temporary_digits; ++i) {
    const auto c = name[i];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

// Reads from `read_some` (which answers a byte count, 0 at the end, or -1
// with `errno` set) into storage that `grow(size, kept)` makes `size` bytes
// long, keeping its first `kept` bytes. The storage starts one byte longer
// than the file's told length, so that a short read ends it at once; a file
// that grew meanwhile is read on to its real end, but never past the bound.
template <typename ReadSome, typename Grow>
status read_to_end(const fs::path& path, std::uint64_t told_size, size_bound bound,
                   ReadSome read_some, Grow grow, std::size_t& filled) {
  const std::uint64_t most = bound.bytes + 1;
  std::size_t capacity = static_cast<std::size_t>(std::min(told_size + 1, most));
  char* data = grow(capacity, 0);
  filled = 0;
  while (true) {
    if (filled == capacity) {
      if (capacity >= most) return too_large(path, filled, bound);
      capacity = static_cast<std::size_t>(
          std::min<std::uint64_t>(2 * std::uint64_t{capacity} + (1u << 16), most));
      data = grow(capacity, filled);
    }
    const std::ptrdiff_t count = read_some(data + filled, capacity - filled);
    if (count < 0) {
      if (errno == EINTR) continue;
      return failure_from_errno(path, errno);
    }
    if (count == 0) break;
    filled += static_cast<std::size_t>(count);
  }
  return {};
}

#ifdef _WIN32

struct file_closer {
  void operator()(std::FILE* file) const {
    if (file != nullptr) std::fclose(file);
  }
};

// A narrow file name on Windows is taken in the ANSI code page, which cannot
// spell every directory a user may keep the program in; the wide form opens
// any path the system can.
std::FILE* open_file(const fs::path& path, bool for_writing) {
  return _wfopen(path.c_str(), for_writing ? L"wb" : L"rb");
}

status failure_from_last_error(const fs::path& path) {
  const DWORD error = GetLastError();
  return failed_at(path, std::system_category().message(static_cast<int>(error)),
                   error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND);
}

template <typename Grow>
status read_regular_file(const fs::path& path, size_bound bound, Grow grow, std::size_t& filled) {
  std::error_code error;
  const fs::file_status kind = fs::status(path, error);
  if (error) return failure_from_code(path, error);
  if (fs::is_directory(kind)) return failed_at(path, "is a directory");
  if (!fs::is_regular_file(kind)) return failed_at(path, "is not a regular file");
  const std::uint64_t size = fs::file_size(path, error);
  if (error) return failure_from_code(path, error);
  if (size > bound.bytes) return too_large(path, size, bound);
  std::unique_ptr<std::FILE, file_closer> file(open_file(path, false));
  if (!file) return failure_from_errno(path, errno);
  auto read_some = [&](char* to, std::size_t room) -> std::ptrdiff_t {
    const std::size_t count = std::fread(to, 1, room, file.get());
    if (count == 0 && std::ferror(file.get())) return -1;
    return static_cast<std::ptrdiff_t>(count);
  };
  return read_to_end(path, size, bound, read_some, grow, filled);
}

#else

// Closes a descriptor when it goes.
struct descriptor {
  int value = -1;
  explicit descriptor(int v) : value(v) {}
  descriptor(const descriptor&) = delete;
  descriptor& operator=(const descriptor&) = delete;
  ~descriptor() {
    if (value >= 0) close(value);
  }
  // Closes it now, for the close's own failure to be seen.
  int close_now() {
    const int result = close(value);
    value = -1;
    return result;
  }
};

template <typename Grow>
status read_regular_file(const fs::path& path, size_bound bound, Grow grow, std::size_t& filled) {
  // Opened without waiting, so that a pipe with no writer cannot hold the
  // program up before it is refused; a regular file reads the same either way.
  descriptor file(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (file.value < 0) return failure_from_errno(path, errno);
  struct stat info {};
  if (fstat(file.value, &info) != 0) return failure_from_errno(path, errno);
  if (S_ISDIR(info.st_mode)) return failed_at(path, "is a directory");
  if (!S_ISREG(info.st_mode)) return failed_at(path, "is not a regular file");
  const auto size = static_cast<std::uint64_t>(info.st_size);
  if (size > bound.bytes) return too_large(path, size, bound);
  auto read_some = [&](char* to, std::size_t room) -> std::ptrdiff_t {
    return read(file.value, to, room);
  };
  return read_to_end(path, size, bound, read_some, grow, filled);
}

// Writes all of `bytes` to the descriptor; false with errno set when it could
// not.
bool write_all(int file, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t count = write(file, bytes.data(), bytes.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(count));
  }
  return true;
}

// Writes every piece; the errno of the failure, or 0.
int write_pieces(int file, const piece_source& next_piece) {
  for (std::string_view piece = next_piece(); !piece.empty(); piece = next_piece()) {
    if (!write_all(file, piece)) return errno;
  }
  return 0;
}

// Puts the finished temporary file in the target's place. A plain rename over
// an existing file makes ext4 start writing the new file's data out before it
// renames (its guard for programs that never sync), which costs more than the
// whole compile of a small scenario and is paid again on every rebuild. The
// two names are swapped instead, in one step, so the target still holds
// either its old content or the new one whole; the old one, now under the
// temporary name, is then removed. Where there is no file to swap with, or
// the file system cannot swap, it is a plain rename.
status replace_with(const fs::path& temporary, const fs::path& path) {
#ifdef RENAME_EXCHANGE
  struct stat target {};
  if (lstat(path.c_str(), &target) == 0 && S_ISREG(target.st_mode)) {
    if (renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_EXCHANGE) == 0) {
      // The new content is in place; the old one must still go, or it would
      // stay beside it under the temporary name.
      if (unlink(temporary.c_str()) != 0) {
        return failed_at(temporary,
                         fmt::format("holds the older content of {} and cannot be deleted: {}",
                                     path.filename().string(), std::strerror(errno)));
      }
      return {};
    }
  }
#endif
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    const int rename_errno = errno;
    unlink(temporary.c_str());
    return failure_from_errno(path, rename_errno);
  }
  return {};
}

// Gives the nameless file `file` the name `name`; false with errno set when
// it could not (EEXIST when the name is taken).
bool link_nameless(int file, const fs::path& name) {
  const std::string own = fmt::format("/proc/self/fd/{}", file);
  if (linkat(AT_FDCWD, own.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
  if (errno != ENOENT) return false;
  // Without /proc, a process allowed to may link the descriptor itself.
  return linkat(file, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0;
}

// What stands at the target: nothing, a file (or a link) to replace, or a
// refusal.
status check_target(const fs::path& path, bool& exists) {
  struct stat info {};
  exists = false;
  if (lstat(path.c_str(), &info) != 0) {
    if (errno == ENOENT) return {};
    return failure_from_errno(path, errno);
  }
  if (S_ISDIR(info.st_mode)) return failed_at(path, "is a directory");
  if (!S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) {
    return failed_at(path, "is not a regular file");
  }
  exists = true;
  return {};
}

// Written to a file without a name, named only once it is whole: a process
// killed on the way leaves nothing. Nothing when the file system has no
// nameless files (`unsupported` is then set).
status write_nameless(const fs::path& path, bool exists, const piece_source& next_piece,
                      bool& unsupported) {
  unsupported = false;
  const fs::path directory = path.has_parent_path() ? path.parent_path() : fs::path(".");
  descriptor file(open(directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
  if (file.value < 0) {
    if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) {
      unsupported = true;
      return {};
    }
    return failure_from_errno(path, errno);
  }
  if (const int failed = write_pieces(file.value, next_piece))
    return failure_from_errno(path, failed);
  if (!exists) {
    if (link_nameless(file.value, path)) {
      if (file.close_now() != 0) return failure_from_errno(path, errno);
      return {};
    }
    // Taken meanwhile: replaced below like any file that was there.
    if (errno != EEXIST) return failure_from_errno(path, errno);
  }
  fs::path temporary = temporary_beside(path);
  while (!link_nameless(file.value, temporary)) {
    if (errno != EEXIST) return failure_from_errno(path, errno);
    temporary = temporary_beside(path);
  }
  if (file.close_now() != 0) {
    const int close_errno = errno;
    unlink(temporary.c_str());
    return failure_from_errno(path, close_errno);
  }
  return replace_with(temporary, path);
}

// Written to a temporary file beside the target, then swapped in.
status write_through_temporary(const fs::path& path, const piece_source& next_piece) {
  fs::path temporary = temporary_beside(path);
  int opened = -1;
  while ((opened = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666)) < 0) {
    if (errno != EEXIST) return failure_from_errno(path, errno);
    temporary = temporary_beside(path);
  }
  descriptor file(opened);
  int failed = write_pieces(file.value, next_piece);
  if (file.close_now() != 0 && failed == 0) failed = errno;
  if (failed != 0) {
    unlink(temporary.c_str());
    return failure_from_errno(path, failed);
  }
  return replace_with(temporary, path);
}

#endif

}  // namespace

status read_whole_file(const fs::path& path, std::string& bytes, size_bound bound) {
  std::size_t filled = 0;
  status read = read_regular_file(
      path, bound,
      [&](std::size_t size, std::size_t) {
        bytes.resize(size);
        return bytes.data();
      },
      filled);
  bytes.resize(read ? filled : 0);
  return read;
}

file_bytes file_bytes::copy_of(std::string_view bytes) {
  file_bytes copy;
  copy.buffer_ = std::make_unique_for_overwrite<char[]>(bytes.size());
  if (!bytes.empty()) std::memcpy(copy.buffer_.get(), bytes.data(), bytes.size());
  copy.size_ = bytes.size();
  return copy;
}

namespace {

// A plan file of a long line is 20 MB read into a buffer just allocated: with
// the system's small pages the read stops in the kernel for every 4 kB of
// it. Huge pages under the buffer's whole 2 MB pages cut that by 512; the
// advice changes no byte, and where there are no such pages it does nothing.
void advise_huge_pages([[maybe_unused]] char* data, [[maybe_unused]] std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t huge_page = std::uintptr_t{2} << 20;
  const auto begin = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (begin + huge_page - 1) & ~(huge_page - 1);
  const std::uintptr_t last = (begin + bytes) & ~(huge_page - 1);
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
}

}  // namespace

status read_file_bytes(const fs::path& path, file_bytes& bytes, size_bound bound) {
  std::unique_ptr<char[]> buffer;
  std::size_t filled = 0;
  status read = read_regular_file(
      path, bound,
      [&](std::size_t size, std::size_t kept) {
        auto grown = std::make_unique_for_overwrite<char[]>(size);
        advise_huge_pages(grown.get(), size);
        if (kept > 0) std::memcpy(grown.get(), buffer.get(), kept);
        buffer = std::move(grown);
        return buffer.get();
      },
      filled);
  bytes = file_bytes{};
  if (!read) return read;
  bytes.buffer_ = std::move(buffer);
  bytes.size_ = filled;
  return {};
}

status write_file_atomically(const fs::path& path, std::string_view bytes) {
  bool handed = false;
  return write_file_in_pieces(path, [&]() -> std::string_view {
    if (handed) return {};
    handed = true;
    return bytes;
  });
}

#ifdef _WIN32

status write_file_in_pieces(const fs::path& path, const piece_source& next_piece) {
  std::error_code error;
  const fs::file_status kind = fs::symlink_status(path, error);
  if (fs::is_directory(kind)) return failed_at(path, "is a directory");
  if (fs::exists(kind) && !fs::is_regular_file(kind) && !fs::is_symlink(kind)) {
    return failed_at(path, "is not a regular file");
  }
  const fs::path temporary = temporary_beside(path);
  {
    std::unique_ptr<std::FILE, file_closer> file(open_file(temporary, true));
    if (!file) return failure_from_errno(path, errno);
    bool written = true;
    int write_errno = 0;
    std::string_view piece = next_piece();
    while (written && !piece.empty()) {
      written = std::fwrite(piece.data(), 1, piece.size(), file.get()) == piece.size();
      write_errno = errno;
      if (written) piece = next_piece();
    }
    const bool flushed = std::fflush(file.get()) == 0;
    const int flush_errno = errno;
    const bool closed = std::fclose(file.release()) == 0;
    const int close_errno = errno;
    if (!written || !flushed || !closed) {
      fs::remove(temporary, error);
      return failure_from_errno(path, !written   ? write_errno
                                      : !flushed ? flush_errno
                                                 : close_errno);
    }
  }
  if (!MoveFileExW(temporary.c_str(), path.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const status failure = failure_from_last_error(path);
    fs::remove(temporary, error);
    return failure;
  }
  return {};
}

#else

status write_file_in_pieces(const fs::path& path, const piece_source& next_piece) {
  bool exists = false;
  if (status checked = check_target(path, exists); !checked) return checked;
  bool unsupported = false;
  if (status written = write_nameless(path, exists, next_piece, unsupported); !written) {
    return written;
  }
  if (!unsupported) return {};
  return write_through_temporary(path, next_piece);
}

#endif

status remove_stale_temporaries(const fs::path& directory,
                                std::span<const std::string> file_names) {
  std::error_code error;
  fs::directory_iterator entries(directory, error);
  if (error) return failure_from_code(directory, error);
  for (; entries != fs::directory_iterator(); entries.increment(error)) {
    const fs::path::string_type name = entries->path().filename().native();
    const bool stale = std::any_of(file_names.begin(), file_names.end(), [&](const std::string& f) {
      return is_temporary_of(name, fs::path(f));
    });
    if (stale && !fs::remove(entries->path(), error) && error) {
      return failure_from_code(entries->path(), error);
    }
  }
  if (error) return failure_from_code(directory, error);
  return {};
}

status delete_file(const fs::path& path) {
  std::error_code error;
  fs::remove(path, error);
  if (error) return failure_from_code(path, error);
  return {};
}

status make_directories(const fs::path& path) {
  if (path.empty()) return {};
  std::error_code error;
  fs::create_directories(path, error);
  if (error) return failure_from_code(path, error);
  if (!fs::is_directory(path, error)) {
    return failed_at(path, error ? error.message() : "not a directory", false);
  }
  return {};
}

existence check_existence(const fs::path& path) {
  std::error_code error;
  const fs::file_status kind = fs::symlink_status(path, error);
  if (error && error != std::errc::no_such_file_or_directory) {
    return {false, failure_from_code(path, error)};
  }
  return {fs::exists(kind), {}};
}

sameness same_file(const fs::path& a, const fs::path& b) {
#ifdef _WIN32
  std::error_code error;
  for (const fs::path& path : {a, b}) {
    const bool exists = fs::exists(path, error);
    if (error) return {false, failure_from_code(path, error)};
    if (!exists) return {false, {}};
  }
  const bool same = fs::equivalent(a, b, error);
  if (error) return {false, failure_from_code(a, error)};
  return {same, {}};
#else
  struct stat first {};
  struct stat second {};
  if (stat(a.c_str(), &first) != 0) {
    if (errno == ENOENT) return {false, {}};
    return {false, failure_from_errno(a, errno)};
  }
  if (stat(b.c_str(), &second) != 0) {
    if (errno == ENOENT) return {false, {}};
    return {false, failure_from_errno(b, errno)};
  }
  return {first.st_dev == second.st_dev && first.st_ino == second.st_ino, {}};
#endif
}

// The lock ----------------------------------------------------------------

namespace {

constexpr auto lock_poll = std::chrono::milliseconds(20);

// The words a waiting run gives for the run that holds the folder.
std::string holder_words(std::string text) {
  text = text.substr(0, text.find('\n'));
  if (text.empty()) return "another run";
  return text;
}

status folder_in_use(const fs::path& directory, const std::string& holder,
                     std::chrono::milliseconds wait) {
  return failed_at(directory,
                   fmt::format("in use by {}; gave up after waiting {:.1f} s for it",
                               holder_words(holder), static_cast<double>(wait.count()) / 1000));
}

// A file at the lock file's name that holds anything but a holder's name
// is someone's, however unlikely its name: it is never written over.
constexpr std::string_view holder_prefix = "scenario-builder";

bool foreign(std::string_view content) {
  return !content.empty() && !content.starts_with(holder_prefix);
}

status foreign_lock_file(const fs::path& path) {
  return failed_at(path, "exists and is no lock file of this program: move it away");
}

std::string holder_text(std::string_view holder) {
#ifdef _WIN32
  const auto process = static_cast<unsigned long>(GetCurrentProcessId());
#else
  const auto process = static_cast<long>(getpid());
#endif
  return fmt::format("{} (process {})\n", holder, process);
}

}  // namespace

folder_lock::folder_lock(folder_lock&& other) noexcept : path_(std::move(other.path_)) {
#ifdef _WIN32
  handle_ = std::exchange(other.handle_, nullptr);
#else
  descriptor_ = std::exchange(other.descriptor_, -1);
#endif
}

folder_lock& folder_lock::operator=(folder_lock&& other) noexcept {
  if (this != &other) {
    release();
    path_ = std::move(other.path_);
#ifdef _WIN32
    handle_ = std::exchange(other.handle_, nullptr);
#else
    descriptor_ = std::exchange(other.descriptor_, -1);
#endif
  }
  return *this;
}

folder_lock::~folder_lock() { release(); }

#ifdef _WIN32

void folder_lock::release() noexcept {
  if (handle_ == nullptr) return;
  // Deleted once closed, while still held (the handle was opened with the
  // right to delete it): a run that opened it meanwhile may take it, but no
  // run can open it anew until it is gone.
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  SetFileInformationByHandle(static_cast<HANDLE>(handle_), FileDispositionInfo, &disposition,
                             sizeof disposition);
  CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
}

status lock_folder(const fs::path& directory, std::string_view holder,
                   std::chrono::milliseconds wait, folder_lock& lock) {
  lock = folder_lock{};
  const fs::path path = directory / folder_lock_name;
  const auto deadline = std::chrono::steady_clock::now() + wait;
  // The byte locked lies far past the holder's name, which stays readable
  // to a run that waits.
  OVERLAPPED locked_byte{};
  locked_byte.OffsetHigh = 1;
  while (true) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
    const bool timed_out = std::chrono::steady_clock::now() >= deadline;
    if (file == INVALID_HANDLE_VALUE) {
      // A lock file that its last holder let go is refused until the system
      // has deleted it.
      if (GetLastError() == ERROR_ACCESS_DENIED && !timed_out) {
        std::this_thread::sleep_for(lock_poll);
        continue;
      }
      status failure = failure_from_last_error(path);
      if (failure.not_found()) failure = status::missing(directory, failure.reason());
      return failure;
    }
    if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                   &locked_byte)) {
      std::string found(holder_prefix.size(), '\0');
      DWORD count = 0;
      OVERLAPPED at_start{};
      if (!ReadFile(file, found.data(), static_cast<DWORD>(found.size()), &count, &at_start)) {
        count = 0;
      }
      found.resize(count);
      if (foreign(found)) {
        CloseHandle(file);
        return foreign_lock_file(path);
      }
      const std::string text = holder_text(holder);
      DWORD written = 0;
      OVERLAPPED start{};
      WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, &start);
      lock.path_ = path;
      lock.handle_ = file;
      return {};
    }
    if (GetLastError() != ERROR_LOCK_VIOLATION) {
      const status failure = failure_from_last_error(path);
      CloseHandle(file);
      return failure;
    }
    if (timed_out) {
      std::string text(256, '\0');
      DWORD read = 0;
      OVERLAPPED start{};
      if (!ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, &start)) read = 0;
      text.resize(read);
      CloseHandle(file);
      return folder_in_use(directory, text, wait);
    }
    CloseHandle(file);
    std::this_thread::sleep_for(lock_poll);
  }
}

#else

void folder_lock::release() noexcept {
  if (descriptor_ < 0) return;
  // Deleted while still held: a run that opened it meanwhile sees, once it
  // holds it, that it is no longer the folder's lock file, and opens anew.
  unlink(path_.c_str());
  close(descriptor_);
  descriptor_ = -1;
}

status lock_folder(const fs::path& directory, std::string_view holder,
                   std::chrono::milliseconds wait, folder_lock& lock) {
  lock = folder_lock{};
  const fs::path path = directory / folder_lock_name;
  const auto deadline = std::chrono::steady_clock::now() + wait;
  while (true) {
    descriptor file(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666));
    if (file.value < 0) {
      status failure = failure_from_errno(path, errno);
      if (failure.not_found()) failure = status::missing(directory, failure.reason());
      return failure;
    }
    if (flock(file.value, LOCK_EX | LOCK_NB) == 0) {
      struct stat held {};
      struct stat named {};
      if (fstat(file.value, &held) == 0 && stat(path.c_str(), &named) == 0 &&
          held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
        std::string found(holder_prefix.size(), '\0');
        const ssize_t count = pread(file.value, found.data(), found.size(), 0);
        found.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
        if (foreign(found)) return foreign_lock_file(path);
        // Naming the holder is a courtesy to a run that waits: its failure
        // changes nothing.
        const std::string text = holder_text(holder);
        if (ftruncate(file.value, 0) == 0) {
          [[maybe_unused]] const ssize_t written = pwrite(file.value, text.data(), text.size(), 0);
        }
        lock.path_ = path;
        lock.descriptor_ = std::exchange(file.value, -1);
        return {};
      }
      continue;  // the holder deleted it as it let go: open the one there now
    }
    if (errno != EWOULDBLOCK && errno != EINTR) return failure_from_errno(path, errno);
    if (std::chrono::steady_clock::now() >= deadline) {
      std::string text(256, '\0');
      const ssize_t count = pread(file.value, text.data(), text.size(), 0);
      text.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
      return folder_in_use(directory, text, wait);
    }
    std::this_thread::sleep_for(lock_poll);
  }
}

#endif

std::optional<file_stamp> stamp_of(const fs::path& path) {
  std::error_code error;
  if (!fs::is_regular_file(path, error)) return std::nullopt;
  file_stamp stamp;
  stamp.modified = fs::last_write_time(path, error);
  if (error) return std::nullopt;
  stamp.size = fs::file_size(path, error);
  if (error) return std::nullopt;
  return stamp;
}

status take_output_folder(const fs::path& directory, std::string_view holder,
                          std::chrono::milliseconds wait, folder_lock& lock) {
  if (const status made = make_directories(directory); !made) {
    return made.within("cannot make the output folder");
  }
  if (const status locked = lock_folder(directory, holder, wait, lock); !locked) {
    return locked.within("cannot take the output folder");
  }
  return {};
}

status list_regular_files(const fs::path& directory, std::vector<std::string>& names) {
  names.clear();
  std::error_code error;
  fs::directory_iterator it(directory, error);
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    std::error_code kind_error;
    if (!it->is_regular_file(kind_error)) continue;
    try {
      names.push_back(it->path().filename().string());
    } catch (const std::system_error&) {
      // A name the narrow encoding cannot hold is no name a build gives.
    }
  }
  if (error) return failure_from_code(directory, error);
  std::sort(names.begin(), names.end());
  return {};
}

fs::path program_directory(const char* argv0) {
  std::error_code error;
#ifdef _WIN32
  std::wstring buffer(32768, L'\0');
  const DWORD length =
      GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length > 0 && length < buffer.size()) {
    buffer.resize(length);
    return fs::path(buffer).parent_path();
  }
#else
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (!error) return self.parent_path();
#endif
  fs::path guess = argv0 != nullptr ? fs::path(argv0) : fs::path();
  guess = fs::absolute(guess, error);
  return guess.parent_path();
}

void report_file_size_limit_as_failure() {
#ifndef _WIN32
  std::signal(SIGXFSZ, SIG_IGN);
#endif
}

}  // namespace scenario
