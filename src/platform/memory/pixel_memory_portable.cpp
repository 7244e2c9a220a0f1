// Zeroed pixel memory from the C library, whose calloc takes fresh pages from
// the system for large blocks and so clears nothing twice.
#include <cstdlib>
#include <new>

#include "base/pixel_memory.hpp"

namespace vistel {

void* AllocateZeroedPixels(std::size_t bytes) {
  void* memory = std::calloc(bytes == 0 ? 1 : bytes, 1);
  if (memory == nullptr) throw std::bad_alloc();
  return memory;
}

void ReleasePixels(void* memory, std::size_t) noexcept {
  std::free(memory);
}

}  // namespace vistel
