#include "hosts/win32/win32_about_window.hpp"

#include <windowsx.h>

#include "platform/win32/wide_text.hpp"

namespace vistel {
namespace {

constexpr wchar_t kClassName[] = L"VistelAboutWindow";

int PixelsOf(int twips, int pixelsPerInch) {
  return MulDiv(twips, pixelsPerInch, 1440);
}

}  // namespace

Win32AboutWindow::~Win32AboutWindow() {
  if (window_ != nullptr) ::DestroyWindow(window_);
}

void Win32AboutWindow::ShowAbout(std::string_view caption, IntSize clientTwips,
                                 std::span<const AboutLabel> labels,
                                 std::function<void(std::string_view label)> onClick,
                                 std::function<void()> onClose) {
  static const bool registered = [] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &Win32AboutWindow::Procedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    return ::RegisterClassExW(&windowClass) != 0;
  }();
  (void)registered;
  onClick_ = std::move(onClick);
  onClose_ = std::move(onClose);

  HDC screen = ::GetDC(nullptr);
  const int ppi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  labels_.clear();
  for (const AboutLabel& label : labels) {
    const int left = PixelsOf(label.leftTwips, ppi);
    const int top = PixelsOf(label.topTwips, ppi);
    labels_.push_back({std::string(label.name),
                       win32::WideFromUtf8(label.text).value_or(std::wstring()),
                       {left, top, left + PixelsOf(label.widthTwips, ppi),
                        top + PixelsOf(label.heightTwips, ppi)},
                       static_cast<COLORREF>(label.backColor),  // the same 0x00BBGGRR
                       label.opaque});
  }
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
  RECT frame{0, 0, PixelsOf(clientTwips.width, ppi), PixelsOf(clientTwips.height, ppi)};
  ::AdjustWindowRect(&frame, style, FALSE);
  const std::wstring title = win32::WideFromUtf8(caption).value_or(std::wstring());
  window_ = ::CreateWindowExW(0, kClassName, title.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                              frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                              ::GetModuleHandleW(nullptr), this);
  ::ShowWindow(window_, SW_SHOW);
  ::SetForegroundWindow(window_);
}

void Win32AboutWindow::Paint() {
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(window_, &paint);
  HGDIOBJ before = ::SelectObject(dc, ::GetStockObject(DEFAULT_GUI_FONT));
  for (Label& label : labels_) {
    if (label.opaque) {
      HBRUSH brush = ::CreateSolidBrush(label.back);
      ::FillRect(dc, &label.rect, brush);
      ::DeleteObject(brush);
    }
    ::SetBkMode(dc, TRANSPARENT);
    ::DrawTextW(dc, label.text.c_str(), static_cast<int>(label.text.size()), &label.rect,
                DT_WORDBREAK | DT_NOPREFIX);
  }
  ::SelectObject(dc, before);
  ::EndPaint(window_, &paint);
}

LRESULT CALLBACK Win32AboutWindow::Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(l);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<Win32AboutWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr || self->window_ != window) return ::DefWindowProcW(window, message, w, l);
  return self->OnMessage(message, w, l);
}

LRESULT Win32AboutWindow::OnMessage(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_LBUTTONUP: {
      const POINT at{GET_X_LPARAM(l), GET_Y_LPARAM(l)};
      for (const Label& label : labels_) {
        if (::PtInRect(&label.rect, at) && onClick_) {
          onClick_(label.name);
          break;
        }
      }
      return 0;
    }
    case WM_CLOSE:
      if (onClose_) onClose_();
      return 0;
    default:
      return ::DefWindowProcW(window_, message, w, l);
  }
}

}  // namespace vistel
