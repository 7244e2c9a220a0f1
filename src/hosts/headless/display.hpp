// The headless host's screen and windows: a screen of a given pixel size at
// 15 twips per pixel, the cursor display counter, the foreign windows given
// with --window (the preview area, the password dialog's parent), and the
// host's own top-level windows, which FindWindow searches.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "hosts/common/player_options.hpp"
#include "runtime/display.hpp"

namespace vistel {

class HeadlessDisplay final : public Display {
 public:
  HeadlessDisplay(IntSize screenSizePx, std::span<const ForeignWindowOption> foreignWindows);

  FloatSize ScreenSizeTwips() override;
  TwipsPerPixel ScreenTwipsPerPixel() override { return kTwipsPerPixel; }
  int ShowCursor(bool show) override;
  bool IsWindow(WindowHandle window) override;
  std::optional<IntRect> ClientRect(WindowHandle window) override;
  std::optional<WindowHandle> FindWindow(std::string_view className,
                                         std::string_view title) override;

  // A top-level window of this host (the show window adds itself when it is
  // created); returns its new handle, distinct from every other window's.
  WindowHandle RegisterWindow(std::string className, std::string title, IntSize clientSizePx);
  void SetWindowTitle(WindowHandle window, std::string title);
  void SetClientSize(WindowHandle window, IntSize clientSizePx);
  void UnregisterWindow(WindowHandle window);

  IntSize ScreenSizePx() const { return screenSizePx_; }
  // The counter starts at 0 (a mouse is present); the cursor shows while >= 0.
  int CursorCounter() const { return cursorCounter_; }

 private:
  static constexpr TwipsPerPixel kTwipsPerPixel{15.0F, 15.0F};

  struct Window {
    WindowHandle handle = 0;
    IntSize clientSizePx;
    bool foreign = false;
    std::string className;
    std::string title;
  };
  Window* Find(WindowHandle window);

  IntSize screenSizePx_;
  int cursorCounter_ = 0;
  std::vector<Window> windows_;
  WindowHandle nextHandle_ = 0x10000;
};

}  // namespace vistel
