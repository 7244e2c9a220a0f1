// The sound probe against the FFmpeg decoder it stands in for: for each file
// of the table, the probe's rate, length and frame count must be what
// OpenAudioFile reports and pulls, exactly; files it cannot time exactly it
// must refuse, with the reason; hostile headers must not make it read or
// hold more than a bounded amount.
#include "media/probe/sound_probe.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <map>
#include <numeric>
#include <string>
#include <tuple>
#include <vector>

#include "base/input_limits.hpp"
#include "crafted_media.hpp"
#include "media/ffmpeg/audio_file.hpp"
#include "media/ffmpeg/encoders.hpp"
#include "media/probe/mpeg_audio.hpp"
#include "media_test_support.hpp"

namespace vistel {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::PutBig;
using testing::PutLittle;

// An input file over bytes in memory that counts what is read of it, and
// can fail every read.
class MemoryFile final : public InputFile {
 public:
  explicit MemoryFile(const Bytes& bytes, bool failing = false)
      : bytes_(bytes), failing_(failing) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  Result<std::size_t> ReadAt(std::uint64_t offset, std::span<std::byte> buffer) override {
    if (failing_) return Fail(ErrorCode::DeviceIoError);
    if (offset >= bytes_.size()) return std::size_t{0};
    const std::size_t n = std::min<std::size_t>(buffer.size(), bytes_.size() - offset);
    std::memcpy(buffer.data(), bytes_.data() + offset, n);
    read_ += n;
    return n;
  }
  std::uint64_t BytesRead() const { return read_; }

 private:
  const Bytes& bytes_;
  bool failing_;
  std::uint64_t read_ = 0;
};

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes Text(std::string_view text) {
  return {text.begin(), text.end()};
}

// Deterministic noise, never a run of frame headers.
Bytes Noise(std::size_t n, std::uint32_t seed) {
  Bytes out(n);
  for (auto& b : out) {
    seed = seed * 1103515245U + 12345U;
    b = static_cast<std::uint8_t>((seed >> 16U) | 1U);
  }
  return out;
}

// ---- WAV --------------------------------------------------------------

Bytes Chunk(std::string_view tag, const Bytes& body) {
  Bytes out = Text(tag);
  PutLittle(out, static_cast<std::uint32_t>(body.size()), 4);
  out.insert(out.end(), body.begin(), body.end());
  if (body.size() % 2 != 0) out.push_back(0);
  return out;
}

Bytes Riff(std::initializer_list<Bytes> chunks) {
  Bytes body = Cat({Text("WAVE")});
  for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
  Bytes out = Text("RIFF");
  PutLittle(out, static_cast<std::uint32_t>(body.size()), 4);
  return Cat({out, body});
}

struct WavFormat {
  std::uint32_t tag = 1;
  std::uint32_t channels = 2;
  std::uint32_t rate = 44100;
  std::uint32_t bits = 16;
  int blockAlign = -1;  // -1: channels * bytes per sample
  int size = 16;        // 14, 16, 18 or more
  Bytes extra;          // after cbSize

