// Cost of one playback tick of the video control, without decoding: a tick
// that presents a new frame (compare, scale, present) and one that falls
// between two frames (compare only). MPEG-1's usual 352x288 picture.
#include <benchmark/benchmark.h>

#include "hosts/headless/display.hpp"
#include "hosts/headless/event_loop.hpp"
#include "imaging/video_control.hpp"

namespace vistel {
namespace {

constexpr IntSize kClipSize{352, 288};

// Endless clip whose frame changes every `frameMs`; only one pixel differs
// from frame to frame, so the clip itself costs next to nothing.
class CheapClip final : public MediaClip {
 public:
  explicit CheapClip(Milliseconds frameMs) : frameMs_(frameMs) {}
  IntSize FrameSize() const override { return kClipSize; }
  Milliseconds Duration() const override { return 0; }
  bool HasVideo() const override { return true; }
  bool HasAudio() const override { return false; }
  Result<bool> FrameAt(Milliseconds t, Image& frame) override {
    if (frame.Extent() != kClipSize) frame = Image(kClipSize.width, kClipSize.height, 0x336699);
    frame.At(0, 0) = static_cast<Pixel>(t / frameMs_) & 0xFFFFFFU;
    return true;
  }
  AudioSource* Sound() override { return nullptr; }
  AudioFormat SoundFormat() const override { return {}; }

 private:
  Milliseconds frameMs_;
};

class CheapDecoder final : public ClipDecoder {
 public:
  explicit CheapDecoder(Milliseconds frameMs) : frameMs_(frameMs) {}
  Result<std::unique_ptr<MediaClip>> OpenClip(std::string_view) override {
    return std::make_unique<CheapClip>(frameMs_);
  }

 private:
  Milliseconds frameMs_;
};

class NoAudio final : public AudioOutput {
 public:
  std::unique_ptr<AudioStream> Start(AudioFormat, AudioSource&) override { return nullptr; }
};

class DiscardingOutput final : public VideoOutput {
 public:
  void PresentVideo(const Image& frame, IntRect) override {
    benchmark::DoNotOptimize(frame.Pixels().data());
  }
  void HideVideo() override {}
};

// Runs 20 ms ticks of a clip shown at twice its size (704x576).
void RunTicks(benchmark::State& state, Milliseconds frameMs) {
  VirtualClock clock;
  NullTrace trace;
  HeadlessEventLoop loop{clock, trace};
  HeadlessDisplay display{{1024, 768}, {}};
  CheapDecoder decoder{frameMs};
  NoAudio audio;
  DiscardingOutput output;
  VideoControl control{{decoder, loop, audio, output, display, trace}};
  control.OpenMediaFile("clip");
  (void)control.SetVideoRect(0, 0, control.VideoWidth() * 2, control.VideoHeight() * 2);
  control.SetWidth(control.VideoRectWidth());
  control.SetHeight(control.VideoRectHeight());
  control.SetVisible(true);
  (void)control.PlayMedia();
  for (auto _ : state) loop.AdvanceBy(kVideoTickMs);
  state.SetItemsProcessed(state.iterations());
}

void BM_TickPresentingANewFrame(benchmark::State& state) {
  RunTicks(state, kVideoTickMs);
}
void BM_TickBetweenFrames(benchmark::State& state) {
  RunTicks(state, 1'000'000'000);
}

BENCHMARK(BM_TickPresentingANewFrame);
BENCHMARK(BM_TickBetweenFrames);

}  // namespace
}  // namespace vistel
