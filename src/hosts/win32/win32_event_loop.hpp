// The Windows host's clock and message loop: real time, one thread, the
// thread's message queue and the shared TimerQueue (the core's timers keep
// the same order and trace on every host).
//
// The loop sleeps in MsgWaitForMultipleObjects until the next timer
// deadline or the next message. DoEvents is the PeekMessage loop of a
// message pump: it dispatches every pending message to its window
// procedure, then runs the timers due. Before each wait the idle tasks run
// (presenting invalidated windows). Ends only by unwinding: ProcessEnded
// from the core, Terminated from here (WM_QUIT, the end of --run-for).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hosts/common/desktop_run.hpp"
#include "hosts/common/timer_queue.hpp"
#include "runtime/events.hpp"
#include "runtime/trace.hpp"

namespace vistel {

class Win32EventLoop final : public EventLoop {
 public:
  Win32EventLoop(const Clock& clock, Trace& trace);
  Win32EventLoop(const Win32EventLoop&) = delete;
  Win32EventLoop& operator=(const Win32EventLoop&) = delete;

  Milliseconds NowMs() const override { return clock_.NowMs(); }
  std::unique_ptr<Timer> CreateTimer(std::string name, std::function<void()> onTick) override;
  void DoEvents() override;
  void TraceTimerStates() override { timers_.TraceInitialState(); }

  void AddIdleTask(std::function<void()> task) { idleTasks_.push_back(std::move(task)); }
  void SetEndTime(std::optional<Milliseconds> endMs) { endMs_ = endMs; }
  // Pumps messages and timers until the clock reaches `deadlineMs`; at least once.
  void WaitUntil(Milliseconds deadlineMs);
  [[noreturn]] void Run();

 private:
  void Wait(Milliseconds untilMs);
  void CheckEnd() const;

  const Clock& clock_;
  TimerQueue timers_;
  std::optional<Milliseconds> endMs_;
  bool quit_ = false;
  std::vector<std::function<void()>> idleTasks_;
};

}  // namespace vistel
