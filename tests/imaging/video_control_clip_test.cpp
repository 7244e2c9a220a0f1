// The video control over the real FFmpeg clip decoder, with an MPEG-1 clip
// made by the project's own encoder.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "hosts/headless/display.hpp"
#include "hosts/headless/event_loop.hpp"
#include "imaging/video_control.hpp"
#include "media/ffmpeg/clip_decoder.hpp"
#include "media/ffmpeg/encoders.hpp"

namespace vistel {
namespace {

constexpr int kFps = 25;
constexpr int kFrames = 25;  // one second
constexpr IntSize kSize{64, 48};

// Frame n is one flat grey of level 8n, which survives the encoder's losses.
void DrawFlatFrame(int index, Image& frame) {
  const auto level = static_cast<unsigned>(index * 8);
  for (Pixel& p : frame.Pixels()) p = MakePixel(level, level, level);
}

class CountingAudio final : public AudioOutput {
 public:
  class Stream final : public AudioStream {
   public:
    explicit Stream(int& live) : live_(live) { ++live_; }
    ~Stream() override { --live_; }
    void SetPaused(bool) override {}
    std::int64_t FramesPlayed() const override { return 0; }

   private:
    int& live_;
  };
  std::unique_ptr<AudioStream> Start(AudioFormat format, AudioSource&) override {
    formats.push_back(format);
    return std::make_unique<Stream>(live);
  }
  std::vector<AudioFormat> formats;
  int live = 0;
};

class GreyLevels final : public VideoOutput {
 public:
  explicit GreyLevels(const Clock& clock) : clock_(clock) {}
  void PresentVideo(const Image& frame, IntRect rectPixels) override {
    rects.push_back(rectPixels);
    const Pixel centre = frame.At(frame.Width() / 2, frame.Height() / 2);
    presented.push_back({clock_.NowMs(), static_cast<int>(PixelGreen(centre))});
  }
  void HideVideo() override {}
  struct Shown {
    Milliseconds atMs;
    int level;
  };
  std::vector<Shown> presented;
  std::vector<IntRect> rects;

 private:
  const Clock& clock_;
};

TEST(VideoControlClipTest, PlaysAnMpeg1ClipFrameByFrameToItsEnd) {
  const auto folder =
      std::filesystem::temp_directory_path() /
      ("vistel-video-control-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::create_directories(folder);
  const std::string path = (folder / "vid").string();
  std::vector<std::int16_t> samples(44100 * 2, 0);  // one second of stereo silence
  const ClipSound sound{{44100, 2}, samples};
  ASSERT_TRUE(EncodeMpeg1Clip({kSize, kFps, kFrames, 2}, DrawFlatFrame, &sound, path));

  FfmpegClipDecoder decoder;
  auto probe = decoder.OpenClip(path);
  ASSERT_TRUE(probe);
  const Milliseconds durationMs = (*probe)->Duration();
  ASSERT_GE(durationMs, 960);
  probe->reset();

  VirtualClock clock;
  NullTrace trace;
  HeadlessEventLoop loop{clock, trace};
  HeadlessDisplay display{{800, 600}, {}};
  CountingAudio audio;
  GreyLevels output{clock};
  VideoControl control{{decoder, loop, audio, output, display, trace}};
  std::vector<Milliseconds> ends;
  control.SetEvents({[&](std::int16_t) { ends.push_back(loop.NowMs()); }, {}, {}});

  ASSERT_EQ(control.OpenMediaFile(path), 0);
  EXPECT_EQ(control.VideoWidth(), 64 * 15.0F);
  EXPECT_EQ(control.VideoHeight(), 48 * 15.0F);
  control.SetWidth(control.VideoRectWidth());
  control.SetHeight(control.VideoRectHeight());
  control.SetVisible(true);
  ASSERT_TRUE(control.PlayMedia());
  ASSERT_EQ(audio.formats.size(), 1U);
  EXPECT_EQ(audio.formats[0].sampleRate, 44100);
  loop.RunUntil(5000);

  ASSERT_EQ(ends.size(), 1U);
  EXPECT_GE(ends[0], durationMs);
  EXPECT_LE(ends[0], durationMs + static_cast<Milliseconds>(kVideoTickMs));
  EXPECT_EQ(audio.live, 0);
  ASSERT_GE(output.presented.size(), static_cast<std::size_t>(kFrames) * 9 / 10)
      << "nearly every frame is shown at 25 frames a second on a 20 ms tick";
  for (const auto& shown : output.presented) {
    const auto expected = static_cast<int>(shown.atMs * kFps / 1000) * 8;
    EXPECT_NEAR(shown.level, expected, 4) << "frame at " << shown.atMs << " ms";
  }
  for (const IntRect& rect : output.rects) EXPECT_EQ(rect, (IntRect{0, 0, 64, 48}));
  control.CloseMedia();
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace vistel
