// MIDI files rendered by FluidSynth with a General MIDI soundfont into
// interleaved 16-bit stereo at 44100 Hz: the sound of the sequencer device.
// The length is exact from the file's tempo map; the sound ends there (a
// last note's release tail is cut, as a sequencer stops at its last event).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/error.hpp"
#include "media/ffmpeg/audio_file.hpp"

namespace vistel {

// The soundfont used: TimGM6mb (small), else the system's default GM font,
// else FluidR3_GM; nothing when none is installed.
std::optional<std::string> FindGeneralMidiSoundfont();

// Opens a Standard MIDI File. Fails with a clear description when the file
// is missing or not MIDI, when no soundfont is installed, or when FluidSynth
// cannot be loaded.
Result<std::unique_ptr<AudioFileDecoder>> OpenMidiFile(std::string_view path);

// The same with a given soundfont (tests, and hosts that ship their own).
Result<std::unique_ptr<AudioFileDecoder>> OpenMidiFile(std::string_view path,
                                                       std::string_view soundfontPath);

}  // namespace vistel
