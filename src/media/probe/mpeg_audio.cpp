// The decoder this mirrors works in four steps, each of which decides what
// is played:
//  - the demuxer skips ID3v2 tags, then a first frame that carries a Xing,
//    Info or VBRI header (taking the frame count, and with a LAME, Lavf or
//    Lavc tag the encoder delay and padding), then junk up to two frames in
//    a row;
//  - the parser cuts what follows into packets: junk before a frame header
//    goes with that frame, and what is left at the end is one more packet
//    unless it starts with an ID3v1 or APE tag;
//  - the decoder plays a packet that starts (after zero bytes) with the
//    frame's header, unless the frame's layer 3 side information is out of
//    range; a frame cut short by the end of the file still plays whole;
//  - with a LAME tag, the delay comes off the start and the padding off the
//    end, by packet position.
// The length is the header's frame count or else every packet at the
// stream's frame duration.
#include "media/probe/mpeg_audio.hpp"

#include <algorithm>
#include <array>
#include <string>

#include "base/input_limits.hpp"
#include "media/probe/id3v2_tags.hpp"

namespace vistel::probe {
namespace {

// What the demuxer's two-frame check compares: all but bit rate, padding,
// private bit, protection and mode extension.
constexpr std::uint32_t kTwoFrameMask = 0xFFFE0CCF;
// The demuxer looks this far past the tags for two frames in a row.
constexpr std::uint64_t kJunkSearchBytes = 64 * 1024;

constexpr int kRates[3] = {44100, 48000, 32000};
constexpr int kKbps[2][3][15] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};

constexpr std::uint32_t Tag(char a, char b, char c, char d) {
  return (static_cast<std::uint32_t>(static_cast<unsigned char>(a)) << 24U) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 16U) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 8U) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(d));
}

// A frame the parser and the decoder both take: a header with a size.
std::optional<MpegFrameHeader> PlayableHeader(std::uint32_t header) {
  auto h = DecodeMpegHeader(header);
  if (!h || h->frameBytes == 0) return std::nullopt;
  return h;
}

// n/d rounded to nearest, halves up (n, d > 0), as FFmpeg rescales.
std::int64_t RoundedDiv(std::int64_t n, std::int64_t d) {
  return (2 * n + d) / (2 * d);
}

class BitReader {
 public:
  explicit BitReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::uint32_t Get(int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i, ++at_) {
      const std::size_t byte = at_ / 8;
      const std::uint32_t bit =
          byte < bytes_.size() ? (std::uint32_t{bytes_[byte]} >> (7U - at_ % 8)) & 1U : 0U;
      value = (value << 1U) | bit;
    }
    return value;
  }
  void Skip(int count) { at_ += static_cast<std::size_t>(count); }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 0;
};

// Whether the decoder takes the side information of a layer 3 frame whose
// bytes at `header` end at `end` (the decoder reads zeros past it).
bool Layer3SideInfoDecodes(ProbeReader& reader, std::uint64_t header, std::uint64_t end,
                           const MpegFrameHeader& frame) {
  std::array<std::uint8_t, 40> side{};
  const std::uint64_t from = header + 4 + (frame.crc ? 2 : 0);
  for (std::size_t i = 0; i < side.size() && from + i < end; ++i) side[i] = reader.At(from + i);
  BitReader bits(side);
  int granules = 2;
  if (frame.lsf) {
    bits.Skip(8 + frame.channels);
    granules = 1;
  } else {
    bits.Skip(9 + (frame.channels == 2 ? 3 : 5) + 4 * frame.channels);
  }
  for (int gr = 0; gr < granules; ++gr) {
    for (int ch = 0; ch < frame.channels; ++ch) {
      bits.Skip(12);                         // part2_3_length
      if (bits.Get(9) > 288) return false;   // big_values
      bits.Skip(8 + (frame.lsf ? 9 : 4));    // global gain, scale factor compression
      if (bits.Get(1) != 0) {                // window switching
        if (bits.Get(2) == 0) return false;  // block type
        bits.Skip(1 + 2 * 5 + 3 * 3);
      } else {
        bits.Skip(3 * 5 + 4 + 3);
      }
      bits.Skip(frame.lsf ? 2 : 3);
    }
  }
  return true;
}

