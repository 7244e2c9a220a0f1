#include "media/ffmpeg/clip_decoder.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

#include "media/ffmpeg/encoders.hpp"
#include "media_test_support.hpp"

namespace vistel {
namespace {

using testing::ScratchFolder;

constexpr int kFps = 25;
constexpr int kFrames = 50;  // two seconds
constexpr IntSize kSize{160, 120};
constexpr Pixel kLower = MakePixel(200, 40, 40);

// Frame n shows its number as the grey level of a top band (n * 5).
void DrawNumberedFrame(int index, Image& frame) {
  const unsigned level = static_cast<unsigned>(index * 5);
  for (int y = 0; y < frame.Height(); ++y) {
    for (int x = 0; x < frame.Width(); ++x) {
      frame.At(x, y) = y < 48 ? MakePixel(level, level, level) : kLower;
    }
  }
}

// The frame number a decoded frame shows, from its band.
int FrameNumber(const Image& frame) {
  return static_cast<int>(std::lround(PixelGreen(frame.At(80, 24)) / 5.0));
}

bool Near(Pixel actual, Pixel expected, unsigned tolerance) {
  auto d = [](unsigned a, unsigned b) { return a > b ? a - b : b - a; };
  return d(PixelRed(actual), PixelRed(expected)) <= tolerance &&
         d(PixelGreen(actual), PixelGreen(expected)) <= tolerance &&
         d(PixelBlue(actual), PixelBlue(expected)) <= tolerance;
}

class ClipDecoderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new ScratchFolder("clip");
    sound_ = new std::vector<std::int16_t>(testing::Sine(440, 0.5, 44100, 2.0));
    const ClipSound sound{{44100, 2}, *sound_};
    Mpeg1ClipSettings settings{kSize, kFps, kFrames, 2};
    auto written = EncodeMpeg1Clip(settings, DrawNumberedFrame, &sound, folder_->File("clip"));
    ASSERT_TRUE(written) << written.error().description;
    auto silent = EncodeMpeg1Clip(settings, DrawNumberedFrame, nullptr, folder_->File("silent"));
    ASSERT_TRUE(silent) << silent.error().description;
  }
  static void TearDownTestSuite() {
    delete folder_;
    delete sound_;
  }

  std::unique_ptr<MediaClip> Open(const std::string& name) {
    auto clip = FfmpegClipDecoder().OpenClip(folder_->File(name));
    EXPECT_TRUE(clip) << (clip ? "" : clip.error().description);
    return clip ? std::move(*clip) : nullptr;
  }

  static ScratchFolder* folder_;
  static std::vector<std::int16_t>* sound_;
};
ScratchFolder* ClipDecoderTest::folder_ = nullptr;
std::vector<std::int16_t>* ClipDecoderTest::sound_ = nullptr;

TEST_F(ClipDecoderTest, DescribesTheClip) {
  auto clip = Open("clip");
  ASSERT_TRUE(clip);
  EXPECT_EQ(clip->FrameSize(), kSize);
  EXPECT_TRUE(clip->HasVideo());
  EXPECT_TRUE(clip->HasAudio());
  ASSERT_NE(clip->Sound(), nullptr);
  EXPECT_EQ(clip->SoundFormat(), (AudioFormat{44100, 2}));
  // Within one frame of two seconds (the sound may end a frame of mp2 later).
  EXPECT_NEAR(static_cast<double>(clip->Duration()), 2000.0, 1000.0 / kFps + 30)
      << "duration " << clip->Duration();

  auto silent = Open("silent");
  ASSERT_TRUE(silent);
  EXPECT_FALSE(silent->HasAudio());
  EXPECT_EQ(silent->Sound(), nullptr);
  EXPECT_NEAR(static_cast<double>(silent->Duration()), 2000.0, 1000.0 / kFps);
}

TEST_F(ClipDecoderTest, ShowsTheFrameOnScreenAtEachTime) {
  auto clip = Open("clip");
  ASSERT_TRUE(clip);
  Image frame;
  for (Milliseconds t : {0, 39, 40, 500, 1020, 1999}) {
    auto shown = clip->FrameAt(t, frame);
    ASSERT_TRUE(shown) << shown.error().description;
    ASSERT_TRUE(*shown) << "no frame at " << t;
    ASSERT_EQ(frame.Extent(), kSize);
    EXPECT_EQ(FrameNumber(frame), static_cast<int>(t * kFps / 1000)) << "at " << t << " ms";
    EXPECT_EQ(frame.At(80, 90) >> 24, 0U) << "the unused byte of a pixel is kept 0";
    EXPECT_TRUE(Near(frame.At(80, 90), kLower, 6))
        << "at " << t << " ms lower colour " << std::hex << frame.At(80, 90);
  }
  auto past = clip->FrameAt(2100, frame);
  ASSERT_TRUE(past);
  EXPECT_FALSE(*past) << "a frame after the clip's end";
}

