// The order and timing of screens in whole headless shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
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

// Screen steps never nest, whatever the length of the reveal: each `screen`
// is followed by its own `reveal` before the next `screen` starts. The show
// alternates a clip that cannot be opened, with DisplaySeconds 0 (it hands
// over 500 ms after its step), and a short image screen, all revealed with
// the same transition.
struct Reveal {
  const char* name;
  std::int16_t effectCode;
  std::int16_t durationOrSteps;  // a paint effect's ms, or a cross-fade's steps
};

class NestedSteps : public SequencerShow, public ::testing::WithParamInterface<Reveal> {};

TEST_P(NestedSteps, EveryScreenIsRevealedBeforeTheNextStarts) {
  const Reveal& reveal = GetParam();
  std::ofstream(Path("junk.mpg")) << "not a clip at all";
  ScreenSettings silent = ImageScreen(0.0F);
  silent.ScreenKind = 1;
  ScreenSettings image = ImageScreen(0.1F, 0xFFFFFF);
  for (ScreenSettings* s : {&silent, &image}) {
    s->EffectCode = reveal.effectCode;
    s->EffectParam2 = reveal.durationOrSteps;
    s->CrossFadeParam = reveal.durationOrSteps;
  }
  PackagePlan plan;
  plan.package.Screens = {silent, image, silent, image};
  plan.media.push_back({MediumSlot::Video, 0, Path("junk.mpg"), "video"});
  plan.media.push_back({MediumSlot::Video, 2, Path("junk.mpg"), "video"});
  const ShowRun run = Play(Build(plan), {"--screen", "80x60", "--run-for", "25", "/s"});

  std::vector<std::string> steps;
  for (const Json& e : run.trace) {
    const std::string ev = e.value("ev", "");
    if (ev == "screen" || ev == "reveal")
      steps.push_back(ev + std::to_string(e["index"].get<int>()));
  }
  ASSERT_GE(steps.size(), 10U) << reveal.name << ": the show was expected to move on";
  for (std::size_t i = 0; i + 1 < steps.size(); i += 2) {
    ASSERT_EQ(steps[i].substr(0, 6), "screen") << reveal.name << " at step " << i;
    ASSERT_EQ(steps[i + 1], "reveal" + steps[i].substr(6))
        << reveal.name << ": " << steps[i] << " was followed by " << steps[i + 1];
  }
}

INSTANTIATE_TEST_SUITE_P(
    EffectsAndCrossFades, NestedSteps,
    ::testing::Values(Reveal{"plain repaint", 1000, 0}, Reveal{"effect 250 ms", 2010, 250},
                      Reveal{"effect 600 ms", 2010, 600}, Reveal{"effect 3 s", 2010, 3000},
                      Reveal{"cross-fade of 1 step", -100, 1},
                      Reveal{"cross-fade of 40 steps", -100, 40},
                      Reveal{"cross-fade of 200 steps", -100, 200}),
    [](const ::testing::TestParamInfo<Reveal>& param) {
      std::string name = param.param.name;
      std::replace_if(
          name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
      return name;
    });

}  // namespace
}  // namespace vistel::testing