struct VbrHeader {
  std::uint32_t frames = 0;  // 0: not stated (or not believed)
  std::uint32_t bytes = 0;
  bool encoderTag = false;  // LAME, Lavf or Lavc: delay and padding apply
  int delay = 0;
  int padding = 0;
  std::optional<MpegFrameHeader> frame;  // the header's own frame
  std::uint64_t audioStart = 0;          // where the demuxer goes on
};

VbrHeader ReadVbrHeader(ProbeReader& reader, std::uint64_t at) {
  VbrHeader vbr;
  vbr.audioStart = at;
  const auto frame = DecodeMpegHeader(reader.Big32(at));
  if (!frame || frame->layer != 3) return vbr;
  const std::uint64_t afterHeader = at + 4;
  const std::uint64_t rest = reader.Size() >= afterHeader ? reader.Size() - afterHeader : 0;
  const int sideBytes =
      frame->lsf ? (frame->channels == 1 ? 9 : 17) : (frame->channels == 1 ? 17 : 32);
  std::uint64_t p = afterHeader + static_cast<std::uint64_t>(sideBytes);
  const std::uint32_t tag = reader.Big32(p);
  if (tag == Tag('X', 'i', 'n', 'g') || tag == Tag('I', 'n', 'f', 'o')) {
    const std::uint32_t flags = reader.Big32(p + 4);
    p += 8;
    if ((flags & 1U) != 0) {
      vbr.frames = reader.Big32(p);
      p += 4;
    }
    if ((flags & 2U) != 0) {
      vbr.bytes = reader.Big32(p);
      p += 4;
    }
    if (rest != 0 && vbr.bytes != 0) {
      // A file far longer than its header says was joined from several: its
      // frame count is not believed.
      const std::uint64_t low = std::min<std::uint64_t>(rest, vbr.bytes);
      const std::uint64_t high = std::max<std::uint64_t>(rest, vbr.bytes);
      if (rest > vbr.bytes && high - low > (low >> 4U)) vbr.frames = 0;
    }
    if ((flags & 4U) != 0) p += 100;  // seek table
    if ((flags & 8U) != 0) p += 4;    // quality
    const bool encoder =
        reader.Matches(p, "LAME") || reader.Matches(p, "Lavf") || reader.Matches(p, "Lavc");
    const std::uint32_t delays = reader.Big24(p + 21);
    if (encoder) {
      vbr.encoderTag = true;
      vbr.delay = static_cast<int>(delays >> 12U);
      vbr.padding = static_cast<int>(delays & 4095U);
    }
  }
  if (reader.Big32(at + 36) == Tag('V', 'B', 'R', 'I') && reader.Big16(at + 40) == 1) {
    vbr.bytes = reader.Big32(at + 46);
    vbr.frames = reader.Big32(at + 50);
  }
  if (vbr.frames == 0 && vbr.bytes == 0) return vbr;  // the frame is played as sound
  vbr.frame = frame;
  vbr.audioStart = at + static_cast<std::uint64_t>(frame->frameBytes);
  return vbr;
}

Error Refusal(const std::string& why) {
  return Error(ErrorCode::InvalidProcedureCall, "Cannot time the MPEG audio exactly: " + why);
}

constexpr const char* kNotSurelyMpeg =
    "it is too short to be surely recognised as MPEG audio, and holds more than frames";

// Where the demuxer starts reading packets: the first of two frames in a row
// within kJunkSearchBytes, else `from` itself. nullopt where the demuxer
// gives up because the file ends during the search.
std::optional<std::uint64_t> FindFirstFrame(ProbeReader& reader, std::uint64_t from) {
  const std::uint64_t size = reader.Size();
  for (std::uint64_t i = 0; i < kJunkSearchBytes; ++i) {
    const std::uint64_t at = from + i;
    if (at > size || size - at < 4) return std::nullopt;
    const std::uint32_t header = reader.Big32(at);
    const auto frame = PlayableHeader(header);
    if (!frame) continue;
    const std::uint64_t next = at + static_cast<std::uint64_t>(frame->frameBytes);
    if (next > size || size - next < 4) return std::nullopt;
    const std::uint32_t second = reader.Big32(next);
    if (PlayableHeader(second) && (header & kTwoFrameMask) == (second & kTwoFrameMask)) return at;
  }
  return from;
}

