// Which media the player extracts, and the range rules the checker applies
// to each: inside the media stretch, never into the text or the trailer.
#include "package/media_check.hpp"

#include <gtest/gtest.h>

#include <string>

namespace vistel {
namespace {

TEST(PlayedMedia, ListsWhatThePlayerWouldExtract) {
  Package package;
  package.Screens.resize(4);
  package.Screens[0].BackgroundKind = 1;  // picture background, image screen with image
  package.Screens[0].BackgroundPosition = 10;
  package.Screens[0].BackgroundLength = 5;
  package.Screens[0].ImageLength = 3;
  package.Screens[1].BackgroundKind = 2;  // plain colour: its range is not used
  package.Screens[1].BackgroundLength = 99;
  package.Screens[2].ScreenKind = 1;  // video screen: the image is not used
  package.Screens[2].ImageLength = 4;
  package.Screens[3].ScreenKind = 0;  // image screen without image: nothing
  package.Screens[3].VideoLength = 8;
  package.AudioTracks.resize(2);
  package.AudioTracks[0].TrackFileName = "a.mp3";

  const auto media = PlayedMedia(package);
  ASSERT_EQ(media.size(), 5U);
  EXPECT_EQ(DescribeMedium(media[0]), "screen 0 background");
  EXPECT_EQ(media[0].position, 10);
  EXPECT_EQ(media[0].length, 5);
  EXPECT_EQ(DescribeMedium(media[1]), "screen 0 image");
  EXPECT_EQ(DescribeMedium(media[2]), "screen 2 video");
  EXPECT_EQ(media[2].length, 0) << "a video screen expects its video even without length";
  EXPECT_EQ(DescribeMedium(media[3]), "track 0 audio");
  EXPECT_EQ(DescribeMedium(media[4]), "track 1 audio");

  package.AudioTracks[0].TrackFileName = "";  // an empty first name means no music
  EXPECT_EQ(PlayedMedia(package).size(), 3U);
}

// A file of 1000 bytes whose text starts at byte 900: media lie in 0..899.
TEST(CheckMedium, RangesMustEndBeforeTheConfigurationText) {
  constexpr std::int32_t kConfig = 900;
  constexpr std::uint64_t kFile = 1000;
  const auto check = [](MediumKind kind, std::int32_t position, std::int32_t length) {
    return CheckMedium({kind, 0, position, length}, kConfig, kFile);
  };
  EXPECT_EQ(check(MediumKind::Image, 1, 900), "") << "the whole stretch before the text";
  EXPECT_EQ(check(MediumKind::Image, 900, 1), "") << "the last byte before the text";

  EXPECT_EQ(check(MediumKind::Background, 5, 0), "BackgroundKind is 1 but BackgroundLength is 0");
  EXPECT_NE(check(MediumKind::Video, 5, 0).find("VideoLength is 0"), std::string::npos);
  EXPECT_EQ(check(MediumKind::Audio, 5, 0), "TrackLength is 0");
  EXPECT_EQ(check(MediumKind::Image, 5, -3), "ImageLength -3 is negative");
  EXPECT_NE(check(MediumKind::Image, 0, 3).find("ImagePosition 0 lies before"), std::string::npos);
  EXPECT_NE(check(MediumKind::Image, 900, 2).find("overlap the configuration text"),
            std::string::npos);
  EXPECT_NE(check(MediumKind::Image, 975, 10).find("overlap the trailer"), std::string::npos);
  EXPECT_NE(check(MediumKind::Image, 990, 20).find("run past the end of the file"),
            std::string::npos);
  EXPECT_NE(check(MediumKind::Image, 2000000000, 2000000000).find("run past the end"),
            std::string::npos)
      << "expected no overflow in the end of a huge range";
}

TEST(CheckConfigurationLines, FindsIncompleteGroupsAndWarnsOfAMissingLineEnd) {
  const std::string group = "SG\r\nBG\r\nIMG\r\nVID\r\nCAP\r\n";
  EXPECT_TRUE(CheckConfigurationLines("G\r\n" + group + group, 0).empty());
  EXPECT_TRUE(CheckConfigurationLines("G\r\nA\r\nA\r\n" + group, 2).empty());
  EXPECT_TRUE(ConfigurationWarnings("G\r\n" + group).empty());

  // The reader takes a text without its final CR LF as if it were there: a
  // warning, not a problem.
  const std::string unterminated = "G\r\n" + group.substr(0, group.size() - 2);
  EXPECT_TRUE(CheckConfigurationLines(unterminated, 0).empty());
  const auto warnings = ConfigurationWarnings(unterminated);
  ASSERT_EQ(warnings.size(), 1U);
  EXPECT_NE(warnings[0].find("does not end with CR LF"), std::string::npos);

  const auto extraLine = CheckConfigurationLines("G\r\n" + group + "\r\n", 0);
  ASSERT_EQ(extraLine.size(), 1U);
  EXPECT_NE(extraLine[0].find("(1 of 5 lines)"), std::string::npos) << extraLine[0];

  const auto shortGroup = CheckConfigurationLines("G\r\nA\r\n" + group + "SG\r\nBG\r\n", 1);
  ASSERT_EQ(shortGroup.size(), 1U);
  EXPECT_NE(shortGroup[0].find("(2 of 5 lines)"), std::string::npos) << shortGroup[0];
}

}  // namespace
}  // namespace vistel
