// Video screens and captions in whole shows: the rectangles the trace
// reports, the hand-over after a clip, and a clip that does not open.
#include <gtest/gtest.h>

#include "show/show_fixture.hpp"

namespace vistel::testing {
namespace {

class VideoShow : public ShowFixture {
 protected:
  // A video screen with a 160 x 120 clip of `frames` frames (25 a second).
  ScreenSettings VideoScreen(std::int32_t size, std::int32_t placement) {
    ScreenSettings s = ImageScreen(3.0F);
    s.ScreenKind = 1;
    s.VideoSize = size;
    s.VideoPlacement = placement;
    return s;
  }
  std::string Package(std::vector<ScreenSettings> screens, int frames = 25) {
    PackagePlan plan;
    const std::string clip = Clip("clip.mpg", {160, 120}, frames);
    for (std::size_t i = 0; i < screens.size(); ++i) {
      if (screens[i].ScreenKind != 0) {
        plan.media.push_back({MediumSlot::Video, i, clip, "video"});
      }
    }
    plan.package.Screens = std::move(screens);
    return Build(std::move(plan));
  }
  static Json Placed(const ShowRun& run, std::size_t n = 0) {
    std::vector<Json> placed;
    for (const Json& e : run.Events("video")) {
      if (e["state"] == "placed") placed.push_back(e);
    }
    return n < placed.size() ? placed[n] : Json();
  }
};

TEST_F(VideoShow, SizeCodesScaleTheClipAndPlacementPutsItInTheWindow) {
  // Size 3: the clip's own size (160 x 120 px = 2400 x 1800 twips), centred.
  {
    const ShowRun run = Play(Package({VideoScreen(3, 0)}), {"--run-for", "0.5", "/s"});
    const Json placed = Placed(run);
    ASSERT_FALSE(placed.is_null());
    EXPECT_EQ(placed["width"], 2400.0);
    EXPECT_EQ(placed["height"], 1800.0);
    EXPECT_EQ(placed["left"], 12000.0 / 2 - 2400.0 / 2);
    EXPECT_EQ(placed["top"], 9000.0 / 2 - 1800.0 / 2);
  }
  // Size 7 doubles, placement 5 is flush with the bottom-right corner.
  {
    const ShowRun run = Play(Package({VideoScreen(7, 5)}), {"--run-for", "0.5", "/s"});
    const Json placed = Placed(run);
    EXPECT_EQ(placed["width"], 4800.0);
    EXPECT_EQ(placed["height"], 3600.0);
    EXPECT_EQ(placed["left"], 12000.0 - 4800.0);
    EXPECT_EQ(placed["top"], 9000.0 - 3600.0);
  }
  // Size 8 leaves the rectangle the control reported on opening.
  {
    const ShowRun run = Play(Package({VideoScreen(8, 1)}), {"--run-for", "0.5", "/s"});
    const Json placed = Placed(run);
    EXPECT_EQ(placed["width"], 2400.0);
    EXPECT_EQ(placed["left"], 0.0);
  }
  // Placement 9 with divisors 2 puts the top-left corner at the centre.
  {
    ScreenSettings s = VideoScreen(3, 9);
    s.VideoXDivisor = 2.0F;
    s.VideoYDivisor = 2.0F;
    const ShowRun run = Play(Package({s}), {"--run-for", "0.5", "/s"});
    EXPECT_EQ(Placed(run)["left"], 6000.0);
    EXPECT_EQ(Placed(run)["top"], 4500.0);
  }
}

TEST_F(VideoShow, ThePreviewScalesTheWindowSizeDownOnceMore) {
  const ShowRun run =
      Play(Package({VideoScreen(7, 1)}),
           {"--screen", "1024x768", "--window", "99:152x112", "--run-for", "0.5", "/p 99"});
  const Json placed = Placed(run);
  ASSERT_FALSE(placed.is_null());
  EXPECT_FLOAT_EQ(placed["width"].get<float>(), 2280.0F * 2280.0F / 15360.0F);
  EXPECT_FLOAT_EQ(placed["height"].get<float>(), 1680.0F * 1680.0F / 11520.0F);
}

TEST_F(VideoShow, TheNextScreenComesHalfASecondAfterTheClipEnds) {
  const ShowRun run =
      Play(Package({VideoScreen(3, 0), ImageScreen(1.0F)}, 25), {"--run-for", "3", "/s"});
  double ended = -1, playing = -1;
  for (const Json& e : run.Events("video")) {
    if (e["state"] == "playing" && playing < 0) playing = e["t"];
    if (e["state"] == "ended" && ended < 0) ended = e["t"];
  }
  ASSERT_GE(playing, 0.0);
  ASSERT_GT(ended, playing);
  // One second of clip (DisplaySeconds of the video screen does not count).
  EXPECT_NEAR(ended - playing, 1000.0, 40.0);
  const auto screens = run.Events("screen");
  ASSERT_GE(screens.size(), 2U);
  EXPECT_EQ(screens[1]["index"], 1);
  EXPECT_EQ(screens[1]["t"].get<double>(), ended + 500.0);
  // The image screen hides the video.
  bool hidden = false;
  for (const Json& e : run.Events("video")) hidden |= e["state"] == "hidden";
  EXPECT_TRUE(hidden);
}

TEST_F(VideoShow, ASingleVideoScreenReplaysFromAFreshExtraction) {
  const ShowRun run = Play(Package({VideoScreen(3, 0)}, 10), {"--run-for", "2.5", "/s"});
  EXPECT_GE(run.ScreenOrder().size(), 3U);
  int extracts = 0;
  for (const Json& e : run.Events("extract")) extracts += e["file"] == Path("tmp") + "/vid";
  EXPECT_EQ(static_cast<std::size_t>(extracts), run.ScreenOrder().size());
}

// A video screen that no clip end can move on: a clip that does not open, no
// clip at all, or a kind that is neither image (0) nor video (1), whose clip is
// prepared but never started.
struct SilentScreen {
  const char* name;
  std::int32_t kind;
  enum class Medium { Junk, None, Clip } medium;
};

class SilentVideoScreen : public VideoShow,
                          public ::testing::WithParamInterface<std::tuple<SilentScreen, float>> {};

TEST_P(SilentVideoScreen, MovesOnAfterItsDisplaySecondsOrHalfASecondAfterItsStep) {
  const auto& [silent, seconds] = GetParam();
  ScreenSettings video = VideoScreen(3, 0);
  video.ScreenKind = silent.kind;
  video.DisplaySeconds = seconds;
  PackagePlan plan;
  plan.package.Screens = {video, ImageScreen(5.0F)};
  if (silent.medium == SilentScreen::Medium::Junk) {
    std::ofstream(Path("junk.mpg")) << "not a clip at all";
    plan.media.push_back({MediumSlot::Video, 0, Path("junk.mpg"), "video"});
  } else if (silent.medium == SilentScreen::Medium::Clip) {
    plan.media.push_back({MediumSlot::Video, 0, Clip("clip.mpg", {160, 120}, 25), "video"});
  }
  const ShowRun run = Play(Build(plan), {"--run-for", "3", "/s"});
  const auto screens = run.Events("screen");
  ASSERT_EQ(screens.size(), 2U) << silent.name;
  EXPECT_EQ(screens[1]["index"], 1);
  // DisplaySeconds from the reveal when there are some; otherwise the
  // end-of-clip hand-over, 500 ms after the step.
  EXPECT_EQ(screens[1]["t"].get<double>(),
            run.First("reveal")["t"].get<double>() + (seconds > 0 ? 1500.0 : 500.0))
      << silent.name;
}

INSTANTIATE_TEST_SUITE_P(
    EveryKindOfSilence, SilentVideoScreen,
    ::testing::Combine(
        ::testing::Values(SilentScreen{"clip that does not open", 1, SilentScreen::Medium::Junk},
                          SilentScreen{"no clip ever opened", 1, SilentScreen::Medium::None},
                          SilentScreen{"kind 2 with a clip", 2, SilentScreen::Medium::Clip},
                          SilentScreen{"kind -1 without a clip", -1, SilentScreen::Medium::None}),
        ::testing::Values(1.5F, 0.0F)));

class CaptionShow : public ShowFixture {
 protected:
  Json Caption(std::vector<ScreenSettings> screens, std::vector<std::string> args = {"/s"}) {
    std::vector<std::string> all = {"--run-for", "0.5"};
    all.insert(all.end(), args.begin(), args.end());
    const ShowRun run = Play(Build(std::move(screens)), all);
    const auto captions = run.Events("caption");
    return captions.empty() ? Json() : captions.back();
  }
  static ScreenSettings Captioned(std::string text, std::int32_t placement,
                                  std::int32_t appearance = 0) {
    ScreenSettings s = ImageScreen(5.0F);
    s.CaptionText = std::move(text);
    s.CaptionPlacement = placement;
    s.CaptionAppearance = appearance;
    s.CaptionBackColor = 0xFFFFFF;
    return s;
  }
};

TEST_F(CaptionShow, BottomCentreIsFlushWithTheBottomEdge) {
  const Json c = Caption({Captioned("Hello, world", 4)});
  ASSERT_FALSE(c.is_null());
  EXPECT_EQ(c["visible"], true);
  EXPECT_EQ(c["top"].get<double>() + c["height"].get<double>(), 9000.0);
  // Centred to the pixel: the box snaps to whole pixels.
  EXPECT_NEAR(c["left"].get<double>(), (12000.0 - c["width"].get<double>()) / 2, 15.0);
  EXPECT_GT(c["width"].get<double>(), 0.0);
}

TEST_F(CaptionShow, ThreeDimensionalBoxesAre60TwipsLargerEachWay) {
  const Json flat = Caption({Captioned("Same text", 1, 0)});
  const Json raised = Caption({Captioned("Same text", 1, 1)});
  EXPECT_EQ(raised["width"].get<double>() - flat["width"].get<double>(), 60.0);
  EXPECT_EQ(raised["height"].get<double>() - flat["height"].get<double>(), 60.0);
}

TEST_F(CaptionShow, TwoLinesAreTwiceAsTallAsOneAndAsWideAsTheLonger) {
  const Json one = Caption({Captioned("A rather longer line", 1)});
  const Json two = Caption({Captioned("short\r\nA rather longer line", 1)});
  EXPECT_EQ(two["height"].get<double>(), 2 * one["height"].get<double>());
  EXPECT_EQ(two["width"].get<double>(), one["width"].get<double>());
}

TEST_F(CaptionShow, PlacementNineAndUnknownCodes) {
  ScreenSettings nine = Captioned("Centre corner", 9);
  nine.CaptionXDivisor = 2.0F;
  nine.CaptionYDivisor = 2.0F;
  const Json c = Caption({nine});
  EXPECT_EQ(c["left"], 6000.0);
  EXPECT_EQ(c["top"], 4500.0);
  // -1 keeps where the previous caption was.
  ScreenSettings first = Captioned("First", 5);
  first.DisplaySeconds = 0.2F;
  ScreenSettings kept = Captioned("Kept where it was", -1);
  const ShowRun run = Play(Build({first, kept}), {"--run-for", "0.5", "/s"});
  std::vector<Json> shown;
  for (const Json& e : run.Events("caption")) {
    if (e["visible"] == true) shown.push_back(e);
  }
  ASSERT_EQ(shown.size(), 2U);
  EXPECT_EQ(shown[1]["left"], shown[0]["left"]);
  EXPECT_EQ(shown[1]["top"], shown[0]["top"]);
  // The caption was hidden between the two screens.
  bool hidden = false;
  for (const Json& e : run.Events("caption")) hidden |= e["visible"] == false;
  EXPECT_TRUE(hidden);
}

TEST_F(CaptionShow, NoTextNoBoxAndThePreviewNeverShowsOne) {
  EXPECT_TRUE(Caption({ImageScreen(5.0F)}).is_null());
  const Json preview = Caption({Captioned("Hidden", 4)}, {"--window", "7:152x112", "/p 7"});
  ASSERT_FALSE(preview.is_null());
  EXPECT_EQ(preview["visible"], false);
  EXPECT_EQ(preview["top"].get<double>() + preview["height"].get<double>(), 112.0 * 15);
}

TEST_F(CaptionShow, TheCaptionIsDrawnOnTopOfTheSnapshot) {
  ScreenSettings s = Captioned("Visible text", 1);
  s.CaptionBackColor = static_cast<std::int32_t>(MakeColorRef(255, 255, 0));
  s.CaptionForeColor = 0;
  const std::string package = Build({s});
  const ShowRun run =
      Play(package, {"--run-for", "0.5", "--snapshot", "0.2:" + Path("s.png"), "/s"});
  const auto shot = ReadPng(Path("s.png"));
  ASSERT_TRUE(shot);
  const Json c = run.Events("caption").back();
  const int w = static_cast<int>(c["width"].get<double>() / 15);
  const int h = static_cast<int>(c["height"].get<double>() / 15);
  // The box's fill at its edges, text somewhere inside, the black background outside.
  EXPECT_EQ(shot->At(0, h - 1), MakePixel(255, 255, 0));
  EXPECT_EQ(shot->At(w - 1, 0), MakePixel(255, 255, 0));
  EXPECT_EQ(shot->At(w + 1, h + 1), MakePixel(0, 0, 0));
  int dark = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) dark += PixelRed(shot->At(x, y)) < 100;
  }
  EXPECT_GT(dark, 10) << "the text is drawn";
}

}  // namespace
}  // namespace vistel::testing
