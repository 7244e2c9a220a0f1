// The display on the desktop: the screen (the primary monitor's size at 15
// twips per pixel; as a hack, the size of the window the hack draws in), the
// monitors (listed once, at first use), the cursor
// display counter applied to SDL's cursor, and foreign windows through X11.
//
// FindWindow compares titles only: X windows have no window class in the
// Windows sense (WM_CLASS names the program, not the form), and the title
// the show sets is what identifies a running show. The host's own windows
// are never found (a show does not find itself). As a hack, FindWindow finds
// nothing: the daemon starts one hack per screen and for its preview, and
// none of them is "a show already running" to give way to.
#pragma once

#include <optional>
#include <vector>

#include "hosts/common/monitor_layout.hpp"
#include "hosts/sdl/input_mapping.hpp"
#include "hosts/sdl/x11_windows.hpp"
#include "runtime/display.hpp"

namespace vistel {

class SdlDisplay final : public Display {
 public:
  // `hackWindow`: the window the player draws in as a hack, if it is one;
  // then the cursor is the daemon's and the counter is only counted.
  SdlDisplay(X11Windows& x11, std::optional<WindowHandle> hackWindow);

  FloatSize ScreenSizeTwips() override;
  TwipsPerPixel ScreenTwipsPerPixel() override { return kTwipsPerPixel; }
  int ShowCursor(bool show) override;
  bool IsWindow(WindowHandle window) override;
  std::optional<IntRect> ClientRect(WindowHandle window) override;
  std::optional<WindowHandle> FindWindow(std::string_view className,
                                         std::string_view title) override;

  IntSize ScreenSizePx();
  // The monitors as the full-screen show covers them (ArrangeMonitors).
  const MonitorLayout& Layout();
  void AddOwnWindow(WindowHandle window);
  void RemoveOwnWindow(WindowHandle window);
  const CursorCounter& Cursor() const { return cursor_; }

 private:
  static constexpr TwipsPerPixel kTwipsPerPixel{15.0F, 15.0F};

  X11Windows& x11_;
  std::optional<WindowHandle> hackWindow_;
  CursorCounter cursor_;
  std::vector<WindowHandle> ownWindows_;
  std::optional<MonitorLayout> layout_;
};

}  // namespace vistel
