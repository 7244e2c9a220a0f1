#include "hosts/sdl/sdl_show_window.hpp"

#include <algorithm>
#include <chrono>
#include <iostream>

#include "base/text.hpp"
#include "hosts/sdl/input_mapping.hpp"
#include "hosts/sdl/termination.hpp"

namespace vistel {
namespace {

// How often a foreign window's size is looked at.
constexpr Milliseconds kForeignPollMs = 250;

}  // namespace

SdlShowWindow::SdlShowWindow(SdlEventLoop& loop, SdlDisplay& display, X11Windows& x11,
                             std::optional<WindowHandle> hackWindow, Milliseconds framePeriodMs,
                             Trace& trace)
    : trace_(trace),
      loop_(loop),
      display_(display),
      x11_(x11),
      hackWindow_(hackWindow),
      framePeriodMs_(std::max<Milliseconds>(framePeriodMs, 1)),
      monitors_(loop, [this] { return visible_ ? input_ : nullptr; }) {
  loop_.AddIdleTask([this] {
    PollForeignSize();
    if (dirty_) {
      PresentNow();
    } else if (monitors_.NeedsPaint()) {
      PresentMonitorWindows();
    }
  });
}

SdlShowWindow::~SdlShowWindow() {
  Unrealize();
}

IntPoint SdlShowWindow::DesktopOrigin() {
  return display_.Layout().primaryPx.Origin();
}

void SdlShowWindow::SetCaption(std::string_view title) {
  caption_ = std::string(title);
  // Only a top-level window carries the title: a child is not what
  // FindWindow looks for, and a hack must not be found as a running show.
  if (kind_ == Kind::TopLevel) {
    SDL_SetWindowTitle(canvas_->Window(), Windows1252ToUtf8(caption_).c_str());
    monitors_.SetTitle(Windows1252ToUtf8(caption_));
  }
}

std::int64_t SdlShowWindow::GetWindowLong(int index) {
  return longs_.Get(index, visible_);
}

std::int64_t SdlShowWindow::SetWindowLong(int index, std::int64_t value) {
  const std::int64_t previous = longs_.Set(index, value, visible_);
  if (index == kGwlStyle) Realize();
  return previous;
}

void SdlShowWindow::SetParent(WindowHandle parent) {
  parent_ = parent;
  Realize();
}

bool SdlShowWindow::SetWindowPos(InsertAfter insertAfter, int x, int y, int cx, int cy,
                                 std::uint32_t flags) {
  const IntSize before = rect_.Extent();
  WindowPosition position{rect_, topmost_, visible_};
  ApplyWindowPos(position, IsChild(), insertAfter, x, y, cx, cy, flags);
  rect_ = position.rect;
  topmost_ = position.topmost;
  visible_ = position.visible;
  Realize();
  // Drawn into a foreign window, the window fills it, whatever was asked.
  if (kind_ == Kind::Embedded) rect_ = {0, 0, foreignSize_.width, foreignSize_.height};
  if (rect_.Extent() != before) {
    dirty_ = true;
    // Windows sends WM_SIZE from inside SetWindowPos.
    if (input_ != nullptr) input_->Resized();
  }
  return true;
}

void SdlShowWindow::SetVisible(bool visible) {
  visible_ = visible;
  Realize();
}

void SdlShowWindow::Realize() {
  RealizeWindow();
  SyncMonitorWindows();
}

void SdlShowWindow::SyncMonitorWindows() {
  // A hack's daemon gives each screen a window of its own; a preview lives
  // in its dialog: only the full-screen show covers the other monitors.
  const bool wanted = kind_ == Kind::TopLevel && canvas_ && visible_ && topmost_;
  if (!wanted) {
    monitors_.Close();
    return;
  }
  const IntPoint origin = DesktopOrigin();
  monitors_.SetShowOrigin({origin.x + rect_.left, origin.y + rect_.top});
  if (monitors_.IsOpen()) return;
  const std::vector<MonitorWindowPlan> plans = PlanMonitorWindows(display_.Layout(), monitorMode_);
  if (plans.empty()) return;
  monitors_.Open(plans, Windows1252ToUtf8(caption_));
  // The show keeps the keyboard focus and stays above its companions.
  SDL_RaiseWindow(canvas_->Window());
  dirty_ = true;
}

void SdlShowWindow::RealizeWindow() {
  WindowHandle wantedParent = 0;
  if (hackWindow_) {
    wantedParent = *hackWindow_;
  } else if (IsChild() && parent_ != 0) {
    wantedParent = parent_;
  }
  const Kind wanted = wantedParent != 0 ? Kind::Embedded : Kind::TopLevel;
  if (kind_ == Kind::None && !visible_) return;  // nothing on the screen yet
  if (kind_ != wanted || (wanted == Kind::Embedded && embeddedIn_ != wantedParent)) {
    Unrealize();
    if (wanted == Kind::Embedded) {
      RealizeEmbedded(wantedParent);
    } else {
      RealizeTopLevel();
    }
    dirty_ = true;
    return;
  }
  if (kind_ == Kind::TopLevel && canvas_) {
    SDL_Window* window = canvas_->Window();
    int x = 0, y = 0, w = 0, h = 0;
    SDL_GetWindowPosition(window, &x, &y);
    SDL_GetWindowSize(window, &w, &h);
    const IntPoint origin = DesktopOrigin();
    if (x != origin.x + rect_.left || y != origin.y + rect_.top) {
      SDL_SetWindowPosition(window, origin.x + rect_.left, origin.y + rect_.top);
    }
    if (w != rect_.width || h != rect_.height) {
      SDL_SetWindowSize(window, std::max(rect_.width, 1), std::max(rect_.height, 1));
    }
    SDL_SetWindowAlwaysOnTop(window, topmost_ ? SDL_TRUE : SDL_FALSE);
    const bool shown = (SDL_GetWindowFlags(window) & SDL_WINDOW_SHOWN) != 0;
    if (visible_ && !shown) {
      SDL_ShowWindow(window);
      SDL_RaiseWindow(window);
    } else if (!visible_ && shown) {
      SDL_HideWindow(window);
    }
  }
}

void SdlShowWindow::RealizeTopLevel() {
  const IntPoint origin = DesktopOrigin();
  auto canvas = Canvas::CreateOwn(Windows1252ToUtf8(caption_),
                                  {rect_.Translated(origin.x, origin.y), topmost_,
                                   /*borderless=*/true, visible_});
  if (!canvas) {
    std::cerr << "vistel-player: " << canvas.error().description << '\n';
    return;
  }
  canvas_ = std::move(*canvas);
  kind_ = Kind::TopLevel;
  xWindow_ = canvas_->XWindow();
  display_.AddOwnWindow(xWindow_);
  SDL_RaiseWindow(canvas_->Window());
  loop_.SetWindowHandler(canvas_->WindowId(), [this](const SDL_Event& e) { OnEvent(e); });
}

void SdlShowWindow::RealizeEmbedded(WindowHandle parent) {
  const auto size = x11_.Size(parent);
  if (!size) {
    std::cerr << "vistel-player: window " << parent << " is gone\n";
    return;
  }
  const WindowHandle child = x11_.CreateChild(parent, *size);
  if (child == 0) {
    std::cerr << "vistel-player: cannot make a window inside " << parent << '\n';
    return;
  }
  auto canvas = Canvas::CreateFromForeign(child);
  if (!canvas) {
    std::cerr << "vistel-player: " << canvas.error().description << '\n';
    x11_.DestroyWindow(child);
    return;
  }
  canvas_ = std::move(*canvas);
  kind_ = Kind::Embedded;
  xWindow_ = child;
  embeddedIn_ = parent;
  foreignSize_ = *size;
  nextPollMs_ = loop_.NowMs() + kForeignPollMs;
  // Errors about the child mean the parent (and with it the child) is gone.
  WatchX11Window(child);
  loop_.SetWindowHandler(canvas_->WindowId(), [this](const SDL_Event& e) { OnEvent(e); });
}

void SdlShowWindow::Unrealize() {
  monitors_.Close();
  if (kind_ == Kind::None) return;
  if (canvas_) loop_.RemoveWindowHandler(canvas_->WindowId());
  canvas_.reset();
  if (kind_ == Kind::Embedded) {
    WatchX11Window(0);
    x11_.DestroyWindow(xWindow_);
  } else {
    display_.RemoveOwnWindow(xWindow_);
  }
  kind_ = Kind::None;
  xWindow_ = 0;
  embeddedIn_ = 0;
}

void SdlShowWindow::PollForeignSize() {
  if (kind_ != Kind::Embedded) return;
  const Milliseconds now = loop_.NowMs();
  if (now < nextPollMs_) return;
  nextPollMs_ = now + kForeignPollMs;
  const auto size = x11_.Size(embeddedIn_);
  if (!size) {
    // The parent is gone: there is nothing left to draw in.
    throw Terminated{"window-lost"};
  }
  if (*size == foreignSize_) return;
  foreignSize_ = *size;
  // The software renderer of a foreign window knows only the size it was
  // made with: a new canvas on the resized child.
  loop_.RemoveWindowHandler(canvas_->WindowId());
  canvas_.reset();
  x11_.ResizeWindow(xWindow_, *size);
  if (auto canvas = Canvas::CreateFromForeign(xWindow_)) {
    canvas_ = std::move(*canvas);
    loop_.SetWindowHandler(canvas_->WindowId(), [this](const SDL_Event& e) { OnEvent(e); });
  } else {
    throw Terminated{"window-lost"};
  }
  rect_ = {0, 0, size->width, size->height};
  dirty_ = true;
  if (input_ != nullptr) input_->Resized();
}

void SdlShowWindow::PresentNow() {
  dirty_ = false;
  if (!canvas_ || !visible_ || !painter_) return;
  const Image& frame = painter_();
  canvas_->Present(frame);
  monitors_.Present(frame);
  if (!pictureShown_) TraceFirstPicture(frame);
}

void SdlShowWindow::PresentMonitorWindows() {
  if (!canvas_ || !visible_ || !painter_) return;
  monitors_.Present(painter_());
}

// How long a show takes to put its first picture on the display is measured
// from outside (bench/first_frame.sh): the presents up to the first one that
// is not all black are traced, with the system's monotonic clock, which the
// measuring process reads as well.
void SdlShowWindow::TraceFirstPicture(const Image& frame) {
  pictureShown_ = std::ranges::any_of(frame.Pixels(), [](Pixel p) { return p != 0; });
  const double clockMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch())
          .count();
  trace_.Write("present", {{"blank", !pictureShown_}, {"clockMs", clockMs}});
}

