// Sound output through winmm's waveOut: one device per stream, opened with
// the stream's own format, fed by a thread of its own that pulls from the
// source into a few short buffers as the device hands them back. Like the
// other outputs, FramesPlayed counts the frames the source really gave, so
// the end of a sound shows as on any output.
//
// When no device opens (no sound card, no driver), the stream is a silent
// one that consumes its source in real time: the show goes on, unheard.
#pragma once

#include <memory>

#include "hosts/common/null_audio.hpp"
#include "runtime/events.hpp"
#include "runtime/media.hpp"

namespace vistel {

class WaveOutAudioOutput final : public AudioOutput {
 public:
  // The clock must outlive the output and its streams (the silent ones).
  explicit WaveOutAudioOutput(const Clock& clock) : silent_(clock) {}

  std::unique_ptr<AudioStream> Start(AudioFormat format, AudioSource& source) override;

 private:
  NullAudioOutput silent_;
  bool warned_ = false;
};

}  // namespace vistel
