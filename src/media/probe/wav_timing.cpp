// The decoder this mirrors walks the chunks (all of them, the last 'data'
// chunk winning), takes the sample count from the data size (PCM, when the
// data ends within the file) or else from a 'fact' chunk, and reads the data
// in packets of 4096 bytes rounded down to whole blocks. Of each packet it
// decodes the whole sample frames (PCM; a part frame at the end of a packet
// ends the sound) or one ADPCM block a call. Its length is the sample count
// where there is one, or else every packet's samples added up.
#include "media/probe/wav_timing.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "base/input_limits.hpp"
#include "media/probe/mpeg_audio.hpp"

namespace vistel::probe {
namespace {

constexpr std::int64_t kNoEnd = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kPacketBytes = 4096;
// Where the decoder looks for IEC 61937 bursts (compressed sound sent as
// PCM) and for MPEG audio labelled as PCM.
constexpr std::uint64_t kBurstSearchBytes = 1 << 16;
constexpr int kSniffedPackets = 32;

enum class Codec {
  None,
  Unsupported,
  U8,
  S16,
  S24,
  S32,
  S64,
  F32,
  F64,
  ALaw,
  MuLaw,
  MsAdpcm,
  ImaAdpcm,
  OtherImaAdpcm  // 2, 3 or 5 bits, or the 8-bit variant
};

struct Format {
  std::uint32_t tag = 0;  // after WAVE_FORMAT_EXTENSIBLE's sub-format
  Codec codec = Codec::None;
  int channels = 0;
  std::int64_t rate = 0;
  std::int64_t bitRate = 0;
  int blockAlign = 0;
  int codedBits = 0;
  std::uint64_t channelMask = 0;  // 0: none that applies
  std::int64_t extraBytes = 0;
  std::uint32_t extraFirst = 0;  // the first two bytes of the extra data
};

Error Refusal(const std::string& why) {
  return Error(ErrorCode::InvalidProcedureCall, "Cannot time the WAV file exactly: " + why);
}

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", value);
  return text;
}

Codec PcmCodec(int bits, bool isFloat) {
  if (isFloat) return bits == 32 ? Codec::F32 : bits == 64 ? Codec::F64 : Codec::None;
  if (bits <= 0 || bits > 64) return Codec::None;
  switch ((bits + 7) >> 3) {
    case 1:
      return Codec::U8;
    case 2:
      return Codec::S16;
    case 3:
      return Codec::S24;
    case 4:
      return Codec::S32;
    case 8:
      return Codec::S64;
    default:
      return Codec::None;
  }
}

Codec CodecOf(std::uint32_t tag, int bits) {
  switch (tag) {
    case 1:
      return PcmCodec(bits, false);
    case 3:
      return PcmCodec(bits, true);
    case 6:
      return Codec::ALaw;
    case 7:
      return Codec::MuLaw;
    case 2:
      return Codec::MsAdpcm;
    case 0x11:
      return bits == 4 ? Codec::ImaAdpcm : Codec::OtherImaAdpcm;
    default:
      return Codec::Unsupported;
  }
}

int SampleBytes(Codec codec) {
  switch (codec) {
    case Codec::U8:
    case Codec::ALaw:
    case Codec::MuLaw:
      return 1;
    case Codec::S16:
      return 2;
    case Codec::S24:
      return 3;
    case Codec::S32:
    case Codec::F32:
      return 4;
    case Codec::S64:
    case Codec::F64:
      return 8;
    case Codec::None:
    case Codec::Unsupported:
    case Codec::MsAdpcm:
    case Codec::ImaAdpcm:
    case Codec::OtherImaAdpcm:
      break;
  }
  return 0;
}

bool IsAdpcm(Codec codec) {
  return codec == Codec::MsAdpcm || codec == Codec::ImaAdpcm;
}

// The sound the ADPCM decoder makes of `bytes` of blocks from `at`, read in
// packets of `packet` bytes. Each call of the decoder takes one block (at
// most block_align bytes) from what is left of a packet, and fails on a
// block header out of range: at the start of a packet that loses the
// packet, later in it the decoder stops for good.
std::int64_t AdpcmFrames(ProbeReader& reader, std::uint64_t at, std::int64_t bytes,
                         std::int64_t packet, const Format& f) {
  const std::int64_t ch = f.channels;
  std::int64_t frames = 0;
  for (std::int64_t start = 0; start < bytes; start += packet) {
    const std::int64_t size = std::min(packet, bytes - start);
    for (std::int64_t used = 0; used < size;) {
      const std::int64_t left = size - used;
      const std::int64_t block =
          f.blockAlign > 0 ? std::min<std::int64_t>(left, f.blockAlign) : left;
      const std::uint64_t p = at + static_cast<std::uint64_t>(start + used);
      std::int64_t samples = 0;
      std::int64_t taken = 0;
      bool valid = true;
      if (f.codec == Codec::ImaAdpcm) {
        valid = block >= 4 * ch;
        if (valid) {
          samples = 1 + (block - 4 * ch) / (4 * ch) * 8;
          taken = 4 * ch + (samples - 1) / 8 * 4 * ch;
          for (std::int64_t i = 0; i < ch && valid; ++i) {
            const auto step = static_cast<std::int16_t>(
                reader.Little16(p + 4 * static_cast<std::uint64_t>(i) + 2));
            valid = step >= 0 && step <= 88;
          }
        }
      } else {
        samples = (block - 6 * ch) * 2 / ch;
        valid = samples > 0 && reader.At(p) <= 6 && (ch == 1 || reader.At(p + 1) <= 6);
        taken =
            std::min(7 * ch + std::max<std::int64_t>((samples - 2) >> (ch == 2 ? 0 : 1), 0), left);
      }
      if (!valid) {
        if (used == 0) break;  // the packet is lost
        return frames;         // the decoder gives up
      }
      frames += samples;
      used += taken;
    }
  }
  return frames;
}

// The 'fmt ' chunk whose data starts at `at`; `size` as the decoder takes
// it (a 32-bit signed count).
Result<Format> ReadFormat(ProbeReader& reader, std::uint64_t at, std::int32_t size) {
  if (size < 14) return Fail(Refusal("its format chunk is too short"));
  Format f;
  const std::uint32_t id = reader.Little16(at);
  if (id == 0x0165) return Fail(Refusal("it holds Xbox sound"));
  f.channels = static_cast<int>(reader.Little16(at + 2));
  f.rate = static_cast<std::int32_t>(reader.Little32(at + 4));
  const std::int64_t bitRate = std::int64_t{reader.Little32(at + 8)} * 8;
  f.blockAlign = static_cast<int>(reader.Little16(at + 12));
  f.codedBits = size == 14 ? 8 : static_cast<int>(reader.Little16(at + 14));
  if (id != 0xFFFE) {
    f.tag = id;
    f.codec = CodecOf(id, f.codedBits);
  }
  if (size >= 18) {
    std::int64_t rest = size - 18;
    std::int64_t extra = std::min<std::int64_t>(rest, reader.Little16(at + 16));
    std::uint64_t p = at + 18;
    if (extra >= 22 && id == 0xFFFE) {
      if (const auto valid = static_cast<int>(reader.Little16(p)); valid != 0) f.codedBits = valid;
      const std::uint64_t mask = reader.Little32(p + 2);
      static constexpr std::array<std::uint8_t, 12> kBaseGuid = {
          0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
      bool base = true;
      for (std::size_t i = 0; i < kBaseGuid.size(); ++i) {
        base = base && reader.At(p + 10 + i) == kBaseGuid[i];
      }
      if (!base) return Fail(Refusal("its sub-format is not a plain codec"));
      f.tag = reader.Little32(p + 6);
      f.codec = CodecOf(f.tag, f.codedBits);
      if (std::popcount(mask) == f.channels) f.channelMask = mask;
      extra -= 22;
      p += 22;
    }
    if (extra > 0) {
      if (p > reader.Size() || reader.Size() - p < static_cast<std::uint64_t>(extra)) {
        return Fail(Refusal("its format chunk is cut off"));
      }
      f.extraBytes = extra;
      f.extraFirst = reader.Little16(p);
    }
  }
  f.bitRate = bitRate > std::numeric_limits<std::int32_t>::max() ? 0 : bitRate;
  if (f.rate <= 0) return Fail(Refusal("its sample rate is not positive"));
  return f;
}

// Speaker layouts the decoder mixes down to stereo: any one speaker, and the
// usual layouts of 2 to 8 (others, such as two back speakers, come out as
// silence).
bool MixableMask(int channels, std::uint64_t mask) {
  static constexpr std::array<std::uint64_t, 26> kLayouts = {
      0x3,   0x7,   0xB,   0x103, 0xF,   0x33,  0x107, 0x603, 0x37,  0x10F, 0x607, 0x60B, 0x3F,
      0x137, 0x60F, 0x6C3, 0x707, 0x13F, 0x637, 0x6C7, 0x6CB, 0x70F, 0xFF,  0x63F, 0x6CF, 0x737};
  return channels == 1 || std::find(kLayouts.begin(), kLayouts.end(), mask) != kLayouts.end();
}

struct Chunks {
  std::optional<Format> format;
  std::optional<std::uint64_t> dataStart;  // of the last 'data' chunk, which wins
  std::int64_t dataSize = 0;
  std::int64_t dataEnd = 0;      // kNoEnd: to the end of the file
  std::int64_t sampleCount = 0;  // from 'fact'
};

// Pads a chunk's end as the decoder does: to an even offset from the start
// of the RIFF header.
std::uint64_t Padded(std::uint64_t offset, std::uint64_t start) {
  return offset + ((offset + (start & 1)) & 1);
}

Result<Chunks> ReadChunks(ProbeReader& reader, std::uint64_t start) {
  const std::uint64_t size = reader.Size();
  Chunks c;
  std::uint64_t at = start + 12;
  while (at <= size && size - at >= 8) {
    const std::uint32_t chunkSize = reader.Little32(at + 4);
    const std::uint64_t body = at + 8;
    std::uint64_t next = body + chunkSize;
    auto is = [&](const char* name) { return reader.Matches(at, name); };
    if (is("fmt ")) {
      if (!c.format) {
        auto f = ReadFormat(reader, body, static_cast<std::int32_t>(chunkSize));
        if (!f) return Fail(f.error());
        c.format = *f;
      }
    } else if (is("XMA2")) {
      return Fail(Refusal("it holds Xbox sound"));
    } else if (is("data")) {
      c.dataStart = body;
      if (chunkSize != 0xFFFFFFFF) {
        c.dataSize = chunkSize;
        c.dataEnd = chunkSize != 0 ? static_cast<std::int64_t>(next) : kNoEnd;
      } else {
        c.dataSize = 0;
        c.dataEnd = kNoEnd;
      }
      if (chunkSize == 0) break;
      if (c.dataEnd == kNoEnd) break;  // it runs to the end of the file
    } else if (is("fact")) {
      if (c.sampleCount == 0) c.sampleCount = reader.Little32(body);
    } else if (is("bext")) {
      // Its texts, then the coding history, must be there to be read.
      constexpr std::uint64_t kTexts = 338, kFixed = 602;
      const bool texts = body <= size && size - body >= kTexts;
      const bool history =
          chunkSize <= kFixed || (chunkSize - kFixed < std::numeric_limits<std::int32_t>::max() &&
                                  size - body >= chunkSize);
      if (!texts || !history) return Fail(Refusal("its broadcast extension chunk is cut off"));
    } else if (is("SMV0")) {
      return Fail(Refusal("it holds video"));
    } else if (is("LIST") || is("list")) {
      if (chunkSize < 4) return Fail(Refusal("a LIST chunk is too short"));
    } else if (is("cue ")) {
      if (chunkSize >= 4 && c.format && c.format->rate > 0) {
        const std::uint64_t cues = reader.Little32(body);
        if (chunkSize >= cues * 24 + 4 && cues > 0 && body + 8 + 24 * (cues - 1) > size) {
          return Fail(Refusal("its cue chunk is cut off"));
        }
      }
    }
    if (next >= size) break;
    at = Padded(next, start);
  }
  return c;
}

// After the data the decoder looks for another 'data' chunk and plays that
// too; true when it would find one. It walks from the end of the data, pad
// byte or not; past the end of the file it finds nothing more.
bool FindsMoreData(ProbeReader& reader, std::uint64_t from, std::uint64_t start) {
  const std::uint64_t size = reader.Size();
  for (std::uint64_t at = from; at <= size && size - at >= 8;) {
    if (reader.Matches(at, "data")) return true;
    const std::uint64_t chunkSize = reader.Little32(at + 4);
    at += 8 + chunkSize + ((chunkSize + (start & 1)) & 1);
  }
  return false;
}

// Whole sample frames in `bytes` read as packets of `packet` bytes: each
// packet's duration, added up.
std::int64_t CountedFrames(std::int64_t bytes, std::int64_t packet, std::int64_t frameBytes) {
  return bytes / packet * (packet / frameBytes) + bytes % packet / frameBytes;
}

// The frames the decoder hands out: it drops a packet smaller than a frame,
// and stops for good at the part frame that ends a larger one.
std::int64_t DecodedFrames(std::int64_t bytes, std::int64_t packet, std::int64_t frameBytes) {
  if (bytes >= packet && packet % frameBytes != 0) return packet / frameBytes;
  return CountedFrames(bytes, packet, frameBytes);
}

// a * b / c rounded to nearest, halves up (all positive), as FFmpeg rescales.
std::int64_t Rescale(std::int64_t a, std::int64_t b, std::int64_t c) {
  return (a * b + c / 2) / c;
}

}  // namespace

Result<SoundTiming> TimeWav(ProbeReader& reader, std::uint64_t start) {
  const std::uint64_t size = reader.Size();
  if (!reader.Matches(start, "RIFF")) {
    return Fail(Refusal("only little-endian RIFF files are read here"));
  }
  auto chunks = ReadChunks(reader, start);
  if (reader.Failure()) return Fail(*reader.Failure());
  if (!chunks) return Fail(chunks.error());
  Chunks& c = *chunks;
  if (!c.format) return Fail(Refusal("it has no format chunk"));
  if (!c.dataStart) return Fail(Refusal("it has no data chunk"));
  const Format& f = *c.format;
  const std::int64_t channels = f.channels;

  // The sample count, as the demuxer works it out.
  std::int64_t samples = c.sampleCount;
  if (f.bitRate > 0 && c.dataSize > 0 && f.rate > 0 && samples > 0 && channels > 1 &&
      samples % channels == 0) {
    const double ratio = 8.0 * static_cast<double>(c.dataSize) * static_cast<double>(channels) *
                         static_cast<double>(f.rate) / static_cast<double>(samples) /
                         static_cast<double>(f.bitRate);
    if (std::fabs(ratio - 1.0) < 0.3) samples /= channels;
  }
  if (c.dataSize > 0 && samples != 0 && channels != 0 &&
      (c.dataSize << 3) / samples / channels > f.codedBits + 1) {
    samples = 0;  // a count the data cannot hold
  }
  const int sampleBytes = SampleBytes(f.codec);
  // PCM counts its samples from the data; ADPCM guesses from it (4 bits a
  // sample) when nothing else says.
  const int sampleBits = IsAdpcm(f.codec) ? 4 : 8 * sampleBytes;
  if (channels != 0 && c.dataSize != 0 && sampleBits != 0 &&
      c.dataEnd <= static_cast<std::int64_t>(size) && (sampleBytes != 0 || samples == 0)) {
    samples = (c.dataSize << 3) / (channels * sampleBits);
  }

  if (f.codec == Codec::Unsupported) {
    return Fail(Refusal("its codec " + Hex(f.tag) + " is neither PCM nor IMA or MS ADPCM"));
  }
  if (f.codec == Codec::OtherImaAdpcm) {
    return Fail(Refusal("only 4-bit IMA ADPCM is read here"));
  }
  if (IsAdpcm(f.codec) && channels > 2) {
    return Fail(Refusal("ADPCM of more than 2 channels is not read here"));
  }
  if (f.codec == Codec::None || f.codec == Codec::S64) {
    return Fail(Refusal(std::to_string(f.codedBits) + "-bit samples of codec " + Hex(f.tag) +
                        " are not played"));
  }
  if (f.codec == Codec::S24 && f.blockAlign == channels * 4 && f.codedBits == 24) {
    return Fail(Refusal("its 24-bit samples in 32-bit words are read as floats, not played"));
  }
  if (f.codec == Codec::S32 && f.blockAlign == channels * 4 && f.codedBits == 32 &&
      f.extraBytes == 2 && f.extraFirst == 1) {
    return Fail(Refusal("its 16-bit floats are not played"));
  }
  if (channels < 1 || channels > 8) {
    return Fail(Refusal(std::to_string(channels) + " channels are not mixed to stereo"));
  }
  if (f.channelMask != 0 && !MixableMask(f.channels, f.channelMask)) {
    return Fail(Refusal("its speaker layout " + Hex(static_cast<std::uint32_t>(f.channelMask)) +
                        " is not mixed to stereo"));
  }
  if (f.rate > limits::kMaxSoundSampleRate) {
    return Fail(Refusal(std::to_string(f.rate) + " samples a second is more than any sound file"));
  }
  if (f.rate < 8000 || f.rate > 192000) {
    return Fail(Refusal("it would be resampled from " + std::to_string(f.rate) + " Hz"));
  }

  const std::uint64_t dataStart = *c.dataStart;
  const std::uint64_t available = dataStart < size ? size - dataStart : 0;
  if (f.tag == 1) {
    // PCM that is really compressed sound is decoded as such.
    std::vector<std::uint8_t> head;
    reader.Append(dataStart, static_cast<std::size_t>(std::min(available, kBurstSearchBytes)),
                  head);
    static constexpr std::array<std::uint8_t, 4> kBurstSync = {0x72, 0xF8, 0x1F, 0x4E};
    if (std::search(head.begin(), head.end(), kBurstSync.begin(), kBurstSync.end()) != head.end()) {
      return Fail(Refusal("its data may be an IEC 61937 stream"));
    }
  }

  std::int64_t packet = kPacketBytes;
  if (f.blockAlign > 1)
    packet = std::max<std::int64_t>(packet, f.blockAlign) / f.blockAlign * f.blockAlign;
  const std::int64_t dataEnd = c.dataEnd;
  const std::int64_t readEnd = std::min<std::int64_t>(dataEnd, static_cast<std::int64_t>(size));
  const std::int64_t bytes =
      std::max<std::int64_t>(readEnd - static_cast<std::int64_t>(dataStart), 0);
  if (dataEnd != kNoEnd && dataEnd <= static_cast<std::int64_t>(size) &&
      FindsMoreData(reader, static_cast<std::uint64_t>(dataEnd), start)) {
    return Fail(Refusal("more data follows its data chunk"));
  }

  if (f.codec == Codec::S16) {
    // The decoder checks whether 16-bit PCM is MPEG audio in disguise.
    std::vector<std::uint8_t> sniffed;
    std::int64_t read = 0;
    for (int i = 0; i < kSniffedPackets && read < bytes; ++i) {
      const std::int64_t n = std::min(packet, bytes - read);
      const auto before = std::bit_width(static_cast<std::uint64_t>(read));
      reader.Append(dataStart + static_cast<std::uint64_t>(read), static_cast<std::size_t>(n),
                    sniffed);
      read += n;
      const bool last = i + 1 == kSniffedPackets || read == bytes;
      if (before == std::bit_width(static_cast<std::uint64_t>(read)) && !last) continue;
      if (Mp3ProbeScore(sniffed, false) > 24 || Mp3ProbeScore(sniffed, true) > 24) {
        return Fail(Refusal("its samples look like MPEG audio"));
      }
    }
  }
  if (reader.Failure()) return Fail(*reader.Failure());

  SoundTiming timing;
  timing.kind = SoundFileKind::Wav;
  timing.sampleRate = static_cast<int>(f.rate);
  const std::int64_t frameBytes = channels * sampleBytes;
  if (IsAdpcm(f.codec)) {
    // Without a sample count the length would be the packets' durations,
    // which the seek back to the start can change.
    if (samples <= 0) return Fail(Refusal("its ADPCM data has no sample count"));
    timing.frames = AdpcmFrames(reader, dataStart, bytes, packet, f);
    if (reader.Failure()) return Fail(*reader.Failure());
  } else {
    timing.frames = DecodedFrames(bytes, packet, frameBytes);
  }
  if (samples > 0) {
    timing.lengthMs = Rescale(samples, 1000, f.rate);
  } else if (const std::int64_t counted = CountedFrames(bytes, packet, frameBytes); counted > 0) {
    timing.lengthMs = Rescale(counted, 1000, f.rate);
  } else if (available > 0) {
    // No packet has a duration: the length is guessed from the bit rate.
    if (f.bitRate == 0) return Fail(Refusal("it holds less than one sample frame"));
    const std::int64_t guess = Rescale(static_cast<std::int64_t>(available), 8 * f.rate, f.bitRate);
    timing.lengthMs = Rescale(Rescale(guess, 1000000, f.rate), 1000, 1000000);
  }
  timing.lengthMs = std::clamp<Milliseconds>(timing.lengthMs, 0, limits::kMaxMediaMs);
  return timing;
}

}  // namespace vistel::probe
