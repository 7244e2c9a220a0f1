#include "media/midi/decoded_sound_files.hpp"

#include <filesystem>

#include "media/ffmpeg/audio_file.hpp"
#include "media/midi/fluidsynth_library.hpp"
#include "media/midi/midi_decoder.hpp"

namespace vistel {

bool DecodedSoundFiles::IsFile(std::string_view path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(std::filesystem::path(path), ec);
}

bool DecodedSoundFiles::PlaysMidi() {
  return FindGeneralMidiSoundfont().has_value() && LoadFluidSynth().has_value();
}

Result<std::unique_ptr<AudioFileDecoder>> DecodedSoundFiles::OpenMidi(std::string_view path) {
  return OpenMidiFile(path);
}

Result<std::unique_ptr<AudioFileDecoder>> DecodedSoundFiles::OpenSound(std::string_view path) {
  return OpenAudioFile(path);
}

}  // namespace vistel
