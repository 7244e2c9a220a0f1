#include "hosts/common/null_audio.hpp"

#include <algorithm>
#include <vector>

namespace vistel {
namespace {

class NullAudioStream final : public AudioStream {
 public:
  NullAudioStream(const Clock& clock, AudioFormat format, AudioSource& source)
      : clock_(clock),
        format_(format),
        source_(source),
        startedMs_(clock.NowMs()),
        scratch_(static_cast<std::size_t>(kChunkFrames * std::max(format.channels, 1))) {}

  void SetPaused(bool paused) override {
    if (paused == paused_) return;
    const Milliseconds now = clock_.NowMs();
    if (paused) {
      playedMs_ += now - startedMs_;
    } else {
      startedMs_ = now;
    }
    paused_ = paused;
  }

  std::int64_t FramesPlayed() const override {
    const Milliseconds elapsed = playedMs_ + (paused_ ? 0 : clock_.NowMs() - startedMs_);
    const std::int64_t due = elapsed * format_.sampleRate / 1000;
    PullUpTo(due);
    return std::min(due, pulledFrames_);
  }

 private:
  static constexpr std::int64_t kChunkFrames = 4096;

  void PullUpTo(std::int64_t due) const {
    const auto channels = static_cast<std::size_t>(std::max(format_.channels, 1));
    while (!exhausted_ && pulledFrames_ < due) {
      const auto frames = static_cast<std::size_t>(std::min(kChunkFrames, due - pulledFrames_));
      const std::size_t wanted = frames * channels;
      const std::size_t got = source_.Pull(std::span<std::int16_t>(scratch_.data(), wanted));
      pulledFrames_ += static_cast<std::int64_t>(got / channels);
      if (got < wanted) exhausted_ = true;
    }
  }

  const Clock& clock_;
  AudioFormat format_;
  AudioSource& source_;
  Milliseconds startedMs_;
  Milliseconds playedMs_ = 0;  // time played before the last pause
  bool paused_ = false;
  // Pulling happens inside a query: the source's samples are consumed as time passes.
  mutable std::vector<std::int16_t> scratch_;
  mutable std::int64_t pulledFrames_ = 0;
  mutable bool exhausted_ = false;
};

}  // namespace

std::unique_ptr<AudioStream> NullAudioOutput::Start(AudioFormat format, AudioSource& source) {
  return std::make_unique<NullAudioStream>(clock_, format, source);
}

}  // namespace vistel
