// Memory for pixels. It comes zeroed, so that a new black picture costs no
// pass over it, and a large block comes in the OS's large pages where it
// has them: a 1080p frame in 4 KiB pages takes 2000 faults to first touch,
// which cost more than filling it.
#pragma once

#include <cstddef>

namespace vistel {

// `bytes` of zeroed memory, aligned for any pixel; throws std::bad_alloc when
// there is none. Every block goes back through ReleasePixels with its size.
void* AllocateZeroedPixels(std::size_t bytes);
void ReleasePixels(void* memory, std::size_t bytes) noexcept;

}  // namespace vistel
