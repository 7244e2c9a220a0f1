// WAV files as FFmpeg's WAV demuxer and PCM decoders take them, for the sound
// probe (internal).
#pragma once

#include <cstdint>

#include "base/error.hpp"
#include "media/probe/probe_reader.hpp"
#include "media/probe/sound_probe.hpp"

namespace vistel::probe {

// Times the RIFF WAVE file whose header starts at `start` (past any ID3v2
// tags).
Result<SoundTiming> TimeWav(ProbeReader& reader, std::uint64_t start);

}  // namespace vistel::probe
