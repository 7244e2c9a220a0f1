#include "media/timed/timed_silence.hpp"

#include <algorithm>

namespace vistel {

TimedSilence::TimedSilence(int sampleRate, Milliseconds lengthMs, std::int64_t frames)
    : sampleRate_(sampleRate > 0 ? sampleRate : 44100),
      lengthMs_(std::max<Milliseconds>(lengthMs, 0)),
      frames_(std::max<std::int64_t>(frames, 0)) {}

std::size_t TimedSilence::Pull(std::span<std::int16_t> samples) {
  const std::int64_t here = position_.load();
  const auto wanted = static_cast<std::int64_t>(samples.size() / kChannels);
  const std::int64_t frames = std::clamp<std::int64_t>(frames_ - here, 0, wanted);
  const auto count = static_cast<std::size_t>(frames * kChannels);
  std::fill_n(samples.begin(), count, std::int16_t{0});
  position_.store(here + frames);
  return count;
}

// As a decoder lands after a seek: on the frame at or before the time (past
// the end, with nothing more to pull).
Status TimedSilence::SeekMs(Milliseconds position) {
  position_.store(std::max<Milliseconds>(position, 0) * sampleRate_ / 1000);
  return {};
}

Milliseconds TimedSilence::PositionMs() const {
  return position_.load() * 1000 / sampleRate_;
}

}  // namespace vistel