void SdlShowWindow::AwaitNextFrame() {
  PresentNow();
  const Milliseconds now = loop_.NowMs();
  // Frames keep their cadence; a frame that came late starts a new one
  // instead of hurrying the next frames to catch up.
  Milliseconds due = lastFrameMs_ + framePeriodMs_;
  if (due <= now || due > now + framePeriodMs_) due = now + (due <= now ? 0 : framePeriodMs_);
  lastFrameMs_ = due;
  loop_.WaitUntil(due);
}

void SdlShowWindow::OnEvent(const SDL_Event& event) {
  if (event.type == SDL_WINDOWEVENT) {
    switch (event.window.event) {
      case SDL_WINDOWEVENT_EXPOSED:
        dirty_ = true;
        break;
      case SDL_WINDOWEVENT_SIZE_CHANGED:
        if (kind_ == Kind::TopLevel &&
            (event.window.data1 != rect_.width || event.window.data2 != rect_.height)) {
          rect_.width = event.window.data1;
          rect_.height = event.window.data2;
          dirty_ = true;
          if (input_ != nullptr) input_->Resized();
        }
        break;
      case SDL_WINDOWEVENT_CLOSE:
        if (kind_ == Kind::TopLevel && input_ != nullptr) input_->CloseRequested();
        break;
      default:
        break;
    }
    return;
  }
  // Embedded windows leave the input to their owner (the preview dialog,
  // the daemon).
  if (kind_ != Kind::TopLevel || input_ == nullptr || !visible_) return;
  switch (event.type) {
    case SDL_MOUSEMOTION:
      input_->MouseMove(static_cast<float>(event.motion.x), static_cast<float>(event.motion.y));
      break;
    case SDL_MOUSEBUTTONUP:
      input_->MouseUp(FormMouseButton(event.button.button), static_cast<float>(event.button.x),
                      static_cast<float>(event.button.y));
      break;
    case SDL_KEYDOWN:
      if (const auto code = KeyCharacterCode(event.key.keysym.sym, event.key.keysym.mod)) {
        input_->KeyPress(*code);
      }
      break;
    default:
      break;
  }
}

}  // namespace vistel
