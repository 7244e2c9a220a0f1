// Window timers as every host delivers them, independent of how time passes.
//
// The queue keeps each timer's interval, enabled flag and next deadline, and
// fires due timers only when a host pumps it. It follows the semantics of
// window-message timers that the show relies on:
//  - interval 0 never fires, enabled or not;
//  - enabling a disabled timer, or changing the interval of an enabled one,
//    restarts the countdown from the full interval; setting the state it
//    already has changes nothing;
//  - due timers fire in deadline order (ties: creation order);
//  - an overdue timer fires once, however many periods it missed (the system
//    coalesces timer messages), and its next deadline is the next period
//    boundary after the time it fired;
//  - a timer is not re-entered while its own handler runs, even when that
//    handler pumps messages;
//  - handlers may create, destroy, enable or disable any timer, their own
//    included; a timer destroyed or disabled before its turn does not fire.
//
// The `timer` trace event is written for a timer once its initial state has
// been traced (TraceInitialState, when the window loads) and from then on
// whenever its interval or enabled state actually changes. Changes before
// that are the window's design state and are not traced.
//
// Ownership: the queue must outlive the timers it creates. Single-threaded:
// everything runs on the user-interface thread.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "runtime/events.hpp"
#include "runtime/trace.hpp"

namespace vistel {

class TimerQueue {
 public:
  TimerQueue(const Clock& clock, Trace& trace);
  TimerQueue(const TimerQueue&) = delete;
  TimerQueue& operator=(const TimerQueue&) = delete;
  ~TimerQueue();

  // A new timer, disabled with interval 0. Destroying the returned handle
  // removes the timer (also from inside a pump or its own handler).
  std::unique_ptr<Timer> CreateTimer(std::string name, std::function<void()> onTick);

  // The earliest deadline of a timer that can fire (enabled, interval > 0,
  // its handler not running); nothing when no timer can fire. A real host
  // sleeps until then; a virtual clock jumps there.
  std::optional<Milliseconds> NextDeadline() const;

  // Fires the one timer that comes first in deadline order among those due
  // by `dueBy` (at most the clock's time); returns false when none is.
  bool FireNextDue(Milliseconds dueBy);

  // Fires every timer due when the call starts, in deadline order; returns
  // how many ticks ran. Timers that fall due while handlers run (time passes
  // in them) wait for the next pump, so a pump always ends.
  int Pump();

  // Writes the `timer` event for every timer whose initial state has not
  // been traced yet, in creation order, and traces their changes from now on.
  void TraceInitialState();

  // How many timers exist (for tests and diagnostics).
  std::size_t Count() const { return entries_.size(); }

 private:
  class Handle;
  struct Entry {
    std::string name;
    std::shared_ptr<std::function<void()>> onTick;  // shared: survives its own timer's removal
    std::uint32_t intervalMs = 0;
    bool enabled = false;
    bool running = false;
    bool traced = false;
    Milliseconds deadline = 0;
  };
  using Id = std::uint64_t;

  void SetInterval(Id id, std::uint32_t intervalMs);
  void SetEnabled(Id id, bool enabled);
  void Remove(Id id);
  const Entry& At(Id id) const;
  void TraceState(const Entry& entry);
  static bool CanFire(const Entry& entry) {
    return entry.enabled && entry.intervalMs > 0 && !entry.running;
  }

  const Clock& clock_;
  Trace& trace_;
  // Keyed by creation sequence, so iteration order is the creation order
  // that breaks deadline ties.
  std::map<Id, Entry> entries_;
  Id nextId_ = 1;
};

// How long the loop may sleep at `nowMs`: until the earliest of the next
// timer deadline and `untilMs` (each when there is one), at most `maxWaitMs`,
// never negative.
int WaitTimeoutMs(Milliseconds nowMs, std::optional<Milliseconds> nextDeadlineMs,
                  std::optional<Milliseconds> untilMs, Milliseconds maxWaitMs);

}  // namespace vistel
