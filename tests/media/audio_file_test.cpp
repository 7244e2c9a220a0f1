#include "media/ffmpeg/audio_file.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "base/input_limits.hpp"
#include "fuzz_findings.hpp"
#include "media/ffmpeg/encoders.hpp"
#include "media_test_support.hpp"

namespace vistel {
namespace {

using testing::ScratchFolder;

std::vector<std::int16_t> PullAll(AudioSource& source) {
  std::vector<std::int16_t> all;
  std::vector<std::int16_t> chunk(3000);  // not a multiple of any codec's frame
  while (std::size_t n = source.Pull(chunk)) {
    all.insert(all.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n));
  }
  return all;
}

TEST(AudioFile, WavIsExactToTheSample) {
  ScratchFolder folder("wav");
  const auto source = testing::Sine(1000, 0.8, 22050, 1.5);
  ASSERT_TRUE(EncodeAudioFile(source, {22050, 2}, AudioFileType::Wav, folder.File("music")));

  auto file = OpenAudioFile(folder.File("music"));
  ASSERT_TRUE(file) << file.error().description;
  EXPECT_EQ((*file)->Format(), (AudioFormat{22050, 2}));
  EXPECT_EQ((*file)->LengthMs(), 1500);
  const auto pulled = PullAll(**file);
  EXPECT_EQ(pulled, source);
  EXPECT_EQ((*file)->PositionMs(), 1500);

  // Back to one second: the samples from frame 22050 on, exactly.
  ASSERT_TRUE((*file)->SeekMs(1000));
  EXPECT_EQ((*file)->PositionMs(), 1000);
  const auto rest = PullAll(**file);
  ASSERT_EQ(rest.size(), source.size() - 22050 * 2);
  EXPECT_TRUE(std::equal(rest.begin(), rest.end(), source.begin() + 22050 * 2));

  ASSERT_TRUE((*file)->SeekMs(5000));
  EXPECT_TRUE(PullAll(**file).empty()) << "sound past the end";
}

TEST(AudioFile, MonoComesOutOnBothChannels) {
  ScratchFolder folder("mono");
  const auto stereo = testing::Sine(500, 0.5, 44100, 0.5);
  std::vector<std::int16_t> mono(stereo.size() / 2);
  for (std::size_t i = 0; i < mono.size(); ++i) mono[i] = stereo[2 * i];
  ASSERT_TRUE(EncodeAudioFile(mono, {44100, 1}, AudioFileType::Wav, folder.File("mono")));
  auto file = OpenAudioFile(folder.File("mono"));
  ASSERT_TRUE(file) << file.error().description;
  EXPECT_EQ((*file)->Format(), (AudioFormat{44100, 2}));
  const auto pulled = PullAll(**file);
  ASSERT_EQ(pulled.size(), mono.size() * 2);
  // The down-mix matrix scales a lone channel by 1/sqrt(2) at most; the
  // channels must match each other and follow the source.
  for (std::size_t i = 0; i < mono.size(); i += 37) {
    EXPECT_EQ(pulled[2 * i], pulled[2 * i + 1]) << "frame " << i;
  }
  const auto m = testing::Measure(pulled, 44100);
  EXPECT_NEAR(m.hertz, 500.0, 2.0);
}

struct CompressedCase {
  AudioFileType type;
  const char* name;
};

class CompressedAudio : public ::testing::TestWithParam<CompressedCase> {};

// MP2 and MP3 written without a length header: the length comes from
// counting the frames, exact to one codec frame (1152 samples, 26 ms).
TEST_P(CompressedAudio, LengthToneAndSeek) {
  const CompressedCase c = GetParam();
  if (!CanEncodeAudio(c.type)) GTEST_SKIP() << "no " << c.name << " encoder in this FFmpeg";
  ScratchFolder folder(c.name);
  const auto source = testing::Sine(440, 0.5, 44100, 3.0);
  auto written = EncodeAudioFile(source, {44100, 2}, c.type, folder.File("music"));
  ASSERT_TRUE(written) << written.error().description;

  auto file = OpenAudioFile(folder.File("music"));
  ASSERT_TRUE(file) << file.error().description;
  EXPECT_EQ((*file)->Format(), (AudioFormat{44100, 2}));
  EXPECT_NEAR(static_cast<double>((*file)->LengthMs()), 3000.0, 60.0);
  const auto pulled = PullAll(**file);
  EXPECT_NEAR(static_cast<double>(pulled.size() / 2), 3.0 * 44100, 2.0 * 1152 + 600);
  const auto m = testing::Measure(pulled, 44100);
  EXPECT_NEAR(m.hertz, 440.0, 2.0);
  EXPECT_NEAR(m.peak, 0.5, 0.05);

  ASSERT_TRUE((*file)->SeekMs(2000));
  EXPECT_NEAR(static_cast<double>((*file)->PositionMs()), 2000.0, 30.0);
  const auto rest = PullAll(**file);
  EXPECT_NEAR(static_cast<double>(rest.size() / 2), 44100.0, 2.0 * 1152 + 600);
}

INSTANTIATE_TEST_SUITE_P(Types, CompressedAudio,
                         ::testing::Values(CompressedCase{AudioFileType::Mp2, "mp2"},
                                           CompressedCase{AudioFileType::Mp3, "mp3"}),
                         [](const auto& param) { return std::string(param.param.name); });

// MP2 has no 8 kHz; MPEG-2's half rates take at most 160 kbit/s. A rate the
// encoder cannot open once crashed the writer instead of failing.
TEST(AudioFile, WritesMp2AtItsRatesAndFailsCleanlyAtOthers) {
  if (!CanEncodeAudio(AudioFileType::Mp2)) GTEST_SKIP() << "no mp2 encoder in this FFmpeg";
  ScratchFolder folder("mp2-rates");
  struct Case {
    int rate;
    bool writes;
  };
  for (const Case c : {Case{48000, true}, Case{22050, true}, Case{16000, true}, Case{8000, false},
                       Case{11025, false}}) {
    const std::string path = folder.File(std::to_string(c.rate));
    const auto written = EncodeAudioFile(testing::Sine(440, 0.5, c.rate, 0.3), {c.rate, 2},
                                         AudioFileType::Mp2, path);
    ASSERT_EQ(static_cast<bool>(written), c.writes) << c.rate;
    if (!c.writes) {
      EXPECT_NE(written.error().description.find("mp2"), std::string::npos)
          << written.error().description;
      continue;
    }
    auto file = OpenAudioFile(path);
    ASSERT_TRUE(file) << file.error().description;
    EXPECT_EQ((*file)->Format().sampleRate, c.rate);
    EXPECT_NEAR(static_cast<double>(PullAll(**file).size() / 2), 0.3 * c.rate, 1152 * 2);
  }
}

TEST(AudioFile, RefusesFilesWithoutSound) {
  ScratchFolder folder("no-sound");
  ASSERT_TRUE(EncodePicture(testing::TestPattern(16, 16), PictureFormat::Png, folder.File("img")));
  testing::WriteBytes(folder.File("empty"), {});
  std::vector<std::uint8_t> garbage(4000);
  for (std::size_t i = 0; i < garbage.size(); ++i)
    garbage[i] = static_cast<std::uint8_t>(i * 13 % 241);
  testing::WriteBytes(folder.File("garbage"), garbage);
  for (const char* name : {"img", "empty", "garbage", "missing"}) {
    auto file = OpenAudioFile(folder.File(name));
    EXPECT_FALSE(file) << name << " opened as sound";
  }
}

TEST(AudioFile, SurvivesFilesCutShort) {
  ScratchFolder folder("cut-sound");
  const auto source = testing::Sine(440, 0.5, 44100, 1.0);
  for (AudioFileType type : {AudioFileType::Wav, AudioFileType::Mp2}) {
    ASSERT_TRUE(EncodeAudioFile(source, {44100, 2}, type, folder.File("whole")));
    const auto bytes = testing::ReadBytes(folder.File("whole"));
    testing::WriteBytes(
        folder.File("cut"),
        {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() / 2)});
    auto file = OpenAudioFile(folder.File("cut"));
    if (!file) continue;  // refusing is fine; decoding must not overrun
    const auto pulled = PullAll(**file);
    EXPECT_LT(pulled.size(), source.size()) << "more sound than the half file holds";
  }
}

