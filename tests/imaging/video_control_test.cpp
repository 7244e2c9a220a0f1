#include "imaging/video_control.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "hosts/common/json_trace.hpp"
#include "hosts/headless/display.hpp"
#include "hosts/headless/event_loop.hpp"

namespace vistel {
namespace {

using nlohmann::json;

// Frame n of a fake clip: pixel (x, y) is (n, x, y) as red, green, blue, so
// a presented picture tells which frame and which source pixel it shows.
constexpr Pixel SourcePixel(int frame, int x, int y) {
  return MakePixel(static_cast<unsigned>(frame), static_cast<unsigned>(x),
                   static_cast<unsigned>(y));
}

struct ClipRecipe {
  IntSize frameSize{64, 48};
  Milliseconds frameMs = 40;
  Milliseconds durationMs = 1000;  // what Duration() reports; 0 = unknown
  int frameCount = 25;             // frames it really has
  bool hasVideo = true;
  bool hasAudio = true;
  bool canSeekSound = true;
  Milliseconds failFromMs = -1;  // FrameAt fails from this time on
};

struct ClipLog {
  std::vector<Milliseconds> soundSeeks;
  int open = 0;
};

class FakeSound final : public AudioSource {
 public:
  std::size_t Pull(std::span<std::int16_t> samples) override { return samples.size(); }
};

class FakeClip final : public MediaClip {
 public:
  FakeClip(ClipRecipe recipe, ClipLog& log) : recipe_(recipe), log_(log) { ++log_.open; }
  ~FakeClip() override { --log_.open; }
  IntSize FrameSize() const override { return recipe_.hasVideo ? recipe_.frameSize : IntSize{}; }
  Milliseconds Duration() const override { return recipe_.durationMs; }
  bool HasVideo() const override { return recipe_.hasVideo; }
  bool HasAudio() const override { return recipe_.hasAudio; }
  Result<bool> FrameAt(Milliseconds t, Image& frame) override {
    if (recipe_.failFromMs >= 0 && t >= recipe_.failFromMs) return Fail(ErrorCode::DeviceIoError);
    const auto index = static_cast<int>(t / recipe_.frameMs);
    if (index >= recipe_.frameCount) return false;
    frame = Image(recipe_.frameSize.width, recipe_.frameSize.height);
    for (int y = 0; y < frame.Height(); ++y) {
      for (int x = 0; x < frame.Width(); ++x) frame.At(x, y) = SourcePixel(index, x, y);
    }
    return true;
  }
  AudioSource* Sound() override { return recipe_.hasAudio ? &sound_ : nullptr; }
  AudioFormat SoundFormat() const override { return {22050, 1}; }
  Status SeekSound(Milliseconds t) override {
    if (!recipe_.canSeekSound) return MediaClip::SeekSound(t);
    log_.soundSeeks.push_back(t);
    return {};
  }

 private:
  ClipRecipe recipe_;
  ClipLog& log_;
  FakeSound sound_;
};

class FakeDecoder final : public ClipDecoder {
 public:
  Result<std::unique_ptr<MediaClip>> OpenClip(std::string_view path) override {
    const auto it = clips.find(std::string(path));
    if (it == clips.end()) return Fail(ErrorCode::FileNotFound);
    return std::make_unique<FakeClip>(it->second, log);
  }
  std::map<std::string, ClipRecipe> clips;
  ClipLog log;
};

struct AudioLog {
  int live = 0;
  int started = 0;
  AudioFormat lastFormat;
};

class FakeStream final : public AudioStream {
 public:
  explicit FakeStream(AudioLog& log) : log_(log) { ++log_.live; }
  ~FakeStream() override { --log_.live; }
  void SetPaused(bool) override {}
  std::int64_t FramesPlayed() const override { return 0; }

 private:
  AudioLog& log_;
};

class FakeAudio final : public AudioOutput {
 public:
  std::unique_ptr<AudioStream> Start(AudioFormat format, AudioSource&) override {
    ++log.started;
    log.lastFormat = format;
    return std::make_unique<FakeStream>(log);
  }
  AudioLog log;
};

struct Presented {
  Milliseconds atMs;
  IntRect rect;
  Image frame;
};

class RecordingOutput final : public VideoOutput {
 public:
  explicit RecordingOutput(const Clock& clock) : clock_(clock) {}
  void PresentVideo(const Image& frame, IntRect rectPixels) override {
    presented.push_back({clock_.NowMs(), rectPixels, frame});
  }
  void HideVideo() override { hides.push_back(clock_.NowMs()); }
  std::vector<Presented> presented;
  std::vector<Milliseconds> hides;

