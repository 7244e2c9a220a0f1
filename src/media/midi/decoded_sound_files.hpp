// The sound files of the Linux hosts: MIDI rendered by FluidSynth, anything
// else decoded by FFmpeg.
#pragma once

#include "media/sound/sound_files.hpp"

namespace vistel {

class DecodedSoundFiles final : public SoundFiles {
 public:
  bool IsFile(std::string_view path) override;
  // When a General MIDI soundfont is installed and FluidSynth loads (asked
  // as a MIDI file is opened, so FluidSynth is loaded no sooner).
  bool PlaysMidi() override;
  Result<std::unique_ptr<AudioFileDecoder>> OpenMidi(std::string_view path) override;
  Result<std::unique_ptr<AudioFileDecoder>> OpenSound(std::string_view path) override;
};

}  // namespace vistel
