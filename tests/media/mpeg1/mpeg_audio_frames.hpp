// MPEG audio layer I and II frames built bit by bit from the standard's
// syntax, with random but valid content: what FFmpeg's encoder cannot make
// (layer I, joint stereo, dual channel, checksums, free format).
#pragma once

#include <cstdint>
#include <random>
#include <span>
#include <vector>

#include "media/mpeg1/audio_tables.hpp"
#include "media/probe/mpeg_audio.hpp"

namespace vistel::testing {

// Bits of a frame, most significant first (the video streams have their own
// writer).
class AudioBitWriter {
 public:
  void Put(std::uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
      if (used_ % 8 == 0) bytes_.push_back(0);
      if (((value >> i) & 1U) != 0)
        bytes_.back() |= static_cast<std::uint8_t>(0x80U >> (used_ % 8));
      ++used_;
    }
  }
  std::size_t Bits() const { return used_; }
  std::vector<std::uint8_t>& Bytes() { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t used_ = 0;
};

// CRC-16 with the generator x^16 + x^15 + x^2 + 1 from all ones, over bits
// [from, to) of `bytes`, continuing `crc`.
inline std::uint16_t Crc16(std::span<const std::uint8_t> bytes, std::size_t from, std::size_t to,
                           std::uint16_t crc = 0xFFFF) {
  for (std::size_t i = from; i < to; ++i) {
    const unsigned bit = (static_cast<unsigned>(bytes[i / 8]) >> (7 - i % 8)) & 1U;
    const bool feedback = (((crc >> 15) & 1U) ^ bit) != 0;
    crc = static_cast<std::uint16_t>(crc << 1);
    if (feedback) crc ^= 0x8005;
  }
  return crc;
}

struct FrameLayout {
  int layer = 2;
  int version = 3;    // 3: MPEG-1; 2: MPEG-2's lower rates; 0: MPEG-2.5
  int rateIndex = 0;  // 44.1, 48, 32 kHz (halved, quartered)
  int bitRateIndex = 0;
  int mode = 0;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
  int modeExtension = 0;
  bool crc = false;
  bool padding = false;
};

inline std::uint32_t HeaderWord(const FrameLayout& s) {
  return 0xFFE00000U | (static_cast<std::uint32_t>(s.version) << 19) |
         (static_cast<std::uint32_t>(4 - s.layer) << 17) | (s.crc ? 0U : 1U) << 16 |
         (static_cast<std::uint32_t>(s.bitRateIndex) << 12) |
         (static_cast<std::uint32_t>(s.rateIndex) << 10) | (s.padding ? 1U : 0U) << 9 |
         (static_cast<std::uint32_t>(s.mode) << 6) |
         (static_cast<std::uint32_t>(s.modeExtension) << 4);
}

// One frame of random content that fits its bit rate. Scale factors keep
// the sum of the subbands mostly below full scale.
inline std::vector<std::uint8_t> RandomFrame(const FrameLayout& layout, std::mt19937& rng) {
  const auto header = probe::DecodeMpegHeader(HeaderWord(layout));
  if (!header || header->frameBytes == 0) return {};
  const int channels = header->channels;
  const std::size_t budget = static_cast<std::size_t>(header->frameBytes) * 8;
  auto random = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(rng);
  };

