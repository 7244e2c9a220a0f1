// The headless host on Windows plays music through the MCI service over timed
// silence instead of decoders; a show's trace holds every MCI reply, so the
// service must answer alike over both, command for command, as time passes.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "hosts/common/null_audio.hpp"
#include "hosts/headless/event_loop.hpp"
#include "media/ffmpeg/encoders.hpp"
#include "media/mci/mci_service.hpp"
#include "media/midi/decoded_sound_files.hpp"
#include "media/midi/midi_decoder.hpp"
#include "media/timed/timed_sound_files.hpp"
#include "media_test_support.hpp"
#include "midi_test_file.hpp"
#include "platform/native_files.hpp"

namespace vistel {
namespace {

// A service over one kind of sound files, on a clock of its own.
struct Player {
  explicit Player(SoundFiles& sounds) : mci(output, sounds) {}
  VirtualClock clock;
  NullAudioOutput output{clock};
  MciStringService mci;
};

// What the music module and its neighbours ask of a track, as time passes:
// every reply in order, with its code.
std::vector<std::string> Course(SoundFiles& sounds, const std::string& path) {
  Player player(sounds);
  std::vector<std::string> replies;
  const std::string d = "\"" + path + "\"";
  auto send = [&](const std::string& command) {
    const MciReply reply = player.mci.SendString(command, 128);
    replies.push_back(command + " -> " + std::to_string(reply.rc) + " " + reply.reply);
    return reply.reply;
  };
  auto advance = [&](Milliseconds ms) { player.clock.AdvanceTo(player.clock.NowMs() + ms); };
  send("open " + d);
  send("set " + d + " time format milliseconds");
  send("status " + d + " length");
  send("play " + d);
  // Small steps, so that an end a few milliseconds early or late shows.
  for (int step = 0; step < 2000 && send("status " + d + " mode") == "playing"; ++step) {
    advance(7);
    send("status " + d + " position");
  }
  send("play " + d + " from 300");
  advance(123);
  send("pause " + d);
  send("status " + d + " position");
  send("seek " + d + " to start");
  send("play " + d);
  advance(250);
  send("stop " + d);
  send("status " + d + " position");
  send("close " + d);
  return replies;
}

struct SoundCase {
  const char* name;
  const char* file;
  std::function<bool(const std::string& path)> write;  // false: cannot be made here
};

bool WriteSound(const std::string& path, AudioFileType type, AudioFormat format, double seconds) {
  if (!CanEncodeAudio(type)) return false;
  const auto samples = testing::Sine(440, 0.5, format.sampleRate, seconds);
  std::vector<std::int16_t> interleaved;
  for (const std::int16_t s : samples) {
    for (int c = 0; c < format.channels; ++c) interleaved.push_back(s);
  }
  return EncodeAudioFile(interleaved, format, type, path).has_value();
}

class TimedSoundTest : public ::testing::TestWithParam<SoundCase> {};

TEST_P(TimedSoundTest, AnswersAsTheDecodersDo) {
  testing::ScratchFolder folder(std::string("timed-") + GetParam().name);
  const std::string path = folder.File(GetParam().file);
  if (!GetParam().write(path)) GTEST_SKIP() << "this FFmpeg cannot write " << GetParam().file;
  DecodedSoundFiles decoded;
  if (std::string(GetParam().file).ends_with(".mid") && !decoded.PlaysMidi()) {
    GTEST_SKIP() << "no General MIDI soundfont is installed";
  }
  const auto files = MakeNativeFileSystem();
  TimedSoundFiles timed(*files);
  const std::vector<std::string> expected = Course(decoded, path);
  ASSERT_GT(expected.size(), 20U);
  EXPECT_EQ(Course(timed, path), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sounds, TimedSoundTest,
    ::testing::Values(SoundCase{"MidiOfTwoTempos", "tune.mid",
                                [](const std::string& path) {
                                  testing::WriteBytes(path, testing::TwoTempoMidi());
                                  return true;
                                }},
                      SoundCase{"WavMono22050", "tune.wav",
                                [](const std::string& path) {
                                  return WriteSound(path, AudioFileType::Wav, {22050, 1}, 1.303);
                                }},
                      SoundCase{"WavStereo44100", "tune.wav",
                                [](const std::string& path) {
                                  return WriteSound(path, AudioFileType::Wav, {44100, 2}, 0.777);
                                }},
                      SoundCase{"Mp3Stereo44100", "tune.mp3",
                                [](const std::string& path) {
                                  return WriteSound(path, AudioFileType::Mp3, {44100, 2}, 1.234);
                                }},
                      SoundCase{"Mp3Mono22050", "tune.mp3",
                                [](const std::string& path) {
                                  return WriteSound(path, AudioFileType::Mp3, {22050, 1}, 0.9);
                                }},
                      SoundCase{"Mp2Stereo32000", "tune.mp2",
                                [](const std::string& path) {
                                  return WriteSound(path, AudioFileType::Mp2, {32000, 2}, 1.1);
                                }}),
    [](const ::testing::TestParamInfo<SoundCase>& sound) { return std::string(sound.param.name); });

}  // namespace
}  // namespace vistel
