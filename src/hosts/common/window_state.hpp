// The Win32 state of the show window that every host keeps alike: the style
// and owner behind GetWindowLong/SetWindowLong, and what SetWindowPos does to
// the rectangle, z-order and visibility, with the Windows meanings. A host
// adds what it draws with; the bookkeeping is this one.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "base/geometry.hpp"
#include "runtime/window.hpp"

namespace vistel {

// Style bits the window reports beside WS_CHILD: WS_VISIBLE mirrors the
// visibility (as in Windows, writing the style with or without it shows or
// hides the window), and the clipping bits every form has.
inline constexpr std::int64_t kWsVisible = 0x10000000;
inline constexpr std::int64_t kWsClipChildren = 0x02000000;
inline constexpr std::int64_t kWsClipSiblings = 0x04000000;

// A form as it is before its load handler runs: this style, hidden at 0,0
// with its design size, of the class the previous-instance test looks for.
inline constexpr std::int64_t kFormInitialStyle = kWsClipSiblings | kWsClipChildren;
inline constexpr IntSize kFormDesignSizePx{640, 480};
inline constexpr std::string_view kFormClassName = "ThunderRT6FormDC";

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

// The window longs: GWL_STYLE (WS_VISIBLE held apart, as the visibility the
// caller keeps) and GWL_HWNDPARENT (the owner). Any other index reads and
// writes nothing and gives 0, as Windows does for an invalid index.
class WindowLongs {
 public:
  std::int64_t Get(int index, bool visible) const {
    switch (index) {
      case kGwlStyle:
        return visible ? (style_ | kWsVisible) : style_;
      case kGwlHwndParent:
        return static_cast<std::int64_t>(owner_);
      default:
        return 0;
    }
  }
  // Returns the previous value; writing the style sets `visible` from its
  // WS_VISIBLE bit.
  std::int64_t Set(int index, std::int64_t value, bool& visible) {
    const std::int64_t previous = Get(index, visible);
    switch (index) {
      case kGwlStyle:
        style_ = value & ~kWsVisible;
        visible = (value & kWsVisible) != 0;
        break;
      case kGwlHwndParent:
        owner_ = static_cast<WindowHandle>(value);
        break;
      default:
        break;
    }
    return previous;
  }

  bool IsChild() const { return (style_ & kWsChild) != 0; }
  WindowHandle Owner() const { return owner_; }

 private:
  std::int64_t style_ = kFormInitialStyle;  // without WS_VISIBLE
  WindowHandle owner_ = 0;
};

}  // namespace vistel
