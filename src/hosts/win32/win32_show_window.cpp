#include "hosts/win32/win32_show_window.hpp"

#include <windowsx.h>

#include <algorithm>

#include "base/text.hpp"
#include "hosts/common/window_state.hpp"
#include "platform/win32/wide_text.hpp"

namespace vistel {
namespace {

HWND HwndOf(WindowHandle handle) {
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(handle));
}

std::wstring WideOf(std::string_view utf8) {
  return win32::WideFromUtf8(utf8).value_or(std::wstring());
}

// The class is registered once per process.
const wchar_t* ClassName(WNDPROC procedure) {
  static const std::wstring name = WideOf(kFormClassName);
  static const bool registered = [procedure] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.lpszClassName = name.c_str();
    return ::RegisterClassExW(&windowClass) != 0;
  }();
  (void)registered;
  return name.c_str();
}

}  // namespace

Win32ShowWindow::Win32ShowWindow(Win32EventLoop& loop, Milliseconds framePeriodMs)
    : loop_(loop),
      framePeriodMs_(std::max<Milliseconds>(framePeriodMs, 1)),
      monitors_([this] { return Visible() ? input_ : nullptr; },
                [this]() -> const Image* { return painter_ ? &painter_() : nullptr; }) {
  window_ = ::CreateWindowExW(0, ClassName(&Win32ShowWindow::Procedure), L"", WS_POPUP, 0, 0,
                              kFormDesignSizePx.width, kFormDesignSizePx.height, nullptr, nullptr,
                              ::GetModuleHandleW(nullptr), this);
}

Win32ShowWindow::~Win32ShowWindow() {
  monitors_.Close();
  destroying_ = true;
  if (window_ != nullptr && ::IsWindow(window_)) ::DestroyWindow(window_);
}

WindowHandle Win32ShowWindow::Handle() const {
  return static_cast<WindowHandle>(reinterpret_cast<std::uintptr_t>(window_));
}

void Win32ShowWindow::SetCaption(std::string_view title) {
  ::SetWindowTextW(window_, WideOf(Windows1252ToUtf8(title)).c_str());
}

// WS_POPUP is this host's own choice for a top-level window without a frame,
// not a style of the form: the core neither sees it nor keeps it, and a
// window made a child loses it. With both bits Windows takes the window for
// a top-level one: GetParent answers no parent and the window activates.
std::int64_t Win32ShowWindow::GetWindowLong(int index) {
  std::int64_t value = ::GetWindowLongPtrW(window_, index);
  if (index == GWL_STYLE) value &= ~static_cast<std::int64_t>(WS_POPUP);
  return value;
}

std::int64_t Win32ShowWindow::SetWindowLong(int index, std::int64_t value) {
  if (index == GWL_STYLE) {
    value &= ~static_cast<std::int64_t>(WS_POPUP);
    if ((value & WS_CHILD) == 0) value |= WS_POPUP;
  }
  std::int64_t previous = ::SetWindowLongPtrW(window_, index, static_cast<LONG_PTR>(value));
  if (index == GWL_STYLE) previous &= ~static_cast<std::int64_t>(WS_POPUP);
  SyncMonitorWindows();
  return previous;
}

void Win32ShowWindow::SetParent(WindowHandle parent) {
  ::SetParent(window_, HwndOf(parent));
  SyncMonitorWindows();
}

bool Win32ShowWindow::SetWindowPos(InsertAfter insertAfter, int x, int y, int cx, int cy,
                                   std::uint32_t flags) {
  const HWND after = insertAfter == InsertAfter::Topmost ? HWND_TOPMOST : nullptr;
  const bool placed = ::SetWindowPos(window_, after, x, y, cx, cy, flags) != 0;
  SyncMonitorWindows();
  return placed;
}

void Win32ShowWindow::SetVisible(bool visible) {
  ::ShowWindow(window_, visible ? SW_SHOW : SW_HIDE);
  SyncMonitorWindows();
}