  WavFormat& Tag(std::uint32_t v) { return tag = v, *this; }
  WavFormat& Channels(std::uint32_t v) { return channels = v, *this; }
  WavFormat& Rate(std::uint32_t v) { return rate = v, *this; }
  WavFormat& Bits(std::uint32_t v) { return bits = v, *this; }
  WavFormat& BlockAlign(int v) { return blockAlign = v, *this; }
  WavFormat& Size(int v) { return size = v, *this; }
  WavFormat& Extra(Bytes v) { return extra = std::move(v), *this; }
};

Bytes FmtBody(const WavFormat& f) {
  const auto align = f.blockAlign >= 0 ? static_cast<std::uint32_t>(f.blockAlign)
                                       : f.channels * ((f.bits + 7) / 8);
  Bytes b;
  PutLittle(b, f.tag, 2);
  PutLittle(b, f.channels, 2);
  PutLittle(b, f.rate, 4);
  PutLittle(b, f.rate * align, 4);
  PutLittle(b, align, 2);
  if (f.size == 14) return b;
  PutLittle(b, f.bits, 2);
  if (f.size >= 18) {
    PutLittle(b, static_cast<std::uint32_t>(f.extra.size()), 2);
    b.insert(b.end(), f.extra.begin(), f.extra.end());
  }
  return b;
}

Bytes Fmt(const WavFormat& f) {
  return Chunk("fmt ", FmtBody(f));
}

// WAVE_FORMAT_EXTENSIBLE's tail: valid bits, speaker mask, sub-format.
Bytes Extensible(std::uint32_t validBits, std::uint32_t mask, std::uint32_t subFormat) {
  Bytes b;
  PutLittle(b, validBits, 2);
  PutLittle(b, mask, 4);
  PutLittle(b, subFormat, 4);
  b.insert(b.end(), {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71});
  return b;
}

Bytes Le32(std::uint32_t v) {
  Bytes b;
  PutLittle(b, v, 4);
  return b;
}

Bytes Pcm(std::uint32_t frames, std::uint32_t frameBytes, std::uint32_t seed = 1) {
  return Noise(std::size_t{frames} * frameBytes, seed);
}

Bytes Wav(const WavFormat& f, std::uint32_t frames) {
  return Riff({Fmt(f), Chunk("data", Pcm(frames, f.channels * ((f.bits + 7) / 8)))});
}

// ADPCM blocks of noise whose headers are in range, but for the blocks
// listed in `broken`.
Bytes AdpcmBlocks(bool ima, std::uint32_t channels, std::uint32_t blockAlign, int count,
                  std::initializer_list<int> broken = {}) {
  Bytes out;
  for (int i = 0; i < count; ++i) {
    Bytes block = Noise(blockAlign, static_cast<std::uint32_t>(i) + 17);
    const bool bad = std::find(broken.begin(), broken.end(), i) != broken.end();
    for (std::uint32_t c = 0; c < channels; ++c) {
      if (ima) {  // step index, 0 to 88
        block[4 * c + 2] =
            static_cast<std::uint8_t>(bad ? 100U : (7U * static_cast<unsigned>(i) + c) % 89U);
        block[4 * c + 3] = 0;
      } else {  // predictor, 0 to 6
        block[c] = static_cast<std::uint8_t>(bad ? 9U : (static_cast<unsigned>(i) + c) % 7U);
      }
    }
    out.insert(out.end(), block.begin(), block.end());
  }
  return out;
}

WavFormat Adpcm(bool ima, std::uint32_t channels, std::uint32_t blockAlign) {
  return WavFormat()
      .Tag(ima ? 0x11 : 2)
      .Channels(channels)
      .Rate(ima ? 22050 : 11025)
      .Bits(4)
      .BlockAlign(static_cast<int>(blockAlign))
      .Size(20)
      .Extra(Bytes(2));
}

// A WAV whose data chunk claims `claimed` bytes but holds `held`.
Bytes WavClaiming(std::uint32_t claimed, const Bytes& held, std::initializer_list<Bytes> before) {
  Bytes out = Riff(before);
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  PutLittle(out, claimed, 4);
  return Cat({out, held});
}

// ---- MPEG audio ---------------------------------------------------------

// An ID3v2 tag header claiming `body` bytes.
Bytes Id3v2Header(int version, std::uint32_t body, int flags = 0) {
  Bytes out = {
      'I', 'D', '3', static_cast<std::uint8_t>(version), 0, static_cast<std::uint8_t>(flags)};
  for (int shift : {21, 14, 7, 0}) out.push_back(static_cast<std::uint8_t>((body >> shift) & 0x7F));
  return out;
}

Bytes Id3v2(int version, std::uint32_t body, int flags = 0) {
  Bytes out = Id3v2Header(version, body, flags);
  const Bytes frame = Cat({Text("TIT2"), {0, 0, 0, 5, 0, 0, 0}, Text("abcd")});
  out.insert(out.end(), frame.begin(), frame.end());
  out.resize(out.size() + body - frame.size());
  return out;
}

Bytes Id3v1() {
  Bytes out = Text("TAG");
  out.resize(128);
  std::memcpy(out.data() + 3, "title", 5);
  out[127] = 0xFF;
  return out;
}

Bytes Ape(bool withHeader) {
  const Bytes items = Cat({Le32(5), Le32(0), Text("Title"), {0}, Text("hello")});
  auto footer = [&](std::uint32_t flags) {
    return Cat({Text("APETAGEX"), Le32(2000), Le32(static_cast<std::uint32_t>(items.size()) + 32),
                Le32(1), Le32(flags), Bytes(8)});
  };
  return withHeader ? Cat({footer(0xA0000000), items, footer(0x80000000)})
                    : Cat({items, footer(0)});
}

// Frame sizes, for finding frames in the fixtures (0 for what is none).
int FrameBytes(std::uint32_t h) {
  const auto header = probe::DecodeMpegHeader(h);
  return header ? header->frameBytes : 0;
}

std::size_t TagEnd(const Bytes& b) {
  if (b.size() < 10 || b[0] != 'I' || b[1] != 'D' || b[2] != '3') return 0;
  return 10 +
         (std::size_t{b[6]} << 21U | std::size_t{b[7]} << 14U | std::size_t{b[8]} << 7U | b[9]);
}

struct Span {
  std::size_t at, size;
};
std::vector<Span> Frames(const Bytes& b) {
  std::vector<Span> out;
  for (std::size_t at = TagEnd(b); at + 4 <= b.size();) {
    const int size = FrameBytes(
        static_cast<std::uint32_t>(b[at] << 24U | b[at + 1] << 16U | b[at + 2] << 8U | b[at + 3]));
    if (size == 0) break;
    out.push_back({at, static_cast<std::size_t>(size)});
    at += static_cast<std::size_t>(size);
  }
  return out;
}

struct Header {
  int version = 3;  // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
  int layer = 3;
  int bitRate = 9;  // index
  int rate = 0;     // index
  bool mono = false;
  bool crc = false;
  int padding = 0;