 private:
  const Clock& clock_;
};

class VideoControlTest : public ::testing::Test {
 protected:
  VideoControlTest() {
    decoder.clips["clip"] = ClipRecipe{};
    control.SetEvents({[this](std::int16_t state) {
                         states.push_back({loop.NowMs(), state});
                       },
                       [this](int kind) { inputs.push_back(kind); },
                       [this](int positionMs) {
                         notifies.push_back({loop.NowMs(), positionMs});
                         if (onNotify) onNotify();
                       }});
  }

  // Opens "clip", shows it at twice its size with its corner at pixel
  // (100, 50) and starts it at `startMs`.
  void OpenPlaceAndPlayAt(Milliseconds startMs) {
    ASSERT_EQ(control.OpenMediaFile("clip"), 0);
    ASSERT_TRUE(control.SetVideoRect(0, 0, control.VideoWidth() * 2, control.VideoHeight() * 2));
    control.SetLeft(1500);
    control.SetTop(750);
    control.SetWidth(control.VideoRectWidth());
    control.SetHeight(control.VideoRectHeight());
    control.SetVisible(true);
    loop.RunUntil(startMs);
    ASSERT_TRUE(control.PlayMedia());
  }

  std::vector<std::string> TracedStates() const {
    std::vector<std::string> names;
    for (const json& e : traced) names.push_back(e["state"]);
    return names;
  }

  struct Timed {
    Milliseconds atMs;
    int value;
  };

