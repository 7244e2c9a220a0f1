#include "media/mci/end_position.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text.hpp"

namespace vistel {
namespace {

// One device as a system's MCI keeps it: the test sets where it stands.
class ScriptedDevice final : public MciService {
 public:
  std::string mode = "stopped";
  std::string position = "9950";
  std::string length = "10020";

  MciReply SendString(std::string_view command, std::uint32_t /*replySize*/) override {
    const std::string c = AsciiLower(command);
    if (c.starts_with("status") && c.ends_with(" mode")) return {0, mode};
    if (c.starts_with("status") && c.ends_with(" position")) return {0, position};
    if (c.starts_with("status") && c.ends_with(" length")) return {0, length};
    return {0, ""};
  }
};

struct Course {
  const char* name;
  std::vector<std::string> commands;
  const char* modeAfter;
  const char* position;  // what "status ... position" must answer
};

class EndPositionTest : public testing::TestWithParam<Course> {};

TEST_P(EndPositionTest, ReportsTheLengthOnlyForATrackThatRanToItsEnd) {
  ScriptedDevice device;
  EndPositionCorrection mci(device);
  for (const std::string& command : GetParam().commands) mci.SendString(command, 0);
  device.mode = GetParam().modeAfter;
  EXPECT_EQ(mci.SendString("status \"C:\\T\\audio.mp3\" position", 30).reply, GetParam().position);
}

INSTANTIATE_TEST_SUITE_P(
    Courses, EndPositionTest,
    testing::Values(
        Course{"StoppedByItself",
               {"open \"C:\\T\\audio.mp3\"", "play \"C:\\T\\audio.mp3\""},
               "stopped",
               "10020"},
        Course{"StillPlaying", {"play \"C:\\T\\audio.mp3\""}, "playing", "9950"},
        Course{"NamedInOtherCaseAndUnquoted", {"play c:\\t\\AUDIO.MP3"}, "stopped", "10020"},
        Course{"StoppedByCommand",
               {"play \"C:\\T\\audio.mp3\"", "stop \"C:\\T\\audio.mp3\""},
               "stopped",
               "9950"},
        Course{"PausedByCommand",
               {"play \"C:\\T\\audio.mp3\"", "pause \"C:\\T\\audio.mp3\""},
               "paused",
               "9950"},
        Course{"PlayedToAPoint", {"play \"C:\\T\\audio.mp3\" from 0 to 9950"}, "stopped", "9950"},
        Course{"SoughtAfterTheEnd",
               {"play \"C:\\T\\audio.mp3\"", "seek \"C:\\T\\audio.mp3\" to 9950"},
               "stopped",
               "9950"},
        Course{"ClosedAndOpenedAgain",
               {"play \"C:\\T\\audio.mp3\"", "close all", "open \"C:\\T\\audio.mp3\""},
               "stopped",
               "9950"},
        Course{"NeverPlayed", {"open \"C:\\T\\audio.mp3\""}, "stopped", "9950"},
        Course{"AnotherDevicePlayed", {"play \"C:\\T\\other.mp3\""}, "stopped", "9950"}),
    [](const testing::TestParamInfo<Course>& course) { return std::string(course.param.name); });

}  // namespace
}  // namespace vistel
