// The preview inside the display settings: no music, no caption, and input
// that changes nothing.
#include <gtest/gtest.h>

#include <string>

#include "show/show_fixture.hpp"

namespace vistel::testing {
namespace {

class PreviewShow : public ShowFixture {
 protected:
  void SetUp() override {
    ShowFixture::SetUp();
    // Two captioned screens and a tune, so the show has everything preview
    // leaves out.
    ScreenSettings first = ImageScreen(1.0F);
    first.CaptionText = "Good morning";
    first.CaptionPlacement = 4;
    ScreenSettings second = first;
    second.CaptionText = "Good evening";
    PackagePlan plan;
    plan.package.Screens = {first, second};
    plan.package.AudioTracks.push_back(AudioTrack{"tune.wav", 0, 0, 0});
    plan.media.push_back({MediumSlot::Track, 0, Wav("tune.wav", 1500), "tune"});
    package_ = Build(std::move(plan));
  }

  ShowRun RunPreview(const std::vector<Json>& input = {}) {
    return Play(package_, {"--window", "4660:152x112", "--input", InputScript(input), "--run-for",
                           "3", "/p 4660"});
  }

  std::string package_;
};

TEST_F(PreviewShow, TheFullScreenShowPlaysTheMusicAndTheCaptions) {
  // The same package outside preview: what preview is expected to leave out.
  const ShowRun run = Play(package_, {"--run-for", "3", "/s"});
  EXPECT_FALSE(run.Events("mci").empty());
  bool shown = false;
  for (const Json& e : run.Events("caption")) shown = shown || e["visible"] == true;
  EXPECT_TRUE(shown);
}

TEST_F(PreviewShow, NoMusicEvenWithTracks) {
  const ShowRun run = RunPreview();
  EXPECT_EQ(run.First("mode")["mode"], "p");
  EXPECT_EQ(run.First("package")["tracks"], 1);
  EXPECT_TRUE(run.Events("mci").empty())
      << "no MCI command in preview, got " << run.First("mci").dump();
  bool audioTimerOff = false;
  for (const Json& e : run.Events("timer")) {
    if (e["name"] == "tmrAudio" && e["enabled"] == false) audioTimerOff = true;
  }
  EXPECT_TRUE(audioTimerOff) << "tmrAudio was expected to be switched off";
  EXPECT_EQ(run.ScreenOrder(), (std::vector<int>{0, 1, 0})) << "the show itself goes on";
}

TEST_F(PreviewShow, CaptionsAreNeverVisible) {
  const ShowRun run = RunPreview();
  const auto captions = run.Events("caption");
  for (const Json& e : captions) EXPECT_EQ(e["visible"], false) << e.dump();
}

TEST_F(PreviewShow, InputChangesNothing) {
  const ShowRun quiet = RunPreview();
  const ShowRun busy =
      RunPreview({MoveAt(100, 10, 10), MoveAt(200, 140, 100), KeyAt(300, 'a'), ClickAt(400, 70, 50),
                  MoveAt(500, 0, 0), MoveAt(600, 150, 110), KeyAt(2500, 27)});
  EXPECT_TRUE(busy.Events("close").empty());
  EXPECT_EQ(busy.Exit()["reason"], "run-for");
  EXPECT_EQ(busy.ScreenOrder(), quiet.ScreenOrder());
  // Input never touches a timer in preview: the timer events are the same.
  std::vector<Json> quietTimers = quiet.Events("timer"), busyTimers = busy.Events("timer");
  ASSERT_EQ(busyTimers.size(), quietTimers.size());
  for (std::size_t i = 0; i < busyTimers.size(); ++i) {
    EXPECT_EQ(busyTimers[i], quietTimers[i]) << "timer event " << i;
  }
}

TEST_F(PreviewShow, PasswordIsNeitherReadNorAskedOnWindows98) {
  const std::string registry = RegistryFile(
      "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"
      "\"ScreenSaveUsePassword\"=\"1\"\r\n\r\n");
  const ShowRun run = Play(package_, {"--os", "98", "--registry", registry, "--window",
                                      "4660:152x112", "--run-for", "2", "/p 4660"});
  EXPECT_EQ(run.First("mode")["mode"], "p");
  EXPECT_TRUE(run.RegistryUses("ScreenSaveUsePassword").empty());
  EXPECT_TRUE(run.Events("password").empty());
}

}  // namespace
}  // namespace vistel::testing
