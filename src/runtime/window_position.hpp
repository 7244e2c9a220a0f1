// What SetWindowPos does to a window's rectangle, z-order and visibility,
// with the flags' Windows meanings; every host's show window applies it.
#pragma once

#include <algorithm>
#include <cstdint>

#include "base/geometry.hpp"
#include "runtime/window.hpp"

namespace vistel {

// SetWindowPos's SWP_HIDEWINDOW, which the core does not use but Windows honours.
inline constexpr std::uint32_t kSwpHideWindow = 0x80;

struct WindowPosition {
  IntRect rect;
  bool topmost = false;
  bool visible = false;
};

// NOMOVE and NOSIZE keep the position or size (a negative size is 0);
// HWND_TOPMOST takes without NOZORDER and only for a top-level window;
// SHOWWINDOW shows, HIDEWINDOW hides.
inline void ApplyWindowPos(WindowPosition& window, bool isChild, InsertAfter insertAfter, int x,
                           int y, int cx, int cy, std::uint32_t flags) {
  if ((flags & kSwpNoMove) == 0) {
    window.rect.left = x;
    window.rect.top = y;
  }
  if ((flags & kSwpNoSize) == 0) {
    window.rect.width = std::max(cx, 0);
    window.rect.height = std::max(cy, 0);
  }
  if ((flags & kSwpNoZOrder) == 0 && insertAfter == InsertAfter::Topmost && !isChild) {
    window.topmost = true;
  }
  if ((flags & kSwpShowWindow) != 0) {
    window.visible = true;
  } else if ((flags & kSwpHideWindow) != 0) {
    window.visible = false;
  }
}

}  // namespace vistel
