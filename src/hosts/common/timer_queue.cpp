#include "hosts/common/timer_queue.hpp"

#include <algorithm>
#include <cassert>
#include <limits>
#include <utility>

namespace vistel {

// The handle the core holds; every call goes to the queue by id, so a handle
// stays valid whatever other timers are created or removed meanwhile.
class TimerQueue::Handle final : public Timer {
 public:
  Handle(TimerQueue& queue, Id id) : queue_(queue), id_(id) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() override { queue_.Remove(id_); }

  void SetInterval(std::uint32_t intervalMs) override { queue_.SetInterval(id_, intervalMs); }
  std::uint32_t Interval() const override { return queue_.At(id_).intervalMs; }
  void SetEnabled(bool enabled) override { queue_.SetEnabled(id_, enabled); }
  bool Enabled() const override { return queue_.At(id_).enabled; }

 private:
  TimerQueue& queue_;
  Id id_;
};

TimerQueue::TimerQueue(const Clock& clock, Trace& trace) : clock_(clock), trace_(trace) {}

TimerQueue::~TimerQueue() {
  // Handles refer to the queue; one outliving it would be a wiring fault.
  assert(entries_.empty() && "timer handles must be destroyed before their queue");
}

std::unique_ptr<Timer> TimerQueue::CreateTimer(std::string name, std::function<void()> onTick) {
  const Id id = nextId_++;
  Entry entry;
  entry.name = std::move(name);
  entry.onTick = std::make_shared<std::function<void()>>(std::move(onTick));
  entries_.emplace(id, std::move(entry));
  return std::make_unique<Handle>(*this, id);
}

const TimerQueue::Entry& TimerQueue::At(Id id) const {
  auto it = entries_.find(id);
  assert(it != entries_.end() && "a live handle has an entry");
  return it->second;
}

void TimerQueue::SetInterval(Id id, std::uint32_t intervalMs) {
  auto it = entries_.find(id);
  if (it == entries_.end()) return;
  Entry& entry = it->second;
  if (entry.intervalMs == intervalMs) return;
  entry.intervalMs = intervalMs;
  if (entry.enabled) entry.deadline = clock_.NowMs() + intervalMs;
  TraceState(entry);
}

void TimerQueue::SetEnabled(Id id, bool enabled) {
  auto it = entries_.find(id);
  if (it == entries_.end()) return;
  Entry& entry = it->second;
  if (entry.enabled == enabled) return;
  entry.enabled = enabled;
  if (enabled) entry.deadline = clock_.NowMs() + entry.intervalMs;
  TraceState(entry);
}

void TimerQueue::Remove(Id id) {
  entries_.erase(id);
}

void TimerQueue::TraceState(const Entry& entry) {
  if (!entry.traced || !trace_.Enabled()) return;
  trace_.Write("timer", {{"name", entry.name},
                         {"interval", static_cast<std::int64_t>(entry.intervalMs)},
                         {"enabled", entry.enabled}});
}

void TimerQueue::TraceInitialState() {
  for (auto& [id, entry] : entries_) {
    if (entry.traced) continue;
    entry.traced = true;
    TraceState(entry);
  }
}

std::optional<Milliseconds> TimerQueue::NextDeadline() const {
  std::optional<Milliseconds> next;
  for (const auto& [id, entry] : entries_) {
    if (CanFire(entry) && (!next || entry.deadline < *next)) next = entry.deadline;
  }
  return next;
}

bool TimerQueue::FireNextDue(Milliseconds dueBy) {
  const Milliseconds now = clock_.NowMs();
  if (dueBy > now) dueBy = now;
  auto due = entries_.end();
  // Strict "<" keeps the earliest-created timer among equal deadlines.
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    const Entry& entry = it->second;
    if (CanFire(entry) && entry.deadline <= dueBy &&
        (due == entries_.end() || entry.deadline < due->second.deadline)) {
      due = it;
    }
  }
  if (due == entries_.end()) return false;

  const Id id = due->first;
  Entry& entry = due->second;
  // Missed periods coalesce into this one tick; the phase is kept. Set before
  // the handler runs so that a restart inside the handler wins.
  const Milliseconds interval = entry.intervalMs;
  entry.deadline += ((now - entry.deadline) / interval + 1) * interval;
  entry.running = true;
  // The handler may destroy its own timer: hold the callable and find the
  // entry again by id afterwards (also when the handler throws).
  const std::shared_ptr<std::function<void()>> onTick = entry.onTick;
  struct RunningGuard {
    TimerQueue& queue;
    Id id;
    ~RunningGuard() {
      auto it = queue.entries_.find(id);
      if (it != queue.entries_.end()) it->second.running = false;
    }
  } guard{*this, id};
  if (*onTick) (*onTick)();
  return true;
}

int TimerQueue::Pump() {
  const Milliseconds start = clock_.NowMs();
  int ticks = 0;
  while (FireNextDue(start)) ++ticks;
  return ticks;
}

int WaitTimeoutMs(Milliseconds nowMs, std::optional<Milliseconds> nextDeadlineMs,
                  std::optional<Milliseconds> untilMs, Milliseconds maxWaitMs) {
  Milliseconds wait = std::max<Milliseconds>(maxWaitMs, 0);
  if (nextDeadlineMs) wait = std::min(wait, *nextDeadlineMs - nowMs);
  if (untilMs) wait = std::min(wait, *untilMs - nowMs);
  wait = std::clamp<Milliseconds>(wait, 0, std::numeric_limits<int>::max());
  return static_cast<int>(wait);
}

}  // namespace vistel