  Header& Version(int v) { return version = v, *this; }
  Header& Layer(int v) { return layer = v, *this; }
  Header& BitRate(int v) { return bitRate = v, *this; }
  Header& Rate(int v) { return rate = v, *this; }
  Header& Mono() { return mono = true, *this; }
  Header& Crc() { return crc = true, *this; }
};

// A frame of silence: a header and zeros (all-zero side information).
Bytes Frame(const Header& h) {
  const std::uint32_t bits = 0xFFE00000U | std::uint32_t(h.version) << 19U |
                             std::uint32_t(4 - h.layer) << 17U | (h.crc ? 0U : 1U) << 16U |
                             std::uint32_t(h.bitRate) << 12U | std::uint32_t(h.rate) << 10U |
                             std::uint32_t(h.padding) << 9U | (h.mono ? 3U : 0U) << 6U;
  Bytes out;
  PutBig(out, bits, 4);
  out.resize(static_cast<std::size_t>(FrameBytes(bits)));
  return out;
}

Bytes Frames(const Header& h, int count) {
  Bytes out;
  for (int i = 0; i < count; ++i) {
    const Bytes f = Frame(h);
    out.insert(out.end(), f.begin(), f.end());
  }
  return out;
}

// Layer 3 frames of varying bit rate.
Bytes VariableFrames(const Header& base, int count, std::uint32_t seed) {
  Bytes out;
  for (int i = 0; i < count; ++i) {
    seed = seed * 1103515245U + 12345U;
    Header h = base;
    h.bitRate = 1 + static_cast<int>((seed >> 16U) % 14U);
    h.padding = static_cast<int>((seed >> 8U) & 1U);
    const Bytes f = Frame(h);
    out.insert(out.end(), f.begin(), f.end());
  }
  return out;
}

// A Xing (or Info) frame stating frames and bytes, with a LAME tag giving
// `delay` and `padding` when `encoder` is not empty.
Bytes XingFrame(const Header& h, std::uint32_t frames, std::uint32_t bytes, std::string_view tag,
                std::string_view encoder = "", int delay = 0, int padding = 0) {
  Bytes f = Frame(h);
  const std::size_t at = 4 + (h.version == 3 ? (h.mono ? 17 : 32) : (h.mono ? 9 : 17));
  Bytes body = Text(tag);
  PutBig(body, 3, 4);
  PutBig(body, frames, 4);
  PutBig(body, bytes, 4);
  if (!encoder.empty()) {
    Bytes version = Text(encoder);
    version.resize(9);
    body.insert(body.end(), version.begin(), version.end());
    body.resize(body.size() + 12);
    PutBig(body, static_cast<std::uint32_t>(delay << 12 | padding), 3);
  }
  std::copy(body.begin(), body.end(), f.begin() + static_cast<std::ptrdiff_t>(at));
  return f;
}

Bytes VbriFrame(const Header& h, std::uint32_t frames, std::uint32_t bytes) {
  Bytes f = Frame(h);
  Bytes body = Text("VBRI");
  PutBig(body, 1, 2);
  PutBig(body, 1000, 2);
  PutBig(body, 80, 2);
  PutBig(body, bytes, 4);
  PutBig(body, frames, 4);
  std::copy(body.begin(), body.end(), f.begin() + 36);
  return f;
}

void SetBits(Bytes& b, std::size_t bit, int count, std::uint32_t value) {
  for (int i = 0; i < count; ++i, ++bit) {
    const auto mask = static_cast<std::uint8_t>(0x80U >> (bit % 8));
    if (((value >> static_cast<unsigned>(count - 1 - i)) & 1U) != 0) {
      b[bit / 8] |= mask;
    } else {
      b[bit / 8] &= static_cast<std::uint8_t>(~mask);
    }
  }
}

// Damages the layer 3 side information of the frame at `f`: big_values out
// of range, or a switched window of block type 0.
Bytes Damaged(Bytes b, Span f, bool blockType) {
  const std::uint8_t h1 = b[f.at + 1], h3 = b[f.at + 3];
  const bool mpeg1 = ((h1 >> 3U) & 3U) == 3, mono = (h3 >> 6U) == 3;
  const std::size_t side = (f.at + 4 + ((h1 & 1U) != 0 ? 0 : 2)) * 8;
  const std::size_t granule =
      mpeg1 ? 9U + (mono ? 5U : 3U) + (mono ? 4U : 8U) : 8U + (mono ? 1U : 2U);
  if (blockType) {
    SetBits(b, side + granule + 12 + 9 + 8 + (mpeg1 ? 4U : 9U), 3, 0b100);
  } else {
    SetBits(b, side + granule + 12, 9, 400);
  }
  return b;
}

// ---- encoded files ------------------------------------------------------

// Files written by the project's encoders, made once per run.
const Bytes& Encoded(AudioFileType type, int rate, int channels, double seconds) {
  static testing::ScratchFolder folder("sound-probe-sources");
  static std::map<std::tuple<AudioFileType, int, int, double>, Bytes> made;
  const auto key = std::tuple(type, rate, channels, seconds);
  if (auto found = made.find(key); found != made.end()) return found->second;
  std::vector<std::int16_t> samples = testing::Sine(440, 0.5, rate, seconds);
  if (channels == 1) {
    for (std::size_t i = 0; i < samples.size() / 2; ++i) samples[i] = samples[2 * i];
    samples.resize(samples.size() / 2);
  }
  const std::string path = folder.File("source-" + std::to_string(made.size()));
  const auto written = EncodeAudioFile(samples, {rate, channels}, type, path);
  EXPECT_TRUE(written) << written.error().description;
  return made[key] = testing::ReadBytes(path);
}

Bytes Mp3(int rate, int channels, double seconds) {
  return Encoded(AudioFileType::Mp3, rate, channels, seconds);
}
Bytes Mp2(int rate, int channels, double seconds) {
  return Encoded(AudioFileType::Mp2, rate, channels, seconds);
}

// The file with `junk` after its ID3v2 tag.
Bytes Inserted(const Bytes& file, std::size_t at, const Bytes& junk) {
  Bytes out = file;
  out.insert(out.begin() + static_cast<std::ptrdiff_t>(at), junk.begin(), junk.end());
  return out;
}
Bytes JunkInFront(const Bytes& file, const Bytes& junk) {
  return Inserted(file, TagEnd(file), junk);
}
Bytes Cut(const Bytes& file, std::size_t bytes) {
  return {file.begin(), file.end() - static_cast<std::ptrdiff_t>(bytes)};
}
std::size_t LastFrame(const Bytes& file) {
  return Frames(file).back().size;
}

// The Info/Xing frame of an encoded MP3 changed by `change` at the tag.
Bytes XingChanged(const Bytes& file, const std::function<void(Bytes&, std::size_t)>& change) {
  Bytes out = file;
  const auto info = std::search(out.begin(), out.end(), std::begin("Info"), std::end("Info") - 1);
  EXPECT_NE(info, out.end());
  change(out, static_cast<std::size_t>(info - out.begin()));
  return out;
}

void PutBigAt(Bytes& b, std::size_t at, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * (bytes - 1 - i)));
  }
}

