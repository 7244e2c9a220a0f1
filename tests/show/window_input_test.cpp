// How input ends a full-screen show: mouse travel beyond 50 pixels within
// 800 ms, a pending quit from a key or a click, and input on a video.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>

#include "show/show_engine.hpp"
#include "show/show_fixture.hpp"

namespace vistel::testing {
namespace {

// The single close request of a run, checked for its reason and time.
void ExpectOneClose(const ShowRun& run, std::string_view reason, double atMs) {
  const auto closes = run.Events("close");
  ASSERT_EQ(closes.size(), 1U) << "expected one close request";
  EXPECT_EQ(closes[0]["reason"], reason);
  EXPECT_EQ(closes[0]["refused"], false);
  EXPECT_EQ(closes[0]["t"].get<double>(), atMs);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_FALSE(run.Exit().contains("reason")) << "the show, not --run-for, ended the run";
}

void ExpectNoClose(const ShowRun& run) {
  EXPECT_TRUE(run.Events("close").empty()) << "expected the show to go on";
  EXPECT_EQ(run.Exit()["reason"], "run-for");
}

class InputShow : public ShowFixture {
 protected:
  // Plays `package` full screen with the input script for three seconds.
  ShowRun PlayWithInput(const std::string& package, const std::vector<Json>& input) {
    return Play(package, {"--input", InputScript(input), "--run-for", "3", "/s"});
  }
};

// A ten-second image screen.
class ShowInput : public InputShow {
 protected:
  void SetUp() override {
    InputShow::SetUp();
    package_ = Build({ImageScreen(10.0F)});
  }
  ShowRun Run(const std::vector<Json>& input) { return PlayWithInput(package_, input); }
  std::string package_;
};

using MouseTravel = ShowInput;
using PendingQuit = ShowInput;

TEST_F(MouseTravel, FiftyFivePixelsInOneMoveClose) {
  // 30 right and 25 down: a city-block distance of 55.
  ExpectOneClose(Run({MoveAt(100, 100, 100), MoveAt(200, 130, 125)}), "mouse", 200);
}

TEST_F(MouseTravel, FiftyDoNotButOneMorePixelWithinTheResetTimeDoes) {
  ExpectNoClose(Run({MoveAt(100, 100, 100), MoveAt(200, 125, 125)}));
  ExpectOneClose(Run({MoveAt(100, 100, 100), MoveAt(200, 125, 125), MoveAt(900, 126, 125)}),
                 "mouse", 900);
}

TEST_F(MouseTravel, TheFirstMoveOnlyRecordsThePosition) {
  // Far from anything the window knew: no travel is counted; the next,
  // short move is measured from the recorded point.
  ExpectNoClose(Run({MoveAt(100, 790, 590), MoveAt(200, 780, 585)}));
  ExpectNoClose(Run({MoveAt(100, 0, 0)}));
}

TEST_F(MouseTravel, APauseOfTheResetTimeForgetsTheTravel) {
  // 40 pixels, then 40 more a second later: the sum was reset in between.
  ExpectNoClose(Run({MoveAt(100, 100, 100), MoveAt(200, 140, 100), MoveAt(1200, 180, 100)}));
  // Half a second apart they add up to 80.
  ExpectOneClose(Run({MoveAt(100, 100, 100), MoveAt(200, 140, 100), MoveAt(700, 180, 100)}),
                 "mouse", 700);
}

TEST_F(MouseTravel, SmallMovesAddUpWhileTheyKeepComing) {
  // 26 moves of 2 pixels, 100 ms apart: the 26th passes 50.
  std::vector<Json> input = {MoveAt(100, 10, 10)};
  for (int i = 1; i <= 26; ++i) input.push_back(MoveAt(100 + 100.0 * i, 10 + 2 * i, 10));
  ExpectOneClose(Run(input), "mouse", 100 + 100.0 * 26);
}

TEST_F(MouseTravel, SubPixelJitterIsNoTravel) {
  std::vector<Json> input = {MoveAt(100, 200, 200)};
  for (int i = 1; i <= 60; ++i)
    input.push_back(MoveAt(100 + 20.0 * i, i % 2 == 0 ? 200 : 200.4, 200));
  ExpectNoClose(Run(input));
}

TEST_F(PendingQuit, AKeyWithTheMouseStillClosesWithinTheResetTime) {
  // The reset timer of the window's load has long fired: only the key's own
  // restart of it acts on the pending quit.
  const ShowRun run = Run({KeyAt(1000, 'a')});
  ExpectOneClose(run, "input", 1800);
}

TEST_F(PendingQuit, AClickWithTheMouseStillClosesWithinTheResetTime) {
  ExpectOneClose(Run({ClickAt(1500, 400, 300)}), "input", 2300);
  ExpectOneClose(Run({ClickAt(1500, 400, 300, 2)}), "input", 2300);
}

TEST_F(PendingQuit, MovesAfterTheKeyPutTheCloseOffUntilTheMouseRests) {
  // Small moves keep restarting the reset timer; the quit is acted on 800 ms
  // after the last of them.
  ExpectOneClose(
      Run({KeyAt(1000, 'q'), MoveAt(1100, 50, 50), MoveAt(1500, 52, 50), MoveAt(1900, 54, 50)}),
      "input", 2700);
}

TEST_F(PendingQuit, NothingClosesWithoutInput) {
  const ShowRun run = Run({});
  ExpectNoClose(run);
  EXPECT_EQ(run.ScreenOrder(), (std::vector<int>{0}));
}

TEST_F(PendingQuit, TheCloseStopsTheTimersAndShowsTheCursor) {
  const ShowRun run = Run({KeyAt(500, ' ')});
  const auto closes = run.Events("close");
  ASSERT_EQ(closes.size(), 1U);
  const double closedAt = closes[0]["t"].get<double>();
  for (const char* name : {"timInterval", "timReset"}) {
    bool stopped = false;
    for (const Json& e : run.Events("timer")) {
      if (e["name"] == name && e["enabled"] == false && e["t"].get<double>() == closedAt) {
        stopped = true;
      }
    }
    EXPECT_TRUE(stopped) << name << " was expected to stop at the close, " << closedAt << " ms";
  }
}

TEST_F(PendingQuit, AKeyDuringAPaintEffectClosesAtItsNextFrame) {
  ScreenSettings effect = ImageScreen(5.0F, 0xFFFFFF);
  effect.EffectCode = 2010;
  const std::string package = Build({ImageScreen(1.0F), effect});
  const ShowRun quiet = Play(package, {"--screen", "80x60", "--run-for", "3", "/s"});
  const auto effects = quiet.Events("effect");
  const auto reveals = quiet.Events("reveal");
  ASSERT_EQ(effects.size(), 2U);
  ASSERT_EQ(reveals.size(), 2U);
  const double from = effects[1]["t"].get<double>(), to = reveals[1]["t"].get<double>();
  ASSERT_GT(to - from, 64.0) << "the effect was expected to take several frames";

  const double keyAt = std::floor((from + to) / 2);
  const ShowRun run = Play(package, {"--screen", "80x60", "--input",
                                     InputScript({KeyAt(keyAt, 'e')}), "--run-for", "3", "/s"});
  const auto closes = run.Events("close");
  ASSERT_EQ(closes.size(), 1U);
  EXPECT_EQ(closes[0]["reason"], "input");
  EXPECT_GE(closes[0]["t"].get<double>(), keyAt);
  EXPECT_LE(closes[0]["t"].get<double>(), keyAt + 16) << "at the frame after the key";
  EXPECT_EQ(run.Events("reveal").size(), 1U) << "the effect never finished";
}

TEST_F(PendingQuit, AKeyDuringACrossFadeStopsItAndClosesWithinTheResetTime) {
  ScreenSettings white = ImageScreen(10.0F, 0xFFFFFF);
  white.EffectCode = kCrossFadeEffect;
  white.CrossFadeParam = 200;  // 201 frames, over 3 s
  const std::string package = Build({ImageScreen(1.0F), white});
  const ShowRun run = Play(package, {"--screen", "80x60", "--input",
                                     InputScript({KeyAt(1500, 'f')}), "--run-for", "5", "/s"});
  const auto fades = run.Events("crossfade");
  ASSERT_EQ(fades.size(), 1U);
  EXPECT_LT(fades[0]["frames"].get<int>(), 201) << "the fade stops early";
  const auto closes = run.Events("close");
  ASSERT_EQ(closes.size(), 1U);
  EXPECT_EQ(closes[0]["reason"], "input");
  EXPECT_GE(closes[0]["t"].get<double>(), 1500.0);
  // The key reaches the window at the next frame's pump (16 ms at most).
  EXPECT_LE(closes[0]["t"].get<double>(), 1500.0 + 16 + 800);
}

class VideoInput : public InputShow {
 protected:
  void SetUp() override {
    InputShow::SetUp();
    // A 4-second clip at its own size (code 3), in the middle of the screen.
    ScreenSettings video = ImageScreen(0.0F);
    video.ScreenKind = 1;
    video.VideoSize = 3;
    video.VideoPlacement = 0;
    PackagePlan plan;
    plan.package.Screens = {video, ImageScreen(5.0F)};
    plan.media.push_back({MediumSlot::Video, 0, Clip("clip.mpg", {160, 120}, 100), "video"});
    package_ = Build(std::move(plan));
  }
  std::string package_;
};

// Input over the playing clip, whose centre is at (cx, cy) pixels: moves are
// mouse travel as anywhere else; a click, or a key with the pointer over the
// clip, is the video's input and closes 500 ms later.
struct OverTheVideo {
  const char* name;
  std::vector<std::array<double, 3>> moves;  // t, dx, dy from the centre
  enum class Then { Nothing, Click, Key } then;
  const char* closeReason;  // nullptr: no close
  double closeAt;
};

class InputOverTheVideo : public VideoInput, public ::testing::WithParamInterface<OverTheVideo> {};

TEST_P(InputOverTheVideo, MovesAreTravelClicksAndKeysAreTheVideos) {
  const OverTheVideo& c = GetParam();
  const ShowRun probe = Play(package_, {"--run-for", "1", "/s"});
  Json placed;
  for (const Json& e : probe.Events("video")) {
    if (e["state"] == "placed") placed = e;
  }
  ASSERT_FALSE(placed.is_null()) << "the clip was expected to be placed";
  ASSERT_GT(placed["width"].get<double>(), 0.0);
  const double cx = (placed["left"].get<double>() + placed["width"].get<double>() / 2) / 15;
  const double cy = (placed["top"].get<double>() + placed["height"].get<double>() / 2) / 15;

  std::vector<Json> input;
  for (const auto& [t, dx, dy] : c.moves) input.push_back(MoveAt(t, cx + dx, cy + dy));
  if (c.then == OverTheVideo::Then::Click) input.push_back(ClickAt(1200, cx, cy));
  if (c.then == OverTheVideo::Then::Key) input.push_back(KeyAt(1200, 'k'));
  const ShowRun run = PlayWithInput(package_, input);
  if (c.closeReason == nullptr) {
    ExpectNoClose(run);
  } else {
    ExpectOneClose(run, c.closeReason, c.closeAt);
  }
}

INSTANTIATE_TEST_SUITE_P(
    MovesClicksKeys, InputOverTheVideo,
    ::testing::Values(
        OverTheVideo{"first_move", {{1000, 0, 0}}, OverTheVideo::Then::Nothing, nullptr, 0},
        OverTheVideo{"jitter",
                     {{1000, 0, 0}, {1100, 1, 0}, {1200, 0, 1}, {1300, 0, 0}},
                     OverTheVideo::Then::Nothing,
                     nullptr,
                     0},
        OverTheVideo{
            "travel", {{1000, 0, 0}, {1100, 30, 25}}, OverTheVideo::Then::Nothing, "mouse", 1100},
        OverTheVideo{"click", {}, OverTheVideo::Then::Click, "video", 1700},
        OverTheVideo{"key_over_the_clip", {{1000, 0, 0}}, OverTheVideo::Then::Key, "video", 1700}),
    [](const ::testing::TestParamInfo<OverTheVideo>& param) { return param.param.name; });

TEST_F(VideoInput, AKeyDuringTheClipEndsTheShowWhileTheClipPlays) {
  const ShowRun run = PlayWithInput(package_, {KeyAt(1000, 'k')});
  const auto closes = run.Events("close");
  ASSERT_EQ(closes.size(), 1U);
  EXPECT_LE(closes[0]["t"].get<double>(), 1800.0) << "the pending quit is acted on in time";
  EXPECT_GT(closes[0]["t"].get<double>(), 1000.0) << "a key never closes at once";
  EXPECT_EQ(run.ScreenOrder(), (std::vector<int>{0})) << "the clip was still playing";
}

TEST_F(VideoInput, ARefusedCloseOnTheVideoLetsTheClipPlayToItsEnd) {
  const std::string registry = RegistryFile(
      "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n\"ScreenSaveUsePassword\"=\"1\"\r\n\r\n");
  const ShowRun run =
      Play(package_, {"--os", "98", "--registry", registry, "--password-replies", "false",
                      "--input", InputScript({ClickAt(1000, 5, 5)}), "--run-for", "7", "/s"});
  // The click's pending quit is refused once and nothing asks again. The
  // clip's notifications rewound it while the quit was pending; from the
  // refusal on it plays its 4 s to the end, and the next screen follows.
  const auto closes = run.Events("close");
  ASSERT_EQ(closes.size(), 1U);
  EXPECT_EQ(closes[0]["refused"], true);
  const double refusedAt = closes[0]["t"].get<double>();
  Json ended;
  for (const Json& e : run.Events("video")) {
    if (e["state"] == "ended" && ended.is_null()) ended = e;
  }
  ASSERT_FALSE(ended.is_null()) << "the clip was expected to end";
  EXPECT_NEAR(ended["t"].get<double>(), refusedAt + 4000.0, 150.0);
  EXPECT_EQ(run.ScreenOrder(), (std::vector<int>{0, 1}));
  for (const Json& e : run.Events("timer")) {
    if (e["name"] == "tmrVideo" && e["t"].get<double>() > refusedAt) {
      EXPECT_EQ(e["enabled"], false) << e.dump();
    }
  }
}

TEST_F(VideoInput, TheNextScreenFollowsHalfASecondAfterTheClipEnds) {
  const ShowRun run = Play(package_, {"--run-for", "8", "/s"});
  Json ended;
  for (const Json& e : run.Events("video")) {
    if (e["state"] == "ended" && ended.is_null()) ended = e;
  }
  ASSERT_FALSE(ended.is_null()) << "the clip was expected to end";
  // 100 frames at 25 a second, whatever the screen's DisplaySeconds says.
  EXPECT_NEAR(ended["t"].get<double>(), 4000.0, 100.0);
  const auto screens = run.Events("screen");
  ASSERT_GE(screens.size(), 2U);
  EXPECT_EQ(screens[1]["index"], 1);
  EXPECT_EQ(screens[1]["t"].get<double>(), ended["t"].get<double>() + 500.0);
}

}  // namespace
}  // namespace vistel::testing
