// The configuration text parser: line order, field numbers, the resume-next
// rule for fields, and the texts that must be refused.
#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "base/input_limits.hpp"
#include "package/fields.hpp"
#include "package/reader.hpp"
#include "package_fixtures.hpp"

namespace vistel {
namespace {

using testing::ExampleConfiguration;
using testing::Line;
using testing::Text;

// True when every field of the record is 0, "" or False.
bool AllFieldsDefault(const ScreenSettings& screen) {
  for (const ScreenField& field : kScreenFields) {
    const bool isDefault = std::visit(
        [&](auto pointer) { return screen.*pointer == decltype(screen.*pointer){}; }, field.member);
    if (!isDefault) return false;
  }
  return true;
}

Package Parse(const std::string& text) {
  Package package;
  const auto result = ParseConfiguration(text, package);
  EXPECT_TRUE(result.has_value()) << "expected the text to parse, got: "
                                  << DescribePackageProblem(result.error());
  return package;
}

std::string GlobalLine() {
  return Line({"[GLOBAL]", "Publisher", "Title", "Web", "True", "False", "True"});
}

// A screen group whose lines carry the given first fields.
std::string Group(const std::string& kind, const std::string& videoLength = "0") {
  return Text({Line({"[SCREEN-GLOBAL]", kind}), Line({"[SCREEN-BACKGROUND]", "0", "0", "0", "0"}),
               Line({"[SCREEN-IMAGE]", "0", "0"}),
               Line({"[SCREEN-VIDEO]", "0", "0", videoLength, "1"}),
               Line({"[SCREEN-CAPTION]", "0", "0", "text"})});
}

TEST(ParseConfiguration, ExampleShowHasOneVideoScreenAndNoMusic) {
  const Package package = Parse(ExampleConfiguration());

  EXPECT_EQ(package.Global.PublisherName, "Unknown");
  EXPECT_EQ(package.Global.SaverTitle, "My Screen Saver");
  EXPECT_EQ(package.Global.WebsiteText, "www.example.com");
  EXPECT_FALSE(package.Global.RandomScreenOrder);
  EXPECT_TRUE(package.AudioTracks.empty());
  ASSERT_EQ(package.Screens.size(), 1U);
  const ScreenSettings& screen = package.Screens[0];
  EXPECT_EQ(screen.ScreenKind, 1);
  EXPECT_EQ(screen.VideoLength, 5856480);
  EXPECT_EQ(screen.VideoPosition, 225282);
  EXPECT_EQ(screen.EffectCode, 1000);
  EXPECT_EQ(screen.DisplaySeconds, 5.0F);
  EXPECT_EQ(screen.CaptionText, "");
  EXPECT_EQ(screen.CaptionFontName, "Arial");
  EXPECT_EQ(screen.CaptionFontSize, 12);
  EXPECT_EQ(screen.CaptionPlacement, 4);
  EXPECT_EQ(screen.CaptionXDivisor, 2.002457F);
  EXPECT_EQ(screen.VideoXDivisor, 14.69351F);
  EXPECT_EQ(screen.VideoYDivisor, -86.17347F);
  EXPECT_EQ(screen.VideoSize, 7);
  EXPECT_EQ(screen.ImageScale, 100.0F);
  EXPECT_FALSE(screen.ImageOptionFlag);
  EXPECT_EQ(screen.ImageOptionColor, 16777215);
  EXPECT_EQ(screen.EffectParam7, 16711680);
  EXPECT_EQ(screen.CrossFadeParam, 5);
}

// Each field holds line * 100 + field number, so a field read from the wrong
// place shows up as the wrong number. The expectations follow the record
// layout of the stored format, written out here independently of the tables.
TEST(ParseConfiguration, EveryRecordFieldComesFromItsLineAndFieldNumber) {
  const auto numbered = [](const char* name, int line, int count) {
    std::string text = name;
    for (int field = 1; field <= count; ++field) {
      text += '\xFF';
      text += std::to_string(line * 100 + field);
    }
    return text;
  };
  std::string image = numbered("[SCREEN-IMAGE]", 2, 28);
  image.replace(image.find("212"), 3, "True");  // the Boolean option
  std::string caption = numbered("[SCREEN-CAPTION]", 4, 11);
  caption.replace(caption.find("403"), 3, "cap3");
  caption.replace(caption.find("407"), 3, "cap7");
  const Package package = Parse(
      Text({GlobalLine(), numbered("[SCREEN-GLOBAL]", 0, 1), numbered("[SCREEN-BACKGROUND]", 1, 5),
            image, numbered("[SCREEN-VIDEO]", 3, 7), caption}));
  ASSERT_EQ(package.Screens.size(), 1U);
  const ScreenSettings& s = package.Screens[0];

  EXPECT_EQ(s.ScreenKind, 1);
  EXPECT_EQ(s.BackgroundColor, 101);
  EXPECT_EQ(s.BackgroundKind, 102);
  EXPECT_EQ(s.BackgroundLength, 103);
  EXPECT_EQ(s.BackgroundPosition, 104);
  EXPECT_EQ(s.ImageBackColor, 201);
  EXPECT_EQ(s.ImageLength, 202);
  EXPECT_EQ(s.ImagePosition, 203);
  EXPECT_EQ(s.ImagePlacement, 204);
  EXPECT_EQ(s.EffectCode, 205);
  EXPECT_EQ(s.EffectParam1, 206);
  EXPECT_EQ(s.ImageScale, 207.0F);
  EXPECT_EQ(s.ImageXDivisor, 208.0F);
  EXPECT_EQ(s.ImageYDivisor, 209.0F);
  EXPECT_EQ(s.EffectParam2, 210);
  EXPECT_EQ(s.EffectParam3, 211);
  EXPECT_TRUE(s.ImageOptionFlag);
  EXPECT_EQ(s.ImageOptionColor, 213);
  EXPECT_EQ(s.EffectParam4, 214);
  EXPECT_EQ(s.EffectParam5, 215);
  EXPECT_EQ(s.ImageSizing, 216);
  EXPECT_EQ(s.EffectParam6, 217);
  EXPECT_EQ(s.EffectParam7, 218);
  EXPECT_EQ(s.EffectParam8, 219);
  EXPECT_EQ(s.EffectParam9, 220);
  EXPECT_EQ(s.EffectParam10, 221);
  EXPECT_EQ(s.EffectParam11, 222);
  EXPECT_EQ(s.EffectParam12, 223);
  EXPECT_EQ(s.EffectParam13, 224);
  EXPECT_EQ(s.EffectParam14, 225);
  EXPECT_EQ(s.DisplaySeconds, 226.0F);  // field 227 is never read
  EXPECT_EQ(s.CrossFadeParam, 228);
  EXPECT_EQ(s.VideoXDivisor, 301.0F);
  EXPECT_EQ(s.VideoYDivisor, 302.0F);
  EXPECT_EQ(s.VideoLength, 303);
  EXPECT_EQ(s.VideoPosition, 304);
  EXPECT_EQ(s.VideoPlacement, 305);
  EXPECT_EQ(s.VideoSize, 306);
  EXPECT_EQ(s.CaptionBackColor, 401);
  EXPECT_EQ(s.CaptionAppearance, 402);
  EXPECT_EQ(s.CaptionText, "cap3");
  EXPECT_EQ(s.CaptionBold, 404);
  EXPECT_EQ(s.CaptionForeColor, 405);
  EXPECT_EQ(s.CaptionItalic, 406);
  EXPECT_EQ(s.CaptionFontName, "cap7");
  EXPECT_EQ(s.CaptionFontSize, 408);
  EXPECT_EQ(s.CaptionXDivisor, 409.0F);
  EXPECT_EQ(s.CaptionYDivisor, 410.0F);
  EXPECT_EQ(s.CaptionPlacement, 411);
}

TEST(ParseConfiguration, AudioLinesFillTracksInOrderAndPumpEventsAfterEach) {
  const std::string text =
      Text({GlobalLine(), Line({"[AUDIO-FILE]", "1000", "65", "C:\\music\\one.mid", "7"}),
            Line({"[AUDIO-FILE]", "2000", "1065", "two.mp3", "0"})}) +
      Group("0");
  Package package;
  int pumps = 0;
  ASSERT_TRUE(ParseConfiguration(text, package, [&] { ++pumps; }).has_value());

  EXPECT_EQ(pumps, 2);
  ASSERT_EQ(package.AudioTracks.size(), 2U);
  EXPECT_EQ(package.AudioTracks[0].TrackLength, 1000);
  EXPECT_EQ(package.AudioTracks[0].TrackPosition, 65);
  EXPECT_EQ(package.AudioTracks[0].TrackFileName, "C:\\music\\one.mid");
  EXPECT_EQ(package.AudioTracks[0].TrackExtra, 7);
  EXPECT_EQ(package.AudioTracks[1].TrackFileName, "two.mp3");
  EXPECT_EQ(package.AudioTracks[1].TrackPosition, 1065);
  ASSERT_EQ(package.Screens.size(), 1U);
  EXPECT_EQ(package.Screens[0].CaptionText, "text");
}

TEST(ParseConfiguration, SectionNamesOtherThanAudioAreNotCheckedAndAudioIsCaseSensitive) {
  // "[audio-file]" is not an audio line, so it starts the first screen group.
  const Package package =
      Parse(Text({GlobalLine(), Line({"[audio-file]", "5", "6", "x.mid"}), Line({"[X]", "0"}),
                  Line({"[Y]", "0"}), Line({"[Z]", "0", "0", "77"}), Line({"[W]"})}));
  EXPECT_TRUE(package.AudioTracks.empty());
  ASSERT_EQ(package.Screens.size(), 1U);
  EXPECT_EQ(package.Screens[0].ScreenKind, 5);
  EXPECT_EQ(package.Screens[0].VideoLength, 77);
}

TEST(ParseConfiguration, GroupLayoutAtTheEndOfTheText) {
  const std::string twoGroups = Text({GlobalLine()}) + Group("0", "10") + Group("1", "20");

  {
    SCOPED_TRACE("a text without the final CR LF still yields every group");
    const Package package = Parse(twoGroups.substr(0, twoGroups.size() - 2));
    ASSERT_EQ(package.Screens.size(), 2U);
    EXPECT_EQ(package.Screens[1].ScreenKind, 1);
    EXPECT_EQ(package.Screens[1].CaptionText, "text");
  }
  {
    SCOPED_TRACE("one extra empty line yields one extra screen of zeros");
    const Package package = Parse(twoGroups + "\r\n");
    ASSERT_EQ(package.Screens.size(), 3U);
    EXPECT_EQ(package.Screens[1].VideoLength, 20);
    EXPECT_TRUE(AllFieldsDefault(package.Screens[2]));
  }
  {
    SCOPED_TRACE("a short last group fills what exists");
    const Package package = Parse(
        twoGroups + Text({Line({"[SCREEN-GLOBAL]", "1"}), Line({"[SCREEN-BACKGROUND]", "255"})}));
    ASSERT_EQ(package.Screens.size(), 3U);
    EXPECT_EQ(package.Screens[2].ScreenKind, 1);
    EXPECT_EQ(package.Screens[2].BackgroundColor, 255);
    EXPECT_EQ(package.Screens[2].VideoLength, 0);
    EXPECT_EQ(package.Screens[2].CaptionText, "");
  }
}

TEST(ParseConfiguration, CaptionNulBytesBecomeLineBreaks) {
  const auto captionOf = [](std::string field) {
    const Package package = Parse(Text({GlobalLine(), Line({"[SCREEN-GLOBAL]", "0"}), Line({"B"}),
                                        Line({"I"}), Line({"V"}), Line({"C", "0", "0", field})}));
    return package.Screens.at(0).CaptionText;
  };
  EXPECT_EQ(captionOf(std::string("two\0words", 9)), "two\r\nwords");
  EXPECT_EQ(captionOf(std::string("\0a\0\0b\0", 6)), "\r\na\r\n\r\nb\r\n");
  EXPECT_EQ(captionOf("plain"), "plain");
}

TEST(ParseConfiguration, FieldThatDoesNotConvertKeepsItsTargetAndTheNextFieldsStillRead) {
  const Package package =
      Parse(Text({GlobalLine(), Line({"[SCREEN-GLOBAL]", "abc"}),
                  Line({"[SCREEN-BACKGROUND]", "12", "1", "300", "7"}),
                  Line({"[SCREEN-IMAGE]", "0", "0", "0", "0", "40000", "-100", "1e2"}),
                  Line({"[SCREEN-VIDEO]", "0", "0", "abc", "225282"}),
                  Line({"[SCREEN-CAPTION]", "1", "2", "hi"})}));
  const ScreenSettings& s = package.Screens.at(0);
  EXPECT_EQ(s.ScreenKind, 0) << "\"abc\" is no Long";
  EXPECT_EQ(s.VideoLength, 0) << "\"abc\" is no Long";
  EXPECT_EQ(s.VideoPosition, 225282);
  EXPECT_EQ(s.EffectCode, 0) << "40000 overflows an Integer";
  EXPECT_EQ(s.EffectParam1, -100);
  EXPECT_EQ(s.ImageScale, 100.0F);
  EXPECT_EQ(s.BackgroundKind, 1);
  EXPECT_EQ(s.BackgroundPosition, 7);
  EXPECT_EQ(s.CaptionText, "hi");
}

TEST(ParseConfiguration, GlobalFieldThatIsMissingOrBadKeepsThePreviousValue) {
  Package package;
  package.Global.WebsiteText = "kept";
  package.Global.RandomScreenOrder = true;
  package.Global.RepeatAudio = true;
  ASSERT_TRUE(
      ParseConfiguration(Text({Line({"[GLOBAL]", "P", "T"})}) + Group("0"), package).has_value());
  EXPECT_EQ(package.Global.PublisherName, "P");
  EXPECT_EQ(package.Global.WebsiteText, "kept") << "field 3 is missing";

  ASSERT_TRUE(
      ParseConfiguration(
          Text({Line({"[GLOBAL]", "P", "T", "W", "maybe", "TRUE", "0"})}) + Group("0"), package)
          .has_value());
  EXPECT_TRUE(package.Global.RandomScreenOrder) << "\"maybe\" is no Boolean";
  EXPECT_TRUE(package.Global.RandomEffects);
  EXPECT_FALSE(package.Global.RepeatAudio);
}

TEST(ParseConfiguration, FieldsPastTheKnownOnesAreIgnored) {
  std::string video = Line({"[SCREEN-VIDEO]", "1", "2", "33", "44", "5", "6", "path"});
  for (int i = 0; i < 1000; ++i) video += "\xFFjunk";
  const Package package = Parse(Text(
      {GlobalLine(), Line({"[SCREEN-GLOBAL]", "1"}), "B", "I", video, Line({"C", "0", "0", "c"})}));
  EXPECT_EQ(package.Screens.at(0).VideoLength, 33);
  EXPECT_EQ(package.Screens.at(0).CaptionText, "c");
}

TEST(ParseConfiguration, ManyGroupsKeepTheirOrder) {
  std::string text = Text({GlobalLine()});
  for (int i = 0; i < 10000; ++i) text += Group("0", std::to_string(i));
  const Package package = Parse(text);
  ASSERT_EQ(package.Screens.size(), 10000U);
  EXPECT_EQ(package.Screens[0].VideoLength, 0);
  EXPECT_EQ(package.Screens[4321].VideoLength, 4321);
  EXPECT_EQ(package.Screens[9999].VideoLength, 9999);
}

// Texts on which the original never leaves its audio loop, or that hold no
// screen group: each is refused, and leaves the package as it was.
TEST(ParseConfiguration, TextsWithoutAScreenGroupAreRefusedAndChangeNothing) {
  const std::string audio = Line({"[AUDIO-FILE]", "1", "1", "a.mid", "0"});
  const struct {
    const char* what;
    std::string text;
  } cases[] = {
      {"empty text", ""},
      {"one line without CR LF", GlobalLine()},
      {"the global line alone", Text({GlobalLine()})},
      {"music only", Text({GlobalLine(), audio, audio})},
      {"music only, no final CR LF", Text({GlobalLine()}) + audio},
      {"an empty line where the first group starts", Text({GlobalLine(), ""}) + Group("0")},
      {"an empty line after music", Text({GlobalLine(), audio, ""}) + Group("0")},
      {"a first group line that is the text's last piece",
       Text({GlobalLine()}) + Line({"[SCREEN-GLOBAL]", "1"})},
      {"CR LF only", "\r\n\r\n\r\n\r\n\r\n\r\n\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Package package;
    package.Global.SaverTitle = "before";
    package.Screens.resize(2);
    int pumps = 0;
    const auto result = ParseConfiguration(c.text, package, [&] { ++pumps; });
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error(), PackageProblem::NoScreenGroup);
    EXPECT_EQ(package.Global.SaverTitle, "before");
    EXPECT_EQ(package.Screens.size(), 2U);
    EXPECT_TRUE(package.AudioTracks.empty());
  }
}

// Empty lines after a group each make a screen of zeros, so a few bytes a
// screen would cost a whole record each; more screens or tracks than the
// limits is refused, naming the limit, and changes nothing.
TEST(ParseConfiguration, MoreScreensOrTracksThanTheLimitsAreRefused) {
  const std::string audio = Text({Line({"[AUDIO-FILE]", "1", "1", "a.mid", "0"})});
  std::string tracksAtLimit = Text({GlobalLine()});
  for (std::size_t i = 0; i < limits::kMaxTracks; ++i) tracksAtLimit += audio;
  const auto emptyLines = [](std::size_t count) {
    std::string lines;
    for (std::size_t i = 0; i < count; ++i) lines += "\r\n";
    return lines;
  };
  const std::string screen = Text({GlobalLine()}) + Group("0");
  const struct {
    const char* what;
    std::string text;
    bool refused;
    std::size_t limit;
  } cases[] = {
      {"screens at the limit", screen + emptyLines((limits::kMaxScreens - 1) * 5), false, 0},
      {"empty lines past the screen limit", screen + emptyLines(limits::kMaxScreens * 5), true,
       limits::kMaxScreens},
      {"tracks at the limit", tracksAtLimit + Group("0"), false, 0},
      {"tracks past the limit", tracksAtLimit + audio + Group("0"), true, limits::kMaxTracks},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Package package;
    package.Global.SaverTitle = "before";
    const auto result = ParseConfiguration(c.text, package);
    ASSERT_EQ(!result.has_value(), c.refused);
    if (!c.refused) continue;
    EXPECT_NE(DescribePackageProblem(result.error()).find(std::to_string(c.limit)),
              std::string::npos)
        << DescribePackageProblem(result.error());
    EXPECT_EQ(package.Global.SaverTitle, "before");
    EXPECT_TRUE(package.Screens.empty());
  }
}

}  // namespace
}  // namespace vistel