// ---- the decoder's view -------------------------------------------------

struct Timing {
  int rate = 0;
  Milliseconds length = 0;
  std::int64_t frames = 0;
  friend bool operator==(const Timing&, const Timing&) = default;
};

std::ostream& operator<<(std::ostream& out, const Timing& t) {
  return out << t.rate << " Hz, " << t.length << " ms, " << t.frames << " frames";
}

Result<Timing> Decoded(const Bytes& bytes) {
  static testing::ScratchFolder folder("sound-probe-cases");
  const std::string path = folder.File("case");
  testing::WriteBytes(path, bytes);
  auto file = OpenAudioFile(path);
  if (!file) return Fail(file.error());
  Timing t{(*file)->Format().sampleRate, (*file)->LengthMs(), 0};
  std::vector<std::int16_t> block(4096);
  while (true) {
    const std::size_t n = (*file)->Pull(block);
    t.frames += static_cast<std::int64_t>(n / 2);
    if (n < block.size()) break;
  }
  return t;
}

Result<Timing> Probed(const Bytes& bytes) {
  MemoryFile file(bytes);
  auto timing = ProbeSoundTiming(file);
  if (!timing) return Fail(timing.error());
  return Timing{timing->sampleRate, timing->lengthMs, timing->frames};
}

// ---- parity -------------------------------------------------------------

struct ParityCase {
  std::string name;
  std::function<Bytes()> make;
  bool mp3 = false;  // needs the MP3 encoder
};

void PrintTo(const ParityCase& c, std::ostream* out) {
  *out << c.name;
}

class SoundProbeParity : public ::testing::TestWithParam<ParityCase> {};

TEST_P(SoundProbeParity, ReportsWhatTheDecoderDoes) {
  const ParityCase& c = GetParam();
  if (c.mp3 && !CanEncodeAudio(AudioFileType::Mp3)) GTEST_SKIP() << "no MP3 encoder";
  const Bytes bytes = c.make();
  const auto decoded = Decoded(bytes);
  ASSERT_TRUE(decoded) << "the decoder refuses it: " << decoded.error().description;
  const auto probed = Probed(bytes);
  ASSERT_TRUE(probed) << probed.error().description;
  EXPECT_EQ(*probed, *decoded);
}

