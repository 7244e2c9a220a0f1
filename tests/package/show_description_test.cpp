// The show description: defaults, media paths and the kinds they decide,
// conversions to the record types, and the mistakes that must be reported
// with their place instead of vanishing.
#include "package/show_description.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <variant>

#include "base/input_limits.hpp"
#include "fuzz_findings.hpp"
#include "package/fields.hpp"

namespace vistel {
namespace {

PackagePlan Parse(const std::string& json) {
  auto plan = ParseShowDescription(json, "/shows/demo");
  EXPECT_TRUE(plan.has_value()) << "expected the description to parse, got: "
                                << (plan ? "" : plan.error().description);
  return plan ? *plan : PackagePlan{};
}

// The first error for a description, or "" when it parses.
std::string ErrorOf(const std::string& json) {
  const auto plan = ParseShowDescription(json, "/shows/demo");
  return plan ? "" : plan.error().description;
}

bool SameScreen(const ScreenSettings& a, const ScreenSettings& b, std::string* differs) {
  for (const ScreenField& field : kScreenFields) {
    if (!std::visit([&](auto p) { return a.*p == b.*p; }, field.member)) {
      *differs = field.name;
      return false;
    }
  }
  return true;
}

TEST(ShowDescription, OmittedFieldsTakeTheDocumentedDefaults) {
  const PackagePlan plan = Parse(R"({"screens": [{}]})");
  ASSERT_EQ(plan.package.Screens.size(), 1U);
  const ScreenSettings& screen = plan.package.Screens[0];
  std::string differs;
  EXPECT_TRUE(SameScreen(screen, DefaultScreenSettings(), &differs)) << differs;
  EXPECT_EQ(screen.DisplaySeconds, 5.0F);
  EXPECT_EQ(screen.EffectCode, 1000);
  EXPECT_EQ(screen.ScreenKind, 0);
  EXPECT_EQ(screen.BackgroundKind, 0);
  EXPECT_NE(screen.CaptionXDivisor, 0.0F) << "a zero divisor would make placement 9 fail";
  EXPECT_EQ(plan.package.Global.SaverTitle, "");
  EXPECT_FALSE(plan.package.Global.RepeatAudio);
  EXPECT_TRUE(plan.package.AudioTracks.empty());
  EXPECT_TRUE(plan.media.empty());
}

TEST(ShowDescription, FieldsConvertToTheirRecordTypes) {
  const PackagePlan plan = Parse(R"({
    // comments are allowed
    "PublisherName": "Caf\u00e9 \u20ac", "RandomEffects": true,
    "screens": [{"EffectCode": -100, "CrossFadeParam": 32, "DisplaySeconds": 2.000164,
                 "ImageOptionFlag": true, "CaptionText": "one\ntwo\r\nthree",
                 "CaptionBackColor": "#FF8000", "BackgroundColor": 16711680}]})");
  EXPECT_EQ(plan.package.Global.PublisherName, "Caf\xE9 \x80");  // Windows-1252 bytes
  EXPECT_TRUE(plan.package.Global.RandomEffects);
  const ScreenSettings& s = plan.package.Screens.at(0);
  EXPECT_EQ(s.EffectCode, -100);
  EXPECT_EQ(s.CrossFadeParam, 32);
  EXPECT_EQ(s.DisplaySeconds, 2.000164F);
  EXPECT_TRUE(s.ImageOptionFlag);
  EXPECT_EQ(s.CaptionText, "one\r\ntwo\r\nthree");
  EXPECT_EQ(s.CaptionBackColor, 0x0080FF) << "expected #RRGGBB as COLORREF 0x00BBGGRR";
  EXPECT_EQ(s.BackgroundColor, 16711680);
}

TEST(ShowDescription, MediaAreResolvedAndDecideTheKinds) {
  const PackagePlan plan = Parse(R"({
    "tracks": [{"file": "music/a.mp3"}, {"file": "/abs/b.wav", "TrackFileName": "x.wav",
                                         "TrackExtra": 7}],
    "screens": [{"background": "bg.jpg", "image": "pics/../pics/one.png"},
                {"video": "clip.mpg", "VideoSize": 7}]})");
  ASSERT_EQ(plan.package.Screens.size(), 2U);
  EXPECT_EQ(plan.package.Screens[0].BackgroundKind, 1);
  EXPECT_EQ(plan.package.Screens[0].ScreenKind, 0);
  EXPECT_EQ(plan.package.Screens[1].ScreenKind, 1);
  EXPECT_EQ(plan.package.Screens[1].VideoSize, 7);
  ASSERT_EQ(plan.package.AudioTracks.size(), 2U);
  EXPECT_EQ(plan.package.AudioTracks[0].TrackFileName, "a.mp3");
  EXPECT_EQ(plan.package.AudioTracks[1].TrackFileName, "x.wav");
  EXPECT_EQ(plan.package.AudioTracks[1].TrackExtra, 7);

