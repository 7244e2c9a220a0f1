// Decoding of a sound file (WAV, MP3, MP2, the sound of an MPEG, AVI or ASF
// clip; media_input.hpp lists the codecs) into interleaved signed 16-bit
// stereo at the file's own rate: what the music service and the clips'
// sound play. Lengths are held to limits::kMaxMediaMs.
#pragma once

#include <memory>
#include <string_view>

#include "base/error.hpp"
#include "media/sound/sound_decoder.hpp"

namespace vistel {

// Opens the first sound stream of a file (recognised by content).
Result<std::unique_ptr<AudioFileDecoder>> OpenAudioFile(std::string_view path);

}  // namespace vistel
