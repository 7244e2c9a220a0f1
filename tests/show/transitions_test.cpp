// Transitions in whole shows: configured and random paint effects as the
// trace reports them, and the cross-fade's frames.
#include <gtest/gtest.h>

#include "show/show_engine.hpp"
#include "show/show_fixture.hpp"

namespace vistel::testing {
namespace {

using TransitionsShow = ShowFixture;

bool InAGroup(int code) {
  for (const EffectGroup& g : kEffectGroups) {
    if (code >= g.base && code <= g.base + g.span) return true;
  }
  return false;
}

TEST_F(TransitionsShow, ConfiguredEffectReachesTheSurfaceSettingBySetting) {
  ScreenSettings s = ImageScreen(1.0F);
  s.EffectCode = 2010;
  s.EffectParam1 = 11;
  s.EffectParam2 = 300;
  s.EffectParam3 = 3;
  s.EffectParam4 = 70000;
  s.EffectParam5 = 5;
  s.EffectParam6 = 66;
  s.EffectParam7 = 77;
  s.EffectParam8 = 88;
  s.EffectParam9 = 99;
  s.EffectParam10 = 10;
  s.EffectParam11 = 12;
  s.EffectParam12 = 120;
  s.EffectParam13 = 130;
  s.EffectParam14 = 140;
  const ShowRun run = Play(Build({s}), {"--run-for", "0.5", "/s"});
  const auto effects = run.Events("effect");
  ASSERT_EQ(effects.size(), 1U);
  EXPECT_EQ(effects[0]["code"], 2010);
  EXPECT_EQ(effects[0]["settings"],
            Json::parse("[11,300,3,70000,5,66,77,88,99,10,12,120,130,140]"));
  // The reveal comes after the effect has run its frames in virtual time.
  const auto reveal = run.Events("reveal");
  ASSERT_EQ(reveal.size(), 1U);
  EXPECT_GT(reveal[0]["t"].get<double>(), effects[0]["t"].get<double>());
}

TEST_F(TransitionsShow, RandomEffectsComeFromTheGroupsAndNeverRepeat) {
  std::vector<ScreenSettings> screens(3, ImageScreen(0.2F));
  screens[1].EffectCode = -100;  // random effects replace cross-fades too
  screens[1].CrossFadeParam = 8;
  GlobalSettings global;
  global.RandomEffects = true;
  // A small screen keeps the effects' frames cheap.
  const ShowRun run = Play(Build(screens, global), {"--screen", "80x60", "--run-for", "20", "/s"});
  const auto effects = run.Events("effect");
  ASSERT_GT(effects.size(), 10U);
  EXPECT_TRUE(run.Events("crossfade").empty());
  EXPECT_NE(effects[0]["settings"][9], 0) << "the first r10 differs from the stored 0";
  for (std::size_t i = 0; i < effects.size(); ++i) {
    const int code = effects[i]["code"];
    const int r10 = effects[i]["settings"][9];
    const int r11 = effects[i]["settings"][10];
    EXPECT_TRUE(InAGroup(code)) << code;
    EXPECT_EQ(effects[i]["settings"][0], 1);
    EXPECT_GE(r10, 0);
    EXPECT_LE(r10, 15);
    EXPECT_GE(r11, 1);
    EXPECT_LE(r11, 16);
    if (i == 0) continue;
    EXPECT_NE(code, effects[i - 1]["code"].get<int>()) << "at " << i;
    EXPECT_NE(r10, effects[i - 1]["settings"][9].get<int>()) << "at " << i;
    EXPECT_NE(r11, effects[i - 1]["settings"][10].get<int>()) << "at " << i;
  }
  // Not seeded without random screen order: every run draws the same effects.
  const ShowRun again = Play(Build(screens, global), {"--screen", "80x60", "--run-for", "20", "/s"});
  EXPECT_EQ(again.Events("effect"), effects);
}

class CrossFadeShow : public ShowFixture {
 protected:
  // Black, then white with a cross-fade of `steps`.
  ShowRun FadeToWhite(std::int16_t steps, std::vector<std::string> extra = {}) {
    ScreenSettings black = ImageScreen(1.0F, 0);
    ScreenSettings white = ImageScreen(10.0F, static_cast<std::int32_t>(MakeColorRef(255, 255, 255)));
    white.EffectCode = kCrossFadeEffect;
    white.CrossFadeParam = steps;
    std::vector<std::string> args = {"--run-for", "9"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back("/s");
    return Play(Build({black, white}), args);
  }
};

TEST_F(CrossFadeShow, DrawsStepsPlusOneFramesOneFramePeriodEach) {
  const ShowRun run = FadeToWhite(4, {"--snapshot", "1.020:" + Path("f1.png"), "--snapshot",
                                      "1.036:" + Path("f2.png"), "--snapshot", "2:" + Path("end.png")});
  const auto fades = run.Events("crossfade");
  ASSERT_EQ(fades.size(), 1U);
  EXPECT_EQ(fades[0]["steps"], 4);
  EXPECT_EQ(fades[0]["frames"], 5);
  // Five frames of 16 ms: the fade ends 80 ms after the step began.
  EXPECT_EQ(fades[0]["t"].get<double>(), 1080.0);
  // Frame 1 shows grey 64 (255 / 4 rounded), frame 2 grey 128 (127.5 to even).
  const auto f1 = ReadPng(Path("f1.png"));
  const auto f2 = ReadPng(Path("f2.png"));
  const auto end = ReadPng(Path("end.png"));
  ASSERT_TRUE(f1 && f2 && end);
  EXPECT_EQ(f1->At(10, 10), MakePixel(64, 64, 64));
  EXPECT_EQ(f2->At(10, 10), MakePixel(128, 128, 128));
  EXPECT_EQ(end->At(10, 10), MakePixel(255, 255, 255));
  // After the fade the revealing repaint is a plain one.
  const auto effects = run.Events("effect");
  ASSERT_EQ(effects.size(), 2U);
  EXPECT_EQ(effects[1]["code"], 1000);
  // The screen's time counts from the reveal after the fade.
  const auto screens = run.Events("screen");
  ASSERT_GE(screens.size(), 2U);
}

TEST_F(CrossFadeShow, OneStepShowsTheOldScreenThenTheNew) {
  const ShowRun run = FadeToWhite(1);
  const auto fades = run.Events("crossfade");
  ASSERT_EQ(fades.size(), 1U);
  EXPECT_EQ(fades[0]["frames"], 2);
}

TEST_F(CrossFadeShow, ZeroStepsShowsTheNewScreenAtOnce) {
  const ShowRun run = FadeToWhite(0, {"--snapshot", "1.001:" + Path("s.png")});
  const auto fades = run.Events("crossfade");
  ASSERT_EQ(fades.size(), 1U);
  EXPECT_EQ(fades[0]["frames"], 0);
  const auto shot = ReadPng(Path("s.png"));
  ASSERT_TRUE(shot);
  EXPECT_EQ(shot->At(5, 5), MakePixel(255, 255, 255));
}

TEST_F(CrossFadeShow, StepCountsAbove128FadeToTheEnd) {
  const ShowRun run = FadeToWhite(200, {"--screen", "80x60", "--snapshot", "5:" + Path("s.png")});
  const auto fades = run.Events("crossfade");
  ASSERT_EQ(fades.size(), 1U);
  EXPECT_EQ(fades[0]["frames"], 201);
  const auto shot = ReadPng(Path("s.png"));
  ASSERT_TRUE(shot);
  EXPECT_EQ(shot->At(5, 5), MakePixel(255, 255, 255));
}

TEST_F(CrossFadeShow, AKeyPressStopsTheFadeOnAPartlyBlendedFrame) {
  std::ofstream(Path("input.jsonl")) << R"({"t":1040,"ev":"key","code":32})" << "\n";
  const ShowRun run = FadeToWhite(100, {"--input", Path("input.jsonl")});
  const auto fades = run.Events("crossfade");
  ASSERT_EQ(fades.size(), 1U);
  const int frames = fades[0]["frames"];
  EXPECT_GE(frames, 3);
  EXPECT_LE(frames, 5);
}

TEST_F(CrossFadeShow, AKeyPressedJustBeforeAFadeIsNotForgotten) {
  std::ofstream(Path("input.jsonl")) << R"({"t":500,"ev":"key","code":32})" << "\n";
  const ShowRun run = FadeToWhite(50, {"--input", Path("input.jsonl")});
  const auto fades = run.Events("crossfade");
  ASSERT_EQ(fades.size(), 1U);
  EXPECT_EQ(fades[0]["frames"], 1) << "the pending quit stops the fade at once";
  const auto closes = run.Events("close");
  ASSERT_EQ(closes.size(), 1U);
  EXPECT_EQ(closes[0]["reason"], "input");
  EXPECT_EQ(closes[0]["t"].get<double>(), 1300.0) << "800 ms after the key";
  EXPECT_EQ(run.Exit()["code"], 0);
}

TEST_F(CrossFadeShow, TheFirstScreenHasNothingToFadeFrom) {
  ScreenSettings white = ImageScreen(1.0F, static_cast<std::int32_t>(MakeColorRef(255, 255, 255)));
  white.EffectCode = kCrossFadeEffect;
  white.CrossFadeParam = 10;
  const ShowRun run = Play(Build({white}), {"--run-for", "0.5", "--snapshot", "0.1:" + Path("s.png"), "/s"});
  const auto fades = run.Events("crossfade");
  ASSERT_EQ(fades.size(), 1U);
  EXPECT_EQ(fades[0]["frames"], 0);
  const auto shot = ReadPng(Path("s.png"));
  ASSERT_TRUE(shot);
  EXPECT_EQ(shot->At(5, 5), MakePixel(255, 255, 255));
}

TEST_F(CrossFadeShow, AVideoScreenNeverCrossFadesAndKeepsTheEffectSettings) {
  ScreenSettings effect = ImageScreen(1.0F);
  effect.EffectCode = 5100;
  effect.EffectParam1 = 3;
  ScreenSettings video = ImageScreen(1.0F);
  video.ScreenKind = 1;
  video.EffectCode = kCrossFadeEffect;
  video.CrossFadeParam = 5;
  const ShowRun run =
      Play(Build({effect, video}), {"--screen", "80x60", "--run-for", "8", "/s"});
  EXPECT_TRUE(run.Events("crossfade").empty());
  // The video screen (without a clip, it moves on after its DisplaySeconds)
  // reveals with the image screen's settings every time.
  const auto effects = run.Events("effect");
  ASSERT_GE(effects.size(), 2U);
  for (std::size_t i = 1; i < effects.size(); i += 2) {
    EXPECT_EQ(effects[i]["code"], 5100);
    EXPECT_EQ(effects[i]["settings"], effects[0]["settings"]);
  }
}

}  // namespace
}  // namespace vistel::testing
