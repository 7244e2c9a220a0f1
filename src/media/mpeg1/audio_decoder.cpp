// Layers I and II code the same thing at two levels of thrift: 32 subbands,
// each with a bit allocation (how finely its samples are quantised) and
// scale factors, then the quantised samples; the polyphase filterbank turns
// each block of 32 subband samples back into 32 output samples. A frame is
// read whole (and refused whole) before any of it reaches the filterbank.
#include "media/mpeg1/audio_decoder.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "media/mpeg1/audio_tables.hpp"
#include "media/probe/mpeg_audio.hpp"

namespace vistel::mpeg1 {
namespace {

constexpr int kSubbands = 32;
// Blocks of 32 subband samples in a frame, per channel.
constexpr int kLayer1Blocks = 12;
constexpr int kLayer2Blocks = 36;
constexpr int kModeJointStereo = 1;
constexpr int kCrcBits = 16;
constexpr int kHeaderBits = 32;

Error Refused(const std::string& why) {
  return Error(ErrorCode::InvalidProcedureCall, "Cannot decode the MPEG audio frame: " + why);
}

std::uint32_t Big32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24U) | (std::uint32_t{p[1]} << 16U) | (std::uint32_t{p[2]} << 8U) |
         std::uint32_t{p[3]};
}

// Reads bits from the front of a frame; past its end it reads zeros.
class BitReader {
 public:
  explicit BitReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  // 1 to 16 bits.
  std::uint32_t Get(int count) {
    const std::size_t byte = position_ >> 3U;
    std::uint32_t word = 0;
    if (byte + 3 <= bytes_.size()) {
      word = (std::uint32_t{bytes_[byte]} << 16U) | (std::uint32_t{bytes_[byte + 1]} << 8U) |
             std::uint32_t{bytes_[byte + 2]};
    } else {
      for (std::size_t i = 0; i < 3; ++i) {
        word = (word << 8U) | (byte + i < bytes_.size() ? std::uint32_t{bytes_[byte + i]} : 0U);
      }
    }
    word = (word << (position_ & 7U)) & 0xFFFFFFU;
    position_ += static_cast<std::size_t>(count);
    return word >> static_cast<unsigned>(24 - count);
  }

