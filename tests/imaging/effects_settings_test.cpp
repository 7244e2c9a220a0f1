// What the effect settings do, and frames whose pixels follow from a
// formula: timing and easing, fades through colours, softness, band counts,
// grain, seeds, and the geometry of wipes, moves and zooms.
#include <gtest/gtest.h>

#include "effects_test_support.hpp"
#include "imaging/effects/effect_catalogue.hpp"
#include "imaging/paint_effect.hpp"

namespace vistel {
namespace {

using namespace effects_testing;
using effects::Easing;
using effects::EffectParameters;
using effects::ProgressAt;
using effects::ReadEffectSettings;

constexpr int kW = 64;
constexpr int kH = 48;

TEST(EffectSettings, DurationDefaultsToOneSecondAndIsClamped) {
  const std::pair<std::int32_t, Milliseconds> cases[] = {
      {0, 1000},    {-5, 1000},   {1, 250},       {250, 250},
      {1000, 1000}, {4321, 4321}, {10000, 10000}, {32767, 10000}};
  for (const auto& [setting, expected] : cases) {
    EXPECT_EQ(ReadEffectSettings(Settings({{2, setting}})).duration, expected)
        << "setting 2 = " << setting;
    const Image from = OldPicture(4, 4), to = NewPicture(4, 4);
    EXPECT_EQ(MakePaintEffect(2000, Settings({{2, setting}}), from, to)->Duration(), expected);
  }
}

TEST(EffectSettings, EasingShapesProgressButKeepsItsEnds) {
  const std::pair<std::int32_t, std::int32_t> quarter[] = {
      {0, 16384}, {1, 10240}, {2, 4096}, {3, 28672}, {9, 16384}};  // 1/4, smooth, x², x(2-x)
  for (const auto& [setting, expected] : quarter) {
    const EffectParameters p = ReadEffectSettings(Settings({{1, setting}, {2, 1000}}));
    EXPECT_EQ(ProgressAt(250, p), expected) << "setting 1 = " << setting;
    EXPECT_EQ(ProgressAt(0, p), 0);
    EXPECT_EQ(ProgressAt(1000, p), effects::kFullProgress);
    std::int32_t before = 0;
    for (Milliseconds t = 1; t < 1000; ++t) {
      const std::int32_t now = ProgressAt(t, p);
      ASSERT_GE(now, before) << "progress went back at " << t << " ms";
      ASSERT_LT(now, effects::kFullProgress) << "full progress before the end at " << t << " ms";
      before = now;
    }
  }
}

TEST(EffectSettings, ColoursAreReadAsColorRefs) {
  const EffectParameters p =
      ReadEffectSettings(Settings({{6, 0x0000FF}, {7, 0xFF0000}, {8, 0x00FF00}, {9, 0x123456}}));
  EXPECT_EQ(p.colours[0], MakePixel(255, 0, 0));
  EXPECT_EQ(p.colours[1], MakePixel(0, 0, 255));
  EXPECT_EQ(p.colours[2], MakePixel(0, 255, 0));
  EXPECT_EQ(p.colours[3], MakePixel(0x56, 0x34, 0x12));
}

// Every pixel of `frame` within 1 of `expected(x, y)`.
template <typename F>
void ExpectPixels(const Image& frame, F expected, const char* what) {
  for (int y = 0; y < frame.Height(); ++y) {
    for (int x = 0; x < frame.Width(); ++x) {
      ASSERT_LE(ChannelDistance(frame.At(x, y), expected(x, y)), 1)
          << what << " at (" << x << ", " << y << "): expected " << std::hex << expected(x, y)
          << ", got " << frame.At(x, y);
    }
  }
}

TEST(FadeThroughColour, PassesThroughTheColourMidWay) {
  const Image from = OldPicture(kW, kH), to = NewPicture(kW, kH);
  const Pixel colour = MakePixel(10, 200, 60);
  auto effect = MakePaintEffect(4000, Settings({{2, 1000}, {6, 0x3CC80A}}), from, to);
  Image frame(kW, kH);
  effect->RenderFrame(250, frame);
  ExpectPixels(
      frame, [&](int x, int y) { return Mixed(from.At(x, y), colour, 128); },
      "a quarter of the way");
  effect->RenderFrame(500, frame);
  ExpectPixels(
      frame, [&](int, int) { return colour; }, "half way");
  effect->RenderFrame(875, frame);
  ExpectPixels(
      frame, [&](int x, int y) { return Mixed(colour, to.At(x, y), 192); },
      "seven eighths of the way");
}

TEST(FadeThroughColour, TwoColoursHoldAndPlainBlackAndWhite) {
  const Image from = OldPicture(kW, kH), to = NewPicture(kW, kH);
  const EffectSettings s = Settings({{2, 900}, {6, 0x0000FF}, {7, 0xFF0000}});
  Image frame(kW, kH);
  auto two = MakePaintEffect(4006, s, from, to);  // colour 1 then colour 2
  two->RenderFrame(300, frame);
  ExpectPixels(
      frame, [](int, int) { return MakePixel(255, 0, 0); }, "a third of the way");
  two->RenderFrame(600, frame);
  ExpectPixels(
      frame, [](int, int) { return MakePixel(0, 0, 255); }, "two thirds of the way");
  two->RenderFrame(450, frame);
  ExpectPixels(
      frame, [](int, int) { return MakePixel(127, 0, 127); }, "between the colours");

  auto hold = MakePaintEffect(4008, s, from, to);  // colour 1, held for a third
  for (Milliseconds t : {300, 400, 500, 600}) {
    hold->RenderFrame(t, frame);
    ExpectPixels(
        frame, [](int, int) { return MakePixel(255, 0, 0); }, "while held");
  }
  MakePaintEffect(4004, s, from, to)->RenderFrame(450, frame);
  ExpectPixels(
      frame, [](int, int) { return MakePixel(0, 0, 0); }, "black");
  MakePaintEffect(4005, s, from, to)->RenderFrame(450, frame);
  ExpectPixels(
      frame, [](int, int) { return MakePixel(255, 255, 255); }, "white");
}

TEST(Wipe, EastwardHalfWayShowsTheLeftHalfNew) {
  const Image from = OldPicture(kW, kH), to = NewPicture(kW, kH);
  auto effect = MakePaintEffect(2000, Settings({{2, 1000}}), from, to);
  Image frame(kW, kH);
  effect->RenderFrame(500, frame);
  ExpectPixels(
      frame, [&](int x, int y) { return x < kW / 2 ? to.At(x, y) : from.At(x, y); },
      "eastward wipe");
}

TEST(Wipe, SoftnessSettingBlendsTheEdgeOfAHardWipe) {
  const Image from = OldPicture(kW, kH), to = NewPicture(kW, kH);
  Image frame(kW, kH);
  const auto blended = [&](const EffectSettings& s) {
    MakePaintEffect(2000, s, from, to)->RenderFrame(500, frame);
    const auto [new_count, old_count] = CountNewAndOld(frame, to, from);
    return kW * kH - new_count - old_count;
  };
  EXPECT_EQ(blended(Settings({{2, 1000}})), 0);
  // Half the travel soft: the edge band is half the width, 32 columns.
  EXPECT_NEAR(blended(Settings({{2, 1000}, {3, 50}})), 32 * kH, 2 * kH);
  // A soft wipe code is soft without the setting.
  MakePaintEffect(2080, Settings({{2, 1000}}), from, to)->RenderFrame(500, frame);
  const auto [n, o] = CountNewAndOld(frame, to, from);
  EXPECT_GT(kW * kH - n - o, 0);
}

// Runs of consecutive rows that hold new pixels.
int NewRowRuns(const Image& frame, const Image& to) {
  int runs = 0;
  bool in_run = false;
  for (int y = 0; y < frame.Height(); ++y) {
    bool any = false;
    for (int x = 0; x < frame.Width(); ++x) any = any || frame.At(x, y) == to.At(x, y);
    runs += any && !in_run;
    in_run = any;
  }
  return runs;
}

TEST(Blinds, BandSettingAddsBands) {
  const Image from = OldPicture(kW, kH), to = NewPicture(kW, kH);
  Image frame(kW, kH);
  for (int extra : {0, 2, 4}) {
    MakePaintEffect(2160, Settings({{2, 1000}, {10, extra}}), from, to)->RenderFrame(90, frame);
    EXPECT_EQ(NewRowRuns(frame, to), 4 + extra) << "setting 10 = " << extra;
  }
}

TEST(Snake, GrainSetsTheBlockSize) {
  constexpr int w = 256, h = 192;
  const Image from = OldPicture(w, h), to = NewPicture(w, h);
  Image frame(w, h);
  for (int grain : {4, 8, 16}) {
    MakePaintEffect(7132, Settings({{2, 1000}, {11, grain}}), from, to)->RenderFrame(1, frame);
    // Rows from the top-left: only the first row of blocks has begun.
    int column_zero = 0;
    for (int y = 0; y < h; ++y) column_zero += frame.At(0, y) == to.At(0, y);
    EXPECT_EQ(column_zero, h * grain / 256) << "setting 11 = " << grain;
  }
}

TEST(Dissolve, SeedPicksTheOrderAndTheSameSeedRepeatsIt) {
  const Image from = OldPicture(kW, kH), to = NewPicture(kW, kH);
  const auto mid = [&](std::int32_t seed) {
    Image frame(kW, kH);
    MakePaintEffect(2480, Settings({{2, 1000}, {4, seed}}), from, to)->RenderFrame(500, frame);
    return frame;
  };
  EXPECT_EQ(mid(1), mid(1));
  EXPECT_NE(mid(1), mid(2));
  const auto [n, o] = CountNewAndOld(mid(5), to, from);
  EXPECT_NEAR(n, kW * kH / 2, kW * kH / 10) << "about half the pixels new half way";
  EXPECT_EQ(n + o, kW * kH);
}

TEST(Motion, CoverPushAndRevealMoveWholePictures) {
  const Image from = OldPicture(kW, kH), to = NewPicture(kW, kH);
  const EffectSettings s = Settings({{2, 1000}, {6, 0x00FF00}});
  Image frame(kW, kH);
  MakePaintEffect(6264, s, from, to)->RenderFrame(500, frame);  // cover, eastward
  ExpectPixels(
      frame, [&](int x, int y) { return x < 32 ? to.At(x + 32, y) : from.At(x, y); }, "cover");
  MakePaintEffect(6000, s, from, to)->RenderFrame(500, frame);  // push, eastward
  ExpectPixels(
      frame, [&](int x, int y) { return x < 32 ? to.At(x + 32, y) : from.At(x - 32, y); }, "push");
  MakePaintEffect(6397, s, from, to)->RenderFrame(500, frame);  // reveal, westward
  ExpectPixels(
      frame, [&](int x, int y) { return x < 32 ? from.At(x + 32, y) : to.At(x, y); }, "reveal");
  MakePaintEffect(6004, s, from, to)->RenderFrame(500, frame);  // push, south-east
  EXPECT_EQ(frame.At(kW - 1, 0), MakePixel(0, 255, 0)) << "expected colour 1 in the corner";
  EXPECT_EQ(frame.At(0, kH - 1), MakePixel(0, 255, 0));
  EXPECT_EQ(frame.At(kW - 1, kH - 1), from.At(kW / 2 - 1, kH / 2 - 1));
  EXPECT_EQ(frame.At(0, 0), to.At(kW / 2, kH / 2));
}

TEST(Zoom, NewPictureGrowsFromTheCentre) {
  const Image from = OldPicture(kW, kH), to = NewPicture(kW, kH);
  Image frame(kW, kH);
  MakePaintEffect(8000, Settings({{2, 1000}}), from, to)->RenderFrame(500, frame);
  ExpectPixels(
      frame,
      [&](int x, int y) {
        const bool inside = x >= 16 && x < 48 && y >= 12 && y < 36;
        return inside ? to.At((x - 16) * 2, (y - 12) * 2) : from.At(x, y);
      },
      "zoom");
}

}  // namespace
}  // namespace vistel