std::vector<ParityCase> WavCases() {
  std::vector<ParityCase> cases;
  auto add = [&](std::string name, std::function<Bytes()> make) {
    cases.push_back({"wav_" + std::move(name), std::move(make)});
  };
  add("encoded_22050_mono", [] { return Encoded(AudioFileType::Wav, 22050, 1, 0.73); });
  add("encoded_48000_stereo", [] { return Encoded(AudioFileType::Wav, 48000, 2, 1.0); });
  for (std::uint32_t bits : {8U, 24U, 32U}) {
    add("int" + std::to_string(bits), [bits] { return Wav(WavFormat().Bits(bits), 1234); });
  }
  add("int12_in_16", [] { return Wav(WavFormat().Bits(12).BlockAlign(4), 3000); });
  add("int20_in_24", [] { return Wav(WavFormat().Channels(1).Bits(20).BlockAlign(3), 3000); });
  add("float32", [] { return Wav(WavFormat().Tag(3).Bits(32), 5000); });
  add("float64_32000",
      [] { return Wav(WavFormat().Tag(3).Channels(1).Rate(32000).Bits(64), 5000); });
  add("alaw_fact", [] {
    return Riff({Fmt(WavFormat().Tag(6).Channels(1).Rate(8000).Bits(8).Size(18)),
                 Chunk("fact", Le32(7777)), Chunk("data", Pcm(7777, 1))});
  });
  add("mulaw", [] { return Wav(WavFormat().Tag(7).Rate(11025).Bits(8).Size(18), 2222); });
  for (std::uint32_t ch : {3U, 6U, 8U}) {
    add(std::to_string(ch) + "_channels",
        [ch] { return Wav(WavFormat().Channels(ch).Rate(96000), 4321); });
  }
  add("extensible_5_1", [] {
    return Wav(WavFormat().Tag(0xFFFE).Channels(6).Rate(48000).Bits(24).Size(40).Extra(
                   Extensible(24, 0x3F, 1)),
               4000);
  });
  add("extensible_mono_left", [] {
    return Wav(WavFormat().Tag(0xFFFE).Channels(1).Size(40).Extra(Extensible(16, 1, 1)), 4000);
  });
  add("rate_192000", [] { return Wav(WavFormat().Rate(192000), 20000); });
  add("rate_8000", [] { return Wav(WavFormat().Channels(1).Rate(8000).Bits(8), 999); });
  add("format_of_14_bytes",
      [] { return Wav(WavFormat().Channels(1).Rate(11025).Bits(8).Size(14), 3333); });
  add("odd_data_then_list", [] {
    return Riff({Fmt({}), Chunk("data", Cat({Pcm(3000, 4), {1, 2, 3}})),
                 Chunk("LIST", Cat({Text("INFOISFT"), Le32(4), Text("abc"), {0}}))});
  });
  add("odd_data_size", [] { return Riff({Fmt({}), Chunk("data", Cat({Pcm(3001, 4), {1}}))}); });
  add("cut_in_a_frame", [] { return Cut(Wav({}, 5000), 7777 - 3); });
  add("data_beyond_the_file", [] { return WavClaiming(100000000, Pcm(5000, 4), {Fmt({})}); });
  add("data_beyond_the_file_fact", [] {
    return WavClaiming(100000000, Pcm(5000, 4), {Fmt({}), Chunk("fact", Le32(9000))});
  });
  add("data_size_0", [] { return WavClaiming(0, Pcm(5000, 4), {Fmt({})}); });
  add("data_size_ffffffff", [] { return WavClaiming(0xFFFFFFFF, Pcm(5000, 4), {Fmt({})}); });
  add("fact_ignored_for_pcm", [] {
    return Riff({Fmt({}), Chunk("fact", Le32(123456)), Chunk("data", Pcm(5000, 4))});
  });
  add("fact_when_cut", [] {
    return Cut(Riff({Fmt({}), Chunk("fact", Le32(123456)), Chunk("data", Pcm(5000, 4))}), 5000);
  });
  add("data_before_format", [] {
    return Riff({Chunk("data", Pcm(5000, 4)), Fmt(WavFormat().Rate(22050))});
  });
  add("block_align_3", [] { return Wav(WavFormat().BlockAlign(3), 5000); });
  add("block_align_5000", [] { return Wav(WavFormat().BlockAlign(5000), 5000); });
  add("block_align_0", [] { return Wav(WavFormat().BlockAlign(0), 5000); });
  add("broadcast_extension", [] {
    return Riff({Fmt({}), Chunk("bext", Bytes(610)), Chunk("data", Pcm(2000, 4))});
  });
  add("id3v2_in_front", [] { return Cat({Id3v2(3, 20), Wav({}, 3000)}); });
  add("id3v2_of_odd_size_in_front", [] { return Cat({Id3v2(3, 21), Wav({}, 3000)}); });
  add("two_data_chunks", [] {
    return Riff({Fmt({}), Chunk("data", Pcm(3000, 4)), Chunk("data", Pcm(1000, 4, 2))});
  });
  add("three_bytes_of_data", [] { return Riff({Fmt({}), Chunk("data", {1, 2, 3})}); });
  add("no_data", [] { return Riff({Fmt({}), Chunk("data", {})}); });

  // ADPCM: the decoder takes one block a call and drops a packet whose first
  // block header is out of range, but stops for good at a later one.
  for (const bool ima : {true, false}) {
    const std::string codec = ima ? "ima_" : "ms_";
    for (const std::uint32_t ch : {1U, 2U}) {
      for (const std::uint32_t align : {36U, 256U, 1024U, 2048U}) {
        add(codec + std::to_string(ch) + "ch_" + std::to_string(align), [ima, ch, align] {
          const Bytes blocks = AdpcmBlocks(ima, ch, align, 21);
          return Riff(
              {Fmt(Adpcm(ima, ch, align)), Chunk("data", Cat({blocks, Noise(align / 3, 2)}))});
        });
      }
      add(codec + std::to_string(ch) + "ch_fact", [ima, ch] {
        return Riff({Fmt(Adpcm(ima, ch, 512)), Chunk("fact", Le32(12345)),
                     Chunk("data", AdpcmBlocks(ima, ch, 512, 10))});
      });
      add(codec + std::to_string(ch) + "ch_fact_too_small", [ima, ch] {
        return Riff({Fmt(Adpcm(ima, ch, 512)), Chunk("fact", Le32(10)),
                     Chunk("data", AdpcmBlocks(ima, ch, 512, 10))});
      });
      add(codec + std::to_string(ch) + "ch_broken_blocks", [ima, ch] {
        return Riff(
            {Fmt(Adpcm(ima, ch, 512)), Chunk("data", AdpcmBlocks(ima, ch, 512, 30, {0, 7, 13}))});
      });
      add(codec + std::to_string(ch) + "ch_block_align_301", [ima, ch] {
        return Riff({Fmt(Adpcm(ima, ch, 301)), Chunk("data", AdpcmBlocks(ima, ch, 301, 20))});
      });
    }
  }
  return cases;
}

