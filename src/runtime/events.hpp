// The clock, timers and message pumping of the one user-interface thread.
//
// The original runs everything on one thread: timers fire only while messages
// are pumped, and several routines pump messages in the middle of their work
// (DoEvents), so timer and input handlers may run re-entrantly while an outer
// handler is still on the stack. Hosts keep exactly that model.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace vistel {

using Milliseconds = std::int64_t;

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since the host started (virtual time on the headless host).
  virtual Milliseconds NowMs() const = 0;
};

// A window timer. Interval in ms; interval 0 never fires, enabled or not.
// Enabling a disabled timer, or setting the interval of an enabled one,
// restarts the countdown from the full interval. A tick is delivered only
// while messages are pumped, and never while the same timer's handler is
// still running (a handler that pumps messages is not re-entered by its own
// timer).
class Timer {
 public:
  virtual ~Timer() = default;
  virtual void SetInterval(std::uint32_t intervalMs) = 0;
  virtual std::uint32_t Interval() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;
};

class EventLoop : public Clock {
 public:
  // Creates a timer, disabled with interval 0. The handler runs on the
  // user-interface thread for each tick. The name appears in the trace.
  virtual std::unique_ptr<Timer> CreateTimer(std::string name, std::function<void()> onTick) = 0;
  // Processes every message that is due now (timer ticks, input), running
  // their handlers, possibly re-entrantly; returns when none is left.
  virtual void DoEvents() = 0;
  // The show window has loaded: the `timer` trace shows the state of every
  // timer now, and each change from now on.
  virtual void TraceTimerStates() = 0;
};

}  // namespace vistel
