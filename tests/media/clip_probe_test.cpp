#include "media/probe/clip_probe.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "crafted_media.hpp"
#include "media/ffmpeg/clip_decoder.hpp"
#include "media/ffmpeg/encoders.hpp"
#include "media_test_support.hpp"
#include "platform/native_files.hpp"
#include "system_remux.hpp"

namespace vistel {
namespace {

using testing::ScratchFolder;
using Bytes = std::vector<std::uint8_t>;

// A numbered band over texture: pictures large enough to span packets, so
// that packet and picture boundaries fall everywhere.
void DrawFrame(int index, Image& frame) {
  const unsigned level = static_cast<unsigned>(index * 5 % 250);
  for (int y = 0; y < frame.Height(); ++y) {
    for (int x = 0; x < frame.Width(); ++x) {
      frame.At(x, y) = y < frame.Height() / 2
                           ? MakePixel(level, level, level)
                           : MakePixel(static_cast<unsigned>(x * 3 + index * 7) & 255U,
                                       static_cast<unsigned>(y * 5 + index) & 255U,
                                       static_cast<unsigned>(x * y + index * 40) & 255U);
    }
  }
}

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteAll(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

struct Packet {
  std::size_t at = 0;       // its start code
  std::size_t payload = 0;  // first byte after its header
  std::size_t end = 0;
  int id = 0;
};

// The PES packets of a stream as the muxer wrote them (MPEG-1 headers).
std::vector<Packet> PacketsOf(const Bytes& b) {
  std::vector<Packet> out;
  std::size_t i = 0;
  while (i + 6 <= b.size()) {
    if (b[i] != 0 || b[i + 1] != 0 || b[i + 2] != 1) {
      ++i;
      continue;
    }
    const int id = b[i + 3];
    if (id == 0xBA) {
      i += 12;
      continue;
    }
    if (id < 0xBB) {
      i += 4;
      continue;
    }
    const std::size_t end = i + 6 + (std::size_t{b[i + 4]} << 8 | b[i + 5]);
    std::size_t p = i + 6;
    while (p < end && b[p] == 0xFF) ++p;
    if (p < end && (b[p] & 0xC0) == 0x40) p += 2;
    p += (b[p] & 0xF0) == 0x20 ? 5U : (b[p] & 0xF0) == 0x30 ? 10U : 1U;
    out.push_back({i, p, end, id});
    i = end;
  }
  return out;
}

enum class Craft {
  None,
  JunkBefore,      // bytes before the first pack
  PaddingPackets,  // padding packets between the packets
  TruncatedLast,   // the file ends inside its last packet of pictures
  CutInTheMiddle,  // the file ends halfway, inside some packet
  CutAfterSlice,   // the file ends a byte after its last picture's first slice code
};

Bytes Apply(Craft craft, Bytes b) {
  switch (craft) {
    case Craft::None:
      break;
    case Craft::JunkBefore: {
      Bytes junk(700);
      for (std::size_t i = 0; i < junk.size(); ++i)
        junk[i] = static_cast<std::uint8_t>(0x20 + i % 90);
      b.insert(b.begin(), junk.begin(), junk.end());
      break;
    }
    case Craft::PaddingPackets: {
      const auto packets = PacketsOf(b);
      for (std::size_t k = packets.size(); k-- > 0;) {
        if (k % 3 != 1) continue;
        Bytes pad = {0, 0, 1, 0xBE, 0, 40};
        pad.resize(pad.size() + 40, 0xFF);
        b.insert(b.begin() + static_cast<std::ptrdiff_t>(packets[k].at), pad.begin(), pad.end());
      }
      break;
    }
    case Craft::TruncatedLast: {
      const auto packets = PacketsOf(b);
      for (std::size_t k = packets.size(); k-- > 0;) {
        if (packets[k].id != 0xE0) continue;
        b.resize(packets[k].payload + (packets[k].end - packets[k].payload) / 2);
        break;
      }
      break;
    }
    case Craft::CutInTheMiddle:
      b.resize(b.size() / 2 + 7);
      break;
    case Craft::CutAfterSlice:
      for (std::size_t i = b.size() - 4; i-- > 0;) {
        if (b[i] == 0 && b[i + 1] == 0 && b[i + 2] == 1 && b[i + 3] == 1) {
          b.resize(i + 5);
          break;
        }
      }
      break;
  }
  return b;
}

struct ClipCase {
  const char* name;
  IntSize size;
  int fps = 25;
  bool ntsc = false;  // fps 24, 30, 60 slowed to 23.976, 29.97, 59.94
  int frames = 1;
  int bFrames = 0;
  int groupSize = 12;
  bool closedGroups = false;
  double soundSeconds = 0;  // 0: no sound
  int rate = 44100;
  int channels = 2;
  Craft craft = Craft::None;
  bool remux = false;  // rewritten by RemuxMpeg1 with these options
  testing::RemuxOptions remuxing = {};
};

std::ostream& operator<<(std::ostream& out, const ClipCase& c) {
  return out << c.name;
}

// What a host learns of a clip through MediaClip, or the probe.
struct Observed {
  IntSize size;
  Milliseconds duration = 0;
  bool video = false;
  bool audio = false;
  // When FrameAt shows another picture (the first from 0), and from when
  // it shows none.
  std::vector<Milliseconds> changes;
  Milliseconds firstFalse = 0;
  AudioFormat format;
  std::int64_t soundFrames = 0;
  friend bool operator==(const Observed&, const Observed&) = default;
};

std::ostream& operator<<(std::ostream& out, const Observed& o) {
  out << o.size.width << "x" << o.size.height << " duration " << o.duration << " video " << o.video
      << " audio " << o.audio << " no frame from " << o.firstFalse << " sound "
      << o.format.sampleRate << "/" << o.format.channels << " " << o.soundFrames
      << " frames; pictures from";
  for (Milliseconds t : o.changes) out << " " << t;
  return out;
}

// Every picture differs from the one before (a band's level moves on), so
// each new picture shows as a change.
Observed ThroughDecoder(MediaClip& clip) {
  Observed o;
  o.size = clip.FrameSize();
  o.duration = clip.Duration();
  o.video = clip.HasVideo();
  o.audio = clip.HasAudio();
  Image frame;
  Image last;
  Milliseconds t = 0;
  for (; t < o.duration + 10000; ++t) {
    auto shown = clip.FrameAt(t, frame);
    EXPECT_TRUE(shown) << "at " << t << ": " << (shown ? "" : shown.error().description);
    if (!shown || !*shown) break;
    if (o.changes.empty() || frame != last) {
      o.changes.push_back(t);
      last = frame;
    }
  }
  o.firstFalse = t;
  if (o.audio) {
    o.format = clip.SoundFormat();
    std::vector<std::int16_t> chunk(8192);
    while (std::size_t n = clip.Sound()->Pull(chunk)) {
      o.soundFrames += static_cast<std::int64_t>(n) / 2;
    }
  }
  return o;
}

Observed ThroughProbe(const ClipTiming& t) {
  Observed o;
  o.size = t.frameSize;
  o.duration = t.duration;
  o.video = t.hasVideo;
  o.audio = t.hasAudio;
  // At t the last picture whose time is at most t shows (the first before
  // its time): a picture whose time the next one's equals, or that is
  // before 0 as the next one is, never shows.
  for (std::size_t k = 0; k < t.pictureMs.size() && t.pictureMs[k] < t.videoEndMs; ++k) {
    const Milliseconds from = std::max<Milliseconds>(t.pictureMs[k], 0);
    if (o.changes.empty()) {
      o.changes.push_back(0);
    } else if (from > o.changes.back()) {
      o.changes.push_back(from);
    }
  }
  o.firstFalse = t.videoEndMs;
  if (t.hasAudio) {
    o.format = t.soundFormat;
    o.soundFrames = t.soundFrames;
  }
  return o;
}

Result<ClipTiming> Probe(const std::string& path) {
  auto files = MakeNativeFileSystem();
  auto file = files->OpenRead(path);
  if (!file) return Fail(file.error());
  return ProbeClip(**file);
}

class ClipProbeParityTest : public ::testing::TestWithParam<ClipCase> {};

TEST_P(ClipProbeParityTest, ReportsWhatTheDecoderReports) {
  const ClipCase& c = GetParam();
  ScratchFolder folder(std::string("clipprobe-") + c.name);
  const std::string made = folder.File("made");
  std::vector<std::int16_t> samples;
  ClipSound sound;
  if (c.soundSeconds > 0) {
    samples = testing::Sine(330, 0.4, c.rate, c.soundSeconds);
    if (c.channels == 1) {  // the left channel alone
      for (std::size_t i = 0; i < samples.size() / 2; ++i) samples[i] = samples[2 * i];
      samples.resize(samples.size() / 2);
    }
    sound = {{c.rate, c.channels}, samples};
  }
  Mpeg1ClipSettings settings{c.size, c.fps, c.frames, 3};
  settings.ntsc = c.ntsc;
  settings.bFrames = c.bFrames;
  settings.groupSize = c.groupSize;
  settings.closedGroups = c.closedGroups;
  ASSERT_TRUE(EncodeMpeg1Clip(settings, DrawFrame, c.soundSeconds > 0 ? &sound : nullptr, made));
  Bytes bytes = ReadAll(made);
  if (c.remux) bytes = testing::RemuxMpeg1(bytes, c.remuxing);
  const std::string path = folder.File("clip");
  WriteAll(path, Apply(c.craft, bytes));

  auto clip = FfmpegClipDecoder().OpenClip(path);
  ASSERT_TRUE(clip) << clip.error().description;
  const Observed decoded = ThroughDecoder(**clip);
  auto probed = Probe(path);
  ASSERT_TRUE(probed) << probed.error().description;
  EXPECT_EQ(ThroughProbe(*probed), decoded);
  EXPECT_EQ(probed->frameCount, static_cast<std::int64_t>(probed->pictureMs.size()));
  EXPECT_LE(probed->soundMs, probed->duration);
}

constexpr IntSize kSmall{64, 48};
constexpr IntSize kSif{352, 240};
constexpr IntSize kQcif{176, 144};
constexpr IntSize kOdd{98, 66};

using Stamps = testing::RemuxOptions::Stamps;

INSTANTIATE_TEST_SUITE_P(
    Clips, ClipProbeParityTest,
    ::testing::Values(
        ClipCase{.name = "OneFrame", .size = kSmall},
        ClipCase{.name = "TwoFramesWithSound", .size = kSmall, .frames = 2, .soundSeconds = 0.5},
        ClipCase{.name = "OddCount24", .size = kQcif, .fps = 24, .frames = 37},
        ClipCase{.name = "OddCount30", .size = kOdd, .fps = 30, .frames = 29},
        ClipCase{.name = "OneGroup25", .size = kSif, .frames = 11},
        ClipCase{.name = "SoundLonger",
                 .size = kQcif,
                 .frames = 20,
                 .soundSeconds = 2.3,
                 .rate = 48000,
                 .channels = 1},
        ClipCase{.name = "SoundShorter",
                 .size = kSif,
                 .fps = 30,
                 .frames = 61,
                 .soundSeconds = 0.7,
                 .rate = 32000},
        ClipCase{
            .name = "SoundAsLong24", .size = kQcif, .fps = 24, .frames = 48, .soundSeconds = 2},
        ClipCase{.name = "LongerClip", .size = kSmall, .frames = 151, .soundSeconds = 6},
        ClipCase{.name = "JunkBeforeFirstPack",
                 .size = kQcif,
                 .frames = 14,
                 .soundSeconds = 0.6,
                 .craft = Craft::JunkBefore},
        ClipCase{.name = "PaddingPackets",
                 .size = kQcif,
                 .fps = 24,
                 .frames = 19,
                 .soundSeconds = 0.9,
                 .rate = 48000,
                 .craft = Craft::PaddingPackets},
        ClipCase{.name = "TruncatedLastPacket",
                 .size = kSif,
                 .frames = 9,
                 .craft = Craft::TruncatedLast},
        ClipCase{.name = "TruncatedWithSound",
                 .size = kQcif,
                 .fps = 30,
                 .frames = 23,
                 .soundSeconds = 0.8,
                 .craft = Craft::TruncatedLast},
        ClipCase{.name = "CutInTheMiddle",
                 .size = kQcif,
                 .frames = 40,
                 .soundSeconds = 1.6,
                 .craft = Craft::CutInTheMiddle},
        // B-pictures: each reference picture comes out when the next one
        // goes in; pictures without stamps of their own (several to a
        // packet) follow from those before them.
        ClipCase{.name = "OneBetween", .size = kQcif, .frames = 40, .bFrames = 1},
        ClipCase{.name = "TwoBetweenNtsc24WithSound",
                 .size = kQcif,
                 .fps = 24,
                 .ntsc = true,
                 .frames = 50,
                 .bFrames = 2,
                 .soundSeconds = 2},
        ClipCase{.name = "ThreeBetweenSmallPictures59",
                 .size = kSmall,
                 .fps = 60,
                 .ntsc = true,
                 .frames = 70,
                 .bFrames = 3,
                 .groupSize = 9},
        ClipCase{.name = "ClosedGroupsOfSix29",
                 .size = kOdd,
                 .fps = 30,
                 .ntsc = true,
                 .frames = 45,
                 .bFrames = 2,
                 .groupSize = 6,
                 .closedGroups = true,
                 .soundSeconds = 1.5,
                 .rate = 48000},
        ClipCase{.name = "Ntsc24WithoutB", .size = kQcif, .fps = 24, .ntsc = true, .frames = 30},
        // Over three seconds: the decoder finds the length after a seek.
        ClipCase{.name = "LongNtsc24",
                 .size = kSmall,
                 .fps = 24,
                 .ntsc = true,
                 .frames = 130,
                 .bFrames = 2,
                 .groupSize = 15,
                 .soundSeconds = 5},
        ClipCase{.name = "TruncatedB",
                 .size = kSif,
                 .frames = 12,
                 .bFrames = 2,
                 .craft = Craft::TruncatedLast},
        ClipCase{.name = "CutInTheMiddleB",
                 .size = kQcif,
                 .fps = 30,
                 .ntsc = true,
                 .frames = 40,
                 .bFrames = 3,
                 .soundSeconds = 1.4,
                 .craft = Craft::CutInTheMiddle},
        // Rewritten streams: cut at an open group (its leading B-pictures
        // refer to a picture that is gone: the decoder drops them) or a
        // closed one; other stamping.
        ClipCase{.name = "CutAtOpenGroup",
                 .size = kQcif,
                 .frames = 40,
                 .bFrames = 2,
                 .soundSeconds = 1.6,
                 .remux = true,
                 .remuxing = {.fromGroup = 1}},
        ClipCase{.name = "CutAtClosedGroupNtsc",
                 .size = kQcif,
                 .fps = 30,
                 .ntsc = true,
                 .frames = 40,
                 .bFrames = 2,
                 .groupSize = 9,
                 .closedGroups = true,
                 .remux = true,
                 .remuxing = {.fromGroup = 2}},
        ClipCase{.name = "PacketPerPicture",
                 .size = kSmall,
                 .fps = 24,
                 .ntsc = true,
                 .frames = 30,
                 .bFrames = 3,
                 .remux = true,
                 .remuxing = {.packetPerPicture = true}},
        ClipCase{.name = "BothStampsEverywhere",
                 .size = kQcif,
                 .frames = 30,
                 .bFrames = 2,
                 .soundSeconds = 1,
                 .remux = true,
                 .remuxing = {.stamps = Stamps::Both}},
        // All pictures in one packet: the demuxer forgets the B-pictures it
        // saw there while opening the clip, and learns of them again when
        // it reads the clip for its length.
        ClipCase{.name = "AllInOnePacket",
                 .size = kSmall,
                 .fps = 24,
                 .ntsc = true,
                 .frames = 20,
                 .bFrames = 2,
                 .remux = true,
                 .remuxing = {.packetBytes = 60000}},
        // Reference pictures stamped without a decoding time (it is taken
        // from the reference before), B-pictures not stamped at all.
        ClipCase{.name = "ReferencesWithoutDecodingStamps",
                 .size = kQcif,
                 .fps = 24,
                 .ntsc = true,
                 .frames = 40,
                 .bFrames = 2,
                 .remux = true,
                 .remuxing = {.stamps = Stamps::NoDecoding,
                              .stamped = testing::RemuxOptions::Stamped::References}},
        // Presentation stamps alone, on every picture: the decoding order
        // seems to run backwards at each B-picture.
        ClipCase{.name = "PresentationStampsOnly",
                 .size = kQcif,
                 .frames = 30,
                 .bFrames = 2,
                 .soundSeconds = 1,
                 .remux = true,
                 .remuxing = {.stamps = Stamps::NoDecoding, .packetPerPicture = true}},
        // Each picture in a packet of its own, only P-pictures stamped: the
        // other pictures take their times from those around them.
        ClipCase{.name = "PredictedStampsOnly",
                 .size = kQcif,
                 .fps = 30,
                 .ntsc = true,
                 .frames = 30,
                 .bFrames = 1,
                 .groupSize = 4,
                 .closedGroups = true,
                 .remux = true,
                 .remuxing = {.packetPerPicture = true,
                              .stamped = testing::RemuxOptions::Stamped::Predicted}},
        // Ended with a sequence end code, as many encoders end their video.
        ClipCase{.name = "SequenceEndCode",
                 .size = kQcif,
                 .fps = 24,
                 .ntsc = true,
                 .frames = 30,
                 .bFrames = 2,
                 .soundSeconds = 1.5,
                 .remux = true,
                 .remuxing = {.sequenceEnd = true}},
        // Marked closed, the leading B-pictures are decoded after all.
        ClipCase{.name = "CutAtGroupMarkedClosed",
                 .size = kQcif,
                 .frames = 40,
                 .bFrames = 2,
                 .remux = true,
                 .remuxing = {.fromGroup = 1, .markClosed = true}},
        // The last picture's slice is too short for the decoder: no picture.
        ClipCase{.name = "CutAfterSliceCode",
                 .size = kQcif,
                 .frames = 14,
                 .bFrames = 1,
                 .craft = Craft::CutAfterSlice}),
    [](const auto& param) { return std::string(param.param.name); });

// ---- Hostile input ----------------------------------------------------------

Bytes Pack() {
  return {0, 0, 1, 0xBA, 0x21, 0x00, 0x01, 0x00, 0x01, 0x80, 0x00, 0x01};
}

// A PES packet of MPEG-1 syntax with a presentation stamp.
Bytes Pes(int id, std::int64_t pts, const Bytes& payload) {
  Bytes out = {0, 0, 1, static_cast<std::uint8_t>(id)};
  testing::PutBig(out, static_cast<std::uint32_t>(payload.size() + 5), 2);
  out.push_back(static_cast<std::uint8_t>(0x21 | ((pts >> 29) & 0x0E)));
  out.push_back(static_cast<std::uint8_t>(pts >> 22));
  out.push_back(static_cast<std::uint8_t>(((pts >> 14) & 0xFE) | 1));
  out.push_back(static_cast<std::uint8_t>(pts >> 7));
  out.push_back(static_cast<std::uint8_t>(((pts << 1) & 0xFE) | 1));
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

// A group of one intra picture whose sequence header says width x height
// (12 bits each), with a sequence extension giving the high bits when
// `extension` is set; the slice is a few bytes of nothing.
Bytes Group(int width, int height, int highWidth, int highHeight, bool extension, int type = 1,
            int sliceRow = 0) {
  Bytes es = {0,
              0,
              1,
              0xB3,
              static_cast<std::uint8_t>(width >> 4),
              static_cast<std::uint8_t>(((width & 15) << 4) | (height >> 8)),
              static_cast<std::uint8_t>(height & 255),
              0x13,
              0xFF,
              0xFF,
              0xE0,
              0x18};
  if (extension) {
    es.insert(es.end(), {0, 0, 1, 0xB5, 0x14, static_cast<std::uint8_t>(0x82 | (highWidth >> 1)),
                         static_cast<std::uint8_t>(((highWidth & 1) << 7) | (highHeight << 5) | 1),
                         0x00, 0x01, 0x00});
  }
  es.insert(es.end(), {0, 0, 1, 0xB8, 0x00, 0x08, 0x00, 0x00});
  es.insert(es.end(), {0, 0, 1, 0x00, 0x00, static_cast<std::uint8_t>(type << 3), 0xFF, 0xF8});
  es.insert(es.end(),
            {0, 0, 1, static_cast<std::uint8_t>(sliceRow + 1), 0x0A, 0x80, 0x00, 0x00, 0x00});
  return es;
}

Bytes System(std::initializer_list<Bytes> packets) {
  Bytes out;
  for (const Bytes& p : packets) {
    const Bytes pack = Pack();
    out.insert(out.end(), pack.begin(), pack.end());
    out.insert(out.end(), p.begin(), p.end());
  }
  out.insert(out.end(), {0, 0, 1, 0xB9});
  return out;
}

struct Hostile {
  const char* name;
  Bytes bytes;
  const char* reason;  // part of the refusal; null: timed after all
};

TEST(ClipProbeHostileTest, RefusesWhatItCannotTimeWithItsReason) {
  ScratchFolder folder("clipprobe-hostile");
  Bytes garbage(300000);
  for (std::size_t i = 0; i < garbage.size(); ++i) {
    garbage[i] = static_cast<std::uint8_t>((i * 2654435761U) >> 13);
  }
  const Bytes picture = Pes(0xE0, 45000, Group(64, 48, 0, 0, false));
  Bytes longGap = System({picture});
  longGap.insert(longGap.end() - 4, 120000, 0x55);
  Bytes cutShort = System({picture});
  cutShort.resize(cutShort.size() - 4);  // no end code: the packet runs to the end
  cutShort[16] = 0xFF;                   // and claims 64 KiB the file does not have
  cutShort[17] = 0xFF;
  const Hostile cases[] = {
      {"empty", {}, "no MPEG-1 system stream"},
      {"garbage", garbage, "Cannot time the clip"},
      {"MPEG-2 pack",
       {0, 0, 1, 0xBA, 0x44, 0, 4, 0, 4, 1, 1, 0x89, 0xC3, 0xF8},
       "no MPEG-1 system stream"},
      {"over the limits",
       System({Pes(0xE0, 45000, Group(0xF40, 0xF40, 1, 1, true)),
               Pes(0xE0, 48600, Group(0xF40, 0xF40, 1, 1, true))}),
       "8000x8000"},
      {"B-picture first", System({Pes(0xE0, 45000, Group(64, 48, 0, 0, false, 3))}),
       "intra picture"},
      {"D-picture", System({Pes(0xE0, 45000, Group(64, 48, 0, 0, false, 4))}), "unknown type"},
      {"more picture headers than slices",
       [] {
         Bytes es = Group(64, 48, 0, 0, false);
         es.insert(es.end(), {0, 0, 1, 0, 0, 0x10, 0xFF, 0xF8});  // a P-picture's header alone
         return System({Pes(0xE0, 45000, es)});
       }(),
       "MPEG video"},
      {"slice below the picture", System({Pes(0xE0, 45000, Group(64, 48, 0, 0, false, 1, 3))}),
       "below the picture"},
      {"second slice cut short",
       [] {
         Bytes es = Group(64, 48, 0, 0, false);
         es.insert(es.end(), {0, 0, 1, 0x02, 0x0A});  // the file ends a byte into it
         Bytes b = System({Pes(0xE0, 45000, es)});
         b.resize(b.size() - 4);  // no end code
         return b;
       }(),
       "cut short"},
      {"video after its sequence end code",
       [&] {
         Bytes es = Group(64, 48, 0, 0, false);
         es.insert(es.end(), {0, 0, 1, 0xB7});
         return System({Pes(0xE0, 45000, es), Pes(0xE0, 48600, Group(64, 48, 0, 0, false))});
       }(),
       "after its sequence end code"},
      {"picture size changes",
       System({picture, Pes(0xE0, 48600, Group(80, 48, 0, 0, false, 2))}),
       "changes its picture size"},
      {"two video streams", System({picture, Pes(0xE1, 45000, Group(64, 48, 0, 0, false))}),
       "more than one stream"},
      {"near the wrap", System({Pes(0xE0, std::int64_t{1} << 32, Group(64, 48, 0, 0, false))}),
       "wrap"},
      {"sound of no layer II", System({Pes(0xC0, 45000, Bytes(100, 0x33))}), "layer II"},
      {"long gap", longGap, "no packet"},
      {"another container's tag",
       [&] {
         Bytes b = {'S', 'o', 'f', 'd', 'e', 'c'};
         const Bytes rest = System({picture});
         b.insert(b.end(), rest.begin(), rest.end());
         return b;
       }(),
       "no MPEG-1 system stream"},
      {"sound-like junk first",
       [&] {
         Bytes b(64, 0xFF);
         const Bytes rest = System({picture});
         b.insert(b.end(), rest.begin(), rest.end());
         return b;
       }(),
       "look like sound"},
      {"no time stamp", System({Bytes{0, 0, 1, 0xE0, 0, 42, 0x0F}}), nullptr},
      {"packet cut short", cutShort, nullptr},
  };
  for (const Hostile& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = folder.File("case");
    Bytes bytes = c.bytes;
    if (std::string_view(c.name) == "no time stamp") {  // a picture in a packet without stamps
      const Bytes group = Group(64, 48, 0, 0, false);
      bytes = System({Bytes{0, 0, 1, 0xE0, 0, static_cast<std::uint8_t>(group.size() + 1), 0x0F}});
      bytes.insert(bytes.end() - 4, group.begin(), group.end());
    }
    WriteAll(path, bytes);
    auto probed = Probe(path);
    if (c.reason == nullptr && std::string_view(c.name) == "packet cut short") {
      // A packet cut by the end of the file is what there is of it.
      ASSERT_TRUE(probed) << probed.error().description;
      EXPECT_EQ(probed->frameSize, (IntSize{64, 48}));
      EXPECT_EQ(probed->frameCount, 1);
      continue;
    }
    if (c.reason == nullptr) {
      ASSERT_FALSE(probed);
      EXPECT_NE(probed.error().description.find("no time stamp"), std::string::npos)
          << probed.error().description;
      continue;
    }
    ASSERT_FALSE(probed) << "timed";
    EXPECT_NE(probed.error().description.find(c.reason), std::string::npos)
        << probed.error().description;
    if (std::string_view(c.name) == "over the limits" ||
        std::string_view(c.name) == "more picture headers than slices") {
      EXPECT_FALSE(FfmpegClipDecoder().OpenClip(path)) << "the decoder refuses it as well";
    }
  }
}

}  // namespace
}  // namespace vistel