  std::size_t Position() const { return position_; }
  void Seek(std::size_t bit) { position_ = bit; }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

// The frame's checksum: CRC-16 with the generator x^16 + x^15 + x^2 + 1,
// from all ones, over the header's last 16 bits and the bits from the end
// of the checksum word to `end` (the allocation, and layer II's scale
// factor selection).
bool CrcMatches(std::span<const std::uint8_t> frame, std::size_t end) {
  BitReader bits(frame);
  std::uint32_t crc = 0xFFFF;
  auto feed = [&](std::size_t from, std::size_t to) {
    bits.Seek(from);
    for (std::size_t i = from; i < to; ++i) {
      const std::uint32_t bit = bits.Get(1);
      const std::uint32_t feedback = ((crc >> 15U) ^ bit) & 1U;
      crc = (crc << 1U) & 0xFFFFU;
      if (feedback != 0) crc ^= 0x8005U;
    }
  };
  feed(16, kHeaderBits);
  feed(kHeaderBits + kCrcBits, end);
  bits.Seek(kHeaderBits);
  return bits.Get(kCrcBits) == crc;
}

// Subband samples of a frame, per channel and block.
using FrameSamples = std::array<std::array<std::array<float, kSubbands>, kLayer2Blocks>, 2>;

// Quantised sample `code` of `levels` levels is worth (2 code - levels + 1)
// / levels of its scale factor (what the standard writes as C (s + D), with
// s the code's bits, first one inverted, as a fraction). This is the
// numerator; the steps below hold the rest.
inline float Dequantised(std::uint32_t code, int levels) {
  return static_cast<float>(2 * static_cast<int>(code) - levels + 1);
}

struct Layout {
  int channels = 0;
  int bound = 0;  // subbands from here on share one set of samples (intensity stereo)
  bool crc = false;
};

Status DecodeLayer1(BitReader& bits, std::span<const std::uint8_t> frame, const Layout& layout,
                    bool checkCrc, FrameSamples& out) {
  std::array<std::array<int, kSubbands>, 2> allocation{};
  for (int sb = 0; sb < kSubbands; ++sb) {
    const auto s = static_cast<std::size_t>(sb);
    if (sb < layout.bound) {
      for (int ch = 0; ch < layout.channels; ++ch) {
        allocation[static_cast<std::size_t>(ch)][s] = static_cast<int>(bits.Get(4));
      }
    } else {
      allocation[0][s] = allocation[1][s] = static_cast<int>(bits.Get(4));
    }
    if (allocation[0][s] == 15 || allocation[1][s] == 15) {
      return Fail(Refused("a layer I subband has the forbidden allocation 15"));
    }
  }
  if (layout.crc && checkCrc && !CrcMatches(frame, bits.Position())) {
    return Fail(Refused("its checksum does not match"));
  }
  // Per channel and subband: what one step of the code is worth.
  std::array<std::array<float, kSubbands>, 2> step{};
  for (int sb = 0; sb < kSubbands; ++sb) {
    for (int ch = 0; ch < layout.channels; ++ch) {
      const int a = allocation[static_cast<std::size_t>(ch)][static_cast<std::size_t>(sb)];
      if (a == 0) continue;
      const int levels = (1 << (a + 1)) - 1;
      step[static_cast<std::size_t>(ch)][static_cast<std::size_t>(sb)] =
          ScaleFactor(static_cast<int>(bits.Get(6))) / static_cast<float>(levels);
    }
  }
  for (int block = 0; block < kLayer1Blocks; ++block) {
    const auto b = static_cast<std::size_t>(block);
    for (int sb = 0; sb < kSubbands; ++sb) {
      const auto s = static_cast<std::size_t>(sb);
      const int shared = sb < layout.bound ? layout.channels : 1;
      for (int ch = 0; ch < shared; ++ch) {
        const auto c = static_cast<std::size_t>(ch);
        const int a = allocation[c][s];
        if (a == 0) continue;
        const float value = Dequantised(bits.Get(a + 1), (1 << (a + 1)) - 1);
        if (sb < layout.bound) {
          out[c][b][s] = value * step[c][s];
        } else {
          for (std::size_t o = 0; o < static_cast<std::size_t>(layout.channels); ++o) {
            out[o][b][s] = value * step[o][s];
          }
        }
      }
    }
  }
  return {};
}

Status DecodeLayer2(BitReader& bits, std::span<const std::uint8_t> frame, const Layout& layout,
                    const AllocationTable& table, bool checkCrc, FrameSamples& out) {
  const int subbands = table.subbands;
  const int bound = std::min(layout.bound, subbands);
  std::array<std::array<QuantClass, kSubbands>, 2> classes{};
  for (int sb = 0; sb < subbands; ++sb) {
    const auto s = static_cast<std::size_t>(sb);
    const AllocationRow& row = *table.rows[s];
    if (sb < bound) {
      for (int ch = 0; ch < layout.channels; ++ch) {
        classes[static_cast<std::size_t>(ch)][s] =
            ClassOfLevels(row.levels[bits.Get(row.codeBits)]);
      }
    } else {
      classes[0][s] = classes[1][s] = ClassOfLevels(row.levels[bits.Get(row.codeBits)]);
    }
  }
  std::array<std::array<std::uint32_t, kSubbands>, 2> selection{};
  for (int sb = 0; sb < subbands; ++sb) {
    for (int ch = 0; ch < layout.channels; ++ch) {
      const auto c = static_cast<std::size_t>(ch);
      const auto s = static_cast<std::size_t>(sb);
      if (classes[c][s].levels != 0) selection[c][s] = bits.Get(2);
    }
  }
  if (layout.crc && checkCrc && !CrcMatches(frame, bits.Position())) {
    return Fail(Refused("its checksum does not match"));
  }
  // Per channel, subband and third of the frame: what one step of the code
  // is worth. The selection says which thirds share a scale factor.
  std::array<std::array<std::array<float, 3>, kSubbands>, 2> step{};
  for (int sb = 0; sb < subbands; ++sb) {
    for (int ch = 0; ch < layout.channels; ++ch) {
      const auto c = static_cast<std::size_t>(ch);
      const auto s = static_cast<std::size_t>(sb);
      const int levels = classes[c][s].levels;
      if (levels == 0) continue;
      std::array<int, 3> index{};
      switch (selection[c][s]) {
        case 0:
          for (int& i : index) i = static_cast<int>(bits.Get(6));
          break;
        case 1:
          index[0] = index[1] = static_cast<int>(bits.Get(6));
          index[2] = static_cast<int>(bits.Get(6));
          break;
        case 2:
          index[0] = index[1] = index[2] = static_cast<int>(bits.Get(6));
          break;
        default:
          index[0] = static_cast<int>(bits.Get(6));
          index[1] = index[2] = static_cast<int>(bits.Get(6));
          break;
      }
      for (std::size_t part = 0; part < 3; ++part) {
        step[c][s][part] = ScaleFactor(index[part]) / static_cast<float>(levels);
      }
    }
  }
  for (int granule = 0; granule < 12; ++granule) {
    const auto part = static_cast<std::size_t>(granule / 4);
    const auto first = static_cast<std::size_t>(granule * 3);
    for (int sb = 0; sb < subbands; ++sb) {
      const auto s = static_cast<std::size_t>(sb);
      const int coded = sb < bound ? layout.channels : 1;
      for (int ch = 0; ch < coded; ++ch) {
        const auto c = static_cast<std::size_t>(ch);
        const QuantClass& q = classes[c][s];
        if (q.levels == 0) continue;
        std::array<std::uint32_t, 3> code{};
        if (q.grouped) {
          // Three samples in one codeword, the first in its lowest digit.
          // A codeword beyond levels^3 - 1 (damage) leaves the last digit
          // out of range, as other decoders take it.
          const auto levels = static_cast<std::uint32_t>(q.levels);
          std::uint32_t word = bits.Get(q.bits);
          code[0] = word % levels;
          word /= levels;
          code[1] = word % levels;
          code[2] = word / levels;
        } else {
          for (std::uint32_t& v : code) v = bits.Get(q.bits);
        }
        const std::size_t from = sb < bound ? c : 0;
        const std::size_t to = sb < bound ? c + 1 : static_cast<std::size_t>(layout.channels);
        for (std::size_t i = 0; i < 3; ++i) {
          const float value = Dequantised(code[i], q.levels);
          for (std::size_t o = from; o < to; ++o) out[o][first + i][s] = value * step[o][s][part];
        }
      }
    }
  }
  return {};
}

inline std::int16_t ToSample(float x) {
  const float scaled = x * 32768.0F;
  if (scaled >= 32767.0F) return 32767;
  if (scaled <= -32768.0F) return -32768;
  return static_cast<std::int16_t>(scaled + (scaled >= 0.0F ? 0.5F : -0.5F));
}

// FFmpeg's resampler spreads a centre channel on left and right at
// 1/sqrt(2), in 16-bit fixed point: 23170 / 32768, rounded, then floored.
inline std::int16_t Centred(std::int16_t sample) {
  return static_cast<std::int16_t>((static_cast<std::int32_t>(sample) * 23170 + 16384) >> 15);
}

}  // namespace

