// The playlist against the Linux MCI service: real WAV tracks decoded by
// FFmpeg, played into a device-less output on the headless clock. Compiled
// when the MCI service and the device-less output are part of the tree.
#if __has_include("media/mci/mci_service.hpp") && __has_include("hosts/common/null_audio.hpp")

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "hosts/common/null_audio.hpp"
#include "hosts/headless/event_loop.hpp"
#include "media/ffmpeg/encoders.hpp"
#include "media/mci/mci_service.hpp"
#include "media/midi/decoded_sound_files.hpp"
#include "music/audio_playlist.hpp"
#include "music_test_support.hpp"
#include "platform/native_files.hpp"
#include "runtime/trace.hpp"

namespace vistel {
namespace {

using testing::RecordingMessages;
using testing::ScratchFolder;

// Notes the virtual time of every successful open.
class TimedMci final : public MciService {
 public:
  TimedMci(MciService& inner, const Clock& clock) : inner_(inner), clock_(clock) {}
  MciReply SendString(std::string_view command, std::uint32_t replySize) override {
    MciReply reply = inner_.SendString(command, replySize);
    if (command.starts_with("open ") && reply.rc == 0) opens.push_back(clock_.NowMs());
    return reply;
  }
  std::vector<Milliseconds> opens;

 private:
  MciService& inner_;
  const Clock& clock_;
};

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(PlaylistOverMciTest, WavTracksPlayToTheirEndsOnTheVirtualClock) {
  ScratchFolder scratch;
  const AudioFormat format{8000, 1};
  std::vector<AudioTrack> tracks;
  std::string package = "PLAYER";
  for (const auto& [name, ms] : {std::pair<const char*, int>{"C:\\m\\short.wav", 700},
                                 std::pair<const char*, int>{"long.wav", 1300}}) {
    std::vector<std::int16_t> samples(static_cast<std::size_t>(format.sampleRate * ms / 1000));
    for (std::size_t i = 0; i < samples.size(); ++i) {
      samples[i] = static_cast<std::int16_t>((i % 40) * 500 - 10000);
    }
    const std::string wav = scratch.Path("source.wav");
    ASSERT_TRUE(EncodeAudioFile(samples, format, AudioFileType::Wav, wav));
    const std::string bytes = ReadBytes(wav);
    AudioTrack track;
    track.TrackFileName = name;
    track.TrackPosition = static_cast<std::int32_t>(package.size()) + 1;
    track.TrackLength = static_cast<std::int32_t>(bytes.size());
    tracks.push_back(track);
    package += bytes;
  }
  std::ofstream(scratch.Path("show.scr"), std::ios::binary) << package;

  VirtualClock clock;
  NullTrace trace;
  HeadlessEventLoop loop(clock, trace);
  NullAudioOutput output(clock);
  DecodedSoundFiles sounds;
  MciStringService service(output, sounds);
  TimedMci mci(service, clock);
  RecordingMessages messages;
  auto files = MakeNativeFileSystem();
  MediaExtractor extractor(*files, scratch.Path("show.scr"), trace);
  MusicModule player(
      MusicModule::Services{mci, messages, *files, loop, [&loop] { loop.AdvanceBy(10); }});
  AudioPlaylist playlist(player, *files, extractor, tracks, /*RepeatAudio=*/false,
                         scratch.Folder());
  auto tmrAudio = loop.CreateTimer("tmrAudio", [&playlist] { playlist.AudioTimerTick(); });
  tmrAudio->SetInterval(500);
  tmrAudio->SetEnabled(true);

  ASSERT_EQ(playlist.StartMusic(MusicPlacement::Show), MusicStart::Playing);
  EXPECT_EQ(player.DurationInMS(), 700);
  loop.RunUntil(600);
  EXPECT_EQ(player.PositioninMS(), 600);
  EXPECT_TRUE(player.IsPlaying());

  loop.RunUntil(1200);
  EXPECT_EQ(playlist.CurrentTrack(), 1) << "a 700 ms track ends at the tick after it";
  EXPECT_EQ(player.DurationInMS(), 1300);

  loop.RunUntil(5000);
  EXPECT_EQ(mci.opens, (std::vector<Milliseconds>{0, 1000})) << "the second ends at 2300 ms";
  EXPECT_EQ(playlist.CurrentTrack(), 2);
  EXPECT_FALSE(player.IsPlaying()) << "no device stays open after the last track";
  EXPECT_FALSE(files->Exists(scratch.Folder() + "audio.wav"));
  EXPECT_TRUE(messages.shown.empty());
}

// MCI opens a file that no device is open for on the fly, for one command:
// the end of a closed track must still not be seen again.
TEST(PlaylistOverMciTest, AClosedTrackDoesNotEndAgainWhileItsFileRemains) {
  ScratchFolder scratch;
  const std::string wav = scratch.Path("audio.wav");
  ASSERT_TRUE(
      EncodeAudioFile(std::vector<std::int16_t>(5600, 1000), {8000, 1}, AudioFileType::Wav, wav));
  VirtualClock clock;
  NullTrace trace;
  HeadlessEventLoop loop(clock, trace);
  NullAudioOutput output(clock);
  DecodedSoundFiles sounds;
  MciStringService mci(output, sounds);
  RecordingMessages messages;
  auto files = MakeNativeFileSystem();
  MusicModule player(
      MusicModule::Services{mci, messages, *files, loop, [&loop] { loop.AdvanceBy(10); }});

  player.SetFileName(wav);
  player.Play();
  loop.AdvanceBy(1000);
  EXPECT_TRUE(player.EndOfSong()) << "700 ms played";
  player.StopPlay();
  EXPECT_FALSE(player.EndOfSong()) << "opened afresh, the file is at its start";
  EXPECT_EQ(player.DurationInMS(), 700);
  EXPECT_TRUE(player.IsPlaying()) << "the mode of the file opened on the fly";
  std::filesystem::remove(wav);
  EXPECT_FALSE(player.EndOfSong());
  EXPECT_FALSE(player.IsPlaying());
  EXPECT_EQ(player.PositioninMS(), 0);
  EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
}  // namespace vistel

#endif