std::vector<ParityCase> MpegCases() {
  std::vector<ParityCase> cases;
  auto add = [&](std::string name, std::function<Bytes()> make, bool mp3 = false) {
    cases.push_back({"mpeg_" + std::move(name), std::move(make), mp3});
  };
  for (const auto& [rate, channels] : {std::pair{44100, 2},
                                       {48000, 1},
                                       {32000, 2},
                                       {22050, 1},
                                       {24000, 2},
                                       {16000, 1},
                                       {11025, 2},
                                       {12000, 1},
                                       {8000, 2}}) {
    add(
        "mp3_" + std::to_string(rate) + "_" + std::to_string(channels),
        [rate, channels] { return Mp3(rate, channels, 1.3); }, true);
  }
  for (const auto& [rate, channels] :
       {std::pair{44100, 1}, {48000, 2}, {32000, 1}, {22050, 2}, {24000, 1}, {16000, 2}}) {
    add("mp2_" + std::to_string(rate) + "_" + std::to_string(channels),
        [rate, channels] { return Mp2(rate, channels, 0.9); });
  }
  // A few frames: recognised by a weak score, taken as they hold only frames.
  add(
      "mp3_of_3_frames", [] { return Mp3(44100, 2, 0.03); }, true);
  add(
      "mp3_lsf_short", [] { return Mp3(16000, 1, 0.06); }, true);
  add("mp2_of_2_frames", [] { return Mp2(44100, 1, 0.05); });

  const auto mp3 = [] { return Mp3(44100, 2, 1.3); };
  const auto lsf = [] { return Mp3(22050, 1, 1.3); };
  const auto mp2 = [] { return Mp2(48000, 2, 0.9); };
  struct Source {
    const char* name;
    std::function<Bytes()> make;
    bool mp3;
  };
  for (const Source& s :
       {Source{"mp3", mp3, true}, Source{"lsf", lsf, true}, Source{"mp2", mp2, false}}) {
    const std::string n = s.name;
    const auto make = s.make;
    auto variant = [&](const char* what, std::function<Bytes(const Bytes&)> change) {
      add(
          n + "_" + what, [make, change] { return change(make()); }, s.mp3);
    };
    variant("id3v23", [](const Bytes& b) {
      return Cat({Id3v2(3, 2000), {b.begin() + static_cast<std::ptrdiff_t>(TagEnd(b)), b.end()}});
    });
    variant("id3v24_footer", [](const Bytes& b) {
      return Cat({Id3v2(4, 500, 0x10),
                  Text("3DI"),
                  Bytes(7),
                  {b.begin() + static_cast<std::ptrdiff_t>(TagEnd(b)), b.end()}});
    });
    variant("two_id3v2", [](const Bytes& b) { return Cat({Id3v2(3, 300), b}); });
    variant("id3v1", [](const Bytes& b) { return Cat({b, Id3v1()}); });
    variant("ape_with_header", [](const Bytes& b) { return Cat({b, Ape(true)}); });
    variant("ape_without_header", [](const Bytes& b) { return Cat({b, Ape(false)}); });
    variant("ape_and_id3v1", [](const Bytes& b) { return Cat({b, Ape(false), Id3v1()}); });
    variant("zeros_in_front", [](const Bytes& b) { return JunkInFront(b, Bytes(300)); });
    variant("junk_behind", [](const Bytes& b) { return Cat({b, Noise(77, 5)}); });
    variant("zeros_behind", [](const Bytes& b) { return Cat({b, Bytes(40)}); });
    struct Cutting {
      const char* name;
      std::size_t (*bytes)(std::size_t lastFrame);
    };
    for (const Cutting cut :
         {Cutting{"cut_1", [](std::size_t) -> std::size_t { return 1; }},
          Cutting{"cut_5", [](std::size_t) -> std::size_t { return 5; }},
          Cutting{"cut_to_its_header", [](std::size_t last) { return last - 4; }},
          Cutting{"cut_in_its_header", [](std::size_t last) { return last - 3; }},
          Cutting{"cut_in_half", [](std::size_t last) { return last / 2; }}}) {
      variant(cut.name, [cut](const Bytes& b) { return Cut(b, cut.bytes(LastFrame(b))); });
    }
    variant("cut_then_id3v1", [](const Bytes& b) {
      return Cat({Cut(b, LastFrame(b) / 2), Id3v1()});
    });
    variant("junk_between_frames", [](const Bytes& b) {
      const Span f = Frames(b)[Frames(b).size() / 2];
      return Inserted(b, f.at + f.size, Noise(50, 9));
    });
    variant("zeros_between_frames", [](const Bytes& b) {
      const Span f = Frames(b)[Frames(b).size() / 2];
      return Inserted(b, f.at + f.size, Bytes(33));
    });
  }
  for (const Source& s : {Source{"mp3", mp3, true}, Source{"lsf", lsf, true}}) {
    const std::string n = s.name;
    const auto make = s.make;
    auto variant = [&](const char* what, std::function<Bytes(const Bytes&)> change) {
      add(
          n + "_" + what, [make, change] { return change(make()); }, true);
    };
    variant("info_frame_removed", [](const Bytes& b) {
      const Span info = Frames(b).front();
      Bytes out(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(info.at));
      out.insert(out.end(), b.begin() + static_cast<std::ptrdiff_t>(info.at + info.size), b.end());
      return out;
    });
    variant("frame_count_doubled", [](const Bytes& b) {
      return XingChanged(b, [](Bytes& x, std::size_t at) {
        const std::uint32_t count = std::uint32_t{x[at + 8]} << 24U |
                                    std::uint32_t{x[at + 9]} << 16U |
                                    std::uint32_t{x[at + 10]} << 8U | x[at + 11];
        PutBigAt(x, at + 8, 2 * count, 4);
      });
    });
    variant("frame_count_huge", [](const Bytes& b) {
      return XingChanged(b, [](Bytes& x, std::size_t at) { PutBigAt(x, at + 8, 0xFFFFFFFF, 4); });
    });
    variant("xing_not_info", [](const Bytes& b) {
      return XingChanged(b, [](Bytes& x, std::size_t at) { std::memcpy(&x[at], "Xing", 4); });
    });
    variant("no_encoder_tag", [](const Bytes& b) {
      return XingChanged(b, [](Bytes& x, std::size_t at) { std::memcpy(&x[at + 120], "XXXX", 4); });
    });
    variant("other_delay_and_padding", [](const Bytes& b) {
      return XingChanged(b, [](Bytes& x, std::size_t at) { PutBigAt(x, at + 141, 0x123456, 3); });
    });
    variant("largest_delay_and_padding", [](const Bytes& b) {
      return XingChanged(b, [](Bytes& x, std::size_t at) { PutBigAt(x, at + 141, 0xFFFFFF, 3); });
    });
    variant("damaged_frame",
            [](const Bytes& b) { return Damaged(b, Frames(b)[Frames(b).size() / 2], false); });
    variant("damaged_block_type", [](const Bytes& b) { return Damaged(b, Frames(b)[5], true); });
    variant("damaged_first_frame", [](const Bytes& b) { return Damaged(b, Frames(b)[1], false); });
  }
  // Long enough (over 200 frames) to be recognised with junk in front.
  add(
      "mp3_junk_in_front", [] { return JunkInFront(Mp3(44100, 2, 6.0), Noise(300, 3)); }, true);
  add(
      "mp3_text_in_front",
      [] { return JunkInFront(Mp3(44100, 2, 6.0), Text("not a frame, just text")); }, true);

  // Made frame by frame.
  add("mp1", [] { return Frames(Header().Layer(1).BitRate(6), 120); });
  add("mp1_32000_mono", [] { return Frames(Header().Layer(1).BitRate(3).Rate(2).Mono(), 90); });
  add("mp1_mpeg2", [] { return Frames(Header().Version(2).Layer(1).BitRate(5), 100); });
  add("mp2_with_crc", [] { return Frames(Header().Layer(2).BitRate(8).Rate(1).Crc(), 80); });
  add("mp3_with_crc", [] { return Frames(Header().Crc(), 80); });
  add("mpeg25", [] { return Frames(Header().Version(0).BitRate(5).Rate(2), 120); });
  const Header vbrBase{};
  const Bytes vbr = VariableFrames(vbrBase, 150, 3);
  const auto vbrBytes = static_cast<std::uint32_t>(vbr.size());
  add("vbr_without_header", [vbr] { return vbr; });
  add("vbr_xing_lame", [vbr, vbrBytes] {
    return Cat({XingFrame({}, 150, vbrBytes, "Xing", "LAME3.99r", 576, 1000), vbr});
  });
  add("vbr_xing", [vbr, vbrBytes] { return Cat({XingFrame({}, 150, vbrBytes, "Xing"), vbr}); });
  add("vbr_xing_counts_fewer", [vbr, vbrBytes] {
    return Cat({XingFrame({}, 100, vbrBytes, "Xing", "LAME3.99r", 576, 300), vbr});
  });
  add("vbr_xing_counts_more", [vbr, vbrBytes] {
    return Cat({XingFrame({}, 400, vbrBytes, "Xing", "LAME3.99r", 576, 300), vbr});
  });
  add("vbr_vbri", [vbr, vbrBytes] { return Cat({VbriFrame({}, 150, vbrBytes), vbr}); });
  const Header lsfBase = Header().Version(2).Rate(1).Mono();
  const Bytes lsfVbr = VariableFrames(lsfBase, 300, 4);
  add("vbr_lsf_lavc_delay_over_a_frame", [lsfBase, lsfVbr] {
    return Cat({XingFrame(lsfBase, 300, static_cast<std::uint32_t>(lsfVbr.size()), "Xing", "Lavc58",
                          1105, 700),
                lsfVbr});
  });
  return cases;
}

