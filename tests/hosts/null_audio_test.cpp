#include "hosts/common/null_audio.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "hosts/headless/event_loop.hpp"

namespace vistel {
namespace {

// A sound of a fixed number of frames whose samples count up, so that what
// was pulled can be checked for gaps.
class CountingSource final : public AudioSource {
 public:
  CountingSource(int channels, std::int64_t frames) : channels_(channels), framesLeft_(frames) {}
  std::size_t Pull(std::span<std::int16_t> samples) override {
    const auto ch = static_cast<std::size_t>(channels_);
    const auto frames =
        std::min<std::int64_t>(static_cast<std::int64_t>(samples.size() / ch), framesLeft_);
    for (std::int64_t f = 0; f < frames; ++f) {
      for (std::size_t c = 0; c < ch; ++c) {
        samples[static_cast<std::size_t>(f) * ch + c] = static_cast<std::int16_t>(next_ & 0x7FFF);
      }
      ++next_;
    }
    framesLeft_ -= frames;
    pulledFrames += frames;
    ++pulls;
    return static_cast<std::size_t>(frames) * ch;
  }
  std::int64_t pulledFrames = 0;
  int pulls = 0;

 private:
  int channels_;
  std::int64_t framesLeft_;
  std::int64_t next_ = 0;
};

TEST(NullAudioOutput, ConsumesAtTheRateAsTheClockMovesAndStopsWhenTheSourceRunsOut) {
  VirtualClock clock;
  clock.AdvanceTo(1000);  // streams count from their own start
  NullAudioOutput output(clock);
  CountingSource source(2, 22050 * 3 / 2);  // 1.5 s at 22050 Hz
  auto stream = output.Start({22050, 2}, source);
  EXPECT_EQ(stream->FramesPlayed(), 0);
  EXPECT_EQ(source.pulls, 0) << "nothing is pulled before time passes";

  clock.AdvanceTo(1500);
  EXPECT_EQ(stream->FramesPlayed(), 11025);
  EXPECT_EQ(source.pulledFrames, 11025) << "pulls only what the elapsed time consumed";

  stream->SetPaused(true);
  clock.AdvanceTo(2500);
  EXPECT_EQ(stream->FramesPlayed(), 11025) << "a paused stream does not count";
  stream->SetPaused(true);  // twice changes nothing
  clock.AdvanceTo(2700);
  stream->SetPaused(false);
  clock.AdvanceTo(3200);
  EXPECT_EQ(stream->FramesPlayed(), 22050);

  clock.AdvanceTo(9000);
  EXPECT_EQ(stream->FramesPlayed(), 33075) << "never more than the source had";
  EXPECT_EQ(source.pulledFrames, 33075);
  const int pullsAtEnd = source.pulls;
  clock.AdvanceTo(12000);
  EXPECT_EQ(stream->FramesPlayed(), 33075);
  EXPECT_EQ(source.pulls, pullsAtEnd) << "an exhausted source is not asked again";
}

TEST(NullAudioOutput, MonoStreamsCountFramesNotSamples) {
  VirtualClock clock;
  NullAudioOutput output(clock);
  CountingSource source(1, 44100 * 10);
  auto stream = output.Start({44100, 1}, source);
  clock.AdvanceTo(2000);
  EXPECT_EQ(stream->FramesPlayed(), 88200);
  EXPECT_EQ(source.pulledFrames, 88200);
}

}  // namespace
}  // namespace vistel
