// How many bytes the program's heap holds right now, for tests that bound
// what a structure keeps: the sanitizer's own count in sanitizer builds (its
// allocator replaces the C library's), the C library's count otherwise.
#pragma once

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime's; GCC ships no header for it.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

namespace vistel::testing {

inline std::size_t HeapInUse() {
#if defined(__SANITIZE_ADDRESS__)
  return __sanitizer_get_current_allocated_bytes();
#else
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
#endif
}

}  // namespace vistel::testing
