// Music and media files in whole shows: the MCI command sequence of the
// playlist with and without repeat, and the temporary files the layers use.
#include <gtest/gtest.h>

#include <filesystem>

#include "show/show_fixture.hpp"

namespace vistel::testing {
namespace {

class MusicShow : public ShowFixture {
 protected:
  // One long image screen and two WAV tracks of 600 ms.
  ShowRun PlayTracks(bool repeat, const std::string& seconds) {
    PackagePlan plan;
    plan.package.Screens = {ImageScreen(100.0F)};
    plan.package.Global.RepeatAudio = repeat;
    plan.package.AudioTracks = {AudioTrack{"C:\\Music\\first.wav", 0, 0, 0},
                                AudioTrack{"C:\\Music\\second.wav", 0, 0, 0}};
    plan.media.push_back({MediumSlot::Track, 0, Wav("first.wav", 600), "first"});
    plan.media.push_back({MediumSlot::Track, 1, Wav("second.wav", 600), "second"});
    return Play(Build(plan), {"--run-for", seconds, "/s"});
  }
  // The `open` and `play` commands, in order, with their times.
  static std::vector<std::pair<double, std::string>> Starts(const ShowRun& run) {
    std::vector<std::pair<double, std::string>> starts;
    for (const Json& e : run.Events("mci")) {
      const std::string command = e["command"];
      if (command.starts_with("open ") || command.starts_with("play ")) {
        starts.emplace_back(e["t"].get<double>(), command);
      }
    }
    return starts;
  }
};

TEST_F(MusicShow, TracksPlayInOrderAndStopAfterTheLastWithoutRepeat) {
  const ShowRun run = PlayTracks(false, "5");
  const std::string file = Path("tmp") + "/audio.wav";
  const std::string quoted = "\"" + file + "\"";
  const auto starts = Starts(run);
  ASSERT_EQ(starts.size(), 4U);
  EXPECT_EQ(starts[0], std::make_pair(0.0, "open " + quoted));
  EXPECT_EQ(starts[1], std::make_pair(0.0, "play " + quoted));
  // The audio timer polls every 500 ms and sees the end (600 ms) at 1000 ms.
  EXPECT_EQ(starts[2], std::make_pair(1000.0, "open " + quoted));
  EXPECT_EQ(starts[3].second, "play " + quoted);
  // The same extension reuses the one temporary file.
  for (const Json& e : run.Events("extract")) EXPECT_EQ(e["file"], file);
  // Nothing is opened after the last track; the music is over.
  for (const Json& e : run.Events("mci")) {
    if (e["t"].get<double>() > 2100.0) {
      EXPECT_FALSE(e["command"].get<std::string>().starts_with("open")) << e.dump();
    }
  }
}

TEST_F(MusicShow, RepeatStartsOverWithTheFirstTrack) {
  const ShowRun run = PlayTracks(true, "5");
  int opens = 0;
  for (const auto& [t, command] : Starts(run)) opens += command.starts_with("open ");
  // A track lasts two polls (600 ms, seen at the second tick): one every second.
  EXPECT_GE(opens, 5);
  // Each start extracts the track again, alternating first and second.
  const auto extracts = run.Events("extract");
  ASSERT_GE(extracts.size(), 4U);
  EXPECT_EQ(extracts[0]["position"], extracts[2]["position"]);
  EXPECT_NE(extracts[0]["position"], extracts[1]["position"]);
}

TEST_F(MusicShow, TheUnloadClosesTheMusicDevice) {
  PackagePlan plan;
  plan.package.Screens = {ImageScreen(100.0F)};
  plan.package.AudioTracks = {AudioTrack{"tune.wav", 0, 0, 0}};
  plan.media.push_back({MediumSlot::Track, 0, Wav("tune.wav", 5000), "tune"});
  std::ofstream(Path("input.jsonl")) << R"({"t":1000,"ev":"key","code":27})" << "\n";
  const ShowRun run = Play(Build(plan), {"--input", Path("input.jsonl"), "--run-for", "5", "/s"});
  const auto mci = run.Events("mci");
  ASSERT_FALSE(mci.empty());
  EXPECT_TRUE(mci.back()["command"].get<std::string>().starts_with("close")) << mci.back().dump();
  EXPECT_EQ(run.Exit()["code"], 0);
}

using MediaFilesShow = ShowFixture;

TEST_F(MediaFilesShow, EachLayerExtractsItsMediumToItsOwnTemporaryFile) {
  ScreenSettings screen = ImageScreen(1.0F);
  screen.BackgroundKind = 1;
  PackagePlan plan;
  plan.package.Screens = {screen};
  const std::string bg = Picture("bg.bmp", {64, 48}, MakePixel(1, 2, 3), PictureFormat::Bmp);
  const std::string img = Picture("img.png", {32, 16}, MakePixel(200, 100, 50));
  plan.media.push_back({MediumSlot::Background, 0, bg, "bg"});
  plan.media.push_back({MediumSlot::Image, 0, img, "img"});
  const ShowRun run = Play(Build(plan), {"--run-for", "0.5", "/s"});
  const auto extracts = run.Events("extract");
  ASSERT_EQ(extracts.size(), 2U);
  EXPECT_EQ(extracts[0]["file"], Path("tmp") + "/bg");
  EXPECT_EQ(extracts[1]["file"], Path("tmp") + "/img");
  const auto read = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  // The files hold the media byte for byte, and stay after the run.
  EXPECT_EQ(read(Path("tmp") + "/bg"), read(bg));
  EXPECT_EQ(read(Path("tmp") + "/img"), read(img));
  EXPECT_EQ(extracts[1]["written"], std::filesystem::file_size(img));
}

}  // namespace
}  // namespace vistel::testing