TEST_F(ClipDecoderTest, GoesBackBySeeking) {
  auto clip = Open("silent");
  ASSERT_TRUE(clip);
  Image frame;
  for (Milliseconds t : {1500, 200, 1900, 0, 1000, 960}) {
    auto shown = clip->FrameAt(t, frame);
    ASSERT_TRUE(shown && *shown) << "at " << t;
    EXPECT_EQ(FrameNumber(frame), static_cast<int>(t * kFps / 1000)) << "at " << t << " ms";
  }
}

// Frames with texture below the numbered band: each takes more than one
// packet of the system stream, so the first picture's decoding time is
// stamped before the clip's first time, as in real clips.
void DrawTexturedFrame(int index, Image& frame) {
  DrawNumberedFrame(index, frame);
  for (int y = 48; y < frame.Height(); ++y) {
    for (int x = 0; x < frame.Width(); ++x) {
      frame.At(x, y) = MakePixel(static_cast<unsigned>(x * 3 + index * 7) & 255U,
                                 static_cast<unsigned>(y * 5 + index) & 255U,
                                 static_cast<unsigned>(x * y + index * 40) & 255U);
    }
  }
}

// A clip of one group of pictures (one sequence header) and one of two: all
// frames from the first, at their times, with the size known before the
// first frame is asked for, and again after going back to the start.
TEST(ClipDecoderFirstPicturesTest, ShowsEveryFrameFromTheFirst) {
  ScratchFolder folder("clip-first");
  for (int frames : {1, 5, 20}) {
    SCOPED_TRACE(::testing::Message() << frames << " frames");
    const std::string path = folder.File("textured" + std::to_string(frames));
    ASSERT_TRUE(EncodeMpeg1Clip({kSize, kFps, frames, 2}, DrawTexturedFrame, nullptr, path));
    auto clip = FfmpegClipDecoder().OpenClip(path);
    ASSERT_TRUE(clip) << clip.error().description;
    EXPECT_EQ((*clip)->FrameSize(), kSize);
    Image frame;
    for (int pass = 0; pass < 2; ++pass) {
      for (int n = 0; n < frames; ++n) {
        const Milliseconds t = n * 1000 / kFps;
        auto shown = (*clip)->FrameAt(t, frame);
        ASSERT_TRUE(shown && *shown) << "no frame at " << t << " ms, pass " << pass;
        EXPECT_EQ(FrameNumber(frame), n) << "at " << t << " ms, pass " << pass;
      }
    }
  }
}

TEST_F(ClipDecoderTest, PlaysItsSound) {
  auto clip = Open("clip");
  ASSERT_TRUE(clip);
  std::vector<std::int16_t> pulled;
  std::vector<std::int16_t> chunk(4096);
  while (std::size_t n = clip->Sound()->Pull(chunk))
    pulled.insert(pulled.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n));
  // Two seconds, give or take the encoder's frame padding (1152 samples).
  EXPECT_NEAR(static_cast<double>(pulled.size() / 2), 88200.0, 1400.0);
  const auto measure = testing::Measure(pulled, 44100);
  EXPECT_NEAR(measure.hertz, 440.0, 3.0);
  EXPECT_NEAR(measure.peak, 0.5, 0.05);
}

TEST_F(ClipDecoderTest, RewindsItsSoundWithThePicture) {
  auto clip = Open("clip");
  ASSERT_TRUE(clip);
  std::vector<std::int16_t> chunk(4096);
  std::vector<std::int16_t> first(chunk.size());
  ASSERT_EQ(clip->Sound()->Pull(first), first.size());
  while (clip->Sound()->Pull(chunk) != 0) {
  }
  ASSERT_TRUE(clip->SeekSound(0)) << "a clip with sound seeks it";
  std::vector<std::int16_t> again(chunk.size());
  ASSERT_EQ(clip->Sound()->Pull(again), again.size()) << "sound after rewinding an ended clip";
  // The same tone from the start again: same length of sound left, same level.
  const auto before = testing::Measure(first, 44100);
  const auto after = testing::Measure(again, 44100);
  EXPECT_NEAR(after.peak, before.peak, 0.05);

  auto silent = Open("silent");
  ASSERT_TRUE(silent);
  EXPECT_FALSE(silent->SeekSound(0)) << "a clip without sound cannot seek it";
}

TEST(ClipDecoderErrors, RefusesWhatIsNotAClip) {
  ScratchFolder folder("clip-errors");
  testing::WriteBytes(folder.File("empty"), {});
  std::vector<std::uint8_t> garbage(5000);
  for (std::size_t i = 0; i < garbage.size(); ++i)
    garbage[i] = static_cast<std::uint8_t>(i * 7919 % 251);
  testing::WriteBytes(folder.File("garbage"), garbage);
  FfmpegClipDecoder decoder;
  for (const char* name : {"missing", "empty", "garbage"}) {
    auto clip = decoder.OpenClip(folder.File(name));
    EXPECT_FALSE(clip) << name << " opened as a clip";
    if (!clip) {
      EXPECT_FALSE(clip.error().description.empty());
    }
  }
}

}  // namespace
}  // namespace vistel
