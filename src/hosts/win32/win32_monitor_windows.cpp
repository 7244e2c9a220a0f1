#include "hosts/win32/win32_monitor_windows.hpp"

// clang-format off
#include "hosts/win32/windows_api.hpp"
#include <windowsx.h>
// clang-format on

namespace vistel {
namespace {

constexpr const wchar_t* kClassName = L"VistelMonitorWindow";

// The class is registered once per process.
const wchar_t* ClassName(WNDPROC procedure) {
  static const bool registered = [procedure] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = kClassName;
    return ::RegisterClassExW(&windowClass) != 0;
  }();
  (void)registered;
  return kClassName;
}

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM list) {
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (::GetMonitorInfoW(monitor, &info)) {
    const RECT& r = info.rcMonitor;
    reinterpret_cast<std::vector<Monitor>*>(list)->push_back(
        {{r.left, r.top, r.right - r.left, r.bottom - r.top},
         (info.dwFlags & MONITORINFOF_PRIMARY) != 0});
  }
  return TRUE;
}

}  // namespace

std::vector<Monitor> ListMonitors() {
  std::vector<Monitor> monitors;
  ::EnumDisplayMonitors(nullptr, nullptr, &AddMonitor, reinterpret_cast<LPARAM>(&monitors));
  return monitors;
}

Win32MonitorWindows::Win32MonitorWindows(std::function<WindowInput*()> input,
                                         std::function<const Image*()> painter)
    : input_(std::move(input)), painter_(std::move(painter)) {}

Win32MonitorWindows::~Win32MonitorWindows() {
  Close();
}

void Win32MonitorWindows::Open(std::span<const MonitorWindowPlan> plans) {
  Close();
  for (const MonitorWindowPlan& plan : plans) {
    auto window = std::make_unique<Window>(Window{this, plan, nullptr});
    const IntRect& r = plan.windowPx;
    // WS_EX_TOOLWINDOW: no taskbar button for a window that is only a
    // monitor's cover.
    HWND handle = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW,
                                    ClassName(&Win32MonitorWindows::Procedure), L"", WS_POPUP,
                                    r.left, r.top, r.width, r.height, nullptr, nullptr,
                                    ::GetModuleHandleW(nullptr), window.get());
    if (handle == nullptr) continue;
    window->handle = handle;
    ::ShowWindow(handle, SW_SHOWNOACTIVATE);
    windows_.push_back(std::move(window));
  }
}

void Win32MonitorWindows::Close() {
  // Taken out first: a window being destroyed must not find itself listed.
  std::vector<std::unique_ptr<Window>> closing = std::move(windows_);
  windows_.clear();
  for (auto& window : closing) {
    if (window->handle != nullptr && ::IsWindow(window->handle)) ::DestroyWindow(window->handle);
  }
}

void Win32MonitorWindows::Invalidate() {
  for (auto& window : windows_) {
    if (window->plan.mirrors) ::InvalidateRect(window->handle, nullptr, FALSE);
  }
}

void Win32MonitorWindows::Update() {
  for (auto& window : windows_) {
    if (window->plan.mirrors) {
      ::InvalidateRect(window->handle, nullptr, FALSE);
      ::UpdateWindow(window->handle);
    }
  }
}

void Win32MonitorWindows::Paint(Window& window) {
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(window.handle, &paint);
  RECT client{};
  ::GetClientRect(window.handle, &client);
  const Image* frame = window.plan.mirrors && painter_ ? painter_() : nullptr;
  if (frame == nullptr || frame->IsEmpty()) {
    ::FillRect(dc, &client, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    ::EndPaint(window.handle, &paint);
    return;
  }
  const IntRect area = MirrorPictureRect(frame->Extent(), {client.right, client.bottom});
  // Black bars around the picture, drawn apart from it so nothing flickers.
  const int saved = ::SaveDC(dc);
  ::ExcludeClipRect(dc, area.left, area.top, area.Right(), area.Bottom());
  ::FillRect(dc, &client, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
  ::RestoreDC(dc, saved);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = frame->Width();
  info.bmiHeader.biHeight = -frame->Height();  // top-down rows, as the image holds them
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  // HALFTONE averages what it shrinks and smooths what it enlarges.
  ::SetStretchBltMode(dc, HALFTONE);
  ::SetBrushOrgEx(dc, 0, 0, nullptr);
  ::StretchDIBits(dc, area.left, area.top, area.width, area.height, 0, 0, frame->Width(),
                  frame->Height(), frame->Pixels().data(), &info, DIB_RGB_COLORS, SRCCOPY);
  ::EndPaint(window.handle, &paint);
}

bool DeliverShowInput(WindowInput* input, UINT message, WPARAM w, FloatPoint at) {
  switch (message) {
    case WM_MOUSEMOVE:
      if (input != nullptr) input->MouseMove(at.x, at.y);
      return true;
    case WM_LBUTTONUP:
      if (input != nullptr) input->MouseUp(1, at.x, at.y);
      return true;
    case WM_RBUTTONUP:
      if (input != nullptr) input->MouseUp(2, at.x, at.y);
      return true;
    case WM_MBUTTONUP:
      if (input != nullptr) input->MouseUp(4, at.x, at.y);
      return true;
    case WM_CHAR:
      if (input != nullptr) input->KeyPress(static_cast<int>(w));
      return true;
    case WM_CLOSE:
      if (input != nullptr) input->CloseRequested();
      return true;
    default:
      return false;
  }
}

LRESULT CALLBACK Win32MonitorWindows::Procedure(HWND handle, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(l);
    ::SetWindowLongPtrW(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* window = reinterpret_cast<Window*>(::GetWindowLongPtrW(handle, GWLP_USERDATA));
  if (window == nullptr) return ::DefWindowProcW(handle, message, w, l);
  if (window->handle == nullptr) window->handle = handle;  // messages during creation
  return window->owner->OnMessage(*window, message, w, l);
}

LRESULT Win32MonitorWindows::OnMessage(Window& window, UINT message, WPARAM w, LPARAM l) {
  WindowInput* input = input_ ? input_() : nullptr;
  const FloatPoint at =
      ToShowWindowPoint({static_cast<float>(GET_X_LPARAM(l)), static_cast<float>(GET_Y_LPARAM(l))},
                        window.plan.windowPx.Origin(), showOriginPx_);
  if (DeliverShowInput(input, message, w, at)) return 0;
  switch (message) {
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint covers every pixel
    case WM_NCDESTROY:
      ::SetWindowLongPtrW(window.handle, GWLP_USERDATA, 0);
      return ::DefWindowProcW(window.handle, message, w, l);
    default:
      return ::DefWindowProcW(window.handle, message, w, l);
  }
}

}  // namespace vistel
