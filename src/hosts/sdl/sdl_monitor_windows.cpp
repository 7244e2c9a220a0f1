#include "hosts/sdl/sdl_monitor_windows.hpp"

#include <iostream>

#include "hosts/sdl/input_mapping.hpp"

namespace vistel {

SdlMonitorWindows::SdlMonitorWindows(SdlEventLoop& loop, std::function<WindowInput*()> input)
    : loop_(loop), input_(std::move(input)) {}

SdlMonitorWindows::~SdlMonitorWindows() {
  Close();
}

std::string SdlMonitorWindows::TitleOf(const std::string& titleUtf8, std::size_t index) const {
  // Not the show window's own title: a second instance looks for that one.
  return titleUtf8 + " (monitor " + std::to_string(index + 2) + ")";
}

void SdlMonitorWindows::Open(std::span<const MonitorWindowPlan> plans,
                             const std::string& titleUtf8) {
  Close();
  for (const MonitorWindowPlan& plan : plans) {
    auto canvas = Canvas::CreateOwn(
        TitleOf(titleUtf8, windows_.size()),
        {plan.windowPx, /*topmost=*/true, /*borderless=*/true, /*visible=*/true, /*vsync=*/false});
    if (!canvas) {
      std::cerr << "vistel-player: the monitor at " << plan.windowPx.left << ","
                << plan.windowPx.top << " stays uncovered: " << canvas.error().description << '\n';
      continue;
    }
    auto window = std::make_unique<Window>(Window{plan, std::move(*canvas), true});
    Window* raw = window.get();
    loop_.SetWindowHandler(raw->canvas->WindowId(),
                           [this, raw](const SDL_Event& e) { OnEvent(*raw, e); });
    windows_.push_back(std::move(window));
  }
}

void SdlMonitorWindows::Close() {
  for (auto& window : windows_) loop_.RemoveWindowHandler(window->canvas->WindowId());
  windows_.clear();
}

void SdlMonitorWindows::SetTitle(const std::string& titleUtf8) {
  for (std::size_t i = 0; i < windows_.size(); ++i) {
    SDL_SetWindowTitle(windows_[i]->canvas->Window(), TitleOf(titleUtf8, i).c_str());
  }
}

bool SdlMonitorWindows::NeedsPaint() const {
  for (const auto& window : windows_) {
    if (window->needsPaint) return true;
  }
  return false;
}

void SdlMonitorWindows::Present(const Image& frame) {
  for (auto& window : windows_) {
    if (window->plan.mirrors) {
      const IntRect area = MirrorPictureRect(frame.Extent(), window->plan.windowPx.Extent());
      window->canvas->Present(frame, area);
    } else if (window->needsPaint) {
      window->canvas->Clear();
    }
    window->needsPaint = false;
  }
}

void SdlMonitorWindows::OnEvent(Window& window, const SDL_Event& event) {
  WindowInput* input = input_ ? input_() : nullptr;
  if (event.type == SDL_WINDOWEVENT) {
    if (event.window.event == SDL_WINDOWEVENT_EXPOSED) window.needsPaint = true;
    if (event.window.event == SDL_WINDOWEVENT_CLOSE && input != nullptr) input->CloseRequested();
    return;
  }
  if (input == nullptr) return;
  const auto pointer = [&](int x, int y) {
    return ToShowWindowPoint({static_cast<float>(x), static_cast<float>(y)},
                             window.plan.windowPx.Origin(), showOriginPx_);
  };
  switch (event.type) {
    case SDL_MOUSEMOTION: {
      const FloatPoint p = pointer(event.motion.x, event.motion.y);
      input->MouseMove(p.x, p.y);
      break;
    }
    case SDL_MOUSEBUTTONUP: {
      const FloatPoint p = pointer(event.button.x, event.button.y);
      input->MouseUp(FormMouseButton(event.button.button), p.x, p.y);
      break;
    }
    case SDL_KEYDOWN:
      if (const auto code = KeyCharacterCode(event.key.keysym.sym, event.key.keysym.mod)) {
        input->KeyPress(*code);
      }
      break;
    default:
      break;
  }
}

}  // namespace vistel
