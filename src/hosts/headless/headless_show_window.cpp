#include "hosts/headless/headless_show_window.hpp"

#include <algorithm>
#include <cmath>

namespace vistel {

HeadlessShowWindow::HeadlessShowWindow(HeadlessDisplay& display, HeadlessEventLoop& loop,
                                       Trace& trace, Milliseconds frameMs)
    : display_(display),
      loop_(loop),
      trace_(trace),
      // A frame of no time would never end an animation that measures its
      // progress on the clock: the shortest frame is one millisecond.
      frameMs_(std::max<Milliseconds>(frameMs, 1)),
      handle_(display.RegisterWindow(std::string(kFormClassName), "", kFormDesignSizePx)) {}

HeadlessShowWindow::~HeadlessShowWindow() {
  display_.UnregisterWindow(handle_);
}

void HeadlessShowWindow::SetCaption(std::string_view title) {
  caption_ = std::string(title);
  display_.SetWindowTitle(handle_, caption_);
}

std::int64_t HeadlessShowWindow::GetWindowLong(int index) {
  return longs_.Get(index, visible_);
}

std::int64_t HeadlessShowWindow::SetWindowLong(int index, std::int64_t value) {
  const Placement before = Current();
  const std::int64_t previous = longs_.Set(index, value, visible_);
  TraceIfMoved(before);
  return previous;
}

void HeadlessShowWindow::SetParent(WindowHandle parent) {
  const Placement before = Current();
  parent_ = parent;
  TraceIfMoved(before);
}

bool HeadlessShowWindow::SetWindowPos(InsertAfter insertAfter, int x, int y, int cx, int cy,
                                      std::uint32_t flags) {
  const Placement before = Current();
  WindowPosition position{rect_, topmost_, visible_};
  ApplyWindowPos(position, IsChild(), insertAfter, x, y, cx, cy, flags);
  rect_ = position.rect;
  topmost_ = position.topmost;
  visible_ = position.visible;
  TraceIfMoved(before);
  if (rect_.Extent() != before.rect.Extent()) {
    display_.SetClientSize(handle_, rect_.Extent());
    // Windows sends WM_SIZE from inside SetWindowPos: the handler runs now,
    // and may itself place the window again.
    if (input_ != nullptr) input_->Resized();
  }
  return true;
}

void HeadlessShowWindow::SetVisible(bool visible) {
  const Placement before = Current();
  visible_ = visible;
  TraceIfMoved(before);
}

void HeadlessShowWindow::TraceIfMoved(const Placement& before) {
  const Placement now = Current();
  if (now == before || !trace_.Enabled()) return;
  trace_.Write("window", {{"x", std::int64_t{now.rect.left}},
                          {"y", std::int64_t{now.rect.top}},
                          {"width", std::int64_t{now.rect.width}},
                          {"height", std::int64_t{now.rect.height}},
                          {"topmost", now.topmost},
                          {"visible", now.visible},
                          {"parent", static_cast<std::int64_t>(now.parent)}});
}

void HeadlessShowWindow::AwaitNextFrame() {
  ++framesPresented_;
  const Milliseconds now = loop_.NowMs();
  if (endOfRunMs_ && now < *endOfRunMs_ && *endOfRunMs_ < now + frameMs_) {
    // Whatever ends the run is due then; if it does not end it, the frame
    // goes on to its full length.
    loop_.AdvanceBy(*endOfRunMs_ - now);
    loop_.AdvanceBy(now + frameMs_ - loop_.NowMs());
    return;
  }
  loop_.AdvanceBy(frameMs_);
}

const Image& HeadlessShowWindow::Compose() {
  if (painter_) return painter_();
  if (blank_.Extent() != rect_.Extent()) blank_ = Image(rect_.width, rect_.height);
  return blank_;
}

bool HeadlessShowWindow::ToClient(double screenXPx, double screenYPx, float& xPx,
                                  float& yPx) const {
  const double x = screenXPx - rect_.left;
  const double y = screenYPx - rect_.top;
  if (x < 0 || y < 0 || x >= rect_.width || y >= rect_.height) return false;
  xPx = static_cast<float>(x);
  yPx = static_cast<float>(y);
  return true;
}

bool HeadlessShowWindow::DeliverMouseMove(double screenXPx, double screenYPx) {
  float x = 0, y = 0;
  if (input_ == nullptr || !visible_ || !ToClient(screenXPx, screenYPx, x, y)) return false;
  input_->MouseMove(x, y);
  return true;
}

bool HeadlessShowWindow::DeliverMouseUp(int button, double screenXPx, double screenYPx) {
  float x = 0, y = 0;
  if (input_ == nullptr || !visible_ || !ToClient(screenXPx, screenYPx, x, y)) return false;
  input_->MouseUp(button, x, y);
  return true;
}

bool HeadlessShowWindow::DeliverKeyPress(int characterCode) {
  if (input_ == nullptr || !visible_) return false;
  input_->KeyPress(characterCode);
  return true;
}

}  // namespace vistel