MpegAudioDecoder::MpegAudioDecoder(MpegAudioOptions options) : options_(options) {}

void MpegAudioDecoder::Reset() {
  for (SynthesisFilterbank& f : filters_) f.Reset();
}

Result<MpegAudioFrameInfo> MpegAudioDecoder::Decode(std::span<const std::uint8_t> frame,
                                                    std::span<std::int16_t> out) {
  if (out.size() < kMaxFrameSamples) {
    return Fail(Refused("the buffer for its samples is too small"));
  }
  if (frame.size() < 4) return Fail(Refused("it is shorter than a header"));
  const auto header = probe::DecodeMpegHeader(Big32(frame.data()));
  if (!header) return Fail(Refused("it does not start with a frame header"));
  if (header->layer == 3) {
    return Fail(Refused("it is layer III, which this decoder does not play"));
  }
  std::size_t length = frame.size();
  int kbps = header->bitRateKbps;
  if (header->frameBytes != 0) {
    length = static_cast<std::size_t>(header->frameBytes);
    if (frame.size() < length) {
      return Fail(Refused("it is cut short (" + std::to_string(frame.size()) + " of its " +
                          std::to_string(length) + " bytes)"));
    }
  }
  const std::span<const std::uint8_t> bytes = frame.first(length);

  Layout layout;
  layout.channels = header->channels;
  layout.bound = header->mode == kModeJointStereo ? 4 * (header->modeExtension + 1) : kSubbands;
  layout.crc = header->crc;
  BitReader bits(bytes);
  bits.Seek(kHeaderBits + (header->crc ? kCrcBits : 0));

  FrameSamples samples{};
  int blocks = kLayer1Blocks;
  if (header->layer == 1) {
    if (auto s = DecodeLayer1(bits, bytes, layout, options_.checkCrc, samples); !s) {
      return Fail(s.error());
    }
  } else {
    blocks = kLayer2Blocks;
    const int perChannel = kbps / header->channels;
    const AllocationTable& table =
        Layer2AllocationTable(header->lsf, header->sampleRate, perChannel);
    if (auto s = DecodeLayer2(bits, bytes, layout, table, options_.checkCrc, samples); !s) {
      return Fail(s.error());
    }
  }

  MpegAudioFrameInfo info;
  info.layer = header->layer;
  info.sampleRate = header->sampleRate;
  info.channels = header->channels;
  info.outputChannels = header->channels == 1 && options_.mono == MonoOutput::Mono ? 1 : 2;
  info.samples = blocks * kSubbands;
  const auto stride = static_cast<std::size_t>(info.outputChannels);
  std::array<float, kSubbands> pcm{};
  for (int ch = 0; ch < header->channels; ++ch) {
    const auto c = static_cast<std::size_t>(ch);
    for (int block = 0; block < blocks; ++block) {
      filters_[c].Run(samples[c][static_cast<std::size_t>(block)], pcm);
      std::int16_t* to = out.data() + static_cast<std::size_t>(block * kSubbands) * stride + c;
      if (header->channels == 2 || options_.mono == MonoOutput::Mono) {
        for (std::size_t j = 0; j < kSubbands; ++j) to[j * stride] = ToSample(pcm[j]);
      } else {
        const bool centred = options_.mono == MonoOutput::Centred;
        for (std::size_t j = 0; j < kSubbands; ++j) {
          std::int16_t v = ToSample(pcm[j]);
          if (centred) v = Centred(v);
          to[2 * j] = to[2 * j + 1] = v;
        }
      }
    }
  }
  return info;
}