// The packets of the parser, as the decoder and the demuxer's trimming take
// them.
class PacketTally {
 public:
  PacketTally(ProbeReader& reader, const VbrHeader& vbr) : reader_(reader) {
    if (vbr.encoderTag) {
      startSkip_ = vbr.delay + 528 + 1;
      if (vbr.frames != 0) {
        const std::int64_t stated = std::int64_t{vbr.frames} * (vbr.frame->lsf ? 576 : 1152);
        firstDiscard_ = stated - vbr.padding + 528 + 1;
        lastDiscard_ = stated;
      }
    }
  }

  // A packet [begin, end); `header` where the parser found the frame in it.
  Status Add(std::uint64_t begin, std::uint64_t end, std::optional<std::uint64_t> header) {
    std::optional<MpegFrameHeader> frame;
    if (header) {
      const std::uint32_t bits = reader_.Big32(*header);
      frame = DecodeMpegHeader(bits);
      if (!stream_) {
        stream_ = bits & kSameStreamMask;
        streamFrame_ = frame;
      } else if ((bits & kSameStreamMask) != *stream_) {
        return Fail(Refusal("its frames change rate, version or layer"));
      }
    }
    onlyFrames_ = onlyFrames_ && header == begin;
    const std::int64_t index = packets_++;
    const bool plays = frame && Plays(begin, end, *header, *frame);
    if (!streamFrame_) {
      // Junk before any frame: its place in time is not known here.
      return Fail(Refusal("it starts with data that is not a frame"));
    }
    const std::int64_t duration = streamFrame_->samplesPerFrame;
    const std::int64_t first = index * duration;
    std::int64_t discard = 0;
    if (firstDiscard_ != 0 && first + duration >= firstDiscard_ && first < lastDiscard_) {
      discard = std::min(first + duration - firstDiscard_, duration);
    }
    const std::int64_t skip = index == 0 ? startSkip_ : 0;
    // A packet that trims (sets) what is still to skip, played or not.
    if (skip != 0 || discard != 0) pendingSkip_ = skip;
    if (!plays) return {};
    std::int64_t n = duration;
    if (pendingSkip_ > 0) {
      if (n <= pendingSkip_) {
        pendingSkip_ -= n;
        return {};
      }
      n -= pendingSkip_;
      pendingSkip_ = 0;
    }
    if (discard > 0 && discard <= n) n -= discard;
    frames_ += n;
    return {};
  }

  std::int64_t Packets() const { return packets_; }
  // Whether every packet so far was a frame and nothing before it.
  bool OnlyFrames() const { return onlyFrames_; }
  std::int64_t Frames() const { return frames_; }
  const std::optional<MpegFrameHeader>& StreamFrame() const { return streamFrame_; }

 private:
  // Whether the decoder makes sound of the packet: it skips zero bytes and
  // then needs the frame's header, and a layer 3 frame needs side
  // information in range.
  bool Plays(std::uint64_t begin, std::uint64_t end, std::uint64_t header,
             const MpegFrameHeader& frame) {
    std::uint64_t at = begin;
    while (at < header && reader_.At(at) == 0) ++at;
    if (at != header) return false;
    return frame.layer != 3 || Layer3SideInfoDecodes(reader_, header, end, frame);
  }

  ProbeReader& reader_;
  std::optional<std::uint32_t> stream_;
  std::optional<MpegFrameHeader> streamFrame_;
  std::int64_t startSkip_ = 0;
  std::int64_t firstDiscard_ = 0;
  std::int64_t lastDiscard_ = 0;
  std::int64_t pendingSkip_ = 0;
  std::int64_t packets_ = 0;
  std::int64_t frames_ = 0;
  bool onlyFrames_ = true;
};

}  // namespace

