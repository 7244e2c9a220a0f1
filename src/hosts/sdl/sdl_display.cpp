#include "hosts/sdl/sdl_display.hpp"

#include <SDL.h>

#include <algorithm>

#include "base/text.hpp"

namespace vistel {

SdlDisplay::SdlDisplay(X11Windows& x11, std::optional<WindowHandle> hackWindow)
    : x11_(x11), hackWindow_(hackWindow) {}

IntSize SdlDisplay::ScreenSizePx() {
  if (hackWindow_) {
    if (const auto size = x11_.Size(*hackWindow_)) return *size;
  }
  return Layout().primaryPx.Extent();
}

const MonitorLayout& SdlDisplay::Layout() {
  if (!layout_) {
    // SDL's first display when X lists no monitor; a screen of some size
    // keeps the layout's arithmetic sound when SDL knows none either.
    IntSize fallback{800, 600};
    SDL_DisplayMode mode{};
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.w > 0 && mode.h > 0) {
      fallback = {mode.w, mode.h};
    }
    const std::vector<Monitor> monitors = x11_.Monitors();
    layout_ = ArrangeMonitors(monitors, fallback);
  }
  return *layout_;
}

FloatSize SdlDisplay::ScreenSizeTwips() {
  const IntSize px = ScreenSizePx();
  return {PixelsToTwipsX(static_cast<float>(px.width), kTwipsPerPixel),
          PixelsToTwipsY(static_cast<float>(px.height), kTwipsPerPixel)};
}

int SdlDisplay::ShowCursor(bool show) {
  const int counter = cursor_.Move(show);
  if (!hackWindow_) SDL_ShowCursor(cursor_.Visible() ? SDL_ENABLE : SDL_DISABLE);
  return counter;
}

bool SdlDisplay::IsWindow(WindowHandle window) {
  return x11_.Exists(window);
}

std::optional<IntRect> SdlDisplay::ClientRect(WindowHandle window) {
  const auto size = x11_.Size(window);
  if (!size) return std::nullopt;
  return IntRect{0, 0, size->width, size->height};
}

std::optional<WindowHandle> SdlDisplay::FindWindow(std::string_view /*className*/,
                                                   std::string_view title) {
  if (hackWindow_) return std::nullopt;
  return x11_.FindTopLevel(Windows1252ToUtf8(title), ownWindows_);
}

void SdlDisplay::AddOwnWindow(WindowHandle window) {
  if (window != 0) ownWindows_.push_back(window);
}

void SdlDisplay::RemoveOwnWindow(WindowHandle window) {
  std::erase(ownWindows_, window);
}

}  // namespace vistel
