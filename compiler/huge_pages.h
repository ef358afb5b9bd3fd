#pragma once
// The track plan of a long line is two arrays of about 8 MB each, written
// metre after metre right after they are allocated. With the system's small
// pages every first write to a page stops in the kernel, and on a virtual
// machine those stops cost more than the whole compile of the plan; huge
// pages cut their number by a factor of 512. The advice changes no byte of
// any result, and where the system has no such pages it does nothing.

#include <cstddef>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace compiler {

// Asks for huge pages under the whole 2 MB pages of a buffer that has been
// allocated but not written yet.
inline void advise_huge_pages([[maybe_unused]] void* data, [[maybe_unused]] std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t huge_page = std::uintptr_t{2} << 20;
  const auto begin = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (begin + huge_page - 1) & ~(huge_page - 1);
  const std::uintptr_t last = (begin + bytes) & ~(huge_page - 1);
  if (last > first) {
    madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
  }
#endif
}

}  // namespace compiler
