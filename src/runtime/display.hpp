// The display side of a host that start-up and placement need: the screen,
// the cursor display counter, and foreign windows (the preview area and the
// parent of the password dialog), addressed by handle.
#pragma once

#include <optional>
#include <string_view>

#include "base/geometry.hpp"
#include "runtime/password.hpp"

namespace vistel {

class Display {
 public:
  virtual ~Display() = default;
  // The primary screen's size in twips and its twips per pixel.
  virtual FloatSize ScreenSizeTwips() = 0;
  virtual TwipsPerPixel ScreenTwipsPerPixel() = 0;
  // ShowCursor: moves the cursor display counter by one up (show) or down and
  // returns the new counter; the cursor is visible while it is >= 0.
  virtual int ShowCursor(bool show) = 0;
  // IsWindow: whether a window with this handle exists.
  virtual bool IsWindow(WindowHandle window) = 0;
  // GetClientRect of a window, in pixels (left and top are 0).
  virtual std::optional<IntRect> ClientRect(WindowHandle window) = 0;
  // FindWindowA: a top-level window of this class with this title, if any.
  virtual std::optional<WindowHandle> FindWindow(std::string_view className,
                                                 std::string_view title) = 0;
};

}  // namespace vistel
