// How long a sound file plays, from its bytes alone: the rate, the length and
// the number of sample frames that the FFmpeg sound decoder of the Linux build
// (media/ffmpeg/audio_file.hpp) reports for the same file, exactly. A host
// without FFmpeg times its music with this, so that the MCI replies ("status
// ... length", the position where a sound runs out) come out the same.
//
// Recognised by content, not by name: WAV (integer PCM of 8, 16, 24 and 32
// bits, 32- and 64-bit float, A-law, mu-law, 1 to 8 channels; IMA and MS
// ADPCM, 1 or 2 channels) and MPEG audio
// (layers 1 to 3, MPEG-1, 2 and 2.5, with or without a Xing/Info/LAME or VBRI
// header, ID3v2 tags in front, ID3v1 and APE tags or junk behind). A file the
// decoder would take in some way this cannot tell exactly (rates it would
// resample, other codecs, damage it reads in ways that depend on more than
// the bytes' layout) is refused with the reason, never guessed.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/error.hpp"
#include "runtime/events.hpp"
#include "runtime/files.hpp"

namespace vistel {

enum class SoundFileKind { Wav, MpegAudio };

struct SoundTiming {
  SoundFileKind kind = SoundFileKind::Wav;
  // The rate the decoder plays at: the file's own (8000 to 192000 Hz).
  int sampleRate = 0;
  // What the decoder gives as the length, in ms, held to 0..limits::kMaxMediaMs.
  // It may differ from frames at sampleRate: MP3 encoder padding, estimates.
  Milliseconds lengthMs = 0;
  // Stereo sample frames the decoder hands out before it runs out.
  std::int64_t frames = 0;
};

// Reads the file in bounded pieces; fails with InvalidProcedureCall and the
// reason for a file it cannot time exactly, or with the file's read error.
Result<SoundTiming> ProbeSoundTiming(InputFile& file);

// "WAV", "MPEG audio"
std::string_view SoundFileKindName(SoundFileKind kind);

}  // namespace vistel