void Win32ShowWindow::SyncMonitorWindows() {
  // A preview lives in its dialog: only the full-screen show covers the
  // other monitors.
  if (window_ == nullptr || !Visible() || !Topmost() ||
      (::GetWindowLongPtrW(window_, GWL_STYLE) & WS_CHILD) != 0) {
    monitors_.Close();
    return;
  }
  RECT rect{};
  ::GetWindowRect(window_, &rect);
  monitors_.SetShowOrigin({rect.left, rect.top});
  if (monitors_.IsOpen()) return;
  const IntSize screen{::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  const std::vector<Monitor> monitors = ListMonitors();
  const std::vector<MonitorWindowPlan> plans =
      PlanMonitorWindows(ArrangeMonitors(monitors, screen), monitorMode_);
  if (!plans.empty()) monitors_.Open(plans);
}

bool Win32ShowWindow::Visible() const {
  return ::IsWindowVisible(window_) != 0;
}

IntRect Win32ShowWindow::RectPixels() const {
  RECT rect{};
  ::GetWindowRect(window_, &rect);
  // A child's rectangle is in its parent's client coordinates.
  if (HWND parent = ::GetParent(window_);
      parent != nullptr && (::GetWindowLongPtrW(window_, GWL_STYLE) & WS_CHILD)) {
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  }
  return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

bool Win32ShowWindow::Topmost() const {
  return (::GetWindowLongPtrW(window_, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

void Win32ShowWindow::Invalidate() {
  ::InvalidateRect(window_, nullptr, FALSE);
  monitors_.Invalidate();
}

void Win32ShowWindow::AwaitNextFrame() {
  Invalidate();
  ::UpdateWindow(window_);
  monitors_.Update();
  const Milliseconds due = lastFrameMs_ + framePeriodMs_;
  lastFrameMs_ = std::max(due, loop_.NowMs());
  loop_.WaitUntil(lastFrameMs_);
}

void Win32ShowWindow::Paint() {
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(window_, &paint);
  if (painter_) {
    const Image& frame = painter_();
    if (!frame.IsEmpty()) {
      BITMAPINFO info{};
      info.bmiHeader.biSize = sizeof(info.bmiHeader);
      info.bmiHeader.biWidth = frame.Width();
      info.bmiHeader.biHeight = -frame.Height();  // top-down rows, as the image holds them
      info.bmiHeader.biPlanes = 1;
      info.bmiHeader.biBitCount = 32;
      info.bmiHeader.biCompression = BI_RGB;
      ::SetDIBitsToDevice(
          dc, 0, 0, static_cast<DWORD>(frame.Width()), static_cast<DWORD>(frame.Height()), 0, 0, 0,
          static_cast<UINT>(frame.Height()), frame.Pixels().data(), &info, DIB_RGB_COLORS);
    }
  }
  ::EndPaint(window_, &paint);
}

LRESULT CALLBACK Win32ShowWindow::Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(l);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<Win32ShowWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr || self->window_ != window) return ::DefWindowProcW(window, message, w, l);
  return self->OnMessage(message, w, l);
}

LRESULT Win32ShowWindow::OnMessage(UINT message, WPARAM w, LPARAM l) {
  const FloatPoint at{static_cast<float>(GET_X_LPARAM(l)), static_cast<float>(GET_Y_LPARAM(l))};
  if (DeliverShowInput(input_, message, w, at)) return 0;
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint covers every pixel
    case WM_SIZE:
      if (input_ != nullptr) input_->Resized();
      return 0;
    case WM_DESTROY:
      // Destroyed from outside: the preview area the window lived in is gone.
      if (!destroying_) ::PostQuitMessage(0);
      window_ = nullptr;
      return 0;
    default:
      return ::DefWindowProcW(window_, message, w, l);
  }
}

}  // namespace vistel