std::vector<ParityCase> AllCases() {
  auto cases = WavCases();
  auto mpeg = MpegCases();
  cases.insert(cases.end(), mpeg.begin(), mpeg.end());
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Files, SoundProbeParity, ::testing::ValuesIn(AllCases()),
                         [](const auto& test) { return test.param.name; });

// ---- refusals -------------------------------------------------------------

// Files the decoder takes in ways the bytes alone do not settle (or does not
// take at all) are refused, saying why.
TEST(SoundProbe, RefusesWhatItCannotTimeExactly) {
  const bool lame = CanEncodeAudio(AudioFileType::Mp3);
  struct Case {
    const char* name;
    Bytes bytes;
    const char* reason;
  };
  std::vector<Case> cases = {
      {"empty", {}, "neither a WAV nor an MPEG audio file"},
      {"garbage", Noise(200000, 1), "neither a WAV nor an MPEG audio file"},
      {"rate 4000, resampled", Wav(WavFormat().Channels(1).Rate(4000), 4000), "resampled from 4000 Hz"},
      {"rate 200000, resampled", Wav(WavFormat().Rate(200000), 20000), "resampled from 200000 Hz"},
      {"rate 400000", Wav(WavFormat().Rate(400000), 20000), "more than any sound file"},
      {"rate 0", Wav(WavFormat().Rate(0), 100), "not positive"},
      {"no channels", Wav(WavFormat().Channels(0), 100), "0 channels"},
      {"9 channels", Wav(WavFormat().Channels(9), 100), "9 channels"},
      {"GSM", Wav(WavFormat().Tag(0x31).BlockAlign(65), 100), "codec 0x0031"},
      {"3-bit IMA ADPCM", Wav(WavFormat().Tag(0x11).Bits(3).BlockAlign(1024), 100), "4-bit"},
      {"ADPCM of 3 channels", Riff({Fmt(Adpcm(false, 3, 512)), Chunk("data", Pcm(10, 512))}),
       "more than 2 channels"},
      {"ADPCM without a sample count",
       WavClaiming(100000000, AdpcmBlocks(true, 2, 512, 10), {Fmt(Adpcm(true, 2, 512))}),
       "no sample count"},
      {"64-bit integers", Wav(WavFormat().Bits(64), 100), "64-bit samples"},
      {"24 bits in 32, read as floats",
       Wav(WavFormat().Tag(0xFFFE).Bits(32).Size(40).Extra(Extensible(24, 3, 1)), 100), "floats"},
      {"two back speakers", Wav(WavFormat().Tag(0xFFFE).Size(40).Extra(Extensible(16, 0x30, 1)), 100),
       "speaker layout 0x0030"},
      {"format chunk too short", Riff({Chunk("fmt ", Bytes(12)), Chunk("data", Pcm(10, 4))}),
       "too short"},
      {"no format chunk", Riff({Chunk("data", Pcm(10, 4))}), "no format chunk"},
      {"no data chunk", Riff({Fmt({})}), "no data chunk"},
      {"format's extra data cut off",
       [] {  // the format chunk ends the file 30 bytes short of its extra data
         const Bytes body = FmtBody(WavFormat().Size(18).Extra(Bytes(40)));
         return Cat({Riff({Chunk("data", Pcm(10, 4))}),
                     Text("fmt "),
                     Le32(58),
                     {body.begin(), body.begin() + 28}});
       }(),
       "cut off"},
      {"big-endian RIFX",
       [] {
         Bytes b = Wav({}, 100);
         b[3] = 'X';
         return b;
       }(),
       "little-endian"},
      {"video chunk", Riff({Fmt({}), Chunk("SMV0", Bytes(8)), Chunk("data", Pcm(10, 4))}), "video"},
      {"LIST too short", Riff({Fmt({}), Chunk("LIST", {1}), Chunk("data", Pcm(10, 4))}), "LIST"},
      {"bext cut off", Cat({Riff({Fmt({})}), Text("bext"), Le32(700), Bytes(100)}), "cut off"},
      {"compressed sound in PCM",
       Riff({Fmt({}), Chunk("data", Cat({Pcm(100, 4), {0x72, 0xF8, 0x1F, 0x4E}, Pcm(100, 4)}))}),
       "IEC 61937"},
      {"MPEG audio labelled PCM", Riff({Fmt({}), Chunk("data", Frames(Header().BitRate(9), 40))}),
       "look like MPEG audio"},
      {"free format",
       [] {
         Bytes b;
         for (int i = 0; i < 50; ++i) b = Cat({b, {0xFF, 0xFB, 0x00, 0x00}, Bytes(400)});
         return b;
       }(),
       "neither a WAV nor an MPEG audio file"},
      {"one frame", Frames({}, 1), "ends before two frames"},
      {"rate changes", Cat({Frames({}, 30), Frames(Header().Rate(1), 30)}), "change rate"},
      {"delay without frame count",
       Cat({XingFrame({}, 0, 100000, "Info", "LAME3.99r", 576, 1000), Frames({}, 40)}),
       "no frame count"},
      {"few frames behind junk", Cat({Noise(300, 7), Frames({}, 40)}), "more than frames"},
  };
  if (lame) {
    cases.push_back({"joined files, frame count not believed",
                     XingChanged(Mp3(44100, 2, 1.3),
                                 [](Bytes& x, std::size_t at) { PutBigAt(x, at + 12, 5000, 4); }),
                     "no frame count"});
  }
  for (const Case& c : cases) {
    const auto probed = Probed(c.bytes);
    ASSERT_FALSE(probed) << c.name << " timed as " << *probed;
    EXPECT_EQ(probed.error().code, ErrorCode::InvalidProcedureCall) << c.name;
    EXPECT_NE(probed.error().description.find(c.reason), std::string::npos)
        << c.name << ": " << probed.error().description;
  }
}

