// The full-screen show's windows on the monitors besides the primary one
// (MonitorLayout): borderless, topmost, each at its monitor's rectangle,
// black or mirroring the show window's frame. They are what a screen saver
// owes the other monitors, not a second show: a mirror puts up the frame
// the show window has just put up, scaled, and a black window is drawn only
// when it is made or exposed.
//
// Their input is the show window's: pointer positions are turned into the
// show window's client pixels (ToShowWindowPoint), so mouse travel counts
// across monitors as the pointer really went; keys, buttons and a close
// request go to the same input.
//
// Ownership: the loop outlives this; `input` is asked for the show
// window's input at each event (it may change or be unset).
#pragma once

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/image.hpp"
#include "hosts/common/monitor_layout.hpp"
#include "hosts/sdl/canvas.hpp"
#include "hosts/sdl/event_loop.hpp"
#include "runtime/window.hpp"

namespace vistel {

class SdlMonitorWindows {
 public:
  SdlMonitorWindows(SdlEventLoop& loop, std::function<WindowInput*()> input);
  ~SdlMonitorWindows();
  SdlMonitorWindows(const SdlMonitorWindows&) = delete;
  SdlMonitorWindows& operator=(const SdlMonitorWindows&) = delete;

  // Opens one window per plan, titled `titleUtf8` and its monitor's number
  // (the show window's monitor is 1). A window that cannot be made is
  // left out with a message; the others serve.
  void Open(std::span<const MonitorWindowPlan> plans, const std::string& titleUtf8);
  void Close();
  bool IsOpen() const { return !windows_.empty(); }
  // Where the show window's client area starts on the desktop, for the
  // input's positions.
  void SetShowOrigin(IntPoint originPx) { showOriginPx_ = originPx; }
  void SetTitle(const std::string& titleUtf8);

  // The show window has put up `frame`: the mirrors show it, and black
  // windows that need it are drawn.
  void Present(const Image& frame);
  // Whether a window was exposed (or just made) and waits to be drawn.
  bool NeedsPaint() const;

 private:
  struct Window {
    MonitorWindowPlan plan;
    std::unique_ptr<Canvas> canvas;
    bool needsPaint = true;
  };
  void OnEvent(Window& window, const SDL_Event& event);
  std::string TitleOf(const std::string& titleUtf8, std::size_t index) const;

  SdlEventLoop& loop_;
  std::function<WindowInput*()> input_;
  IntPoint showOriginPx_;
  // Stable addresses: the event handlers hold them.
  std::vector<std::unique_ptr<Window>> windows_;
};

}  // namespace vistel
