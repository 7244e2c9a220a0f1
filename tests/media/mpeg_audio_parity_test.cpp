// The project's own MPEG audio decoder (what the Windows player uses for
// clips' sound) against FFmpeg's, as the Linux player hears it through
// OpenAudioFile: the same samples, to a step of 16 bits, from the first
// frame on (neither drops or delays any).
//
// FFmpeg decodes layers I and II with its fixed-point decoders ("mp1",
// "mp2"): 16-bit planar samples whose filterbank floors each output and
// carries the remainder (less than a step) into the next one, where this
// decoder rounds each float sample to the nearest step. FFmpeg's sample
// then lies within a step above or below the exact value, this one within
// half a step; with the arithmetic of the two apart by far less than half a
// step (a few hundredths here), they differ by at most one step. Measured
// on these streams: one step on about a quarter of the samples, never more.
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "media/ffmpeg/audio_file.hpp"
#include "media/ffmpeg/encoders.hpp"
#include "media/ffmpeg/ffmpeg_library.hpp"
#include "media/mpeg1/audio_decoder.hpp"
#include "media/mpeg1/mpeg_audio_frames.hpp"
#include "media_test_support.hpp"

namespace vistel {
namespace {

using testing::FrameLayout;
using testing::ScratchFolder;

constexpr int kMaxStepsApart = 1;

// A logarithmic sweep from 40 Hz to near the top of the band; the right
// channel sweeps down, so that swapped channels show.
std::vector<std::int16_t> Sweep(int rate, int channels, double seconds) {
  const auto frames = static_cast<std::size_t>(seconds * rate);
  const double low = 40.0;
  const double high = 0.45 * rate;
  const double k = std::log(high / low) / seconds;
  std::vector<std::int16_t> out(frames * static_cast<std::size_t>(channels));
  for (std::size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rate;
    const double up = 2 * std::numbers::pi * low * (std::exp(k * t) - 1) / k;
    const double tr = seconds - t;
    const double down = 2 * std::numbers::pi * low * (std::exp(k * tr) - 1) / k;
    out[i * static_cast<std::size_t>(channels)] =
        static_cast<std::int16_t>(std::lround(0.7 * 32767 * std::sin(up)));
    if (channels == 2) {
      out[i * 2 + 1] = static_cast<std::int16_t>(std::lround(0.5 * 32767 * std::sin(down)));
    }
  }
  return out;
}

std::vector<std::int16_t> Noise(int rate, int channels, double seconds) {
  std::mt19937 rng(static_cast<unsigned>(rate * channels));
  std::uniform_int_distribution<int> value(-14000, 14000);
  std::vector<std::int16_t> out(static_cast<std::size_t>(seconds * rate) *
                                static_cast<std::size_t>(channels));
  for (auto& s : out) s = static_cast<std::int16_t>(value(rng));
  return out;
}

std::vector<std::int16_t> PullAll(AudioSource& source) {
  std::vector<std::int16_t> all;
  std::vector<std::int16_t> chunk(4096);
  while (std::size_t n = source.Pull(chunk)) {
    all.insert(all.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n));
  }
  return all;
}

// The stream through the splitter (in uneven chunks) and the decoder.
std::vector<std::int16_t> DecodeOurs(const std::vector<std::uint8_t>& bytes, int* rate) {
  mpeg1::MpegAudioFrameSplitter splitter;
  mpeg1::MpegAudioDecoder decoder;
  std::vector<std::int16_t> out;
  std::vector<std::int16_t> buffer(mpeg1::MpegAudioDecoder::kMaxFrameSamples);
  auto drain = [&] {
    while (auto frame = splitter.Next()) {
      auto info = decoder.Decode(*frame, buffer);
      if (!info) {
        ADD_FAILURE() << info.error().description;
        continue;
      }
      *rate = info->sampleRate;
      out.insert(
          out.end(), buffer.begin(),
          buffer.begin() + static_cast<std::ptrdiff_t>(info->samples * info->outputChannels));
    }
  };
  for (std::size_t at = 0; at < bytes.size(); at += 1000) {
    splitter.Push(std::span(bytes).subspan(at, std::min<std::size_t>(1000, bytes.size() - at)));
    drain();
  }
  splitter.Finish();
  drain();
  EXPECT_EQ(splitter.SkippedBytes(), 0U);
  return out;
}

// The payload of the first audio stream's packets in an MPEG-1 system
// stream: its MPEG audio, as a clip decoder's demuxer hands it on.
std::vector<std::uint8_t> AudioOfSystemStream(const std::vector<std::uint8_t>& ps) {
  std::vector<std::uint8_t> audio;
  std::size_t at = 0;
  while (at + 6 <= ps.size()) {
    if (ps[at] != 0 || ps[at + 1] != 0 || ps[at + 2] != 1) {
      ++at;
      continue;
    }
    const std::uint8_t code = ps[at + 3];
    if (code == 0xB9) break;  // end of the stream
    if (code == 0xBA) {       // a pack header (MPEG-1's, 12 bytes)
      at += 12;
      continue;
    }
    const std::size_t length = (std::size_t{ps[at + 4]} << 8) | ps[at + 5];
    const std::size_t end = std::min(ps.size(), at + 6 + length);
    if (code == 0xC0) {
      std::size_t p = at + 6;
      while (p < end && ps[p] == 0xFF) ++p;           // stuffing
      if (p < end && (ps[p] & 0xC0) == 0x40) p += 2;  // buffer size
      if (p < end && (ps[p] & 0xF0) == 0x20) {
        p += 5;  // time stamp
      } else if (p < end && (ps[p] & 0xF0) == 0x30) {
        p += 10;  // two time stamps
      } else {
        p += 1;  // none
      }
      if (p < end) {
        audio.insert(audio.end(), ps.begin() + static_cast<std::ptrdiff_t>(p),
                     ps.begin() + static_cast<std::ptrdiff_t>(end));
      }
    }
    at = end;
  }
  return audio;
}

struct ParityCase {
  const char* name;
  // Writes the file that FFmpeg reads to `path`; gives the MPEG audio in it.
  std::function<std::vector<std::uint8_t>(const std::string& path)> write;
};

ParityCase Encoded(const char* name, int rate, int channels, int kbps, bool sweep) {
  return {name, [=](const std::string& path) {
            const auto samples = sweep ? Sweep(rate, channels, 1.5) : Noise(rate, channels, 1.5);
            const auto written =
                EncodeAudioFile(samples, {rate, channels}, AudioFileType::Mp2, path, kbps * 1000);
            EXPECT_TRUE(written) << written.error().description;
            return testing::ReadBytes(path);
          }};
}

// A clip's sound: the player reads it from the clip's system stream.
ParityCase Clip(const char* name, int rate, int channels) {
  return {name, [=](const std::string& path) {
            const auto samples = Sweep(rate, channels, 1.5);
            const ClipSound sound{{rate, channels}, samples};
            const Mpeg1ClipSettings settings{{32, 32}, 25, 38, 4};
            const auto written = EncodeMpeg1Clip(
                settings, [](int, Image& frame) { frame = testing::TestPattern(32, 32); }, &sound,
                path);
            EXPECT_TRUE(written) << written.error().description;
            return AudioOfSystemStream(testing::ReadBytes(path));
          }};
}

// Frames of random content, which FFmpeg's encoder cannot make: layer I,
// joint stereo (its intensity bound moving from frame to frame), dual
// channel.
ParityCase Crafted(const char* name, FrameLayout layout, bool varyBound = false) {
  return {name, [=](const std::string& path) {
            std::mt19937 rng(17);
            const int frames = layout.layer == 1 ? 60 : 24;
            auto bytes = testing::RandomStream(layout, frames, rng, varyBound);
            testing::WriteBytes(path, bytes);
            return bytes;
          }};
}

const ParityCase kCases[] = {
    // FFmpeg's encoder; the layer II table each uses in brackets.
    Encoded("Stereo44k192Sweep", 44100, 2, 192, true),   // b
    Encoded("Stereo44k64Noise", 44100, 2, 64, false),    // c
    Encoded("Stereo48k384Noise", 48000, 2, 384, false),  // a
    Encoded("Stereo48k80Sweep", 48000, 2, 80, true),     // c
    Encoded("Stereo32k64Sweep", 32000, 2, 64, true),     // d
    Encoded("Stereo32k256Noise", 32000, 2, 256, false),  // b
    Encoded("Mono48k64Sweep", 48000, 1, 64, true),       // a
    Encoded("Mono32k32Noise", 32000, 1, 32, false),      // d
    Encoded("Mono44k320Sweep", 44100, 1, 320, true),     // b
    Encoded("Lsf16kStereo64Sweep", 16000, 2, 64, true),
    Encoded("Lsf22kMono32Noise", 22050, 1, 32, false),
    Encoded("Lsf24kStereo160Noise", 24000, 2, 160, false),
    Encoded("Lsf24kMono8Sweep", 24000, 1, 8, true),
    Clip("ClipStereo44k", 44100, 2),
    Clip("ClipMono32k", 32000, 1),
    // Frames built from the syntax.
    Crafted("Layer1Stereo44k", {.layer = 1, .rateIndex = 0, .bitRateIndex = 12, .mode = 0}),
    Crafted("Layer1Mono32k", {.layer = 1, .rateIndex = 2, .bitRateIndex = 4, .mode = 3}),
    Crafted("Layer1JointStereo48k", {.layer = 1, .rateIndex = 1, .bitRateIndex = 10, .mode = 1},
            true),
    Crafted("Layer1DualChannel48k", {.layer = 1, .rateIndex = 1, .bitRateIndex = 14, .mode = 2}),
    Crafted("Layer1Lsf22kWithCrc",
            {.layer = 1, .version = 2, .rateIndex = 0, .bitRateIndex = 7, .mode = 0, .crc = true}),
    Crafted("Layer2JointStereo44k", {.layer = 2, .rateIndex = 0, .bitRateIndex = 11, .mode = 1},
            true),
    Crafted("Layer2JointStereo32kLow", {.layer = 2, .rateIndex = 2, .bitRateIndex = 4, .mode = 1},
            true),
    Crafted("Layer2DualChannel48k", {.layer = 2, .rateIndex = 1, .bitRateIndex = 9, .mode = 2}),
    Crafted("Layer2LsfJointStereo16k",
            {.layer = 2, .version = 2, .rateIndex = 2, .bitRateIndex = 10, .mode = 1}, true),
    Crafted("Layer2Stereo48kWithCrc",
            {.layer = 2, .rateIndex = 1, .bitRateIndex = 12, .mode = 0, .crc = true}),
};

class MpegAudioParityTest : public ::testing::TestWithParam<ParityCase> {};

TEST_P(MpegAudioParityTest, MatchesFfmpegThroughOpenAudioFile) {
  ScratchFolder folder("mpeg-audio-parity");
  const std::string path = folder.File("sound.mp2");
  const auto stream = GetParam().write(path);
  if (HasFailure()) return;

  auto file = OpenAudioFile(path);
  ASSERT_TRUE(file) << file.error().description;
  const auto theirs = PullAll(**file);
  int rate = 0;
  const auto ours = DecodeOurs(stream, &rate);
  EXPECT_EQ(rate, (*file)->Format().sampleRate);
  ASSERT_EQ(ours.size(), theirs.size()) << "samples";

  int worst = 0;
  std::size_t differing = 0;
  int peak = 0;
  for (std::size_t i = 0; i < ours.size(); ++i) {
    const int d = std::abs(ours[i] - theirs[i]);
    worst = std::max(worst, d);
    differing += d != 0 ? 1 : 0;
    peak = std::max(peak, std::abs(static_cast<int>(theirs[i])));
  }
  EXPECT_GT(peak, 4000) << "the stream must carry sound";
  EXPECT_LE(worst, kMaxStepsApart) << differing << " of " << ours.size() << " samples differ";
  RecordProperty("max_steps_apart", worst);
  RecordProperty("differing_samples", static_cast<int>(differing));
  std::cout << "[ parity   ] " << GetParam().name << ": " << ours.size() << " samples, max "
            << worst << " apart, " << differing << " differ\n";
}

INSTANTIATE_TEST_SUITE_P(Streams, MpegAudioParityTest, ::testing::ValuesIn(kCases),
                         [](const auto& p) { return std::string(p.param.name); });

// Which FFmpeg decoders the bound above was measured against.
TEST(MpegAudioParity, FfmpegDecodesLayersOneAndTwoInFixedPoint) {
  ASSERT_TRUE(ffmpeg::LoadFfmpeg());
  const AVCodec* layer2 = avcodec_find_decoder(AV_CODEC_ID_MP2);
  const AVCodec* layer1 = avcodec_find_decoder(AV_CODEC_ID_MP1);
  ASSERT_NE(layer2, nullptr);
  ASSERT_NE(layer1, nullptr);
  EXPECT_STREQ(layer2->name, "mp2");
  EXPECT_STREQ(layer1->name, "mp1");
}

}  // namespace
}  // namespace vistel
