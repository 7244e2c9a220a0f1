// What the MCI devices play: the sound of a file, opened by whatever the
// platform decodes it with. The MCI service asks in the order winmm's drivers
// would fail: is the file there, can MIDI be played at all, then the file.
#pragma once

#include <memory>
#include <string_view>

#include "base/error.hpp"
#include "media/sound/sound_decoder.hpp"

namespace vistel {

class SoundFiles {
 public:
  virtual ~SoundFiles() = default;
  // Whether a regular file is at `path`.
  virtual bool IsFile(std::string_view path) = 0;
  // Whether MIDI files can be played (a synthesiser is there).
  virtual bool PlaysMidi() = 0;
  // A Standard MIDI File, for the sequencer device.
  virtual Result<std::unique_ptr<AudioFileDecoder>> OpenMidi(std::string_view path) = 0;
  // Any other sound file (waveaudio, mpegvideo), recognised by content.
  virtual Result<std::unique_ptr<AudioFileDecoder>> OpenSound(std::string_view path) = 0;
};

}  // namespace vistel
