#include "scenario/file_system.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <system_error>
#include <utility>

#include <fmt/format.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace scenario {

namespace fs = std::filesystem;

namespace {

file_failure failure_from_errno(const fs::path& path, int error_number) {
  return file_failure{path, std::strerror(error_number)};
}

// A name in the target's own directory, so that the final rename never
// crosses file systems.
fs::path temporary_beside(const fs::path& path) {
  std::random_device seed;
  const auto suffix = fmt::format(".{:08x}.tmp", static_cast<unsigned>(seed()));
  fs::path temporary = path;
  temporary += suffix;
  return temporary;
}

// A narrow file name on Windows is taken in the ANSI code page, which cannot
// spell every directory a user may keep the program in; the wide form opens
// any path the system can.
std::FILE* open_file(const fs::path& path, bool for_writing) {
#ifdef _WIN32
  return _wfopen(path.c_str(), for_writing ? L"wb" : L"rb");
#else
  return std::fopen(path.c_str(), for_writing ? "wb" : "rb");
#endif
}

struct file_closer {
  void operator()(std::FILE* file) const {
    if (file != nullptr) std::fclose(file);
  }
};

// Reads the file to its end, into storage that `grow(size, kept)` makes
// `size` bytes long, keeping its first `kept` bytes, and returns. The storage
// starts one byte longer than the file's told length, so that a short read
// ends it at once; a file that grew meanwhile is read on to its real end.
template <typename Grow>
file_status read_to_end(const fs::path& path, Grow grow, std::size_t& filled) {
  std::error_code error;
  if (fs::is_directory(path, error)) return file_failure{path, "is a directory"};
  std::unique_ptr<std::FILE, file_closer> file(open_file(path, false));
  if (!file) return failure_from_errno(path, errno);
  const auto expected = fs::file_size(path, error);
  std::size_t capacity = (error ? 0 : static_cast<std::size_t>(expected)) + 1;
  char* data = grow(capacity, 0);
  filled = 0;
  while (true) {
    if (filled == capacity) {
      capacity = 2 * capacity + (std::size_t{1} << 16);
      data = grow(capacity, filled);
    }
    const std::size_t room = capacity - filled;
    const std::size_t count = std::fread(data + filled, 1, room, file.get());
    filled += count;
    if (count < room) break;
  }
  if (std::ferror(file.get())) return failure_from_errno(path, errno);
  return std::nullopt;
}

#ifndef _WIN32
// Puts the finished temporary file in the target's place. A plain rename over
// an existing file makes ext4 start writing the new file's data out before it
// renames (its guard for programs that never sync), which costs more than the
// whole compile of a small scenario and is paid again on every rebuild. The
// two names are swapped instead, in one step, so the target still holds
// either its old content or the new one whole; the old one, now under the
// temporary name, is then removed. Where there is no file to swap with, or
// the file system cannot swap, it is a plain rename.
bool replace_with(const fs::path& temporary, const fs::path& path) {
#ifdef RENAME_EXCHANGE
  struct stat target {};
  if (lstat(path.c_str(), &target) == 0 && S_ISREG(target.st_mode)) {
    if (renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_EXCHANGE) == 0) {
      // The new content is in place: the old one is only left to remove, and
      // a failure to remove it loses nothing but disk space.
      unlink(temporary.c_str());
      return true;
    }
  }
#endif
  return std::rename(temporary.c_str(), path.c_str()) == 0;
}
#endif

}  // namespace

std::string file_failure::describe() const {
  return fmt::format("{}: {}", path.string(), reason);
}

file_status read_whole_file(const fs::path& path, std::string& bytes) {
  std::size_t filled = 0;
  auto status = read_to_end(
      path,
      [&](std::size_t size, std::size_t) {
        bytes.resize(size);
        return bytes.data();
      },
      filled);
  bytes.resize(filled);
  return status;
}

