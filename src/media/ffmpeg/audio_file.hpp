// Decoding of a sound file (WAV, MP3, MP2, the sound of an MPEG, AVI or ASF
// clip; media_input.hpp lists the codecs) into interleaved signed 16-bit
// stereo at the file's own rate: what the music service and the clips'
// sound play. Lengths are held to limits::kMaxMediaMs.
#pragma once

#include <memory>
#include <string_view>

#include "base/error.hpp"
#include "runtime/events.hpp"
#include "runtime/media.hpp"

namespace vistel {

class AudioFileDecoder : public AudioSource {
 public:
  // Always 2 channels; the file's rate (44100 when it is out of range).
  virtual AudioFormat Format() const = 0;
  // Length of the sound in ms, exact to a sample where the file says it, or
  // counted from its frames when it only gives an estimate (MP3 without a
  // length header).
  virtual Milliseconds LengthMs() const = 0;
  // Moves the read position; past the end leaves nothing more to pull.
  virtual Status SeekMs(Milliseconds position) = 0;
  // Position of the next sample Pull returns, in ms.
  virtual Milliseconds PositionMs() const = 0;
};

// Opens the first sound stream of a file (recognised by content).
Result<std::unique_ptr<AudioFileDecoder>> OpenAudioFile(std::string_view path);

}  // namespace vistel