  // Screens' media come first in the file, then the music.
  ASSERT_EQ(plan.media.size(), 5U);
  const auto expect = [&](std::size_t i, MediumSlot slot, std::size_t index, const char* path,
                          const char* label) {
    EXPECT_EQ(plan.media[i].slot, slot) << i;
    EXPECT_EQ(plan.media[i].index, index) << i;
    EXPECT_EQ(std::filesystem::path(plan.media[i].path).generic_string(), path) << i;
    EXPECT_EQ(plan.media[i].label, label) << i;
  };
  expect(0, MediumSlot::Background, 0, "/shows/demo/bg.jpg", "screens[0].background");
  expect(1, MediumSlot::Image, 0, "/shows/demo/pics/one.png", "screens[0].image");
  expect(2, MediumSlot::Video, 1, "/shows/demo/clip.mpg", "screens[1].video");
  expect(3, MediumSlot::Track, 0, "/shows/demo/music/a.mp3", "tracks[0].file");
  expect(4, MediumSlot::Track, 1, "/abs/b.wav", "tracks[1].file");
}

TEST(ShowDescription, MistakesAreReportedWithTheirPlace) {
  struct Case {
    const char* json;
    const char* message;  // a part of the expected message
  };
  const Case cases[] = {
      {R"({"screens": [{"EfectCode": 5}]})",
       R"(screens[0]: unknown key "EfectCode" (did you mean "EffectCode"?))"},
      {R"({"SaverTitel": "x", "screens": [{}]})", R"(did you mean "SaverTitle"?)"},
      {R"({"screens": [{}], "tracks": [{"fil": "a.mp3"}]})", R"(tracks[0]: unknown key "fil")"},
      {R"({"screens": [{"EffectCode": 1, "EffectCode": 2}]})", R"("EffectCode" appears twice)"},
      {R"({"screens": [{"EffectCode": 40000}]})",
       "screens[0].EffectCode: 40000 is outside -32768 to 32767"},
      {R"({"screens": [{"ImageLength": 1.5}]})", "screens[0].ImageLength: expected a whole number"},
      {R"({"screens": [{"DisplaySeconds": "5"}]})", "screens[0].DisplaySeconds: expected a number"},
      {R"({"screens": [{"DisplaySeconds": 1e39}]})", "beyond single precision"},
      {R"({"screens": [{"ImageOptionFlag": 1}]})", "expected true or false"},
      {R"({"screens": [{"CaptionFontName": "\u4e2d"}]})", "screens[0].CaptionFontName"},
      {R"({"screens": [{"EffectParam6": "#FFFFFF"}]})", "expected a whole number"},
      {R"({"screens": [{"CaptionBackColor": "#FFF"}]})", "#RRGGBB"},
      {R"({"screens": [{"image": "a.png", "ImageLength": 5}]})",
       R"(ImageLength is computed from "image")"},
      {R"({"screens": [{"image": "a.png", "video": "b.mpg"}]})", "not both"},
      {R"({"screens": [{"video": "b.mpg", "ScreenKind": 0}]})", "would not play"},
      {R"({"screens": [{"image": "a.png", "ScreenKind": 1}]})", "would not show"},
      {R"({"screens": [{"background": "a.png", "BackgroundKind": 2}]})", "it needs 1"},
      {R"({"screens": [{"BackgroundKind": 1}]})", R"(give "background")"},
      {R"({"screens": [{"ScreenKind": 1}]})", R"(give "video")"},
      {R"({"screens": [{"image": ""}]})", "screens[0].image: expected the path of a file"},
      {R"({"screens": [{}], "tracks": [{"file": "a.mp3", "TrackLength": 3}]})",
       R"(TrackLength is computed from "file")"},
      {R"({"screens": [{}], "tracks": [{"file": "a.mp3"}, {"TrackFileName": "b.mp3"}]})",
       R"(tracks[1]: give the track's "file")"},
      {R"({"screens": []})", "at least one screen"},
      {R"({"tracks": []})", "\"screens\" is missing"},
      {R"({"screens": {}})", "screens: expected an array"},
      {R"([1, 2])", "expected an object at the top"},
      {R"({"screens": [{}],})", "not valid JSON"},
  };
  for (const Case& c : cases) {
    const std::string error = ErrorOf(c.json);
    EXPECT_NE(error.find(c.message), std::string::npos)
        << "for " << c.json << "\nexpected a message with: " << c.message << "\ngot: " << error;
  }
}

// A description is a stranger's file too: its mistakes are told in a short
// message (a long key is neither quoted whole nor compared with every known
// name letter by letter), and no more screens or tracks than a package holds.
TEST(ShowDescription, HostileDescriptionsEndInAShortMessage) {
  const std::string longKey(200000, 'k');
  const auto many = [](std::size_t count, const std::string& element) {
    std::string list = "[";
    for (std::size_t i = 0; i < count; ++i) list += (i ? "," : "") + element;
    return list + "]";
  };
  const struct {
    const char* what;
    std::string json;
    std::string says;
  } cases[] = {
      {"a long unknown key", R"({"screens": [{")" + longKey + R"(": 1}]})", "unknown key \"kkkk"},
      {"a long repeated key", "{\"" + longKey + "\": 1, \"" + longKey + "\": 2}", "appears twice"},
      {"a long bad literal", R"({"screens": )" + longKey + "}", "not valid JSON"},
      {"deep nesting", std::string(100000, '[') + std::string(100000, ']'), "nest"},
      {"more screens than a package holds",
       R"({"screens": )" + many(limits::kMaxScreens + 1, "{}") + "}",
       std::to_string(limits::kMaxScreens)},
      {"more tracks than a package holds",
       R"({"screens": [{}], "tracks": )" + many(limits::kMaxTracks + 1, R"({"TrackLength": 1})") +
           "}",
       std::to_string(limits::kMaxTracks)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string error = ErrorOf(c.json);
    EXPECT_NE(error.find(c.says), std::string::npos) << error.substr(0, 300);
    EXPECT_LT(error.size(), 200U) << "the message repeats the input";
  }
}

// The JSON library throws its own kind of error for a number beyond double
// precision; it once escaped the parser and ended vistel-pack.
TEST(ShowDescription, NumbersBeyondDoublePrecisionAreAnError) {
  EXPECT_EQ(ErrorOf(testing::ReadFuzzFinding("show_description", "crash-number-overflow.json")),
            "not valid JSON: number overflow parsing '8e334'");
  EXPECT_EQ(ErrorOf(R"({"screens": [{"DisplaySeconds": -1e400}]})"),
            "not valid JSON: number overflow parsing '-1e400'");
}

TEST(ShowDescription, AFirstTrackWithoutNameOrFileMeansNoMusic) {
  const PackagePlan plan = Parse(R"({"screens": [{}], "tracks": [{}]})");
  ASSERT_EQ(plan.package.AudioTracks.size(), 1U);
  EXPECT_EQ(plan.package.AudioTracks[0].TrackFileName, "");
  EXPECT_TRUE(plan.media.empty());
}

}  // namespace
}  // namespace vistel
