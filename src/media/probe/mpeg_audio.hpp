// MPEG audio frames as FFmpeg's MP3 demuxer, parser and decoder see them, for
// the sound probe (internal).
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "base/error.hpp"
#include "media/probe/probe_reader.hpp"
#include "media/probe/sound_probe.hpp"

namespace vistel::probe {

struct MpegFrameHeader {
  int layer = 0;     // 1 to 3
  bool lsf = false;  // MPEG-2 or 2.5: half the granules
  int sampleRate = 0;
  int channels = 0;
  int frameBytes = 0;  // 0: free format, which nothing here plays
  int samplesPerFrame = 0;
  bool crc = false;
  int bitRateKbps = 0;  // 0: free format
  bool padding = false;
  int mode = 0;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
  int modeExtension = 0;
};

// Bits of a header that stay the same along one stream: sync, version,
// layer, rate.
inline constexpr std::uint32_t kSameStreamMask = 0xFFFE0C00;

// nullopt for four bytes that are not a frame header.
std::optional<MpegFrameHeader> DecodeMpegHeader(std::uint32_t header);

// The score FFmpeg's MP3 demuxer gives a probe buffer (its content, without
// padding). FFmpeg releases differ in whether a frame cut off by the end of
// the buffer still counts; both forms are kept.
int Mp3ProbeScore(std::span<const std::uint8_t> buffer, bool countsCutFrame);

// Times MPEG audio whose first frame (or junk before it) starts at `start`,
// past any ID3v2 tags. With `onlyFrames`, anything but frames from `start`
// on (and a tag at the end) is refused: a file that FFmpeg recognised only
// by a weak score could otherwise be some other format to it.
Result<SoundTiming> TimeMpegAudio(ProbeReader& reader, std::uint64_t start, bool onlyFrames);

}  // namespace vistel::probe
