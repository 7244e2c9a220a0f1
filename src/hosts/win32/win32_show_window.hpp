// The show window on Windows: a real window of the class and caption the
// previous-instance test looks for ("ThunderRT6FormDC", set by SetCaption),
// WS_POPUP so that nothing frames the show. The core's Win32 calls on it
// (style, owner, parent, position, topmost, visibility) are the system's own
// calls, so /p embeds the window in the Screen Saver settings' preview area
// exactly as asked.
//
// The picture is composed by the core's painter and drawn in WM_PAINT from
// a 32-bit top-down DIB; Invalidate marks the window for it, and each
// animation frame (AwaitNextFrame) draws at once and then waits out the
// frame period pumping messages. Mouse, keys, size and close reach the
// core's input. While the window is topmost, shown and not a child (the
// full-screen show), every other monitor gets a window too, black or
// mirroring it (Win32MonitorWindows, by the monitor mode), whose input is
// this window's. A window destroyed from outside (the preview area closing)
// ends the message loop.
#pragma once

#include <functional>
#include <string>

#include "hosts/common/monitor_layout.hpp"
#include "hosts/win32/win32_event_loop.hpp"
#include "hosts/win32/win32_monitor_windows.hpp"
#include "hosts/win32/windows_api.hpp"
#include "runtime/window.hpp"

namespace vistel {

class Win32ShowWindow final : public ShowWindowHost {
 public:
  Win32ShowWindow(Win32EventLoop& loop, Milliseconds framePeriodMs);
  ~Win32ShowWindow() override;
  Win32ShowWindow(const Win32ShowWindow&) = delete;
  Win32ShowWindow& operator=(const Win32ShowWindow&) = delete;

  WindowHandle Handle() const override;
  void SetCaption(std::string_view title) override;
  std::int64_t GetWindowLong(int index) override;
  std::int64_t SetWindowLong(int index, std::int64_t value) override;
  void SetParent(WindowHandle parent) override;
  bool SetWindowPos(InsertAfter insertAfter, int x, int y, int cx, int cy,
                    std::uint32_t flags) override;
  void SetVisible(bool visible) override;
  bool Visible() const override;
  IntRect RectPixels() const override;
  bool Topmost() const override;
  void SetInput(WindowInput* input) override { input_ = input; }
  void SetPainter(std::function<const Image&()> painter) override { painter_ = std::move(painter); }
  void Invalidate() override;
  void AwaitNextFrame() override;

  // What the other monitors show while the show is full screen; takes
  // effect the next time the monitor windows open.
  void SetMonitorMode(MonitorMode mode) { monitorMode_ = mode; }

 private:
  void SyncMonitorWindows();
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l);
  LRESULT OnMessage(UINT message, WPARAM w, LPARAM l);
  void Paint();

  Win32EventLoop& loop_;
  Milliseconds framePeriodMs_;
  HWND window_ = nullptr;
  bool destroying_ = false;
  WindowInput* input_ = nullptr;
  std::function<const Image&()> painter_;
  Milliseconds lastFrameMs_ = 0;
  MonitorMode monitorMode_ = kDefaultMonitorMode;
  Win32MonitorWindows monitors_;
};

}  // namespace vistel
