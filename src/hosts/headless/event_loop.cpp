#include "hosts/headless/event_loop.hpp"

#include <algorithm>

namespace vistel {

HeadlessEventLoop::HeadlessEventLoop(VirtualClock& clock, Trace& trace)
    : clock_(clock), timers_(clock, trace) {}

std::unique_ptr<Timer> HeadlessEventLoop::CreateTimer(std::string name,
                                                      std::function<void()> onTick) {
  return timers_.CreateTimer(std::move(name), std::move(onTick));
}

void HeadlessEventLoop::DoEvents() {
  // Only what is due when the pump starts: if handlers move the clock (nested
  // transition frames), their nested pumps have already run what fell due,
  // and the loop cannot chase time forever.
  const Milliseconds now = clock_.NowMs();
  while (true) {
    const auto timerDue = timers_.NextDeadline();
    const bool timerReady = timerDue && *timerDue <= now;
    const bool eventReady = !events_.empty() && events_.begin()->first.first <= now &&
                            (!timerReady || events_.begin()->first.first <= *timerDue);
    if (eventReady) {
      // Taken out before it runs, so a nested pump cannot run it again.
      auto node = events_.extract(events_.begin());
      node.mapped()();
    } else if (!timerReady || !timers_.FireNextDue(now)) {
      return;
    }
  }
}

void HeadlessEventLoop::AdvanceBy(Milliseconds ms) {
  clock_.AdvanceTo(clock_.NowMs() + std::max<Milliseconds>(ms, 0));
  DoEvents();
}

HeadlessEventLoop::EventId HeadlessEventLoop::ScheduleAt(Milliseconds atMs,
                                                         std::function<void()> callback) {
  const EventId id = nextEventId_++;
  events_.emplace(std::make_pair(atMs, id), std::move(callback));
  return id;
}

bool HeadlessEventLoop::Cancel(EventId id) {
  // Rare (a handful of snapshots and script events): a scan is enough.
  for (auto it = events_.begin(); it != events_.end(); ++it) {
    if (it->first.second == id) {
      events_.erase(it);
      return true;
    }
  }
  return false;
}

std::optional<Milliseconds> HeadlessEventLoop::NextDue() const {
  std::optional<Milliseconds> next = timers_.NextDeadline();
  if (!events_.empty()) {
    const Milliseconds eventAt = events_.begin()->first.first;
    if (!next || eventAt < *next) next = eventAt;
  }
  return next;
}

HeadlessEventLoop::RunEnd HeadlessEventLoop::Run() {
  return RunLoop(std::nullopt);
}

HeadlessEventLoop::RunEnd HeadlessEventLoop::RunUntil(Milliseconds endMs) {
  return RunLoop(endMs);
}

HeadlessEventLoop::RunEnd HeadlessEventLoop::RunLoop(std::optional<Milliseconds> endMs) {
  while (true) {
    if (stopRequested_) {
      stopRequested_ = false;
      return RunEnd::Stopped;
    }
    const auto next = NextDue();
    if (endMs && (!next || *next > *endMs)) {
      clock_.AdvanceTo(*endMs);
      return RunEnd::TimeReached;
    }
    if (!next) return RunEnd::Idle;
    clock_.AdvanceTo(*next);
    DoEvents();
  }
}

}  // namespace vistel
