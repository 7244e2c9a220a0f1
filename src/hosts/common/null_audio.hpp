// A sound output without a device: each stream consumes its source at the
// sample rate as the (virtual) clock advances, so positions, lengths and the
// end of a sound behave as on a real device while nothing is heard.
#pragma once

#include <memory>

#include "runtime/events.hpp"
#include "runtime/media.hpp"

namespace vistel {

class NullAudioOutput final : public AudioOutput {
 public:
  // The clock must outlive the output and its streams.
  explicit NullAudioOutput(const Clock& clock) : clock_(clock) {}

  // The stream pulls lazily: FramesPlayed reads the clock and pulls (and
  // discards) what the elapsed time has consumed, so it never runs ahead of
  // the samples the source really has, and the end of a sound is seen.
  std::unique_ptr<AudioStream> Start(AudioFormat format, AudioSource& source) override;

 private:
  const Clock& clock_;
};

}  // namespace vistel