// Headers that claim gigabytes cost nothing; many tiny frames or a long
// tail of junk take one pass over the file; a read error is passed on.
TEST(SoundProbe, ReadsEachFileOnceWhateverItsHeadersClaim) {
  const Bytes tinyFrames = Frames(Header().Version(2).BitRate(1).Rate(1).Mono(), 200000);
  const Bytes junkTail = Cat({Frames({}, 40), Bytes(4 << 20, 0x55)});
  struct Case {
    const char* name;
    Bytes bytes;
    bool timed;
  };
  const std::vector<Case> cases = {
      {"data chunk of 4 GB", WavClaiming(0xFFFFFFF0, Pcm(100, 4), {Fmt({})}), true},
      {"cue chunk of a billion cues",
       Riff({Fmt({}), Cat({Text("cue "), Le32(0xFFFFFFF0), Le32(178956969)}),
             Chunk("data", Pcm(10, 4))}),
       false},
      {"ID3v2 tag of 256 MB", Cat({Id3v2Header(3, 0x0FFFFFFF), Frames({}, 40)}), false},
      {"frame count of 4 billion", Cat({XingFrame({}, 0xFFFFFFFF, 0, "Xing"), Frames({}, 40)}),
       true},
      {"200000 frames of 24 bytes", tinyFrames, true},
      {"4 MB of junk after the frames", junkTail, true},
  };
  for (const Case& c : cases) {
    MemoryFile file(c.bytes);
    Result<SoundTiming> timing;
    const long growth = testing::PeakGrowthMiB([&] { timing = ProbeSoundTiming(file); });
    EXPECT_EQ(static_cast<bool>(timing), c.timed)
        << c.name << ": " << (timing ? "timed" : timing.error().description);
    if (timing) {
      EXPECT_LE(timing->lengthMs, limits::kMaxMediaMs) << c.name;
    }
    EXPECT_LE(file.BytesRead(), 2 * c.bytes.size() + (std::size_t{2} << 20)) << c.name;
    if (growth >= 0) {
      EXPECT_LT(growth, 16) << c.name << " held " << growth << " MiB";
    }
  }

  const Bytes wav = Wav({}, 1000);
  MemoryFile failing(wav, true);
  const auto failed = ProbeSoundTiming(failing);
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error().code, ErrorCode::DeviceIoError);
}

}  // namespace
}  // namespace vistel
