#include "hosts/common/timer_queue.hpp"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "hosts/common/json_trace.hpp"

namespace vistel {
namespace {

using nlohmann::json;

class ManualClock final : public Clock {
 public:
  Milliseconds NowMs() const override { return now; }
  Milliseconds now = 0;
};

class TimerQueueTest : public ::testing::Test {
 protected:
  std::unique_ptr<Timer> Make(const std::string& name, std::uint32_t intervalMs, bool enabled) {
    auto timer = queue.CreateTimer(name, [this, name] { fired.push_back(name); });
    timer->SetInterval(intervalMs);
    timer->SetEnabled(enabled);
    return timer;
  }
  // Moves the clock and pumps once, as a host does after sleeping.
  int PumpAt(Milliseconds t) {
    clock.now = t;
    return queue.Pump();
  }

  ManualClock clock;
  std::vector<json> events;
  JsonTrace trace{clock, [this](std::string_view line) { events.push_back(json::parse(line)); }};
  TimerQueue queue{clock, trace};
  std::vector<std::string> fired;
};

TEST_F(TimerQueueTest, IntervalZeroNeverFiresEnabledOrNot) {
  auto zero = Make("zero", 0, true);
  auto off = Make("off", 100, false);
  EXPECT_FALSE(queue.NextDeadline().has_value());
  EXPECT_EQ(PumpAt(1'000'000), 0);
  EXPECT_TRUE(fired.empty());
}

TEST_F(TimerQueueTest, FiresAfterTheFullIntervalAndKeepsItsPhase) {
  clock.now = 100;
  auto timer = Make("t", 500, true);
  EXPECT_EQ(queue.NextDeadline(), 600);
  EXPECT_EQ(PumpAt(599), 0);
  EXPECT_EQ(PumpAt(600), 1);
  EXPECT_EQ(queue.NextDeadline(), 1100);
  EXPECT_EQ(PumpAt(1130), 1);  // delivered late, the next boundary stays on the grid
  EXPECT_EQ(queue.NextDeadline(), 1600);
}

TEST_F(TimerQueueTest, OverdueTimerFiresOnceAndResumesAtTheNextBoundary) {
  auto timer = Make("t", 100, true);
  EXPECT_EQ(PumpAt(1050), 1) << "ten missed periods coalesce into one tick";
  EXPECT_EQ(queue.NextDeadline(), 1100);
  EXPECT_EQ(PumpAt(1100), 1);
}

TEST_F(TimerQueueTest, ReEnablingRestartsTheCountdown) {
  auto timer = Make("t", 500, true);
  clock.now = 300;
  timer->SetEnabled(false);
  timer->SetEnabled(true);
  EXPECT_EQ(queue.NextDeadline(), 800);
  EXPECT_EQ(PumpAt(500), 0);
  EXPECT_EQ(PumpAt(800), 1);
}

TEST_F(TimerQueueTest, NewIntervalOfAnEnabledTimerRestartsTheCountdown) {
  auto timer = Make("t", 500, true);
  clock.now = 300;
  timer->SetInterval(400);
  EXPECT_EQ(queue.NextDeadline(), 700);
  // Interval 0 stops it; a new interval starts counting from then.
  timer->SetInterval(0);
  EXPECT_FALSE(queue.NextDeadline().has_value());
  clock.now = 2000;
  timer->SetInterval(250);
  EXPECT_EQ(queue.NextDeadline(), 2250);
}

TEST_F(TimerQueueTest, SettingTheSameStateAgainChangesNothing) {
  auto timer = Make("t", 500, true);
  queue.TraceInitialState();
  events.clear();
  clock.now = 300;
  timer->SetEnabled(true);
  timer->SetInterval(500);
  EXPECT_EQ(queue.NextDeadline(), 500) << "no restart when nothing changed";
  EXPECT_TRUE(events.empty()) << "no trace when nothing changed";
}

TEST_F(TimerQueueTest, IntervalSetWhileDisabledCountsFromTheEnable) {
  auto timer = Make("t", 0, false);
  timer->SetInterval(500);
  EXPECT_FALSE(queue.NextDeadline().has_value());
  clock.now = 1000;
  timer->SetEnabled(true);
  EXPECT_EQ(queue.NextDeadline(), 1500);
}

TEST_F(TimerQueueTest, DueTimersFireInDeadlineOrderTiesByCreation) {
  auto a = Make("a", 300, true);
  auto b = Make("b", 200, true);
  auto c = Make("c", 200, true);
  auto d = Make("d", 100, false);
  EXPECT_EQ(PumpAt(1000), 3);
  EXPECT_EQ(fired, (std::vector<std::string>{"b", "c", "a"}));
}

TEST_F(TimerQueueTest, TimerIsNotReenteredByItsOwnHandler) {
  std::unique_ptr<Timer> other = Make("other", 100, true);
  int depth = 0;
  int maxDepth = 0;
  std::vector<std::string> insideOuter;
  std::unique_ptr<Timer> outer = queue.CreateTimer("outer", [&] {
    ++depth;
    maxDepth = std::max(maxDepth, depth);
    fired.push_back("outer");
    // Time passes inside the handler; pumping here runs other timers only.
    clock.now += 1000;
    const auto before = fired.size();
    queue.Pump();
    insideOuter.assign(fired.begin() + static_cast<std::ptrdiff_t>(before), fired.end());
    --depth;
  });
  outer->SetInterval(100);
  outer->SetEnabled(true);

  EXPECT_EQ(PumpAt(100), 2);
  EXPECT_EQ(maxDepth, 1);
  EXPECT_EQ(insideOuter, (std::vector<std::string>{"other"}));
  // Overdue after its handler: fires at the next pump, once.
  EXPECT_EQ(queue.NextDeadline(), 200);
  fired.clear();
  EXPECT_EQ(PumpAt(clock.now), 1);
  EXPECT_EQ(fired, (std::vector<std::string>{"outer", "other"}))
      << "the other timer ticks inside the outer handler's pump";
  EXPECT_EQ(maxDepth, 1);
}

TEST_F(TimerQueueTest, TimerDisabledOrDestroyedByAnEarlierHandlerDoesNotFire) {
  std::unique_ptr<Timer> victimDisabled = Make("disabled", 200, true);
  std::unique_ptr<Timer> victimDestroyed = Make("destroyed", 200, true);
  std::unique_ptr<Timer> killer = queue.CreateTimer("killer", [&] {
    fired.push_back("killer");
    victimDisabled->SetEnabled(false);
    victimDestroyed.reset();
  });
  killer->SetInterval(100);
  killer->SetEnabled(true);
  EXPECT_EQ(PumpAt(500), 1);
  EXPECT_EQ(fired, (std::vector<std::string>{"killer"}));
  EXPECT_EQ(queue.Count(), 2U);
}

TEST_F(TimerQueueTest, HandlerMayDestroyItsOwnTimerAndCreateOthers) {
  std::unique_ptr<Timer> created;
  std::unique_ptr<Timer> self;
  self = queue.CreateTimer("self", [&] {
    // The captures of this very handler stay alive until it returns.
    self.reset();
    created = Make("created", 50, true);
    fired.push_back("self");
  });
  self->SetInterval(100);
  self->SetEnabled(true);
  EXPECT_EQ(PumpAt(100), 1) << "a timer created in a pump is not due in it";
  EXPECT_EQ(queue.Count(), 1U);
  EXPECT_EQ(PumpAt(150), 1);
  EXPECT_EQ(fired, (std::vector<std::string>{"self", "created"}));
}

TEST_F(TimerQueueTest, RestartInsideTheHandlerWinsOverTheRegularSchedule) {
  std::unique_ptr<Timer> timer;
  timer = queue.CreateTimer("t", [&] {
    clock.now += 30;
    timer->SetEnabled(false);
    timer->SetEnabled(true);
  });
  timer->SetInterval(100);
  timer->SetEnabled(true);
  PumpAt(100);
  EXPECT_EQ(queue.NextDeadline(), 230);
}

TEST_F(TimerQueueTest, PumpEndsEvenWhenHandlersOutrunTheirInterval) {
  int ticks = 0;
  auto busy = queue.CreateTimer("busy", [&] {
    ++ticks;
    clock.now += 250;  // each tick takes longer than the period
  });
  busy->SetInterval(100);
  busy->SetEnabled(true);
  EXPECT_EQ(PumpAt(100), 1);
  EXPECT_EQ(ticks, 1);
}

TEST_F(TimerQueueTest, ThrowingHandlerLeavesTheTimerUsable) {
  bool shouldThrow = true;
  auto timer = queue.CreateTimer("t", [&] {
    fired.push_back("t");
    if (shouldThrow) throw std::runtime_error("handler failed");
  });
  timer->SetInterval(100);
  timer->SetEnabled(true);
  clock.now = 100;
  EXPECT_THROW(queue.Pump(), std::runtime_error);
  shouldThrow = false;
  EXPECT_EQ(PumpAt(200), 1) << "the timer must not stay marked as running";
}

TEST_F(TimerQueueTest, TraceShowsInitialStateOnceThenOnlyChanges) {
  auto interval = Make("timInterval", 0, false);
  auto reset = Make("timReset", 800, true);
  EXPECT_TRUE(events.empty()) << "design state before the window loads is not traced";

  clock.now = 5;
  queue.TraceInitialState();
  ASSERT_EQ(events.size(), 2U);
  EXPECT_EQ(events[0], json::parse(R"({"t":5,"ev":"timer","name":"timInterval","interval":0,)"
                                   R"("enabled":false})"));
  EXPECT_EQ(events[1], json::parse(R"({"t":5,"ev":"timer","name":"timReset","interval":800,)"
                                   R"("enabled":true})"));
  queue.TraceInitialState();
  EXPECT_EQ(events.size(), 2U) << "the initial state is traced once";

  interval->SetInterval(5000);
  interval->SetEnabled(true);
  reset->SetEnabled(true);
  ASSERT_EQ(events.size(), 4U);
  EXPECT_EQ(events[2]["interval"], 5000);
  EXPECT_EQ(events[2]["enabled"], false);
  EXPECT_EQ(events[3]["enabled"], true);
}

}  // namespace
}  // namespace vistel