  VirtualClock clock;
  NullTrace loopTrace;
  HeadlessEventLoop loop{clock, loopTrace};
  HeadlessDisplay display{{800, 600}, {}};
  FakeDecoder decoder;
  FakeAudio audio;
  RecordingOutput output{clock};
  std::vector<json> traced;
  JsonTrace trace{clock, [this](std::string_view line) { traced.push_back(json::parse(line)); }};
  VideoControl control{{decoder, loop, audio, output, display, trace}};
  std::vector<Timed> states;
  std::vector<int> inputs;
  std::vector<Timed> notifies;
  std::function<void()> onNotify;
};

TEST_F(VideoControlTest, OpenReportsTheClipSizeInTwipsAsTheVideoRectangle) {
  ASSERT_EQ(control.OpenMediaFile("clip"), 0);
  EXPECT_TRUE(control.IsOpen());
  EXPECT_EQ(control.VideoWidth(), 64 * 15.0F);
  EXPECT_EQ(control.VideoHeight(), 48 * 15.0F);
  EXPECT_EQ(control.VideoRectLeft(), 0.0F);
  EXPECT_EQ(control.VideoRectTop(), 0.0F);
  EXPECT_EQ(control.VideoRectWidth(), 960.0F);
  EXPECT_EQ(control.VideoRectHeight(), 720.0F);
  ASSERT_EQ(traced.size(), 1U);
  EXPECT_EQ(traced[0]["state"], "opened");
  EXPECT_EQ(traced[0]["width"], 960.0);
  EXPECT_EQ(traced[0]["height"], 720.0);

  EXPECT_FALSE(control.SetVideoRect(0, 0, std::numeric_limits<float>::quiet_NaN(), 10));
  EXPECT_EQ(control.VideoRectWidth(), 960.0F) << "a failed SetVideoRect keeps the rectangle";
}

TEST_F(VideoControlTest, AClipThatCannotBeOpenedGivesItsErrorNumberAndNeverEnds) {
  ASSERT_EQ(control.OpenMediaFile("clip"), 0);
  EXPECT_EQ(control.OpenMediaFile("missing"), static_cast<std::int16_t>(ErrorCode::FileNotFound));
  EXPECT_FALSE(control.IsOpen()) << "the clip open before is closed";
  EXPECT_EQ(decoder.log.open, 0);
  EXPECT_EQ(control.VideoWidth(), 0.0F);
  EXPECT_EQ(control.VideoRectWidth(), 0.0F);
  EXPECT_FALSE(control.PlayMedia());
  EXPECT_FALSE(control.SetPlayPosition(0));
  control.SetVisible(true);
  loop.RunUntil(60'000);
  EXPECT_TRUE(states.empty());
  EXPECT_TRUE(notifies.empty());
  EXPECT_TRUE(output.presented.empty());
  EXPECT_EQ(TracedStates(), (std::vector<std::string>{"opened", "closed"}));
}

TEST_F(VideoControlTest, FramesComeAtTheirTimesScaledIntoTheRectangle) {
  OpenPlaceAndPlayAt(1000);
  loop.RunUntil(1500);
  ASSERT_FALSE(output.presented.empty());
  int lastFrame = -1;
  for (const Presented& p : output.presented) {
    const int frame = static_cast<int>(PixelRed(p.frame.At(0, 0)));
    EXPECT_EQ(frame, (p.atMs - 1000) / 40) << "frame shown at " << p.atMs;
    EXPECT_GT(frame, lastFrame) << "an unchanged frame is not presented again";
    lastFrame = frame;
    ASSERT_EQ(p.rect, (IntRect{100, 50, 128, 96}));
    ASSERT_EQ(p.frame.Extent(), (IntSize{128, 96}));
    for (int y = 0; y < 96; ++y) {
      for (int x = 0; x < 128; ++x) {
        // Nearest neighbour at pixel centres: target x maps to (2x+1)*64/(2*128).
        ASSERT_EQ(p.frame.At(x, y),
                  SourcePixel(frame, (2 * x + 1) * 64 / 256, (2 * y + 1) * 48 / 192))
            << "pixel " << x << "," << y << " at " << p.atMs;
      }
    }
  }
  EXPECT_GE(lastFrame, 11) << "frames up to 500 ms were due";
}

TEST_F(VideoControlTest, AnyScaleSamplesTheSourceAtPixelCentres) {
  OpenPlaceAndPlayAt(0);
  ASSERT_TRUE(control.SetVideoRect(0, 0, 100 * 15, 30 * 15));  // 64x48 to 100x30
  control.SetWidth(control.VideoRectWidth());
  control.SetHeight(control.VideoRectHeight());
  loop.RunUntil(30);
  const Presented& p = output.presented.back();
  ASSERT_EQ(p.rect, (IntRect{100, 50, 100, 30}));
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 100; ++x) {
      ASSERT_EQ(p.frame.At(x, y), SourcePixel(0, (2 * x + 1) * 64 / 200, (2 * y + 1) * 48 / 60))
          << "pixel " << x << "," << y;
    }
  }
}

TEST_F(VideoControlTest, ThePictureIsClippedToTheControlAndTheScreen) {
  OpenPlaceAndPlayAt(0);
  control.SetWidth(30 * 15);  // the control shows only 30 of the 128 columns
  loop.RunUntil(100);
  ASSERT_FALSE(output.presented.empty());
  EXPECT_EQ(output.presented.back().rect, (IntRect{100, 50, 30, 96}));

  control.SetWidth(control.VideoRectWidth());
  control.SetLeft(-10 * 15);  // 10 pixels off the screen's left edge
  const Presented& p = output.presented.back();
  EXPECT_EQ(p.rect, (IntRect{0, 50, 118, 96}));
  const int frame = static_cast<int>(PixelRed(p.frame.At(0, 0)));
  EXPECT_EQ(p.frame.At(0, 0), SourcePixel(frame, (2 * 10 + 1) * 64 / 256, 0))
      << "the visible part starts 10 target pixels into the picture";

  const std::size_t before = output.presented.size();
  control.SetLeft(900 * 15);  // beyond the 800-pixel screen
  EXPECT_EQ(output.presented.size(), before);
  EXPECT_EQ(output.hides.size(), 1U);
}

TEST_F(VideoControlTest, NotifyEventsComeDuringPlaybackAndExactlyOneEndAfterTheDuration) {
  OpenPlaceAndPlayAt(200);
  EXPECT_EQ(audio.log.live, 1);
  EXPECT_EQ(audio.log.lastFormat, (AudioFormat{22050, 1}));
  loop.RunUntil(5000);

  ASSERT_EQ(states.size(), 1U);
  EXPECT_EQ(states[0].value, kVideoStateEnded);
  EXPECT_GE(states[0].atMs, 200 + 1000);
  EXPECT_LE(states[0].atMs, 200 + 1000 + static_cast<Milliseconds>(kVideoTickMs));
  EXPECT_FALSE(control.IsPlaying());
  EXPECT_EQ(audio.log.live, 0) << "the sound stops with the clip";
  EXPECT_TRUE(output.hides.empty()) << "the last frame stays on the window";

  ASSERT_GE(notifies.size(), 9U);
  EXPECT_LE(notifies.size(), 10U);
  for (std::size_t i = 0; i < notifies.size(); ++i) {
    EXPECT_LT(notifies[i].atMs, states[0].atMs);
    EXPECT_EQ(notifies[i].value, notifies[i].atMs - 200) << "the argument is the position";
    if (i > 0) {
      EXPECT_GE(notifies[i].atMs - notifies[i - 1].atMs, kVideoNotifyPeriodMs);
    }
  }
  EXPECT_EQ(TracedStates(), (std::vector<std::string>{"opened", "playing", "ended"}));
  EXPECT_EQ(traced[1]["left"], 1500.0);
  EXPECT_EQ(traced[1]["width"], 1920.0);
}

TEST_F(VideoControlTest, PlayAfterTheEndReplaysFromTheStartWithItsSound) {
  OpenPlaceAndPlayAt(0);
  loop.RunUntil(2000);
  ASSERT_EQ(states.size(), 1U);
  const std::size_t before = output.presented.size();
  ASSERT_TRUE(control.PlayMedia());
  EXPECT_EQ(audio.log.started, 2);
  EXPECT_EQ(decoder.log.soundSeeks, (std::vector<Milliseconds>{0}));
  loop.RunUntil(2100);
  ASSERT_GT(output.presented.size(), before);
  EXPECT_EQ(PixelRed(output.presented[before].frame.At(0, 0)), 0U);
  loop.RunUntil(5000);
  EXPECT_EQ(states.size(), 2U);
}

TEST_F(VideoControlTest, TheClipEndsWithItsPictureOrItsLongerSound) {
  decoder.clips["nothing"] = {.hasVideo = false, .hasAudio = false};
  decoder.clips["empty"] = {.durationMs = 0, .frameCount = 0};
  decoder.clips["broken"] = {.failFromMs = 300};
  decoder.clips["unknown length"] = {.durationMs = 0, .frameCount = 10};  // 400 ms of frames
  decoder.clips["silent, short picture"] = {.frameCount = 10, .hasAudio = false};
  decoder.clips["sound outlasts picture"] = {.frameCount = 10};
  decoder.clips["sound only"] = {.hasVideo = false};
  for (const auto& [name, endMs] :
       std::vector<std::pair<std::string, Milliseconds>>{{"nothing", 0},
                                                         {"empty", 0},
                                                         {"broken", 300},
                                                         {"unknown length", 400},
                                                         {"silent, short picture", 400},
                                                         {"sound outlasts picture", 1000},
                                                         {"sound only", 1000}}) {
    states.clear();
    ASSERT_EQ(control.OpenMediaFile(name), 0) << name;
    const Milliseconds start = loop.NowMs();
    ASSERT_TRUE(control.PlayMedia());
    loop.RunUntil(start + 3000);
    ASSERT_EQ(states.size(), 1U) << name;
    EXPECT_GE(states[0].atMs - start, endMs) << name;
    EXPECT_LE(states[0].atMs - start, endMs + static_cast<Milliseconds>(kVideoTickMs)) << name;
  }
}

TEST_F(VideoControlTest, PlayPositionZeroRewindsPictureAndSound) {
  OpenPlaceAndPlayAt(0);
  loop.RunUntil(500);
  ASSERT_TRUE(control.SetPlayPosition(0));
  EXPECT_EQ(decoder.log.soundSeeks, (std::vector<Milliseconds>{0}));
  EXPECT_EQ(audio.log.started, 2);
  EXPECT_EQ(audio.log.live, 1);
  const std::size_t before = output.presented.size();
  loop.RunUntil(520);
  ASSERT_EQ(output.presented.size(), before + 1);
  EXPECT_EQ(PixelRed(output.presented.back().frame.At(0, 0)), 0U);
  loop.RunUntil(5000);
  ASSERT_EQ(states.size(), 1U);
  EXPECT_GE(states[0].atMs, 1500) << "a full clip's length after the rewind";
  EXPECT_LE(states[0].atMs, 1500 + static_cast<Milliseconds>(kVideoTickMs));
  EXPECT_FALSE(control.SetPlayPosition(-1));
}

TEST_F(VideoControlTest, RewindingOnEveryNotifyHoldsTheClipAtItsStart) {
  // The show's pending-quit handler: PlayPosition 0 on each notify.
  onNotify = [this] { ASSERT_TRUE(control.SetPlayPosition(0)); };
  OpenPlaceAndPlayAt(0);
  loop.RunUntil(10'000);
  EXPECT_TRUE(states.empty()) << "the clip never reaches its end";
  EXPECT_GE(notifies.size(), 90U);
  for (const Presented& p : output.presented) {
    EXPECT_LE(PixelRed(p.frame.At(0, 0)), 2U) << "no frame past 100 ms, at " << p.atMs;
  }
}

TEST_F(VideoControlTest, ASoundThatCannotSeekFallsSilentOnRewind) {
  decoder.clips["clip"].canSeekSound = false;
  OpenPlaceAndPlayAt(0);
  EXPECT_EQ(audio.log.live, 1) << "a fresh clip's sound needs no seek";
  loop.RunUntil(300);
  ASSERT_TRUE(control.SetPlayPosition(0));
  EXPECT_EQ(audio.log.live, 0);
  loop.RunUntil(2000);
  EXPECT_EQ(states.size(), 1U) << "the picture plays on";
}

TEST_F(VideoControlTest, CloseStopsEverythingAndNoEventFollows) {
  OpenPlaceAndPlayAt(0);
  loop.RunUntil(330);
  control.CloseMedia();
  EXPECT_FALSE(control.IsOpen());
  EXPECT_EQ(decoder.log.open, 0);
  EXPECT_EQ(audio.log.live, 0);
  EXPECT_EQ(output.hides.size(), 1U);
  EXPECT_EQ(control.VideoRectWidth(), 0.0F);
  const std::size_t presented = output.presented.size();
  const std::size_t notified = notifies.size();
  loop.RunUntil(5000);
  EXPECT_EQ(output.presented.size(), presented);
  EXPECT_EQ(notifies.size(), notified);
  EXPECT_TRUE(states.empty());
  EXPECT_EQ(TracedStates(), (std::vector<std::string>{"opened", "playing", "closed"}));
  control.CloseMedia();
  EXPECT_EQ(traced.size(), 3U) << "closing with no clip changes nothing";
}

TEST_F(VideoControlTest, CloseFromTheNotifyHandlerEndsPlaybackThere) {
  onNotify = [this] {
    if (loop.NowMs() >= 200) control.CloseMedia();
  };
  OpenPlaceAndPlayAt(0);
  loop.RunUntil(5000);
  EXPECT_FALSE(control.IsOpen());
  EXPECT_TRUE(states.empty());
  EXPECT_LE(notifies.back().atMs, 200 + kVideoNotifyPeriodMs);
  EXPECT_EQ(loop.NextDue(), std::nullopt) << "no timer of the control is left running";
}

TEST_F(VideoControlTest, AHiddenControlPlaysOnButShowsNothingAndTakesNoInput) {
  ASSERT_EQ(control.OpenMediaFile("clip"), 0);
  control.SetWidth(control.VideoRectWidth());
  control.SetHeight(control.VideoRectHeight());
  control.DeliverInput(VideoInputKind::Key);
  EXPECT_TRUE(inputs.empty());
  ASSERT_TRUE(control.PlayMedia());
  loop.RunUntil(300);
  EXPECT_TRUE(output.presented.empty());
  EXPECT_FALSE(notifies.empty());

  control.SetVisible(true);
  ASSERT_EQ(output.presented.size(), 1U) << "showing it presents the current frame";
  EXPECT_EQ(output.presented[0].rect, (IntRect{0, 0, 64, 48}));
  EXPECT_EQ(PixelRed(output.presented[0].frame.At(0, 0)), 7U) << "frame at 280 ms";
  control.DeliverInput(VideoInputKind::MouseButton);
  EXPECT_EQ(inputs, (std::vector<int>{static_cast<int>(VideoInputKind::MouseButton)}));

  control.SetVisible(false);
  EXPECT_EQ(output.hides.size(), 1U);
  loop.RunUntil(2000);
  EXPECT_EQ(output.presented.size(), 1U);
  EXPECT_EQ(states.size(), 1U);
}

}  // namespace
}  // namespace vistel
