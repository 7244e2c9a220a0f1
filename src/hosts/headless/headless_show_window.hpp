// The show window on the headless host: nothing is drawn, but the window
// keeps the state the Win32 calls of the core change (style, parent, owner,
// rectangle, topmost, visibility) with their Windows meanings, so placement
// and preview embedding behave and can be checked as on Windows.
//
// The window registers itself with the display as a top-level window of
// class "ThunderRT6FormDC" with an empty title, as a form is before its load
// handler sets the caption; SetCaption retitles it, so FindWindow finds a
// running show by its caption. It starts hidden at 0,0 with the form's design
// size of 640x480 pixels, until the core places it.
//
// Placement changes are traced as `window` {x, y, width, height, topmost,
// visible, parent}, an event of this host. Frames of an animation advance the
// virtual clock by one frame period each (at least 1 ms, so that an animation
// timed on the clock always ends), pumping messages.
//
// Ownership: the display, loop and trace must outlive the window; the input
// and painter the core sets must stay valid while they are set.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "hosts/common/window_state.hpp"
#include "hosts/headless/display.hpp"
#include "hosts/headless/event_loop.hpp"
#include "runtime/trace.hpp"
#include "runtime/window.hpp"

namespace vistel {

class HeadlessShowWindow final : public ShowWindowHost {
 public:
  HeadlessShowWindow(HeadlessDisplay& display, HeadlessEventLoop& loop, Trace& trace,
                     Milliseconds frameMs);
  ~HeadlessShowWindow() override;
  HeadlessShowWindow(const HeadlessShowWindow&) = delete;
  HeadlessShowWindow& operator=(const HeadlessShowWindow&) = delete;

  WindowHandle Handle() const override { return handle_; }
  void SetCaption(std::string_view title) override;

  // GWL_STYLE reads and writes the style (WS_VISIBLE included); GWL_HWNDPARENT
  // the owner. The setter returns the previous value; any other index reads
  // and writes nothing and gives 0, as Windows does for an invalid index.
  std::int64_t GetWindowLong(int index) override;
  std::int64_t SetWindowLong(int index, std::int64_t value) override;
  // 0 makes the window top-level again. Its rectangle keeps its numbers,
  // which are now read in the new parent's client area.
  void SetParent(WindowHandle parent) override;
  // Honours SWP_NOMOVE, SWP_NOSIZE, SWP_NOZORDER, SWP_SHOWWINDOW and
  // SWP_HIDEWINDOW; a negative size becomes 0. HWND_TOPMOST makes a top-level
  // window topmost; a child window cannot be (Windows ignores it). When the
  // size changes the input's Resized() runs after the rectangle is updated.
  bool SetWindowPos(InsertAfter insertAfter, int x, int y, int cx, int cy,
                    std::uint32_t flags) override;
  void SetVisible(bool visible) override;
  bool Visible() const override { return visible_; }
  IntRect RectPixels() const override { return rect_; }
  bool Topmost() const override { return topmost_; }

  void SetInput(WindowInput* input) override { input_ = input; }
  void SetPainter(std::function<const Image&()> painter) override { painter_ = std::move(painter); }
  // Nothing to repaint: the picture is composed when a snapshot asks for it.
  void Invalidate() override {}
  // Advances the virtual clock by one frame period, pumping messages. A frame
  // that would step over the end of the run stops there first and pumps, so
  // the run ends at its exact time even in the middle of a transition.
  void AwaitNextFrame() override;
  // The virtual time at which the run ends (--run-for), if any.
  void SetEndOfRun(std::optional<Milliseconds> endMs) { endOfRunMs_ = endMs; }

  // ---- For the host and tests -------------------------------------------

  // The picture the core composed; without a painter, a black picture of
  // the window's size (a window that has never drawn).
  const Image& Compose();

  // Input at screen pixels, as the input script gives it. A hidden window,
  // or one without an input receiver, gets none; mouse input reaches the
  // window only over its rectangle (a foreign parent counts as lying at the
  // screen's origin), and then in client coordinates. Each returns whether
  // the window received it.
  bool DeliverMouseMove(double screenXPx, double screenYPx);
  bool DeliverMouseUp(int button, double screenXPx, double screenYPx);
  bool DeliverKeyPress(int characterCode);

  const std::string& Caption() const { return caption_; }
  WindowHandle Parent() const { return parent_; }
  WindowHandle Owner() const { return longs_.Owner(); }
  std::int64_t Style() const { return longs_.Get(kGwlStyle, visible_); }
  WindowInput* Input() const { return input_; }
  std::int64_t FramesPresented() const { return framesPresented_; }

 private:
  struct Placement {
    IntRect rect;
    bool topmost = false;
    bool visible = false;
    WindowHandle parent = 0;
    friend bool operator==(const Placement&, const Placement&) = default;
  };
  Placement Current() const { return {rect_, topmost_, visible_, parent_}; }
  // Traces the placement when it differs from `before`.
  void TraceIfMoved(const Placement& before);
  bool IsChild() const { return longs_.IsChild(); }
  // The client point of a screen point when it lies on the window.
  bool ToClient(double screenXPx, double screenYPx, float& xPx, float& yPx) const;

  HeadlessDisplay& display_;
  HeadlessEventLoop& loop_;
  Trace& trace_;
  Milliseconds frameMs_;
  std::optional<Milliseconds> endOfRunMs_;
  WindowHandle handle_;
  std::string caption_;
  WindowLongs longs_;  // the style without WS_VISIBLE, which visible_ holds
  WindowHandle parent_ = 0;
  IntRect rect_{0, 0, kFormDesignSizePx.width, kFormDesignSizePx.height};
  bool topmost_ = false;
  bool visible_ = false;
  WindowInput* input_ = nullptr;
  std::function<const Image&()> painter_;
  Image blank_;
  std::int64_t framesPresented_ = 0;
};

}  // namespace vistel
