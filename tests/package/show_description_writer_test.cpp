// Writing a show description: what is written must read back as the same
// show, or the demo's show.json would build another package than the demo.
#include "package/show_description_writer.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <string>
#include <variant>

#include "package/fields.hpp"
#include "package/show_description.hpp"

namespace vistel {
namespace {

constexpr const char* kBase = "/shows/demo";

template <class Record, class Table>
std::string FirstDifference(const Record& a, const Record& b, const Table& table) {
  for (const auto& field : table) {
    if (!std::visit([&](auto p) { return a.*p == b.*p; }, field.member)) {
      return std::string(field.name);
    }
  }
  return "";
}

// A show that uses every kind of value the writer has to spell: texts with
// accents and line breaks, Singles without a short binary form, colours that
// are and are not plain RGB, kinds the media decide and one they do not.
PackagePlan UnusualShow() {
  PackagePlan plan;
  Package& p = plan.package;
  p.Global.PublisherName = "Caf\xE9 du Port";  // Windows-1252 bytes
  p.Global.SaverTitle = "Title \x96 with a dash";
  p.Global.RandomEffects = true;
  p.Global.RepeatAudio = true;

  ScreenSettings a = DefaultScreenSettings();
  a.BackgroundKind = 1;
  a.CaptionText =
      "Cr\xE8me br\xFBl\xE9"
      "e\r\nline two";
  a.CaptionForeColor = 0x00336699;
  a.CaptionBackColor = -1;  // not a plain RGB value: written as a number
  a.CaptionYDivisor = 1.15F;
  a.ImageScale = 33.3F;
  a.DisplaySeconds = 0.1F;
  a.EffectCode = -100;
  a.CrossFadeParam = 300;
  a.EffectParam4 = -7;
  a.EffectParam6 = 36095;
  a.ImageOptionFlag = true;
  p.Screens.push_back(a);
  plan.media.push_back({MediumSlot::Background, 0, "/shows/demo/pics/sky.jpg", ""});
  plan.media.push_back({MediumSlot::Image, 0, "/elsewhere/boat.png", ""});

  ScreenSettings b = DefaultScreenSettings();
  b.ScreenKind = 2;  // a kind the video does not decide: written as it is
  b.VideoSize = 7;
  b.VideoPlacement = 9;
  b.VideoXDivisor = -86.17347F;
  p.Screens.push_back(b);
  plan.media.push_back({MediumSlot::Video, 1, "/shows/demo/clip.mpg", ""});

  p.Screens.push_back(DefaultScreenSettings());  // background and caption only

  AudioTrack named;
  named.TrackFileName = "gulls.wav";  // not the file's own name
  named.TrackExtra = 12;
  p.AudioTracks.push_back(named);
  plan.media.push_back({MediumSlot::Track, 0, "/shows/demo/music/take3.wav", ""});
  AudioTrack own;
  own.TrackFileName = "tune.mid";
  p.AudioTracks.push_back(own);
  plan.media.push_back({MediumSlot::Track, 1, "/shows/demo/tune.mid", ""});
  return plan;
}

TEST(ShowDescriptionWriter, WhatIsWrittenReadsBackAsTheSameShow) {
  const PackagePlan plan = UnusualShow();
  const auto text = WriteShowDescription(plan, kBase);
  ASSERT_TRUE(text.has_value()) << text.error().description;
  const auto back = ParseShowDescription(*text, kBase);
  ASSERT_TRUE(back.has_value()) << back.error().description << "\nin:\n" << *text;

  const Package& want = plan.package;
  const Package& got = back->package;
  EXPECT_EQ(FirstDifference(got.Global, want.Global, kGlobalFields), "") << *text;
  ASSERT_EQ(got.Screens.size(), want.Screens.size());
  for (std::size_t i = 0; i < want.Screens.size(); ++i) {
    EXPECT_EQ(FirstDifference(got.Screens[i], want.Screens[i], kScreenFields), "")
        << "screen " << i << " in:\n"
        << *text;
  }
  ASSERT_EQ(got.AudioTracks.size(), want.AudioTracks.size());
  for (std::size_t i = 0; i < want.AudioTracks.size(); ++i) {
    EXPECT_EQ(FirstDifference(got.AudioTracks[i], want.AudioTracks[i], kAudioFields), "")
        << "track " << i << " in:\n"
        << *text;
  }
  ASSERT_EQ(back->media.size(), plan.media.size());
  for (std::size_t i = 0; i < plan.media.size(); ++i) {
    EXPECT_EQ(back->media[i].slot, plan.media[i].slot) << i;
    EXPECT_EQ(back->media[i].index, plan.media[i].index) << i;
    // The same file: Windows reads the paths back with its own separator.
    EXPECT_EQ(std::filesystem::path(back->media[i].path).lexically_normal(),
              std::filesystem::path(plan.media[i].path).lexically_normal())
        << i;
  }
  // Readable as well as right: the short forms an author would write.
  EXPECT_NE(text->find("\"pics/sky.jpg\""), std::string::npos) << *text;
  EXPECT_NE(text->find("1.15,"), std::string::npos) << *text;
  EXPECT_NE(text->find("\"#996633\""), std::string::npos) << *text;
  EXPECT_NE(text->find("Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
                       "e\\nline two"),
            std::string::npos)
      << *text;
}

TEST(ShowDescriptionWriter, ShowsADescriptionCannotHoldAreRefused) {
  struct Case {
    const char* what;
    void (*spoil)(PackagePlan&);
  };
  const Case cases[] = {
      {"a caption with a CR alone",
       [](PackagePlan& p) { p.package.Screens[0].CaptionText = "a\rb"; }},
      {"a Single that is not finite",
       [](PackagePlan& p) {
         p.package.Screens[0].DisplaySeconds = std::numeric_limits<float>::infinity();
       }},
      {"an image range given by hand",
       [](PackagePlan& p) {
         p.package.Screens[2].ImagePosition = 5;
         p.package.Screens[2].ImageLength = 10;
       }},
      {"a track range given by hand",
       [](PackagePlan& p) {
         p.package.AudioTracks.push_back({"x.wav", 0, 5, 10});
       }},
  };
  for (const Case& c : cases) {
    PackagePlan plan = UnusualShow();
    c.spoil(plan);
    EXPECT_FALSE(WriteShowDescription(plan, kBase).has_value()) << c.what;
  }
}

}  // namespace
}  // namespace vistel
