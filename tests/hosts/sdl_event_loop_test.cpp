// The desktop loop's wait computation, its dispatch of SDL events by window,
// its timers, and its ends from outside. SDL's event queue works without a
// display, so none is needed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hosts/sdl/event_loop.hpp"
#include "hosts/sdl/termination.hpp"

namespace vistel {
namespace {

class ManualClock final : public Clock {
 public:
  Milliseconds NowMs() const override { return nowMs; }
  Milliseconds nowMs = 0;
};

TEST(SdlWaitTimeout, SleepsUntilTheNextDeadlineWithinTheBound) {
  EXPECT_EQ(WaitTimeoutMs(1000, std::nullopt, std::nullopt, 500), 500)
      << "nothing scheduled: the bound alone";
  EXPECT_EQ(WaitTimeoutMs(1000, 1120, std::nullopt, 500), 120);
  EXPECT_EQ(WaitTimeoutMs(1000, 1800, std::nullopt, 500), 500);
  EXPECT_EQ(WaitTimeoutMs(1000, 1120, 1050, 500), 50) << "the end of a frame comes first";
  EXPECT_EQ(WaitTimeoutMs(1000, 1120, 1300, 500), 120);
  EXPECT_EQ(WaitTimeoutMs(1000, 900, std::nullopt, 500), 0) << "an overdue timer: no sleep";
  EXPECT_EQ(WaitTimeoutMs(1000, 1000, std::nullopt, 500), 0);
  EXPECT_EQ(WaitTimeoutMs(0, std::nullopt, std::nullopt, -3), 0) << "a bad bound never sleeps";
}

class SdlEventLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    ClearTerminationRequest();
  }
  void TearDown() override {
    ClearTerminationRequest();
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
  }
  static void PushWindowEvent(std::uint32_t windowId, std::uint8_t what) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = windowId;
    event.window.event = what;
    ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
  }

  ManualClock clock;
  NullTrace trace;
  SdlEventLoop loop{clock, trace, 250};
};

TEST_F(SdlEventLoopTest, EventsGoToTheHandlerOfTheirWindowOthersAreDropped) {
  std::vector<std::string> seen;
  loop.SetWindowHandler(
      7, [&](const SDL_Event& e) { seen.push_back("seven:" + std::to_string(e.window.event)); });
  loop.SetWindowHandler(9, [&](const SDL_Event&) { seen.push_back("nine"); });
  PushWindowEvent(7, SDL_WINDOWEVENT_EXPOSED);
  PushWindowEvent(8, SDL_WINDOWEVENT_EXPOSED);
  PushWindowEvent(9, SDL_WINDOWEVENT_CLOSE);
  loop.DoEvents();
  EXPECT_EQ(seen,
            (std::vector<std::string>{"seven:" + std::to_string(SDL_WINDOWEVENT_EXPOSED), "nine"}));
}

TEST_F(SdlEventLoopTest, AHandlerMayRemoveItselfAndPumpAgain) {
  int calls = 0;
  int nestedTicks = 0;
  auto timer = loop.CreateTimer("t", [&] { ++nestedTicks; });
  timer->SetInterval(10);
  timer->SetEnabled(true);
  loop.SetWindowHandler(3, [&](const SDL_Event&) {
    ++calls;
    loop.RemoveWindowHandler(3);
    clock.nowMs = 10;
    loop.DoEvents();  // re-entrant, as DoEvents inside a handler is
  });
  PushWindowEvent(3, SDL_WINDOWEVENT_EXPOSED);
  PushWindowEvent(3, SDL_WINDOWEVENT_EXPOSED);
  loop.DoEvents();
  EXPECT_EQ(calls, 1) << "the second event came after the handler was removed";
  EXPECT_EQ(nestedTicks, 1) << "the nested pump ran the timer that fell due";
}

TEST_F(SdlEventLoopTest, TimersFireOnlyWhenDueAndWhilePumped) {
  std::vector<Milliseconds> ticks;
  auto timer = loop.CreateTimer("tmrAudio", [&] { ticks.push_back(clock.NowMs()); });
  timer->SetInterval(500);
  timer->SetEnabled(true);
  clock.nowMs = 499;
  loop.DoEvents();
  EXPECT_TRUE(ticks.empty());
  clock.nowMs = 1700;  // three periods late: one coalesced tick
  loop.DoEvents();
  loop.DoEvents();
  EXPECT_EQ(ticks, (std::vector<Milliseconds>{1700}));
  EXPECT_EQ(loop.Timers().NextDeadline(), 2000) << "the phase of the period is kept";
}

TEST_F(SdlEventLoopTest, ASignalOrTheEndTimeUnwindsAnyPump) {
  RequestTermination();
  try {
    loop.DoEvents();
    FAIL() << "expected Terminated after a termination request";
  } catch (const Terminated& ended) {
    EXPECT_EQ(ended.reason, "signal");
  }
  ClearTerminationRequest();

  loop.SetEndTime(2000);
  clock.nowMs = 1999;
  EXPECT_NO_THROW(loop.DoEvents());
  // Also from inside a timer's handler, past the core's own frames.
  auto timer = loop.CreateTimer("t", [&] {
    clock.nowMs = 2000;
    loop.DoEvents();
  });
  timer->SetInterval(1);
  timer->SetEnabled(true);
  clock.nowMs = 1999 + 1;
  try {
    loop.DoEvents();
    FAIL() << "expected Terminated at the end time";
  } catch (const Terminated& ended) {
    EXPECT_EQ(ended.reason, "run-for");
  }
}

TEST(SdlEventLoopRealTime, WaitUntilSleepsToItsDeadlineRunningTimersOnTheWay) {
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError();
  SteadyClock clock;
  NullTrace trace;
  SdlEventLoop loop{clock, trace, 250};
  int ticks = 0;
  auto timer = loop.CreateTimer("t", [&] { ++ticks; });
  timer->SetInterval(10);
  timer->SetEnabled(true);
  const Milliseconds start = clock.NowMs();
  loop.WaitUntil(start + 35);
  EXPECT_GE(clock.NowMs(), start + 35);
  EXPECT_GE(ticks, 2) << "a 10 ms timer during a 35 ms wait";
  timer.reset();
  SDL_QuitSubSystem(SDL_INIT_EVENTS);
}

}  // namespace
}  // namespace vistel
