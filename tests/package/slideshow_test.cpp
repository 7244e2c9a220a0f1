#include "package/slideshow.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vistel {
namespace {

struct OrderCase {
  const char* first;
  const char* second;
};

// Photos come in the order a file manager lists them: numbers by value, no
// matter how long or how padded, letters without regard to case, a folder's
// photos together; and the order is strict, so sorting is well defined.
TEST(Slideshow, OrdersNamesNaturally) {
  const std::vector<OrderCase> cases = {
      {"img2.jpg", "img10.jpg"},
      {"IMG2.jpg", "img10.jpg"},
      {"apple.jpg", "Beach.jpg"},
      {"x9y", "x10a"},
      {"a99999999999999999999", "a100000000000000000000"},  // beyond 64 bits
      {"img02.jpg", "img2.jpg"},                            // equal values: by bytes
      {"2019/summer/b.jpg", "2019 summer.jpg"},             // "/" before a blank
      {"trip/z.jpg", "trip-2/a.jpg"},
      {"a.jpg", "a1.jpg"},
      {"IMG.jpg", "img.jpg"},
  };
  for (const OrderCase& c : cases) {
    EXPECT_TRUE(NaturallyBefore(c.first, c.second)) << c.first << " before " << c.second;
    EXPECT_FALSE(NaturallyBefore(c.second, c.first)) << c.second << " after " << c.first;
    EXPECT_FALSE(NaturallyBefore(c.first, c.first)) << c.first;
  }
}

struct CaptionCase {
  const char* what;
  std::string fileName;  // UTF-8, or any bytes
  std::string caption;   // Windows-1252
};

// Captions are the names people gave their photos, in the player's code page,
// never an error: whatever the name holds, the caption is one line of
// Windows-1252 that the configuration text can carry.
TEST(Slideshow, CaptionsFromFileNames) {
  const std::vector<CaptionCase> cases = {
      {"blanks for _ and -", "beach_day-one.jpg", "beach day one"},
      {"runs of blanks, ends trimmed", "  x__y - z .png", "x y z"},
      {"only the last extension", "a.b.c.jpg", "a.b.c"},
      {"a name that is all extension", ".hidden", ".hidden"},
      {"no extension", "Sunset", "Sunset"},
      {"Latin-1 accent", "Caf\xC3\xA9.jpg", "Caf\xE9"},
      {"accent stored apart", "Cafe\xCC\x81.jpg", "Cafe"},
      {"Windows-1252's own", "na\xC3\xAFve \xE2\x80\x93 test.jpg", "na\xEFve \x96 test"},
      {"outside the code page", "\xE6\x9D\xB1\xE4\xBA\xAC.jpg", "??"},
      {"outside the Basic Plane", "\xF0\x9F\x98\x80 party.jpg", "? party"},
      {"y with diaeresis is the field separator's byte", "\xC3\xBF.jpg", "y"},
      {"bytes that are not UTF-8", "\xFF\xFEx.jpg", "??x"},
      {"overlong form", "\xC0\xAFx.jpg", "??x"},
      {"control characters", "a\tb\nc\r.jpg", "a b c"},
  };
  for (const CaptionCase& c : cases) {
    EXPECT_EQ(CaptionFromFileName(c.fileName), c.caption) << c.what;
  }
}

struct FitCase {
  IntSize picture;
  IntSize box;
  IntSize expected;
};

// A photo is shrunk once to the largest size within the box, keeping its
// shape, and never enlarged.
TEST(Slideshow, FitsPhotosWithinTheBox) {
  const std::vector<FitCase> cases = {
      {{4000, 3000}, {3840, 2160}, {2880, 2160}},
      {{3024, 4032}, {3840, 2160}, {1620, 2160}},  // portrait
      {{1600, 400}, {1024, 768}, {1024, 256}},     // panorama
      {{1000, 500}, {1024, 768}, {1000, 500}},     // fits: as it is
      {{3840, 2160}, {3840, 2160}, {3840, 2160}},
      {{3841, 2160}, {3840, 2160}, {3840, 2159}},  // 2159.44
      {{3, 2}, {2, 2}, {2, 1}},                    // 1.33 rounds to 1
      {{100000, 1}, {100, 100}, {100, 1}},         // never below one pixel
      {{1, 100000}, {100, 100}, {1, 100}},
      {{16384, 2441}, {3840, 2160}, {3840, 572}},  // 572.11
  };
  for (const FitCase& c : cases) {
    EXPECT_EQ(FitWithin(c.picture, c.box), c.expected)
        << c.picture.width << "x" << c.picture.height << " in " << c.box.width << "x"
        << c.box.height;
  }
}

std::vector<std::string> Paths(const std::vector<SlideCandidate>& slides) {
  std::vector<std::string> paths;
  for (const SlideCandidate& s : slides) paths.push_back(s.relativePath);
  return paths;
}

// Date order puts the oldest first and breaks ties by name; a shuffle depends
// on the seed and the set of photos, not on the order the folder listed them.
TEST(Slideshow, OrdersByDateAndBySeed) {
  std::vector<SlideCandidate> slides = {
      {"c.jpg", 300}, {"b10.jpg", 100}, {"b9.jpg", 100}, {"a.jpg", 200}};
  OrderSlides(slides, SlideOrder::Date, 0);
  EXPECT_EQ(Paths(slides), (std::vector<std::string>{"b9.jpg", "b10.jpg", "a.jpg", "c.jpg"}));

  std::vector<SlideCandidate> many;
  for (int i = 0; i < 40; ++i) many.push_back({"p" + std::to_string(i) + ".jpg", 0});
  std::vector<SlideCandidate> reversed(many.rbegin(), many.rend());
  std::vector<SlideCandidate> other = many;
  OrderSlides(many, SlideOrder::Shuffle, 7);
  OrderSlides(reversed, SlideOrder::Shuffle, 7);
  OrderSlides(other, SlideOrder::Shuffle, 8);
  EXPECT_EQ(Paths(many), Paths(reversed)) << "seed 7 from two listings";
  EXPECT_NE(Paths(many), Paths(other)) << "seeds 7 and 8";
  std::vector<std::string> sorted = Paths(many);
  std::sort(sorted.begin(), sorted.end());
  std::vector<SlideCandidate> named = many;
  OrderSlides(named, SlideOrder::Name, 0);
  std::vector<std::string> names = Paths(named);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(sorted, names) << "a shuffle keeps every photo once";
  EXPECT_NE(Paths(many), Paths(named)) << "seed 7 shuffles";
}

struct EffectCase {
  SlideEffects effects;
  bool randomEffects;
  std::int16_t effectCode;
};

// The show the writer stores: every screen a photo fitted, centred, on black,
// with the chosen change; captions that come from any file name go through
// the writer, which refuses texts that would break the configuration.
TEST(Slideshow, PlansAShowTheWriterStores) {
  const std::vector<EffectCase> cases = {
      {SlideEffects::Random, true, 1000},
      {SlideEffects::CrossFade, false, -100},
      {SlideEffects::None, false, 1000},
  };
  for (const EffectCase& c : cases) {
    SlideshowStyle style;
    style.title = "Holiday";
    style.effects = c.effects;
    style.crossFadeSteps = 12;
    style.displaySeconds = 6.5F;
    const std::vector<Slide> slides = {
        {"a.jpg", CaptionFromFileName("\xC3\xBF\xC3\xBF_\xFF.jpg"), "photo a.jpg"},
        {"b.png", "", "photo b.png"}};
    const PackagePlan plan = SlideshowPlan(slides, {"music/\xC3\xBF-song.mp3"}, style);
    ASSERT_EQ(plan.package.Screens.size(), 2U);
    ASSERT_EQ(plan.media.size(), 3U);
    EXPECT_EQ(plan.package.Global.RandomEffects, c.randomEffects);
    EXPECT_TRUE(plan.package.Global.RepeatAudio);
    EXPECT_EQ(plan.package.AudioTracks.at(0).TrackFileName, "y-song.mp3");
    for (const ScreenSettings& s : plan.package.Screens) {
      EXPECT_EQ(s.ImageSizing, kSlideSizing);
      EXPECT_EQ(s.ImagePlacement, 0);
      EXPECT_EQ(s.BackgroundColor, 0);
      EXPECT_EQ(s.EffectCode, c.effectCode);
      if (c.effects == SlideEffects::CrossFade) {
        EXPECT_EQ(s.CrossFadeParam, 12);
      }
      EXPECT_EQ(s.DisplaySeconds, 6.5F);
    }
    EXPECT_EQ(plan.package.Screens[0].CaptionText, "yy ?");
    EXPECT_EQ(plan.package.Screens[1].CaptionText, "");
    EXPECT_TRUE(FormatConfiguration(plan.package).has_value());
  }
}

}  // namespace
}  // namespace vistel