file_bytes::file_bytes(file_bytes&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      mapping_(std::exchange(other.mapping_, nullptr)),
      mapped_(std::exchange(other.mapped_, 0)),
      buffer_(std::move(other.buffer_)) {}

file_bytes& file_bytes::operator=(file_bytes&& other) noexcept {
  if (this != &other) {
    release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    mapping_ = std::exchange(other.mapping_, nullptr);
    mapped_ = std::exchange(other.mapped_, 0);
    buffer_ = std::move(other.buffer_);
  }
  return *this;
}

file_bytes::~file_bytes() { release(); }

file_bytes file_bytes::copy_of(std::string_view bytes) {
  file_bytes copy;
  copy.buffer_ = std::make_unique_for_overwrite<char[]>(bytes.size());
  if (!bytes.empty()) std::memcpy(copy.buffer_.get(), bytes.data(), bytes.size());
  copy.data_ = copy.buffer_.get();
  copy.size_ = bytes.size();
  return copy;
}

void file_bytes::release() noexcept {
#ifndef _WIN32
  if (mapping_ != nullptr) munmap(mapping_, mapped_);
#endif
  mapping_ = nullptr;
  mapped_ = 0;
  buffer_.reset();
  data_ = nullptr;
  size_ = 0;
}

file_status read_file_bytes(const fs::path& path, file_bytes& bytes) {
  bytes.release();
#ifndef _WIN32
  {
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return failure_from_errno(path, errno);
    struct stat info {};
    if (fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
      const auto size = static_cast<std::size_t>(info.st_size);
      int flags = MAP_PRIVATE;
#ifdef MAP_POPULATE
      // All the pages are wanted, in order: one call maps them instead of a
      // fault for each.
      flags |= MAP_POPULATE;
#endif
      void* mapping = mmap(nullptr, size, PROT_READ, flags, descriptor, 0);
      if (mapping != MAP_FAILED) {
        close(descriptor);
        bytes.mapping_ = mapping;
        bytes.mapped_ = size;
        bytes.data_ = static_cast<const char*>(mapping);
        bytes.size_ = size;
        return std::nullopt;
      }
    }
    // An empty file, or one that is not a regular file (a directory is
    // refused there), is read below.
    close(descriptor);
  }
#endif
  // Read into a buffer that nothing fills beforehand.
  std::unique_ptr<char[]> buffer;
  std::size_t filled = 0;
  auto status = read_to_end(
      path,
      [&](std::size_t size, std::size_t kept) {
        auto grown = std::make_unique_for_overwrite<char[]>(size);
        if (kept > 0) std::memcpy(grown.get(), buffer.get(), kept);
        buffer = std::move(grown);
        return buffer.get();
      },
      filled);
  if (status) return status;
  bytes.buffer_ = std::move(buffer);
  bytes.data_ = bytes.buffer_.get();
  bytes.size_ = filled;
  return std::nullopt;
}

file_status write_file_atomically(const fs::path& path, std::string_view bytes) {
  bool handed = false;
  return write_file_in_pieces(path, [&]() -> std::string_view {
    if (handed) return {};
    handed = true;
    return bytes;
  });
}

file_status write_file_in_pieces(const fs::path& path, const piece_source& next_piece) {
  std::error_code error;
  if (fs::is_directory(path, error)) return file_failure{path, "is a directory"};
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
      return failure_from_errno(path, !written ? write_errno : !flushed ? flush_errno : close_errno);
    }
  }
#ifdef _WIN32
  if (!MoveFileExW(temporary.wstring().c_str(), path.wstring().c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const auto reason = std::system_category().message(static_cast<int>(GetLastError()));
    fs::remove(temporary, error);
    return file_failure{path, reason};
  }
#else
  if (!replace_with(temporary, path)) {
    const int rename_errno = errno;
    fs::remove(temporary, error);
    return failure_from_errno(path, rename_errno);
  }
#endif
  return std::nullopt;
}

file_status delete_file(const fs::path& path) {
  std::error_code error;
  fs::remove(path, error);
  if (error) return file_failure{path, error.message()};
  return std::nullopt;
}

bool file_exists(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

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

file_status list_regular_files(const fs::path& directory, std::vector<std::string>& names) {
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
  if (error) return file_failure{directory, error.message()};
  std::sort(names.begin(), names.end());
  return std::nullopt;
}

fs::path program_directory(const char* argv0) {
  std::error_code error;
#ifdef _WIN32
  std::wstring buffer(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
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

}  // namespace scenario
