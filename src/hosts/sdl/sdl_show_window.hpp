// The show window on the desktop. It keeps the state the core's Win32 calls
// change (style, parent, owner, rectangle, topmost, visibility) with their
// Windows meanings, as the headless window does, and maps it onto X:
//
//   top-level      an SDL window of its own: borderless, at the rectangle
//                  (the primary monitor's size for /s; the core's screen
//                  coordinates start at the primary monitor's corner, as
//                  on Windows), kept above others when topmost, titled by
//                  SetCaption so that FindWindow of a second instance
//                  finds it; it takes the input. While it is topmost and
//                  shown (the full-screen show), every other monitor gets
//                  a window too, black or mirroring it (SdlMonitorWindows,
//                  by the monitor mode), whose input is this window's.
//   embedded       WS_CHILD with a foreign parent (/p): a child X window
//                  inside the parent, at the parent's size, taking no input;
//                  the parent's size is polled (X sends a foreign window's
//                  resize to its owner only) and a change resizes the
//                  window and reports Resized.
//   hack           drawing into the window XScreenSaver names (or the root):
//                  like embedded whatever the core asks for (no placement,
//                  no topmost), with the full show; the input is the daemon's.
//
// The X side is made when the window is first shown. The picture is
// composed by the core's painter and put on the screen when the loop goes
// idle after an Invalidate, and at each animation frame (AwaitNextFrame:
// present, then wait out the frame period pumping messages).
//
// Ownership: the loop, display and X connection outlive the window; the
// input and painter the core sets stay valid while they are set.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "hosts/common/monitor_layout.hpp"
#include "hosts/common/window_state.hpp"
#include "hosts/sdl/canvas.hpp"
#include "hosts/sdl/event_loop.hpp"
#include "hosts/sdl/sdl_display.hpp"
#include "hosts/sdl/sdl_monitor_windows.hpp"
#include "hosts/sdl/x11_windows.hpp"
#include "runtime/trace.hpp"
#include "runtime/window.hpp"

namespace vistel {

class SdlShowWindow final : public ShowWindowHost {
 public:
  SdlShowWindow(SdlEventLoop& loop, SdlDisplay& display, X11Windows& x11,
                std::optional<WindowHandle> hackWindow, Milliseconds framePeriodMs, Trace& trace);
  ~SdlShowWindow() override;
  SdlShowWindow(const SdlShowWindow&) = delete;
  SdlShowWindow& operator=(const SdlShowWindow&) = delete;

  // The X window once shown; 0 before.
  WindowHandle Handle() const override { return xWindow_; }
  void SetCaption(std::string_view title) override;
  std::int64_t GetWindowLong(int index) override;
  std::int64_t SetWindowLong(int index, std::int64_t value) override;
  void SetParent(WindowHandle parent) override;
  bool SetWindowPos(InsertAfter insertAfter, int x, int y, int cx, int cy,
                    std::uint32_t flags) override;
  void SetVisible(bool visible) override;
  bool Visible() const override { return visible_; }
  IntRect RectPixels() const override { return rect_; }
  bool Topmost() const override { return topmost_; }
  void SetInput(WindowInput* input) override { input_ = input; }
  void SetPainter(std::function<const Image&()> painter) override { painter_ = std::move(painter); }
  void Invalidate() override { dirty_ = true; }
  void AwaitNextFrame() override;

  // Whether the window draws into a foreign window (preview or hack).
  bool Embedded() const { return embeddedIn_ != 0; }
  // What the other monitors show while the show is full screen; takes
  // effect the next time the monitor windows open.
  void SetMonitorMode(MonitorMode mode) { monitorMode_ = mode; }

 private:
  enum class Kind { None, TopLevel, Embedded };

  bool IsChild() const { return longs_.IsChild(); }
  // Makes, re-makes or updates the X side to match the state.
  void Realize();
  void RealizeWindow();
  void SyncMonitorWindows();
  void Unrealize();
  // Where the core's screen coordinates start on the X desktop.
  IntPoint DesktopOrigin();
  void RealizeTopLevel();
  void RealizeEmbedded(WindowHandle parent);
  void PresentNow();
  void TraceFirstPicture(const Image& frame);
  void PresentMonitorWindows();
  void PollForeignSize();
  void OnEvent(const SDL_Event& event);

  Trace& trace_;
  bool pictureShown_ = false;  // a present that was not all black
  SdlEventLoop& loop_;
  SdlDisplay& display_;
  X11Windows& x11_;
  std::optional<WindowHandle> hackWindow_;
  Milliseconds framePeriodMs_;

  std::string caption_;
  WindowLongs longs_;  // the style without WS_VISIBLE, which visible_ holds
  WindowHandle parent_ = 0;
  IntRect rect_{0, 0, kFormDesignSizePx.width, kFormDesignSizePx.height};
  bool topmost_ = false;
  bool visible_ = false;

  Kind kind_ = Kind::None;
  std::unique_ptr<Canvas> canvas_;
  WindowHandle xWindow_ = 0;     // our X window: the top-level one or the child
  WindowHandle embeddedIn_ = 0;  // the foreign parent of the child
  IntSize foreignSize_;
  Milliseconds nextPollMs_ = 0;

  WindowInput* input_ = nullptr;
  std::function<const Image&()> painter_;
  bool dirty_ = true;
  Milliseconds lastFrameMs_ = 0;

  MonitorMode monitorMode_ = kDefaultMonitorMode;
  SdlMonitorWindows monitors_;
};

}  // namespace vistel
