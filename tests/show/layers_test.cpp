// The background and image layers as the snapshots show them: positions and
// sizes computed from the placement and sizing rules, checked on pixels.
#include <gtest/gtest.h>

#include "show/show_fixture.hpp"

namespace vistel::testing {
namespace {

constexpr Pixel kRed = MakePixel(255, 0, 0);
constexpr Pixel kBlue = MakePixel(0, 0, 255);
constexpr ColorRef kBlueRef = MakeColorRef(0, 0, 255);

class LayersShow : public ShowFixture {
 protected:
  // One image screen on a blue background with a red picture of `size`,
  // snapshot at 0.5 s.
  Image Snapshot(IntSize pictureSize, const std::function<void(ScreenSettings&)>& configure,
                 std::vector<std::string> extra = {}) {
    ScreenSettings screen = ImageScreen(5.0F, static_cast<std::int32_t>(kBlueRef));
    configure(screen);
    PackagePlan plan;
    plan.package.Screens = {screen};
    plan.media.push_back({MediumSlot::Image, 0, Picture("red.png", pictureSize, kRed), "image"});
    const std::string package = Build(plan);
    const std::string shot = Path("shot.png");
    std::vector<std::string> args = {"--run-for", "1", "--snapshot", "0.5:" + shot};
    args.insert(args.end(), extra.begin(), extra.end());
    if (extra.empty()) args.push_back("/s");
    const ShowRun run = Play(package, args);
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    auto image = ReadPng(shot);
    EXPECT_TRUE(image) << "no snapshot";
    return image ? *image : Image();
  }
};

// The red area of a snapshot: its bounding box.
IntRect RedBox(const Image& image) {
  int left = image.Width(), top = image.Height(), right = -1, bottom = -1;
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width(); ++x) {
      if (image.At(x, y) != kRed) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  if (right < 0) return {};
  return {left, top, right - left + 1, bottom - top + 1};
}

TEST_F(LayersShow, PlacementCodesPutThePictureWhereTheTableSays) {
  struct Case {
    std::int32_t placement;
    IntRect expected;
  };
  // 100 x 50 on 800 x 600.
  const Case cases[] = {
      {0, {350, 275, 100, 50}}, {1, {0, 0, 100, 50}},    {2, {0, 275, 100, 50}},
      {3, {0, 550, 100, 50}},   {4, {350, 550, 100, 50}}, {5, {700, 550, 100, 50}},
      {6, {700, 275, 100, 50}}, {7, {700, 0, 100, 50}},   {8, {350, 0, 100, 50}},
  };
  for (const Case& c : cases) {
    const Image shot = Snapshot({100, 50}, [&](ScreenSettings& s) { s.ImagePlacement = c.placement; });
    ASSERT_EQ(shot.Extent(), (IntSize{800, 600}));
    EXPECT_EQ(RedBox(shot), c.expected) << "placement " << c.placement;
    EXPECT_EQ(shot.At(0, 0) == kBlue || c.expected.Contains({0, 0}), true)
        << "placement " << c.placement << ": the background is the screen's colour";
  }
}

TEST_F(LayersShow, PlacementNineUsesTheDivisorsForTheTopLeftCorner) {
  const Image shot = Snapshot({100, 50}, [](ScreenSettings& s) {
    s.ImagePlacement = 9;
    s.ImageXDivisor = 2.0F;
    s.ImageYDivisor = 2.0F;
  });
  EXPECT_EQ(RedBox(shot), (IntRect{400, 300, 100, 50}));
  // With placement 0 the divisors are ignored.
  const Image centred = Snapshot({100, 50}, [](ScreenSettings& s) {
    s.ImagePlacement = 0;
    s.ImageXDivisor = 2.000164F;
    s.ImageYDivisor = 2.000237F;
  });
  EXPECT_EQ(RedBox(centred), (IntRect{350, 275, 100, 50}));
}

TEST_F(LayersShow, SizingModesScaleAgainstTheScreen) {
  // 1 stretches to the whole area.
  EXPECT_EQ(RedBox(Snapshot({100, 50}, [](ScreenSettings& s) { s.ImageSizing = 1; })),
            (IntRect{0, 0, 800, 600}));
  // 2 fits keeping the aspect ratio: 800 x 400, centred.
  EXPECT_EQ(RedBox(Snapshot({100, 50}, [](ScreenSettings& s) { s.ImageSizing = 2; })),
            (IntRect{0, 100, 800, 400}));
  // 3 fits but never enlarges: a small picture stays as it is...
  EXPECT_EQ(RedBox(Snapshot({100, 50}, [](ScreenSettings& s) { s.ImageSizing = 3; })),
            (IntRect{350, 275, 100, 50}));
  // ... and a large one shrinks: 1600 x 400 becomes 800 x 200.
  EXPECT_EQ(RedBox(Snapshot({1600, 400}, [](ScreenSettings& s) { s.ImageSizing = 3; })),
            (IntRect{0, 200, 800, 200}));
  // 4 zooms by ImageScale percent.
  EXPECT_EQ(RedBox(Snapshot({100, 50},
                            [](ScreenSettings& s) {
                              s.ImageSizing = 4;
                              s.ImageScale = 200.0F;
                            })),
            (IntRect{300, 250, 200, 100}));
  // Any other code behaves as 0.
  EXPECT_EQ(RedBox(Snapshot({100, 50}, [](ScreenSettings& s) { s.ImageSizing = 9; })),
            (IntRect{350, 275, 100, 50}));
}

TEST_F(LayersShow, APictureLargerThanTheScreenIsClippedAroundItsCentre) {
  const Image shot = Snapshot({1000, 700}, [](ScreenSettings& s) { s.ImagePlacement = 0; });
  EXPECT_EQ(RedBox(shot), (IntRect{0, 0, 800, 600}));
}

TEST_F(LayersShow, BackgroundPictureIsStretchedAndPlainColourFills) {
  ScreenSettings pictured = ImageScreen(1.0F);
  pictured.BackgroundKind = 1;
  ScreenSettings plain = ImageScreen(1.0F, static_cast<std::int32_t>(MakeColorRef(0, 255, 0)));
  plain.BackgroundKind = 2;  // anything but 1 is the plain colour
  PackagePlan plan;
  plan.package.Screens = {pictured, plain};
  plan.media.push_back({MediumSlot::Background, 0, Picture("bg.png", {40, 30}, kRed), "bg"});
  const std::string package = Build(plan);
  const ShowRun run = Play(package, {"--run-for", "1.5", "--snapshot", "0.5:" + Path("a.png"),
                                     "--snapshot", "1.2:" + Path("b.png"), "/s"});
  EXPECT_EQ(run.exitCode, 0) << run.errors;
  const auto first = ReadPng(Path("a.png"));
  const auto second = ReadPng(Path("b.png"));
  ASSERT_TRUE(first && second);
  EXPECT_EQ(RedBox(*first), (IntRect{0, 0, 800, 600})) << "the background fills the window";
  EXPECT_EQ(second->At(400, 300), MakePixel(0, 255, 0));
  // The picture went through its temporary file, named "bg".
  const auto extracts = run.Events("extract");
  ASSERT_FALSE(extracts.empty());
  EXPECT_EQ(extracts[0]["file"], Path("tmp") + "/bg");
}

TEST_F(LayersShow, PreviewFitsThePictureIntoTheSmallWindow) {
  const Image shot = Snapshot({400, 200}, [](ScreenSettings& s) { s.ImageSizing = 0; },
                              {"--window", "4660:200x150", "/p 4660"});
  ASSERT_EQ(shot.Extent(), (IntSize{200, 150}));
  // Mode 0 becomes "fit, never enlarge" in the 200 x 150 window: 200 x 100.
  EXPECT_EQ(RedBox(shot), (IntRect{0, 25, 200, 100}));
}

}  // namespace
}  // namespace vistel::testing