// ---- Splitting a stream into frames ----------------------------------------

namespace {

// What a header found afresh and the one behind it must share: all but the
// bit rate, padding, private bit, checksum flag and mode extension.
constexpr std::uint32_t kNextHeaderMask = 0xFFFE0CCFU;
// ... and in free format, the bit rate index (0) too.
constexpr std::uint32_t kFreeFormatHeaderMask = kNextHeaderMask | 0xF000U;

}  // namespace

void MpegAudioFrameSplitter::Push(std::span<const std::uint8_t> bytes) {
  if (at_ > 0) {
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(at_));
    at_ = 0;
  }
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

void MpegAudioFrameSplitter::Finish() {
  finished_ = true;
}

void MpegAudioFrameSplitter::Reset() {
  buffer_.clear();
  at_ = 0;
  stream_.reset();
  freeFrameBytes_ = 0;
  freeStream_ = 0;
  finished_ = false;
}

MpegAudioFrameSplitter::Verdict MpegAudioFrameSplitter::Judge(std::size_t at) const {
  const std::uint32_t header = Big32(buffer_.data() + at);
  const auto h = probe::DecodeMpegHeader(header);
  if (!h) return {Verdict::NotFrame};
  const std::size_t size = buffer_.size();
  const std::size_t available = size - at;
  const std::uint32_t fixed = header & probe::kSameStreamMask;
  const bool inStep = stream_ && *stream_ == fixed;
  std::size_t length = static_cast<std::size_t>(h->frameBytes);
  if (length == 0) {
    const std::size_t padding = !h->padding ? 0 : h->layer == 1 ? 4 : 1;
    if (inStep && freeFrameBytes_ != 0 && freeStream_ == fixed) {
      length = freeFrameBytes_ + padding;
    } else {
      // The next free-format header of the stream ends this frame, and the
      // frame after it must be as long (but for padding): looked for once,
      // with all the bytes it may need.
      if (!finished_ && available < 2 * kMaxFrameBytes + 8) return {Verdict::NeedMore};
      const std::uint32_t want = header & kFreeFormatHeaderMask;
      auto matches = [&](std::size_t offset) {
        if (available < offset + 4) return false;
        const std::uint32_t word = Big32(buffer_.data() + at + offset);
        return (word & kFreeFormatHeaderMask) == want && probe::DecodeMpegHeader(word);
      };
      for (std::size_t d = padding + 5; d <= kMaxFrameBytes; ++d) {
        if (!matches(d)) continue;
        const std::size_t unpadded = d - padding;
        const auto second = probe::DecodeMpegHeader(Big32(buffer_.data() + at + d));
        const std::size_t secondPadding = !second->padding ? 0 : second->layer == 1 ? 4 : 1;
        const std::size_t third = d + unpadded + secondPadding;
        // At the stream's end, a last frame with nothing behind it will do.
        if (matches(third) || (finished_ && available <= third)) {
          return {Verdict::Frame, d, unpadded};
        }
      }
      return {Verdict::NotFrame};
    }
  }
  if (length > kMaxFrameBytes) return {Verdict::NotFrame};
  if (available < length + 4) {
    if (!finished_) return {Verdict::NeedMore};
    // The stream's end: a frame that fills it is the last one.
    if (available == length || (available > length && inStep)) return {Verdict::Frame, length};
    return {inStep ? Verdict::DropRest : Verdict::NotFrame};
  }
  const std::uint32_t next = Big32(buffer_.data() + at + length);
  const std::uint32_t mask = inStep ? probe::kSameStreamMask : kNextHeaderMask;
  if ((next & mask) == (header & mask) && probe::DecodeMpegHeader(next)) {
    return {Verdict::Frame, length};
  }
  if (!inStep) return {Verdict::NotFrame};
  // In step, with damage behind: the frame stands unless another frame of
  // the stream starts inside it (then it was cut short).
  for (std::size_t q = at + 1; q + 4 <= at + length; ++q) {
    const std::uint32_t word = Big32(buffer_.data() + q);
    if ((word & probe::kSameStreamMask) == fixed && probe::DecodeMpegHeader(word)) {
      return {Verdict::NotFrame};
    }
  }
  return {Verdict::Frame, length};
}

std::optional<std::span<const std::uint8_t>> MpegAudioFrameSplitter::Next() {
  while (buffer_.size() - at_ >= 4) {
    const Verdict verdict = Judge(at_);
    switch (verdict.kind) {
      case Verdict::NeedMore:
        return std::nullopt;
      case Verdict::DropRest:
        skipped_ += buffer_.size() - at_;
        at_ = buffer_.size();
        return std::nullopt;
      case Verdict::NotFrame:
        // Out of step, and one byte further.
        stream_.reset();
        ++at_;
        ++skipped_;
        continue;
      case Verdict::Frame:
        break;
    }
    const std::uint32_t fixed = Big32(buffer_.data() + at_) & probe::kSameStreamMask;
    stream_ = fixed;
    if (verdict.freeFrameBytes != 0) {
      freeFrameBytes_ = verdict.freeFrameBytes;
      freeStream_ = fixed;
    }
    const std::span<const std::uint8_t> frame(buffer_.data() + at_, verdict.length);
    at_ += verdict.length;
    return frame;
  }
  if (finished_) {
    skipped_ += buffer_.size() - at_;
    at_ = buffer_.size();
  }
  return std::nullopt;
}

}  // namespace vistel::mpeg1
