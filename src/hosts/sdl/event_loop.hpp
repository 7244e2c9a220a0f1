// The desktop host's clock and message loop: real time, one thread, SDL's
// event queue and the shared TimerQueue.
//
// The loop sleeps in SDL_WaitEventTimeout until the next timer deadline or
// the next event, so a show at rest costs next to nothing; the wait is also
// bounded (maxWaitMs) so that the loop notices a termination request, a lost
// window and the end of --run-for promptly even when nothing else happens
// (a signal usually wakes the wait at once: the handlers are installed
// without SA_RESTART).
//
// DoEvents dispatches every pending SDL event to the handler registered for
// its window, then the timers due when it started, as the headless loop
// does; handlers may pump again. Before each wait the idle tasks run
// (presenting invalidated windows, polling foreign windows' sizes).
//
// Ends only by unwinding: ProcessEnded from the core, Terminated from here.
// Not thread-safe: everything runs on the user-interface thread.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hosts/common/steady_clock.hpp"
#include "hosts/common/timer_queue.hpp"
#include "runtime/events.hpp"
#include "runtime/trace.hpp"

namespace vistel {

// The SDL window an event concerns (0 when none: quit, audio, ...).
std::uint32_t WindowIdOf(const SDL_Event& event);

class SdlEventLoop final : public EventLoop {
 public:
  using EventHandler = std::function<void(const SDL_Event&)>;

  // The clock and trace must outlive the loop.
  SdlEventLoop(const Clock& clock, Trace& trace, Milliseconds maxWaitMs);
  SdlEventLoop(const SdlEventLoop&) = delete;
  SdlEventLoop& operator=(const SdlEventLoop&) = delete;

  Milliseconds NowMs() const override { return clock_.NowMs(); }
  std::unique_ptr<Timer> CreateTimer(std::string name, std::function<void()> onTick) override;
  void DoEvents() override;
  void TraceTimerStates() override { timers_.TraceInitialState(); }

  // Events of one SDL window go to its handler; events of no registered
  // window are dropped.
  void SetWindowHandler(std::uint32_t windowId, EventHandler handler);
  void RemoveWindowHandler(std::uint32_t windowId);
  // Runs before every wait of the main loop and of WaitUntil.
  void AddIdleTask(std::function<void()> task);
  // The run ends (Terminated "run-for") when the clock reaches this time.
  void SetEndTime(std::optional<Milliseconds> endMs) { endMs_ = endMs; }

  // Pumps events and timers until the clock reaches `deadlineMs`, sleeping
  // in between; pumps at least once.
  void WaitUntil(Milliseconds deadlineMs);
  // The main loop; returns only by an exception.
  [[noreturn]] void Run();

  TimerQueue& Timers() { return timers_; }

 private:
  void Dispatch(const SDL_Event& event);
  void RunIdleTasks();
  // Throws Terminated when the process is asked to end from outside.
  void CheckEnd() const;

  const Clock& clock_;
  TimerQueue timers_;
  Milliseconds maxWaitMs_;
  std::optional<Milliseconds> endMs_;
  std::map<std::uint32_t, std::shared_ptr<EventHandler>> handlers_;
  std::vector<std::function<void()>> idleTasks_;
};

}  // namespace vistel
