// The Windows desktop as the core sees it: the screen, the cursor, other
// windows (the preview area, a running show), and message boxes.
#pragma once

#include <iosfwd>

#include "runtime/display.hpp"
#include "runtime/message_box.hpp"
#include "runtime/trace.hpp"

namespace vistel {

class Win32Display final : public Display {
 public:
  // The primary screen at its physical pixels.
  FloatSize ScreenSizeTwips() override;
  TwipsPerPixel ScreenTwipsPerPixel() override;
  int ShowCursor(bool show) override;
  bool IsWindow(WindowHandle window) override;
  std::optional<IntRect> ClientRect(WindowHandle window) override;
  std::optional<WindowHandle> FindWindow(std::string_view className,
                                         std::string_view title) override;
};

// MessageBoxW with the core's styles; each message is also traced and
// written to `errors`.
class Win32MessageBoxes final : public MessageBoxes {
 public:
  Win32MessageBoxes(Trace& trace, std::ostream& errors) : trace_(trace), errors_(errors) {}
  int Show(std::string_view text, std::uint32_t style, std::string_view title) override;

 private:
  Trace& trace_;
  std::ostream& errors_;
};

}  // namespace vistel