std::optional<MpegFrameHeader> DecodeMpegHeader(std::uint32_t header) {
  if ((header & 0xFFE00000U) != 0xFFE00000U) return std::nullopt;
  const std::uint32_t version = (header >> 19U) & 3U;
  const std::uint32_t layerBits = (header >> 17U) & 3U;
  const std::uint32_t rateIndex = (header >> 10U) & 3U;
  const std::uint32_t bitRateIndex = (header >> 12U) & 15U;
  if (version == 1 || layerBits == 0 || rateIndex == 3 || bitRateIndex == 15) return std::nullopt;
  MpegFrameHeader h;
  const bool mpeg25 = version == 0;
  h.lsf = version != 3;
  h.layer = 4 - static_cast<int>(layerBits);
  h.sampleRate = kRates[rateIndex] >> ((h.lsf ? 1 : 0) + (mpeg25 ? 1 : 0));
  h.crc = ((header >> 16U) & 1U) == 0;
  h.mode = static_cast<int>((header >> 6U) & 3U);
  h.modeExtension = static_cast<int>((header >> 4U) & 3U);
  h.channels = h.mode == 3 ? 1 : 2;
  h.padding = ((header >> 9U) & 1U) != 0;
  h.samplesPerFrame = h.layer == 1 ? 384 : h.layer == 2 || !h.lsf ? 1152 : 576;
  if (bitRateIndex == 0) return h;  // free format
  const int kbps = kKbps[h.lsf ? 1 : 0][h.layer - 1][bitRateIndex];
  h.bitRateKbps = kbps;
  const int padding = h.padding ? 1 : 0;
  switch (h.layer) {
    case 1:
      h.frameBytes = (kbps * 12000 / h.sampleRate + padding) * 4;
      break;
    case 2:
      h.frameBytes = kbps * 144000 / h.sampleRate + padding;
      break;
    default:
      h.frameBytes = kbps * 144000 / (h.sampleRate << (h.lsf ? 1 : 0)) + padding;
      break;
  }
  return h;
}

int Mp3ProbeScore(std::span<const std::uint8_t> buffer, bool countsCutFrame) {
  const auto size = static_cast<std::int64_t>(buffer.size());
  // FFmpeg's probe buffer is followed by zeros.
  auto byte = [&](std::int64_t i) -> std::uint32_t {
    return i < size ? buffer[static_cast<std::size_t>(i)] : 0U;
  };
  auto big32 = [&](std::int64_t i) {
    return (byte(i) << 24U) | (byte(i + 1) << 16U) | (byte(i + 2) << 8U) | byte(i + 3);
  };
  const std::int64_t end = size - 4;
  std::int64_t start = 0;
  while (start < end && byte(start) == 0) ++start;

  int maxFrames = 0;
  int firstFrames = 0;
  std::int64_t maxFrameBytes = 0;
  bool wholeUsed = false;
  for (std::int64_t from = start; from < end;) {
    std::int64_t at = from;
    int frames = 0;
    std::int64_t frameBytes = 0;
    for (; at < end; ++frames) {
      const std::uint32_t header = big32(at);
      const auto h = PlayableHeader(header);
      if (!h || (!countsCutFrame && end - at < h->frameBytes)) break;
      const std::int64_t available = std::min<std::int64_t>(h->frameBytes, end - at);
      int lookalikes = 0;
      for (std::int64_t i = at + 4; i < at + available && lookalikes <= 2; ++i) {
        if ((big32(i) & kTwoFrameMask) == (header & kTwoFrameMask)) ++lookalikes;
      }
      if (lookalikes > 2) break;
      frameBytes += h->frameBytes;
      if (available < h->frameBytes) {
        ++frames;
        break;
      }
      at += h->frameBytes;
    }
    maxFrames = std::max(maxFrames, frames);
    maxFrameBytes = std::max(maxFrameBytes, frameBytes);
    if (from == start) {
      firstFrames = frames;
      wholeUsed = at == end + 4;
    }
    from = at + 1;
  }

  constexpr int kExtension = 50;  // FFmpeg's score of a matching file name
  constexpr std::int64_t kProbeMax = std::int64_t{1} << 20;
  if (firstFrames >= 7) return kExtension + 1;
  if (maxFrames > 200 && size < 2 * maxFrameBytes) return kExtension;
  if (maxFrames >= 4 && size < 2 * maxFrameBytes) return kExtension / 2;
  std::array<std::uint8_t, 10> tag{};
  for (std::size_t i = 0; i < tag.size(); ++i) {
    tag[i] = static_cast<std::uint8_t>(byte(start + static_cast<std::int64_t>(i)));
  }
  if (IsId3v2Header(tag) && 2 * Id3v2ProbeLength(tag) >= size) {
    return size < kProbeMax ? kExtension / 4 : kExtension - 2;
  }
  if (firstFrames > 1 && wholeUsed) return 5;
  if (maxFrames >= 1 && size < 10 * maxFrameBytes) return 1;
  return 0;
}

