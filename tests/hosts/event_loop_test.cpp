#include "hosts/headless/event_loop.hpp"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "hosts/common/json_trace.hpp"
#include "runtime/process.hpp"

namespace vistel {
namespace {

using nlohmann::json;

class HeadlessEventLoopTest : public ::testing::Test {
 protected:
  std::unique_ptr<Timer> Make(const std::string& name, std::uint32_t intervalMs) {
    auto timer = loop.CreateTimer(name, [this, name] { Log(name); });
    timer->SetInterval(intervalMs);
    timer->SetEnabled(true);
    return timer;
  }
  void Log(const std::string& what) { log.push_back(what + "@" + std::to_string(loop.NowMs())); }

  VirtualClock clock;
  std::vector<json> events;
  JsonTrace trace{clock, [this](std::string_view line) { events.push_back(json::parse(line)); }};
  HeadlessEventLoop loop{clock, trace};
  std::vector<std::string> log;
};

TEST_F(HeadlessEventLoopTest, AMinuteOfTimersRunsByJumpingVirtualTime) {
  int audioTicks = 0;
  int resetTicks = 0;
  auto audio = loop.CreateTimer("tmrAudio", [&] { ++audioTicks; });
  audio->SetInterval(500);
  audio->SetEnabled(true);
  auto reset = loop.CreateTimer("timReset", [&] { ++resetTicks; });
  reset->SetInterval(800);
  reset->SetEnabled(true);

  EXPECT_EQ(loop.RunUntil(60'000), HeadlessEventLoop::RunEnd::TimeReached);
  EXPECT_EQ(loop.NowMs(), 60'000);
  EXPECT_EQ(audioTicks, 120) << "ticks at 500, 1000, ..., 60000 (the end time included)";
  EXPECT_EQ(resetTicks, 75);
}

TEST_F(HeadlessEventLoopTest, ScheduledCallbacksAndTimersRunInTimeOrderCallbacksFirstOnTies) {
  auto timer = Make("timer", 100);
  loop.ScheduleAt(100, [&] { Log("input"); });
  loop.ScheduleAt(50, [&] { Log("early"); });
  loop.ScheduleAt(100, [&] { Log("input2"); });
  loop.RunUntil(150);
  EXPECT_EQ(log, (std::vector<std::string>{"early@50", "input@100", "input2@100", "timer@100"}));
}

TEST_F(HeadlessEventLoopTest, DoEventsRunsOnlyWhatIsDueNow) {
  auto timer = Make("timer", 100);
  loop.ScheduleAt(40, [&] { Log("input"); });
  loop.DoEvents();
  EXPECT_TRUE(log.empty());
  loop.AdvanceBy(40);
  EXPECT_EQ(log, (std::vector<std::string>{"input@40"}));
  loop.AdvanceBy(100);  // one frame spanning the tick: delivered late, at the frame's end
  EXPECT_EQ(log, (std::vector<std::string>{"input@40", "timer@140"}));
}

TEST_F(HeadlessEventLoopTest, NestedPumpsRunOtherTimersAndInputWhileTheOuterHandlerRuns) {
  // An outer handler that presents transition frames, pumping after each one
  // like a cross-fade: other timers and input must run while it is on the
  // stack, and the outer timer itself must not be re-entered.
  int depth = 0;
  std::vector<std::string> nested;
  auto poll = loop.CreateTimer("poll", [&] {
    if (depth > 0) nested.push_back("poll@" + std::to_string(loop.NowMs()));
  });
  poll->SetInterval(50);
  poll->SetEnabled(true);
  int outerRuns = 0;
  auto outer = loop.CreateTimer("outer", [&] {
    ++outerRuns;
    ++depth;
    for (int frame = 0; frame < 10; ++frame) loop.AdvanceBy(16);
    --depth;
  });
  outer->SetInterval(100);
  outer->SetEnabled(true);
  loop.ScheduleAt(130, [&] {
    if (depth > 0) nested.push_back("key@" + std::to_string(loop.NowMs()));
  });

  loop.RunUntil(100);
  EXPECT_EQ(outerRuns, 1);
  EXPECT_EQ(loop.NowMs(), 260) << "ten 16 ms frames after the tick at 100";
  EXPECT_EQ(nested, (std::vector<std::string>{"key@132", "poll@164", "poll@212", "poll@260"}))
      << "input and the other timer run on the frame boundaries after they fall due";
  // Overdue after the long handler: the outer timer ticks once more, not six times.
  loop.RunUntil(260);
  EXPECT_EQ(outerRuns, 2);
}

TEST_F(HeadlessEventLoopTest, RunEndsWhenNothingCanEverHappen) {
  auto disabled = loop.CreateTimer("off", [] {});
  disabled->SetInterval(100);
  EXPECT_EQ(loop.Run(), HeadlessEventLoop::RunEnd::Idle);
  EXPECT_EQ(loop.NowMs(), 0);

  loop.ScheduleAt(70, [&] { Log("once"); });
  EXPECT_EQ(loop.Run(), HeadlessEventLoop::RunEnd::Idle);
  EXPECT_EQ(log, (std::vector<std::string>{"once@70"}));

  // With an end time, an idle loop still moves the clock to it.
  EXPECT_EQ(loop.RunUntil(5000), HeadlessEventLoop::RunEnd::TimeReached);
  EXPECT_EQ(loop.NowMs(), 5000);
}

TEST_F(HeadlessEventLoopTest, StopRequestedFromAHandlerEndsTheMainLoop) {
  int ticks = 0;
  auto timer = loop.CreateTimer("t", [&] {
    if (++ticks == 3) loop.RequestStop();
  });
  timer->SetInterval(250);
  timer->SetEnabled(true);
  EXPECT_EQ(loop.Run(), HeadlessEventLoop::RunEnd::Stopped);
  EXPECT_EQ(loop.NowMs(), 750);
  EXPECT_EQ(loop.RunUntil(1000), HeadlessEventLoop::RunEnd::TimeReached) << "a stop is used once";
  EXPECT_EQ(ticks, 4);
}

TEST_F(HeadlessEventLoopTest, CancelledCallbacksNeverRun) {
  const auto id = loop.ScheduleAt(10, [&] { Log("cancelled"); });
  loop.ScheduleAt(20, [&] { Log("kept"); });
  EXPECT_TRUE(loop.Cancel(id));
  EXPECT_FALSE(loop.Cancel(id));
  loop.Run();
  EXPECT_EQ(log, (std::vector<std::string>{"kept@20"}));
}

TEST_F(HeadlessEventLoopTest, CallbackScheduledInThePastRunsAtTheNextPump) {
  loop.RunUntil(1000);
  loop.ScheduleAt(10, [&] { Log("late"); });
  EXPECT_EQ(loop.NextDue(), 10);
  loop.DoEvents();
  EXPECT_EQ(log, (std::vector<std::string>{"late@1000"}));
}

TEST_F(HeadlessEventLoopTest, ProcessEndUnwindsOutOfNestedPumpsAndLeavesTheLoopUsable) {
  // The --run-for end: a scheduled callback that ends the process, even while
  // a handler is deep in a transition.
  auto outer = loop.CreateTimer("outer", [&] {
    for (int frame = 0; frame < 100; ++frame) loop.AdvanceBy(16);
  });
  outer->SetInterval(100);
  outer->SetEnabled(true);
  loop.ScheduleAt(510, [] { throw ProcessEnded{0}; });
  try {
    loop.Run();
    FAIL() << "expected the process to end";
  } catch (const ProcessEnded& ended) {
    EXPECT_EQ(ended.exitCode, 0);
  }
  EXPECT_EQ(loop.NowMs(), 516) << "the first frame boundary at or after 510 (100 + 26 * 16)";
  outer->SetEnabled(false);
  loop.ScheduleAt(600, [&] { Log("after"); });
  loop.Run();
  EXPECT_EQ(log, (std::vector<std::string>{"after@600"}));
}

TEST_F(HeadlessEventLoopTest, TimerEventsGoToTheTraceWithVirtualTimes) {
  std::unique_ptr<Timer> timer;
  timer = loop.CreateTimer("timNext", [&] { timer->SetEnabled(false); });
  timer->SetInterval(500);
  loop.Timers().TraceInitialState();
  loop.RunUntil(100);
  timer->SetEnabled(true);
  loop.Run();
  ASSERT_EQ(events.size(), 3U);
  EXPECT_EQ(events[0], json::parse(R"({"t":0,"ev":"timer","name":"timNext","interval":500,)"
                                   R"("enabled":false})"));
  EXPECT_EQ(events[1]["t"], 100);
  EXPECT_EQ(events[1]["enabled"], true);
  EXPECT_EQ(events[2]["t"], 600);
  EXPECT_EQ(events[2]["enabled"], false);
}

}  // namespace
}  // namespace vistel
