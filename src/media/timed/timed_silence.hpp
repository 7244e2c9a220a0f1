// Silence with a sound file's timing: the decoder of a host that plays no
// sound but must answer for the file exactly as the real decoder would (the
// same rate, length, and number of frames before it runs out).
#pragma once

#include <atomic>
#include <cstdint>

#include "media/sound/sound_decoder.hpp"

namespace vistel {

class TimedSilence final : public AudioFileDecoder {
 public:
  // A rate that is not positive is taken as 44100; negative counts as 0.
  TimedSilence(int sampleRate, Milliseconds lengthMs, std::int64_t frames);

  AudioFormat Format() const override { return {sampleRate_, kChannels}; }
  Milliseconds LengthMs() const override { return lengthMs_; }
  std::size_t Pull(std::span<std::int16_t> samples) override;
  Status SeekMs(Milliseconds position) override;
  Milliseconds PositionMs() const override;

 private:
  static constexpr int kChannels = 2;
  int sampleRate_;
  Milliseconds lengthMs_;
  std::int64_t frames_;
  // Pulled on the output's thread while the player may seek.
  std::atomic<std::int64_t> position_{0};
};

}  // namespace vistel
