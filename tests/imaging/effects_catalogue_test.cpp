// Properties every code of the effect groups must have: an animation that
// starts on the old picture, ends exactly on the new one, only ever adds new
// pixels when it reveals by an order, and looks different from its
// neighbouring codes.
#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>

#include "effects_test_support.hpp"
#include "imaging/effects/effect_catalogue.hpp"
#include "imaging/effects/threshold_effect.hpp"
#include "imaging/paint_effect.hpp"

namespace vistel {
namespace {

using namespace effects_testing;
using effects::DescribeEffect;
using effects::Family;

struct Group {
  int base;
  int span;
};
constexpr std::array<Group, 8> kGroups = {{{2000, 554},
                                           {4000, 29},
                                           {5000, 263},
                                           {6000, 525},
                                           {7000, 263},
                                           {8000, 259},
                                           {15000, 35},
                                           {16000, 35}}};

constexpr int kW = 64;
constexpr int kH = 48;

// Settings as a random effect sets them (setting 1 = 1, small r10 and r11)
// with four distinct colours.
EffectSettings RandomLike() {
  return Settings({{1, 1},
                   {2, 1000},
                   {6, 0x0000FF},
                   {7, 0xFF0000},
                   {8, 0x00FF00},
                   {9, 0x808080},
                   {10, 3},
                   {11, 5}});
}

// The profiles the end and order properties must hold under.
std::array<EffectSettings, 4> Profiles() {
  return {RandomLike(), EffectSettings{},
          Settings({{1, 3}, {2, 30000}, {3, 100}, {4, -7}, {10, 64}, {11, 32}}),
          Settings({{1, 2}, {2, 1}, {3, 1}, {10, 15}, {11, 1}})};
}

std::string Describe(int code, int profile) {
  return "code " + std::to_string(code) + ", settings profile " + std::to_string(profile);
}

TEST(PaintEffectCatalogue, EveryCodeStartsOnTheOldPictureAndEndsExactlyOnTheNew) {
  const Image from = OldPicture(kW, kH), to = NewPicture(kW, kH);
  const auto profiles = Profiles();
  for (const Group& group : kGroups) {
    for (int code = group.base; code <= group.base + group.span; ++code) {
      for (std::size_t p = 0; p < profiles.size(); ++p) {
        SCOPED_TRACE(Describe(code, static_cast<int>(p)));
        auto effect = MakePaintEffect(code, profiles[p], from, to);
        ASSERT_NE(effect, nullptr) << "expected an animation";
        const Milliseconds d = effect->Duration();
        ASSERT_GE(d, 250);
        ASSERT_LE(d, 10000);
        Image frame(kW, kH);
        effect->RenderFrame(0, frame);
        ASSERT_EQ(frame, from) << "expected the old picture at the start";
        effect->RenderFrame(-40, frame);
        ASSERT_EQ(frame, from) << "expected times before the start to show the old picture";
        effect->RenderFrame(d, frame);
        ASSERT_EQ(frame, to) << "expected exactly the new picture at the end";
        effect->RenderFrame(d + 500, frame);
        ASSERT_EQ(frame, to) << "expected times past the end to show the new picture";
      }
    }
  }
}

TEST(PaintEffectCatalogue, OrderedEffectsNeverTakeBackARevealedPixel) {
  // Smaller pictures: this walks every ordered code through many frames.
  constexpr int w = 40, h = 30;
  const Image from = OldPicture(w, h), to = NewPicture(w, h);
  const auto profiles = Profiles();
  for (const Group& group : kGroups) {
    for (int code = group.base; code <= group.base + group.span; ++code) {
      if (!effects::IsThresholdFamily(DescribeEffect(code)->family)) continue;
      for (const std::size_t p : {std::size_t{0}, std::size_t{2}}) {
        SCOPED_TRACE(Describe(code, static_cast<int>(p)));
        auto effect = MakePaintEffect(code, profiles[p], from, to);
        ASSERT_NE(effect, nullptr);
        const Milliseconds d = effect->Duration();
        Image frame(w, h);
        int new_before = 0, old_before = w * h;
        for (int step = 1; step <= 12; ++step) {
          effect->RenderFrame(d * step / 12, frame);
          const auto [new_now, old_now] = CountNewAndOld(frame, to, from);
          ASSERT_GE(new_now, new_before) << "new pixels went back at step " << step;
          ASSERT_LE(old_now, old_before) << "old pixels came back at step " << step;
          new_before = new_now, old_before = old_now;
        }
      }
    }
  }
}

TEST(PaintEffectCatalogue, NeighbouringCodesLookDifferentMidWay) {
  const Image from = OldPicture(kW, kH), to = NewPicture(kW, kH);
  const EffectSettings settings = RandomLike();
  constexpr std::array kShares = {0.23, 0.37, 0.5, 0.71};
  for (const Group& group : kGroups) {
    std::array<Image, kShares.size()> previous;
    for (int code = group.base; code <= group.base + group.span; ++code) {
      SCOPED_TRACE("code " + std::to_string(code));
      auto effect = MakePaintEffect(code, settings, from, to);
      ASSERT_NE(effect, nullptr);
      std::array<Image, kShares.size()> frames;
      bool changes = false, differs = code == group.base;
      for (std::size_t i = 0; i < kShares.size(); ++i) {
        frames[i] = Image(kW, kH);
        effect->RenderFrame(static_cast<Milliseconds>(kShares[i] * 1000), frames[i]);
        changes = changes || (frames[i] != from && frames[i] != to);
        differs = differs || frames[i] != previous[i];
      }
      EXPECT_TRUE(changes) << "expected frames between the two pictures mid-way";
      EXPECT_TRUE(differs) << "expected other frames than code " << code - 1;
      previous = std::move(frames);
    }
  }
}

TEST(PaintEffectCatalogue, EveryFamilyHasCodesInTheGroups) {
  std::set<Family> seen;
  for (const Group& group : kGroups) {
    for (int code = group.base; code <= group.base + group.span; ++code) {
      const auto recipe = DescribeEffect(code);
      ASSERT_TRUE(recipe.has_value()) << "code " << code;
      seen.insert(recipe->family);
    }
  }
  for (int f = 0; f < effects::kFamilyCount; ++f) {
    EXPECT_TRUE(seen.contains(static_cast<Family>(f)))
        << "no code for the family " << effects::FamilyName(static_cast<Family>(f));
  }
}

TEST(PaintEffectCatalogue, CodesOutsideTheGroupsAndThePlainCodeRepaintPlainly) {
  const Image from = OldPicture(8, 8), to = NewPicture(8, 8);
  for (int code : {kPlainRepaintEffect,
                   -100,
                   0,
                   1,
                   1999,
                   2555,
                   3999,
                   4030,
                   4999,
                   5264,
                   5999,
                   6526,
                   6999,
                   7264,
                   7999,
                   8260,
                   14999,
                   15036,
                   15999,
                   16036,
                   32767}) {
    EXPECT_EQ(MakePaintEffect(code, RandomLike(), from, to), nullptr) << "code " << code;
  }
}

TEST(PaintEffectCatalogue, PicturesOfDifferentOrNoSizeRepaintPlainly) {
  EXPECT_EQ(MakePaintEffect(2000, RandomLike(), OldPicture(8, 8), NewPicture(8, 9)), nullptr);
  EXPECT_EQ(MakePaintEffect(2000, RandomLike(), Image(), Image()), nullptr);
}

TEST(PaintEffectCatalogue, FrameOfAnotherSizeIsResizedToThePicture) {
  const Image from = OldPicture(kW, kH), to = NewPicture(kW, kH);
  for (int code : {2000, 4000, 4015, 6000, 6132, 8000}) {
    auto effect = MakePaintEffect(code, RandomLike(), from, to);
    Image frame;
    effect->RenderFrame(effect->Duration(), frame);
    EXPECT_EQ(frame, to) << "code " << code;
  }
}

}  // namespace
}  // namespace vistel
