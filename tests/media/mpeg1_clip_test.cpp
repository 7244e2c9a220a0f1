// The player's own MPEG-1 clips (the Windows hosts') against FFmpeg's (the
// Linux host's), on the same files: the same picture at every moment within
// the decoders' rounding, the same end, the same sound.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "media/ffmpeg/clip_decoder.hpp"
#include "media/ffmpeg/encoders.hpp"
#include "media/mpeg1/clip_decoder.hpp"
#include "media_test_support.hpp"
#include "platform/native_files.hpp"

namespace vistel {
namespace {

using testing::ScratchFolder;

// Texture that moves a little each frame (motion vectors, half pels) over a
// still band (skipped macroblocks).
void DrawMoving(int index, Image& frame) {
  for (int y = 0; y < frame.Height(); ++y) {
    for (int x = 0; x < frame.Width(); ++x) {
      const int u = x + index * 3 / 2;
      const int v = y + index / 2;
      frame.At(x, y) = y < frame.Height() / 4
                           ? MakePixel(200, 40, 90)
                           : MakePixel(static_cast<unsigned>(u * 7 + (v & 8) * 9) & 255U,
                                       static_cast<unsigned>(v * 5 + u / 3) & 255U,
                                       static_cast<unsigned>(u * v / 7) & 255U);
    }
  }
}

// Peak signal to noise of b against a, over all three colours.
double Psnr(const Image& a, const Image& b) {
  double sum = 0;
  for (int y = 0; y < a.Height(); ++y) {
    for (int x = 0; x < a.Width(); ++x) {
      for (int shift : {0, 8, 16}) {
        const double d = static_cast<double>((a.At(x, y) >> shift) & 255U) -
                         static_cast<double>((b.At(x, y) >> shift) & 255U);
        sum += d * d;
      }
    }
  }
  const double mse = sum / (3.0 * a.Width() * a.Height());
  return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

std::vector<std::int16_t> PullAll(AudioSource& sound) {
  std::vector<std::int16_t> all;
  std::vector<std::int16_t> chunk(3000);  // not a whole number of frames
  while (std::size_t n = sound.Pull(chunk))
    all.insert(all.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n));
  return all;
}

int MaxDifference(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b) {
  int most = 0;
  for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
    most = std::max(most, std::abs(a[i] - b[i]));
  }
  return most;
}

struct ClipCase {
  const char* name;
  IntSize size;
  int fps;
  int frames;
  int bFrames;
  int channels;  // 0: no sound
  int rate;
  bool ntsc = false;
};

class Mpeg1ClipTest : public ::testing::TestWithParam<ClipCase> {};

TEST_P(Mpeg1ClipTest, PlaysAsTheLinuxDecoderPlaysIt) {
  const ClipCase& c = GetParam();
  ScratchFolder scratch(std::string("mpeg1clip-") + c.name);
  const std::string path = scratch.File("clip.mpg");
  const int soundSeconds = 2;
  std::vector<std::int16_t> tone;
  for (int i = 0; i < c.rate * soundSeconds; ++i) {
    for (int ch = 0; ch < c.channels; ++ch) {
      tone.push_back(static_cast<std::int16_t>(9000 * std::sin(i * (0.03 + 0.02 * ch))));
    }
  }
  const ClipSound sound{{c.rate, std::max(c.channels, 1)}, tone};
  Mpeg1ClipSettings settings{c.size, c.fps, c.frames, 4};
  settings.bFrames = c.bFrames;
  settings.ntsc = c.ntsc;
  ASSERT_TRUE(EncodeMpeg1Clip(settings, DrawMoving, c.channels > 0 ? &sound : nullptr, path));

  auto files = MakeNativeFileSystem();
  Mpeg1ClipDecoder ours(*files);
  FfmpegClipDecoder theirs;
  auto mine = ours.OpenClip(path);
  ASSERT_TRUE(mine) << mine.error().description;
  auto linux = theirs.OpenClip(path);
  ASSERT_TRUE(linux);
  MediaClip& a = **mine;
  MediaClip& b = **linux;
  EXPECT_EQ(a.FrameSize(), b.FrameSize());
  EXPECT_EQ(a.Duration(), b.Duration());
  EXPECT_EQ(a.HasAudio(), b.HasAudio());

  // Forward at 7 ms steps, then once back to the start (a clip that loops).
  std::vector<Milliseconds> times;
  for (Milliseconds t = 0; t < b.Duration() + 100; t += 7) times.push_back(t);
  times.push_back(0);
  times.push_back(b.Duration() / 2);
  double worst = 99;
  Image fromOurs;
  Image fromTheirs;
  for (Milliseconds t : times) {
    auto shownA = a.FrameAt(t, fromOurs);
    auto shownB = b.FrameAt(t, fromTheirs);
    ASSERT_TRUE(shownA && shownB) << "at " << t;
    ASSERT_EQ(*shownA, *shownB) << "at " << t;
    if (!*shownB) continue;
    ASSERT_EQ(fromOurs.Width(), fromTheirs.Width());
    worst = std::min(worst, Psnr(fromTheirs, fromOurs));
    // A wrong picture (one frame early or late) of moving texture is far
    // below this; the decoders' rounding is far above it.
    ASSERT_GT(Psnr(fromTheirs, fromOurs), 35.0) << "at " << t;
  }
  RecordProperty("worst_psnr", std::to_string(worst));

  if (c.channels > 0) {
    EXPECT_EQ(a.SoundFormat(), b.SoundFormat());
    const auto soundA = PullAll(*a.Sound());
    const auto soundB = PullAll(*b.Sound());
    EXPECT_EQ(soundA.size(), soundB.size());
    EXPECT_LE(MaxDifference(soundA, soundB), 1);
    // A rewound clip's sound starts over where its picture does, to the
    // sample: the Linux sound played from the start, from that point on.
    // (FFmpeg's own seek in a system stream lands near it, not on it.)
    ASSERT_TRUE(a.SeekSound(700));
    const auto restA = PullAll(*a.Sound());
    const auto skipped = static_cast<std::ptrdiff_t>(700 * c.rate / 1000 * 2);
    ASSERT_EQ(restA.size(), soundB.size() - static_cast<std::size_t>(skipped));
    EXPECT_LE(MaxDifference(restA, {soundB.begin() + skipped, soundB.end()}), 1);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Clips, Mpeg1ClipTest,
    ::testing::Values(ClipCase{"IAndP", {176, 144}, 25, 30, 0, 2, 44100},
                      ClipCase{"BPicturesMonoSound", {176, 120}, 30, 40, 2, 1, 32000},
                      ClipCase{"OddSizeNoSound", {130, 98}, 24, 20, 1, 0, 44100},
                      ClipCase{"ThreeBPictures", {352, 240}, 25, 45, 3, 2, 48000},
                      ClipCase{"Ntsc", {176, 120}, 30, 40, 2, 2, 44100, true}),
    [](const ::testing::TestParamInfo<ClipCase>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace vistel
