#include "hosts/win32/win32_desktop.hpp"

#include <ostream>
#include <string>

#include "base/text.hpp"
#include "hosts/common/desktop_run.hpp"
#include "hosts/win32/windows_api.hpp"
#include "platform/win32/wide_text.hpp"

namespace vistel {
namespace {

HWND HwndOf(WindowHandle handle) {
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(handle));
}

std::wstring WideOf(std::string_view windows1252) {
  return win32::WideFromUtf8(Windows1252ToUtf8(windows1252)).value_or(std::wstring());
}

// Pixels per inch of the screen (96 at 100 % scaling).
float PixelsPerInch() {
  HDC screen = ::GetDC(nullptr);
  const int ppi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen != nullptr) ::ReleaseDC(nullptr, screen);
  return static_cast<float>(ppi > 0 ? ppi : 96);
}

}  // namespace

TwipsPerPixel Win32Display::ScreenTwipsPerPixel() {
  const float twips = 1440.0F / PixelsPerInch();
  return {twips, twips};
}

FloatSize Win32Display::ScreenSizeTwips() {
  const TwipsPerPixel twips = ScreenTwipsPerPixel();
  return {static_cast<float>(::GetSystemMetrics(SM_CXSCREEN)) * twips.x,
          static_cast<float>(::GetSystemMetrics(SM_CYSCREEN)) * twips.y};
}

int Win32Display::ShowCursor(bool show) {
  return ::ShowCursor(show ? TRUE : FALSE);
}

bool Win32Display::IsWindow(WindowHandle window) {
  return window != 0 && ::IsWindow(HwndOf(window)) != 0;
}

std::optional<IntRect> Win32Display::ClientRect(WindowHandle window) {
  RECT rect{};
  if (!IsWindow(window) || !::GetClientRect(HwndOf(window), &rect)) return std::nullopt;
  return IntRect{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

std::optional<WindowHandle> Win32Display::FindWindow(std::string_view className,
                                                     std::string_view title) {
  const std::wstring wideClass = WideOf(className);
  const std::wstring wideTitle = WideOf(title);
  HWND found = ::FindWindowW(wideClass.empty() ? nullptr : wideClass.c_str(),
                             wideTitle.empty() ? nullptr : wideTitle.c_str());
  if (found == nullptr) return std::nullopt;
  return static_cast<WindowHandle>(reinterpret_cast<std::uintptr_t>(found));
}

int Win32MessageBoxes::Show(std::string_view text, std::uint32_t style, std::string_view title) {
  ReportMessageBox(trace_, errors_, text, style, title);
  const std::string_view caption = title.empty() ? kApplicationTitle : title;
  return ::MessageBoxW(nullptr, WideOf(text).c_str(), WideOf(caption).c_str(), style);
}

}  // namespace vistel
