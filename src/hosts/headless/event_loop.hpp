// The headless host's clock and message loop: virtual time that moves only
// when the loop jumps it to the next thing that can happen, so a minute of
// show runs in milliseconds and every run is deterministic.
//
// Things that happen are timer ticks (through the shared TimerQueue) and
// scheduled callbacks (input scripts, snapshots, the end of --run-for).
// DoEvents dispatches everything due at the current virtual time, in time
// order; at equal times scheduled callbacks come first (in the order they
// were scheduled), as window systems deliver input before timer messages;
// timers follow in their own deadline order. Handlers may pump again (nested
// DoEvents, AdvanceBy for transition frames): the model is the single
// re-entrant user-interface thread of the original.
//
// Not thread-safe: one thread drives the loop and everything it calls.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "hosts/common/timer_queue.hpp"
#include "runtime/events.hpp"
#include "runtime/trace.hpp"

namespace vistel {

// Virtual milliseconds since start; moves forward only.
class VirtualClock final : public Clock {
 public:
  Milliseconds NowMs() const override { return nowMs_; }
  // Moves the clock to `t`; a time in the past leaves it where it is.
  void AdvanceTo(Milliseconds t) {
    if (t > nowMs_) nowMs_ = t;
  }

 private:
  Milliseconds nowMs_ = 0;
};

class HeadlessEventLoop final : public EventLoop {
 public:
  using EventId = std::uint64_t;
  enum class RunEnd {
    Stopped,      // RequestStop was called
    TimeReached,  // the end time given to RunUntil was reached
    Idle,         // nothing is scheduled and no timer can fire: nothing can ever happen again
  };

  // The clock and the trace (for `timer` events) must outlive the loop.
  HeadlessEventLoop(VirtualClock& clock, Trace& trace);
  HeadlessEventLoop(const HeadlessEventLoop&) = delete;
  HeadlessEventLoop& operator=(const HeadlessEventLoop&) = delete;

  Milliseconds NowMs() const override { return clock_.NowMs(); }
  std::unique_ptr<Timer> CreateTimer(std::string name, std::function<void()> onTick) override;
  void DoEvents() override;
  void TraceTimerStates() override { timers_.TraceInitialState(); }

  // One presented transition frame: the clock moves by `ms`, then pending
  // messages are pumped, so input and timers can fall mid-transition.
  void AdvanceBy(Milliseconds ms);

  // Runs `callback` when virtual time reaches `atMs` (at once, at the next
  // pump, when that time has passed). The id can cancel it until it runs.
  EventId ScheduleAt(Milliseconds atMs, std::function<void()> callback);
  // Whether the callback was still pending (and now never runs).
  bool Cancel(EventId id);

  // The main loop: jumps the clock to the next due item and dispatches it,
  // until a stop is requested or nothing can happen any more. RunUntil also
  // ends when the clock reaches `endMs`, after the items due at `endMs`; the
  // clock then stands at `endMs`. (To end at once, even inside a nested
  // pump, schedule a callback at the end time that ends the process.)
  RunEnd Run();
  RunEnd RunUntil(Milliseconds endMs);
  // Makes the main loop return after the dispatch now running.
  void RequestStop() { stopRequested_ = true; }

  // The earliest time at which something can happen; nothing when the loop
  // is idle for good.
  std::optional<Milliseconds> NextDue() const;

  TimerQueue& Timers() { return timers_; }
  std::size_t PendingEvents() const { return events_.size(); }

 private:
  RunEnd RunLoop(std::optional<Milliseconds> endMs);

  VirtualClock& clock_;
  TimerQueue timers_;
  // Keyed by time, then by scheduling order.
  std::map<std::pair<Milliseconds, EventId>, std::function<void()>> events_;
  EventId nextEventId_ = 1;
  bool stopRequested_ = false;
};

}  // namespace vistel
