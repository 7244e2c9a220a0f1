#include "hosts/headless/display.hpp"

#include <algorithm>

namespace vistel {
namespace {

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// FindWindowA compares class names and titles without regard to case.
bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return LowerAscii(x) == LowerAscii(y);
         });
}

}  // namespace

HeadlessDisplay::HeadlessDisplay(IntSize screenSizePx,
                                 std::span<const ForeignWindowOption> foreignWindows)
    : screenSizePx_(screenSizePx) {
  for (const auto& w : foreignWindows) {
    windows_.push_back({w.handle, w.clientSizePx, true, {}, {}});
  }
}

FloatSize HeadlessDisplay::ScreenSizeTwips() {
  return {PixelsToTwipsX(static_cast<float>(screenSizePx_.width), kTwipsPerPixel),
          PixelsToTwipsY(static_cast<float>(screenSizePx_.height), kTwipsPerPixel)};
}

int HeadlessDisplay::ShowCursor(bool show) {
  cursorCounter_ += show ? 1 : -1;
  return cursorCounter_;
}

HeadlessDisplay::Window* HeadlessDisplay::Find(WindowHandle window) {
  auto it = std::find_if(windows_.begin(), windows_.end(),
                         [window](const Window& w) { return w.handle == window; });
  return it == windows_.end() ? nullptr : &*it;
}

bool HeadlessDisplay::IsWindow(WindowHandle window) {
  return Find(window) != nullptr;
}

std::optional<IntRect> HeadlessDisplay::ClientRect(WindowHandle window) {
  const Window* w = Find(window);
  if (w == nullptr) return std::nullopt;
  return IntRect{0, 0, w->clientSizePx.width, w->clientSizePx.height};
}

std::optional<WindowHandle> HeadlessDisplay::FindWindow(std::string_view className,
                                                        std::string_view title) {
  for (const auto& w : windows_) {
    if (!w.foreign && EqualsNoCase(w.className, className) && EqualsNoCase(w.title, title)) {
      return w.handle;
    }
  }
  return std::nullopt;
}

WindowHandle HeadlessDisplay::RegisterWindow(std::string className, std::string title,
                                             IntSize clientSizePx) {
  while (Find(nextHandle_) != nullptr) ++nextHandle_;
  const WindowHandle handle = nextHandle_++;
  windows_.push_back({handle, clientSizePx, false, std::move(className), std::move(title)});
  return handle;
}

void HeadlessDisplay::SetWindowTitle(WindowHandle window, std::string title) {
  if (Window* w = Find(window)) w->title = std::move(title);
}

void HeadlessDisplay::SetClientSize(WindowHandle window, IntSize clientSizePx) {
  if (Window* w = Find(window)) w->clientSizePx = clientSizePx;
}

void HeadlessDisplay::UnregisterWindow(WindowHandle window) {
  std::erase_if(windows_, [window](const Window& w) { return w.handle == window && !w.foreign; });
}

}  // namespace vistel