  const bool layer1 = layout.layer == 1;
  const mpeg1::AllocationTable* table = nullptr;
  int subbands = 32;
  if (!layer1) {
    const int perChannel = header->bitRateKbps / channels;
    table = &mpeg1::Layer2AllocationTable(header->lsf, header->sampleRate, perChannel);
    subbands = table->subbands;
  }
  const int bound = layout.mode == 1 ? std::min(4 * (layout.modeExtension + 1), subbands) : subbands;
  int codes[2][32] = {};
  int selection[2][32] = {};
  int scale[2][32][3] = {};
  auto levelsOf = [&](int sb, int code) {
    if (code == 0) return 0;
    return layer1 ? (1 << (code + 1)) - 1
                  : static_cast<int>(table->rows[static_cast<std::size_t>(sb)]
                                         ->levels[static_cast<std::size_t>(code)]);
  };
  auto codeBits = [&](int sb) {
    return layer1 ? 4 : table->rows[static_cast<std::size_t>(sb)]->codeBits;
  };
  // Lower subbands are coded more often, as an encoder's would be.
  for (int sb = 0; sb < subbands; ++sb) {
    const int top = layer1 ? 14 : (1 << codeBits(sb)) - 1;
    for (int ch = 0; ch < (sb < bound ? channels : 1); ++ch) {
      codes[ch][sb] = random(0, subbands) > sb ? random(1, top) : 0;
    }
    if (sb >= bound) codes[1][sb] = codes[0][sb];
    for (int ch = 0; ch < channels; ++ch) {
      selection[ch][sb] = layer1 ? 0 : random(0, 3);
      for (int& s : scale[ch][sb]) s = random(14, 60);
    }
  }
  auto cost = [&]() {
    std::size_t bits = 32 + (layout.crc ? 16 : 0);
    for (int sb = 0; sb < subbands; ++sb) {
      bits += static_cast<std::size_t>(codeBits(sb) * (sb < bound ? channels : 1));
      for (int ch = 0; ch < channels; ++ch) {
        if (codes[ch][sb] == 0) continue;
        bits += layer1 ? 6 : 2 + 6 * (selection[ch][sb] == 2 ? 1 : selection[ch][sb] == 0 ? 3 : 2);
      }
      for (int ch = 0; ch < (sb < bound ? channels : 1); ++ch) {
        const int levels = levelsOf(sb, codes[ch][sb]);
        if (levels == 0) continue;
        const auto q = mpeg1::ClassOfLevels(levels);
        bits += layer1 ? static_cast<std::size_t>(12 * (codes[ch][sb] + 1))
                       : static_cast<std::size_t>(12 * (q.grouped ? q.bits : 3 * q.bits));
      }
    }
    return bits;
  };
  while (cost() > budget) {
    const int sb = random(0, subbands - 1);
    for (int ch = 0; ch < 2; ++ch) codes[ch][sb] = std::max(0, codes[ch][sb] - 1);
  }

  AudioBitWriter w;
  w.Put(HeaderWord(layout), 32);
  if (layout.crc) w.Put(0, 16);
  for (int sb = 0; sb < subbands; ++sb) {
    for (int ch = 0; ch < (sb < bound ? channels : 1); ++ch) {
      w.Put(static_cast<std::uint32_t>(codes[ch][sb]), codeBits(sb));
    }
  }
  if (!layer1) {
    for (int sb = 0; sb < subbands; ++sb) {
      for (int ch = 0; ch < channels; ++ch) {
        if (codes[ch][sb] != 0) w.Put(static_cast<std::uint32_t>(selection[ch][sb]), 2);
      }
    }
  }
  const std::size_t protectedEnd = w.Bits();
  for (int sb = 0; sb < subbands; ++sb) {
    for (int ch = 0; ch < channels; ++ch) {
      if (codes[ch][sb] == 0) continue;
      const int count = layer1 ? 1 : selection[ch][sb] == 2 ? 1 : selection[ch][sb] == 0 ? 3 : 2;
      for (int i = 0; i < count; ++i) w.Put(static_cast<std::uint32_t>(scale[ch][sb][i]), 6);
    }
  }
  for (int round = 0; round < 12; ++round) {
    for (int sb = 0; sb < subbands; ++sb) {
      for (int ch = 0; ch < (sb < bound ? channels : 1); ++ch) {
        const int levels = levelsOf(sb, codes[ch][sb]);
        if (levels == 0) continue;
        if (layer1) {
          w.Put(static_cast<std::uint32_t>(random(0, levels - 1)), codes[ch][sb] + 1);
          continue;
        }
        const auto q = mpeg1::ClassOfLevels(levels);
        if (q.grouped) {
          w.Put(static_cast<std::uint32_t>(random(0, levels * levels * levels - 1)), q.bits);
        } else {
          for (int i = 0; i < 3; ++i)
            w.Put(static_cast<std::uint32_t>(random(0, levels - 1)), q.bits);
        }
      }
    }
  }
  std::vector<std::uint8_t>& bytes = w.Bytes();
  bytes.resize(static_cast<std::size_t>(header->frameBytes), 0);
  if (layout.crc) {
    std::uint16_t crc = Crc16(bytes, 16, 32);
    crc = Crc16(bytes, 48, protectedEnd, crc);
    bytes[4] = static_cast<std::uint8_t>(crc >> 8);
    bytes[5] = static_cast<std::uint8_t>(crc & 0xFF);
  }
  return bytes;
}

// `count` frames of one layout, the padding bit set at random (for rates
// where frames differ in length), as one stream.
inline std::vector<std::uint8_t> RandomStream(FrameLayout layout, int count, std::mt19937& rng,
                                              bool varyModeExtension = false) {
  std::vector<std::uint8_t> out;
  for (int i = 0; i < count; ++i) {
    layout.padding = layout.rateIndex == 0 && (rng() & 1U) != 0;
    if (varyModeExtension) layout.modeExtension = i % 4;
    const auto frame = RandomFrame(layout, rng);
    out.insert(out.end(), frame.begin(), frame.end());
  }
  return out;
}

}  // namespace vistel::testing
