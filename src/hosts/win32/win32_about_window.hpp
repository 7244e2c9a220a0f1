// The about window (/c) on Windows: a captioned window of the given client
// size with the labels drawn by GDI in the system's dialog font; a click on
// a label and the window's closing are reported to the core.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "hosts/win32/windows_api.hpp"
#include "runtime/window.hpp"

namespace vistel {

class Win32AboutWindow final : public AboutWindowHost {
 public:
  Win32AboutWindow() = default;
  ~Win32AboutWindow() override;
  Win32AboutWindow(const Win32AboutWindow&) = delete;
  Win32AboutWindow& operator=(const Win32AboutWindow&) = delete;

  void ShowAbout(std::string_view caption, IntSize clientTwips, std::span<const AboutLabel> labels,
                 std::function<void(std::string_view label)> onClick,
                 std::function<void()> onClose) override;

 private:
  struct Label {
    std::string name;
    std::wstring text;
    RECT rect{};
    COLORREF back = 0;
    bool opaque = false;
  };
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l);
  LRESULT OnMessage(UINT message, WPARAM w, LPARAM l);
  void Paint();

  HWND window_ = nullptr;
  std::vector<Label> labels_;
  std::function<void(std::string_view)> onClick_;
  std::function<void()> onClose_;
};

}  // namespace vistel
