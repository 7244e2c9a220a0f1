// Sound output through SDL audio: one device per stream, opened with the
// stream's own format (SDL converts to what the device takes), whose callback
// pulls from the source on SDL's audio thread. FramesPlayed counts the frames
// the source really gave, so the end of a sound shows as on any output.
//
// When no device can be opened (no sound server, no card) the stream is a
// silent one that consumes its source in real time, like the headless
// output on a real clock: the show goes on, unheard, never failing.
#pragma once

#include <memory>

#include "hosts/common/null_audio.hpp"
#include "runtime/events.hpp"
#include "runtime/media.hpp"

namespace vistel {

class SdlAudioOutput final : public AudioOutput {
 public:
  // The clock must outlive the output and its streams (the silent ones).
  explicit SdlAudioOutput(const Clock& clock) : silent_(clock) {}
  ~SdlAudioOutput() override;
  SdlAudioOutput(const SdlAudioOutput&) = delete;
  SdlAudioOutput& operator=(const SdlAudioOutput&) = delete;

  std::unique_ptr<AudioStream> Start(AudioFormat format, AudioSource& source) override;

 private:
  enum class Subsystem { Untried, Ready, Unavailable };

  NullAudioOutput silent_;
  Subsystem subsystem_ = Subsystem::Untried;
  bool warned_ = false;
  bool anyOpened_ = false;  // a device has opened: the subsystem must stay
};

}  // namespace vistel
