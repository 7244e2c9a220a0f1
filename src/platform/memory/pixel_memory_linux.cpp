// Large pixel blocks are mapped on their own, aligned to the 2 MiB of a huge
// page and marked for transparent huge pages: first touch then costs one
// fault per 2 MiB instead of one per 4 KiB. Fresh mappings read as zero.
// Smaller blocks come from the C library.
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <new>

#include "base/pixel_memory.hpp"

namespace vistel {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
// Below two huge pages the rounding would waste more than the faults cost.
constexpr std::size_t kMappedFrom = 2 * kHugePage;

constexpr std::size_t RoundUp(std::size_t n, std::size_t to) {
  return (n + to - 1) / to * to;
}

}  // namespace

void* AllocateZeroedPixels(std::size_t bytes) {
  if (bytes < kMappedFrom) {
    void* memory = std::calloc(bytes == 0 ? 1 : bytes, 1);
    if (memory == nullptr) throw std::bad_alloc();
    return memory;
  }
  if (bytes > SIZE_MAX - 2 * kHugePage) throw std::bad_alloc();
  const std::size_t length = RoundUp(bytes, kHugePage);
  // One huge page more than needed, so that an aligned start lies inside;
  // the slack on either side is given back at once.
  void* raw = ::mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  const auto start = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = RoundUp(start, kHugePage);
  if (aligned > start) ::munmap(raw, aligned - start);
  if (const std::size_t tail = start + kHugePage - aligned; tail > 0) {
    ::munmap(reinterpret_cast<void*>(aligned + length), tail);
  }
  auto* memory = reinterpret_cast<void*>(aligned);
  // Only a hint: where huge pages are off, small pages serve as before.
  (void)::madvise(memory, length, MADV_HUGEPAGE);
  return memory;
}

void ReleasePixels(void* memory, std::size_t bytes) noexcept {
  if (memory == nullptr) return;
  if (bytes < kMappedFrom) {
    std::free(memory);
  } else {
    ::munmap(memory, RoundUp(bytes, kHugePage));
  }
}

}  // namespace vistel
