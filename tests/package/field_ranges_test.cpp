// Values the player handles badly, field by field, at the edges of each
// range and where the player does not read the field at all.
#include "package/field_ranges.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "package/show_description.hpp"

namespace vistel {
namespace {

// An image screen with a picture and a caption: every image and caption
// field is read.
Package ImageScreenShow() {
  Package package;
  ScreenSettings screen = DefaultScreenSettings();
  screen.ImageLength = 100;
  screen.ImagePosition = 1;
  screen.CaptionText = "caption";
  package.Screens.push_back(screen);
  return package;
}

struct RangeCase {
  const char* what;
  std::function<void(Package&)> change;
  const char* field;  // the field reported, or "" for none
};

TEST(FieldRanges, FlagsValuesOutsideTheRangesThePlayerReads) {
  auto screen = [](std::function<void(ScreenSettings&)> f) {
    return [f](Package& p) { f(p.Screens[0]); };
  };
  auto videoScreen = [](std::function<void(ScreenSettings&)> f) {
    return [f](Package& p) {
      ScreenSettings& s = p.Screens[0];
      s.ScreenKind = 1;
      s.VideoLength = 100;
      s.VideoPosition = 1;
      f(s);
    };
  };
  const std::vector<RangeCase> cases = {
      {"defaults", screen([](ScreenSettings&) {}), ""},
      {"ImagePlacement 9", screen([](ScreenSettings& s) { s.ImagePlacement = 9; }), ""},
      {"ImagePlacement 10", screen([](ScreenSettings& s) { s.ImagePlacement = 10; }),
       "ImagePlacement"},
      {"ImagePlacement -1", screen([](ScreenSettings& s) { s.ImagePlacement = -1; }),
       "ImagePlacement"},
      {"ImagePlacement 12 without a picture", screen([](ScreenSettings& s) {
         s.ImagePlacement = 12;
         s.ImageLength = 0;
       }),
       ""},
      {"ImageSizing 4", screen([](ScreenSettings& s) { s.ImageSizing = 4; }), ""},
      {"ImageSizing 5", screen([](ScreenSettings& s) { s.ImageSizing = 5; }), "ImageSizing"},
      {"ImageSizing -1", screen([](ScreenSettings& s) { s.ImageSizing = -1; }), "ImageSizing"},
      {"ImageScale 0 at sizing 4", screen([](ScreenSettings& s) {
         s.ImageSizing = 4;
         s.ImageScale = 0;
       }),
       "ImageScale"},
      {"ImageScale 0 at sizing 0", screen([](ScreenSettings& s) { s.ImageScale = 0; }), ""},
      {"ImageXDivisor 0 at placement 9", screen([](ScreenSettings& s) {
         s.ImagePlacement = 9;
         s.ImageXDivisor = 0;
       }),
       "ImageXDivisor"},
      {"ImageXDivisor 0 at placement 0", screen([](ScreenSettings& s) { s.ImageXDivisor = 0; }),
       ""},
      {"CaptionYDivisor 0.5 puts the box below the screen", screen([](ScreenSettings& s) {
         s.CaptionText = "x";
         s.CaptionPlacement = 9;
         s.CaptionYDivisor = 0.5F;
       }),
       "CaptionYDivisor"},
      {"VideoYDivisor -86 puts the clip above the screen", screen([](ScreenSettings& s) {
         s.ScreenKind = 1;
         s.VideoLength = 10;
         s.VideoPlacement = 9;
         s.VideoYDivisor = -86.17F;
       }),
       "VideoYDivisor"},
      {"ImageXDivisor 1 puts the edge at the far side", screen([](ScreenSettings& s) {
         s.ImagePlacement = 9;
         s.ImageXDivisor = 1;
       }),
       ""},
      {"DisplaySeconds 0 (for ever)", screen([](ScreenSettings& s) { s.DisplaySeconds = 0; }), ""},
      {"DisplaySeconds -3", screen([](ScreenSettings& s) { s.DisplaySeconds = -3; }),
       "DisplaySeconds"},
      {"DisplaySeconds beyond 32-bit milliseconds",
       screen([](ScreenSettings& s) { s.DisplaySeconds = 3e6F; }), "DisplaySeconds"},
      {"DisplaySeconds -3 on a video screen",
       videoScreen([](ScreenSettings& s) { s.DisplaySeconds = -3; }), ""},
      {"EffectCode at a group's last code", screen([](ScreenSettings& s) { s.EffectCode = 2554; }),
       ""},
      {"EffectCode past a group", screen([](ScreenSettings& s) { s.EffectCode = 2555; }),
       "EffectCode"},
      {"EffectCode 16035", screen([](ScreenSettings& s) { s.EffectCode = 16035; }), ""},
      {"EffectCode 0", screen([](ScreenSettings& s) { s.EffectCode = 0; }), "EffectCode"},
      {"EffectCode 0 with RandomEffects",
       [](Package& p) {
         p.Global.RandomEffects = true;
         p.Screens[0].EffectCode = 0;
       },
       ""},
      {"CrossFadeParam 1", screen([](ScreenSettings& s) {
         s.EffectCode = -100;
         s.CrossFadeParam = 1;
       }),
       ""},
      {"CrossFadeParam 32767", screen([](ScreenSettings& s) {
         s.EffectCode = -100;
         s.CrossFadeParam = 32767;
       }),
       ""},
      {"CrossFadeParam 0", screen([](ScreenSettings& s) {
         s.EffectCode = -100;
         s.CrossFadeParam = 0;
       }),
       "CrossFadeParam"},
      {"CrossFadeParam -5", screen([](ScreenSettings& s) {
         s.EffectCode = -100;
         s.CrossFadeParam = -5;
       }),
       "CrossFadeParam"},
      {"CrossFadeParam 0 without a cross-fade",
       screen([](ScreenSettings& s) { s.CrossFadeParam = 0; }), ""},
      {"VideoSize 7", videoScreen([](ScreenSettings& s) { s.VideoSize = 7; }), ""},
      {"VideoSize 8", videoScreen([](ScreenSettings& s) { s.VideoSize = 8; }), "VideoSize"},
      {"VideoSize 12 on an image screen", screen([](ScreenSettings& s) { s.VideoSize = 12; }), ""},
      {"VideoPlacement 10", videoScreen([](ScreenSettings& s) { s.VideoPlacement = 10; }),
       "VideoPlacement"},
      {"ScreenKind 2", videoScreen([](ScreenSettings& s) { s.ScreenKind = 2; }), "ScreenKind"},
      {"CaptionPlacement -1", screen([](ScreenSettings& s) { s.CaptionPlacement = -1; }), ""},
      {"CaptionPlacement -2", screen([](ScreenSettings& s) { s.CaptionPlacement = -2; }),
       "CaptionPlacement"},
      {"CaptionPlacement 12", screen([](ScreenSettings& s) { s.CaptionPlacement = 12; }),
       "CaptionPlacement"},
      {"CaptionPlacement 12 without a caption", screen([](ScreenSettings& s) {
         s.CaptionPlacement = 12;
         s.CaptionText.clear();
       }),
       ""},
      {"CaptionFontSize 0", screen([](ScreenSettings& s) { s.CaptionFontSize = 0; }),
       "CaptionFontSize"},
      {"CaptionFontSize 2160", screen([](ScreenSettings& s) { s.CaptionFontSize = 2160; }), ""},
      {"CaptionFontSize 2161", screen([](ScreenSettings& s) { s.CaptionFontSize = 2161; }),
       "CaptionFontSize"},
      {"CaptionAppearance 2", screen([](ScreenSettings& s) { s.CaptionAppearance = 2; }),
       "CaptionAppearance"},
      {"BackgroundColor 0xFFFFFF", screen([](ScreenSettings& s) { s.BackgroundColor = 16777215; }),
       ""},
      {"BackgroundColor 0x1000000", screen([](ScreenSettings& s) { s.BackgroundColor = 16777216; }),
       "BackgroundColor"},
      {"CaptionBackColor -1", screen([](ScreenSettings& s) { s.CaptionBackColor = -1; }),
       "CaptionBackColor"},
  };
  for (const RangeCase& c : cases) {
    Package package = ImageScreenShow();
    c.change(package);
    const std::vector<RangeFinding> findings = CheckFieldRanges(package);
    if (*c.field == '\0') {
      EXPECT_TRUE(findings.empty())
          << c.what << ": expected nothing, got " << DescribeRangeFinding(findings.front());
      continue;
    }
    ASSERT_EQ(findings.size(), 1U) << c.what << ": expected one finding";
    EXPECT_EQ(findings[0].field, c.field) << c.what;
    EXPECT_EQ(findings[0].screen, 0U) << c.what;
  }
}

TEST(FieldRanges, MessagesNameTheValueTheRangeAndTheConsequence) {
  Package package = ImageScreenShow();
  package.Screens.push_back(package.Screens[0]);
  package.Screens[1].ImageSizing = 9;
  package.Screens[1].ImageXDivisor = 0;
  package.Screens[1].ImagePlacement = 9;
  const std::vector<RangeFinding> findings = CheckFieldRanges(package);
  ASSERT_EQ(findings.size(), 2U);
  EXPECT_EQ(findings[0].screen, 1U);
  EXPECT_EQ(
      DescribeRangeFinding(findings[0]),
      "ImageSizing 9 is outside the range 0 to 4; the player shows the picture as sizing 0, at its "
      "own size");
  EXPECT_EQ(DescribeRangeValue(findings[1]),
            "0 divides by zero; the player leaves the picture's left edge where the previous "
            "image screen put it");
}

TEST(FieldRanges, RandomEffectsOverridingScreensIsWarnedOnce) {
  Package package = ImageScreenShow();
  package.Screens.push_back(package.Screens[0]);
  package.Screens.push_back(package.Screens[0]);
  package.Screens[0].EffectCode = -100;
  package.Screens[2].EffectCode = 2100;
  EXPECT_TRUE(IgnoredSettingWarnings(package).empty()) << "RandomEffects is off";
  package.Global.RandomEffects = true;
  const std::vector<std::string> warnings = IgnoredSettingWarnings(package);
  ASSERT_EQ(warnings.size(), 1U);
  EXPECT_NE(warnings[0].find("screens 0, 2 set one"), std::string::npos) << warnings[0];
}

}  // namespace
}  // namespace vistel
