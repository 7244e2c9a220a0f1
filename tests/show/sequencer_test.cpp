// The order and timing of screens in whole headless shows.
#include <gtest/gtest.h>

#include <set>

#include "show/show_fixture.hpp"

namespace vistel::testing {
namespace {

using SequencerShow = ShowFixture;

TEST_F(SequencerShow, SequentialOrderWrapsAfterTheLastScreen) {
  const std::string package = Build({ImageScreen(1.0F), ImageScreen(1.0F), ImageScreen(1.0F)});
  const ShowRun run = Play(package, {"--run-for", "4.5", "/s"});
  EXPECT_EQ(run.exitCode, 0) << run.errors;
  EXPECT_EQ(run.ScreenOrder(), (std::vector<int>{0, 1, 2, 0, 1}));
  // DisplaySeconds counts from the revealing repaint, which is instant here.
  const auto screens = run.Events("screen");
  ASSERT_GE(screens.size(), 3U);
  EXPECT_EQ(screens[1]["t"].get<double>(), 1000.0);
  EXPECT_EQ(screens[2]["t"].get<double>(), 2000.0);
  EXPECT_EQ(run.Exit()["ev"], "exit");
  EXPECT_EQ(run.Exit()["reason"], "run-for");
}

TEST_F(SequencerShow, OneScreenFollowsItself) {
  const std::string package = Build({ImageScreen(0.5F)});
  const ShowRun run = Play(package, {"--run-for", "1.6", "/s"});
  EXPECT_EQ(run.ScreenOrder(), (std::vector<int>{0, 0, 0, 0}));
}

TEST_F(SequencerShow, RandomOrderNeverRepeatsAndNeverStartsAtZero) {
  std::vector<ScreenSettings> screens(4, ImageScreen(0.1F));
  GlobalSettings global;
  global.RandomScreenOrder = true;
  const std::string package = Build(screens, global);
  for (const char* seed : {"1", "2", "3"}) {
    const ShowRun run = Play(package, {"--seed", seed, "--run-for", "5", "/s"});
    const std::vector<int> order = run.ScreenOrder();
    ASSERT_GT(order.size(), 40U) << "seed " << seed;
    EXPECT_NE(order.front(), 0) << "seed " << seed;
    std::set<int> seen;
    for (std::size_t i = 0; i < order.size(); ++i) {
      seen.insert(order[i]);
      if (i > 0) {
        EXPECT_NE(order[i], order[i - 1]) << "seed " << seed << " at " << i;
      }
    }
    EXPECT_EQ(seen.size(), 4U) << "seed " << seed;
  }
  // The same seed gives the same show.
  EXPECT_EQ(Play(package, {"--seed", "7", "--run-for", "2", "/s"}).ScreenOrder(),
            Play(package, {"--seed", "7", "--run-for", "2", "/s"}).ScreenOrder());
}

TEST_F(SequencerShow, RandomOrderWithOneScreenKeepsShowingIt) {
  GlobalSettings global;
  global.RandomScreenOrder = true;
  const std::string package = Build({ImageScreen(0.5F)}, global);
  const ShowRun run = Play(package, {"--seed", "3", "--run-for", "1.2", "/s"});
  EXPECT_EQ(run.ScreenOrder(), (std::vector<int>{0, 0, 0}));
}

TEST_F(SequencerShow, ZeroSecondsStaysOnTheScreen) {
  const std::string package = Build({ImageScreen(0.0F), ImageScreen(1.0F)});
  const ShowRun run = Play(package, {"--run-for", "10", "/s"});
  EXPECT_EQ(run.ScreenOrder(), (std::vector<int>{0}));
  EXPECT_EQ(run.Exit()["reason"], "run-for");
}

TEST_F(SequencerShow, TimersStartInTheirDesignStateAndTheScreenTimerFollowsTheScreen) {
  const std::string package = Build({ImageScreen(1.5F), ImageScreen(2.25F)});
  const ShowRun run = Play(package, {"--run-for", "2", "/s"});
  std::map<std::string, Json> initial;
  for (const Json& e : run.Events("timer")) {
    if (!initial.contains(e["name"])) initial[e["name"]] = e;
  }
  ASSERT_EQ(initial.size(), 5U);
  EXPECT_EQ(initial["timInterval"]["interval"], 0);
  EXPECT_EQ(initial["timInterval"]["enabled"], false);
  EXPECT_EQ(initial["timNext"]["interval"], 500);
  EXPECT_EQ(initial["timNext"]["enabled"], false);
  EXPECT_EQ(initial["timReset"]["interval"], 800);
  EXPECT_EQ(initial["timReset"]["enabled"], true);
  EXPECT_EQ(initial["tmrAudio"]["interval"], 500);
  EXPECT_EQ(initial["tmrAudio"]["enabled"], true);
  EXPECT_EQ(initial["tmrVideo"]["interval"], 500);
  EXPECT_EQ(initial["tmrVideo"]["enabled"], false);
  std::vector<int> intervals;
  for (const Json& e : run.Events("timer")) {
    if (e["name"] == "timInterval") intervals.push_back(e["interval"].get<int>());
  }
  EXPECT_NE(std::find(intervals.begin(), intervals.end(), 1500), intervals.end());
  EXPECT_NE(std::find(intervals.begin(), intervals.end(), 2250), intervals.end());
  // No music in the package: the audio timer is switched off at start.
  bool audioOff = false;
  for (const Json& e : run.Events("timer")) {
    if (e["name"] == "tmrAudio" && e["enabled"] == false) audioOff = true;
  }
  EXPECT_TRUE(audioOff);
}

}  // namespace
}  // namespace vistel::testing
