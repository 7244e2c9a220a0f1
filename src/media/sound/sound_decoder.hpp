// A sound file opened for playing: interleaved signed 16-bit stereo at the
// file's own rate, with its length and a read position. The MCI devices play
// these whatever decodes them (FFmpeg, a MIDI synthesiser, or nothing at all
// where only the timing matters).
#pragma once

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

}  // namespace vistel
