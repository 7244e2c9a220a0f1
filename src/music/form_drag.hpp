// What dragging a borderless form by its body needs from the window system:
// ReleaseCapture and SendMessageA, so that the system moves the window as if
// its caption were held.
#pragma once

#include <cstdint>

#include "runtime/password.hpp"  // WindowHandle

namespace vistel {

constexpr std::uint32_t kWmNcLButtonDown = 0xA1;
constexpr std::uintptr_t kHtCaption = 2;

class WindowMessages {
 public:
  virtual ~WindowMessages() = default;
  virtual void ReleaseCapture() = 0;
  virtual std::intptr_t SendMessage(WindowHandle window, std::uint32_t message,
                                    std::uintptr_t wParam, std::intptr_t lParam) = 0;
};

}  // namespace vistel