// A header may claim any rate. Resampling from one beyond every sound file
// (1 GHz in the finding) once built a filter of gigabytes; such a file is
// refused at once, and one at the top of the range still plays.
TEST(AudioFile, RefusesSampleRatesBeyondAnySoundFile) {
  ScratchFolder folder("rates");
  const std::string finding = testing::ReadFuzzFinding("audio", "oom-resampler-from-1ghz.wav");
  testing::WriteBytes(folder.File("finding"), {finding.begin(), finding.end()});
  ASSERT_TRUE(EncodeAudioFile(testing::Sine(440, 0.5, 44100, 0.2), {44100, 2}, AudioFileType::Wav,
                              folder.File("wav")));
  const auto wav = testing::ReadBytes(folder.File("wav"));
  const auto fmt = std::search(wav.begin(), wav.end(), std::begin("fmt "), std::end("fmt ") - 1);
  ASSERT_NE(fmt, wav.end());
  auto withRate = [&](std::uint32_t rate) {
    auto bytes = wav;
    const auto at = static_cast<std::size_t>(fmt - wav.begin()) + 12;
    for (std::size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(rate >> (8 * i));
    const std::string path = folder.File(std::to_string(rate));
    testing::WriteBytes(path, bytes);
    return path;
  };

  EXPECT_FALSE(OpenAudioFile(folder.File("finding")));
  const auto beyond = OpenAudioFile(withRate(limits::kMaxSoundSampleRate + 1));
  ASSERT_FALSE(beyond);
  EXPECT_NE(beyond.error().description.find("samples a second"), std::string::npos)
      << beyond.error().description;
  auto top = OpenAudioFile(withRate(limits::kMaxSoundSampleRate));
  ASSERT_TRUE(top) << top.error().description;
  EXPECT_FALSE(PullAll(**top).empty());
}

}  // namespace
}  // namespace vistel
