// The full-screen show's windows on the monitors besides the primary one
// (MonitorLayout), on Windows: one topmost, unframed window per monitor,
// off the taskbar, black or mirroring the show window's frame (StretchDIBits
// into the centred rectangle MirrorPictureRect gives, black around it). No
// second show runs: a mirror paints the frame the show's painter has
// composed, when the show window is invalidated or shows an animation frame.
//
// Their input is the show window's: pointer positions are turned into the
// show window's client pixels (ToShowWindowPoint), so mouse travel counts
// across monitors as the pointer really went; keys, buttons and a close
// request go to the same input. They are shown without activation, so the
// show window keeps the keyboard until the user clicks elsewhere.
//
// Ownership: `input` and `painter` are asked at each message; they may
// answer nothing.
#pragma once

#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "base/image.hpp"
#include "hosts/common/monitor_layout.hpp"
#include "hosts/win32/windows_api.hpp"
#include "runtime/window.hpp"

namespace vistel {

// Passes a window's mouse, key or close message to the show's input (when
// there is one), at `at` in the show window's pixels: every window of the
// show takes input alike. False for any other message.
bool DeliverShowInput(WindowInput* input, UINT message, WPARAM w, FloatPoint at);

// The monitors the system lists (EnumDisplayMonitors), in virtual-screen
// pixels, the primary flagged.
std::vector<Monitor> ListMonitors();

class Win32MonitorWindows {
 public:
  Win32MonitorWindows(std::function<WindowInput*()> input, std::function<const Image*()> painter);
  ~Win32MonitorWindows();
  Win32MonitorWindows(const Win32MonitorWindows&) = delete;
  Win32MonitorWindows& operator=(const Win32MonitorWindows&) = delete;

  // One window per plan; a window that cannot be made is left out.
  void Open(std::span<const MonitorWindowPlan> plans);
  void Close();
  bool IsOpen() const { return !windows_.empty(); }
  // Where the show window's client area starts on the virtual screen.
  void SetShowOrigin(IntPoint originPx) { showOriginPx_ = originPx; }
  // The show's frame has changed: mirrors repaint (Update: at once).
  void Invalidate();
  void Update();

 private:
  struct Window {
    Win32MonitorWindows* owner = nullptr;
    MonitorWindowPlan plan;
    HWND handle = nullptr;
  };
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l);
  LRESULT OnMessage(Window& window, UINT message, WPARAM w, LPARAM l);
  void Paint(Window& window);

  std::function<WindowInput*()> input_;
  std::function<const Image*()> painter_;
  IntPoint showOriginPx_;
  // Stable addresses: each window's procedure finds its entry by pointer.
  std::vector<std::unique_ptr<Window>> windows_;
};

}  // namespace vistel
