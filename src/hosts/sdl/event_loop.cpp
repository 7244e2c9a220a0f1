#include "hosts/sdl/event_loop.hpp"

#include <algorithm>
#include <limits>

#include "hosts/sdl/termination.hpp"
#include "hosts/sdl/x11_windows.hpp"

namespace vistel {

std::uint32_t WindowIdOf(const SDL_Event& event) {
  switch (event.type) {
    case SDL_WINDOWEVENT:
      return event.window.windowID;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      return event.key.windowID;
    case SDL_TEXTINPUT:
      return event.text.windowID;
    case SDL_TEXTEDITING:
      return event.edit.windowID;
    case SDL_MOUSEMOTION:
      return event.motion.windowID;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      return event.button.windowID;
    case SDL_MOUSEWHEEL:
      return event.wheel.windowID;
    default:
      return 0;
  }
}

SdlEventLoop::SdlEventLoop(const Clock& clock, Trace& trace, Milliseconds maxWaitMs)
    : clock_(clock), timers_(clock, trace), maxWaitMs_(std::max<Milliseconds>(maxWaitMs, 1)) {}

std::unique_ptr<Timer> SdlEventLoop::CreateTimer(std::string name, std::function<void()> onTick) {
  return timers_.CreateTimer(std::move(name), std::move(onTick));
}

void SdlEventLoop::SetWindowHandler(std::uint32_t windowId, EventHandler handler) {
  handlers_[windowId] = std::make_shared<EventHandler>(std::move(handler));
}

void SdlEventLoop::RemoveWindowHandler(std::uint32_t windowId) {
  handlers_.erase(windowId);
}

void SdlEventLoop::AddIdleTask(std::function<void()> task) {
  idleTasks_.push_back(std::move(task));
}

void SdlEventLoop::CheckEnd() const {
  if (TerminationRequested()) throw Terminated{"signal"};
  if (WatchedX11WindowLost()) throw Terminated{"window-lost"};
  if (endMs_ && clock_.NowMs() >= *endMs_) throw Terminated{"run-for"};
}

void SdlEventLoop::Dispatch(const SDL_Event& event) {
  const auto it = handlers_.find(WindowIdOf(event));
  if (it == handlers_.end()) return;
  // Held: the handler may remove itself (a window closing).
  const std::shared_ptr<EventHandler> handler = it->second;
  (*handler)(event);
}

void SdlEventLoop::DoEvents() {
  CheckEnd();
  // Events queued while handlers run are taken in the same pump, as a
  // message pump does; a bound keeps a flood from holding the timers back.
  constexpr int kMaxEventsPerPump = 256;
  SDL_Event event;
  for (int n = 0; n < kMaxEventsPerPump && SDL_PollEvent(&event) == 1; ++n) {
    Dispatch(event);
    CheckEnd();
  }
  timers_.Pump();
  CheckEnd();
}

void SdlEventLoop::RunIdleTasks() {
  for (std::size_t i = 0; i < idleTasks_.size(); ++i) idleTasks_[i]();
}

void SdlEventLoop::WaitUntil(Milliseconds deadlineMs) {
  while (true) {
    DoEvents();
    const Milliseconds now = clock_.NowMs();
    if (now >= deadlineMs) return;
    const int timeout = WaitTimeoutMs(
        now, timers_.NextDeadline(), std::min(deadlineMs, endMs_.value_or(deadlineMs)), maxWaitMs_);
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, timeout) == 1) Dispatch(event);
  }
}

void SdlEventLoop::Run() {
  while (true) {
    DoEvents();
    RunIdleTasks();
    const int timeout = WaitTimeoutMs(clock_.NowMs(), timers_.NextDeadline(), endMs_, maxWaitMs_);
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, timeout) == 1) Dispatch(event);
  }
}

}  // namespace vistel