Result<SoundTiming> TimeMpegAudio(ProbeReader& reader, std::uint64_t start, bool onlyFrames) {
  const std::uint64_t size = reader.Size();
  const VbrHeader vbr = ReadVbrHeader(reader, start);
  const auto first = FindFirstFrame(reader, vbr.audioStart);
  if (!first) return Fail(Refusal("the file ends before two frames in a row"));
  if (onlyFrames && *first != vbr.audioStart) return Fail(Refusal(kNotSurelyMpeg));

  PacketTally tally(reader, vbr);
  std::uint64_t packetStart = *first;
  std::uint64_t at = *first;
  std::uint32_t state = 0;
  std::optional<std::uint64_t> cutFrame;
  while (at < size) {
    // The parser looks for a header byte by byte from the end of the last
    // frame; a frame it finds is a packet with whatever came before it.
    std::optional<std::uint64_t> header;
    std::optional<MpegFrameHeader> frame;
    while (at < size) {
      state = (state << 8U) | reader.At(at++);
      if ((state & 0xFFE00000U) == 0xFFE00000U && (frame = PlayableHeader(state))) {
        header = at - 4;
        break;
      }
    }
    if (!header) break;
    const std::uint64_t frameEnd = *header + static_cast<std::uint64_t>(frame->frameBytes);
    if (frameEnd > size) {  // cut short: it ends the last packet
      cutFrame = header;
      break;
    }
    if (auto added = tally.Add(packetStart, frameEnd, header); !added) return Fail(added.error());
    packetStart = at = frameEnd;
    state = 0;
  }
  if (packetStart < size) {
    // What is left is one more packet, unless it is a tag.
    const std::uint64_t rest = size - packetStart;
    const bool id3v1 = rest >= 128 && reader.Matches(packetStart, "TAG");
    const bool ape = rest >= 32 && reader.Matches(packetStart, "APETAGEX");
    if (!id3v1 && !ape) {
      if (auto added = tally.Add(packetStart, size, cutFrame); !added) return Fail(added.error());
    }
  }
  if (reader.Failure()) return Fail(*reader.Failure());
  if (onlyFrames && !tally.OnlyFrames()) return Fail(Refusal(kNotSurelyMpeg));

  const auto& stream = tally.StreamFrame();
  if (!stream || tally.Frames() == 0) return Fail(Refusal("no frame of it plays"));
  SoundTiming timing;
  timing.kind = SoundFileKind::MpegAudio;
  timing.sampleRate = stream->sampleRate;
  timing.frames = tally.Frames();
  if (vbr.frames != 0) {
    const MpegFrameHeader& header = *vbr.frame;
    if (header.sampleRate != stream->sampleRate || header.lsf != stream->lsf ||
        header.layer != stream->layer) {
      return Fail(Refusal("its length header describes another stream"));
    }
    timing.lengthMs =
        RoundedDiv(std::int64_t{vbr.frames} * header.samplesPerFrame * 1000, header.sampleRate);
  } else {
    if (vbr.encoderTag) {
      return Fail(Refusal("it has an encoder delay but no frame count"));
    }
    timing.lengthMs =
        RoundedDiv(tally.Packets() * stream->samplesPerFrame * 1000, stream->sampleRate);
  }
  timing.lengthMs = std::clamp<Milliseconds>(timing.lengthMs, 0, limits::kMaxMediaMs);
  return timing;
}

}  // namespace vistel::probe
