// The MPEG audio decoder's own checks, on every platform: the filterbank
// against the standard's direct form, the frame splitter on damaged
// streams, refusals, checksums and free format. Agreement with FFmpeg on
// real streams is in ../mpeg_audio_parity_test.cpp (Linux).
#include "media/mpeg1/audio_decoder.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "media/mpeg1/audio_synthesis.hpp"
#include "media/mpeg1/audio_tables.hpp"
#include "media/mpeg1/mpeg_audio_frames.hpp"

namespace vistel {
namespace {

using mpeg1::MpegAudioDecoder;
using mpeg1::MpegAudioFrameSplitter;
using testing::FrameLayout;
using testing::RandomFrame;
using testing::RandomStream;

// A typo in the typed-in window shows as a broken mirror or as a value off
// the standard's grid of 2^-16.
TEST(MpegAudioSynthesisWindow, IsTheStandardsMirroredGrid) {
  const auto& d = mpeg1::kSynthesisWindow;
  for (std::size_t i = 1; i < 256; ++i) {
    const float mirrored = i % 64 == 0 ? d[512 - i] : -d[512 - i];
    EXPECT_EQ(d[i], mirrored) << "D[" << i << "]";
  }
  for (std::size_t i = 0; i < 512; ++i) {
    const double steps = static_cast<double>(d[i]) * 65536.0;
    EXPECT_NEAR(steps, std::round(steps), 0.0005) << "D[" << i << "]";
  }
  EXPECT_FLOAT_EQ(d[256], 75038.0F / 65536.0F);  // the peak the standard prints
}

// The standard's filterbank written out as it states it, in double.
class DirectSynthesis {
 public:
  void Run(const float* s, double* out) {
    for (int i = 1023; i >= 64; --i) v_[i] = v_[i - 64];
    for (int i = 0; i < 64; ++i) {
      double sum = 0;
      for (int k = 0; k < 32; ++k) {
        sum += std::cos((16 + i) * (2 * k + 1) * std::numbers::pi / 64) * s[k];
      }
      v_[i] = sum;
    }
    double u[512];
    for (int i = 0; i < 8; ++i) {
      for (int j = 0; j < 32; ++j) {
        u[i * 64 + j] = v_[i * 128 + j];
        u[i * 64 + 32 + j] = v_[i * 128 + 96 + j];
      }
    }
    for (int j = 0; j < 32; ++j) {
      double sum = 0;
      for (int i = 0; i < 16; ++i) {
        sum += u[j + 32 * i] * mpeg1::kSynthesisWindow[static_cast<std::size_t>(j + 32 * i)];
      }
      out[j] = sum;
    }
  }

 private:
  double v_[1024] = {};
};

// The fast matrixing must be the standard's, within float rounding: a few
// hundredths of one step of the 16-bit output at signals beyond full scale
// (at most one step off after rounding, and that rarely).
TEST(MpegAudioSynthesis, MatchesTheStandardsDirectForm) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> value(-0.12F, 0.12F);
  mpeg1::SynthesisFilterbank fast;
  DirectSynthesis direct;
  double worst = 0;
  double peak = 0;
  for (int block = 0; block < 200; ++block) {
    std::array<float, 32> s{};
    // Some blocks with one subband alone, where a wrong sign or index shows.
    if (block % 4 == 0) {
      s[static_cast<std::size_t>(block / 4 % 32)] = 0.9F;
    } else {
      for (float& x : s) x = value(rng);
    }
    std::array<float, 32> got{};
    double want[32];
    fast.Run(s, got);
    direct.Run(s.data(), want);
    for (int j = 0; j < 32; ++j) {
      worst = std::max(worst, std::abs(got[static_cast<std::size_t>(j)] - want[j]));
      peak = std::max(peak, std::abs(want[j]));
    }
  }
  EXPECT_GT(peak, 0.8);
  EXPECT_LT(worst * 32768, 0.05) << "largest difference in output steps";
}

std::vector<std::uint8_t> Concat(const std::vector<std::vector<std::uint8_t>>& parts) {
  std::vector<std::uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

std::vector<std::uint8_t> Frames(FrameLayout layout, int count, std::mt19937& rng) {
  return RandomStream(layout, count, rng);
}

// The frames a splitter gives for `stream` pushed in chunks of `chunk`.
std::vector<std::vector<std::uint8_t>> Split(const std::vector<std::uint8_t>& stream,
                                             std::size_t chunk, std::uint64_t* skipped = nullptr) {
  MpegAudioFrameSplitter splitter;
  std::vector<std::vector<std::uint8_t>> frames;
  auto drain = [&] {
    while (auto f = splitter.Next()) frames.emplace_back(f->begin(), f->end());
  };
  for (std::size_t at = 0; at < stream.size(); at += chunk) {
    const std::size_t n = std::min(chunk, stream.size() - at);
    splitter.Push(std::span(stream).subspan(at, n));
    drain();
  }
  splitter.Finish();
  drain();
  if (skipped != nullptr) *skipped = splitter.SkippedBytes();
  return frames;
}

struct DamagedStream {
  const char* name;
  // Builds the stream and the frames that must come out of it, in order.
  std::function<void(std::mt19937&, std::vector<std::uint8_t>&,
                     std::vector<std::vector<std::uint8_t>>&)>
      make;
};

FrameLayout Layer2Stereo() {
  return {.layer = 2, .rateIndex = 0, .bitRateIndex = 10, .mode = 0};  // 44.1 kHz, 192 kbit/s
}

// Noise with a layer II sync word in about one place of 50: many a header
// that nothing follows.
std::vector<std::uint8_t> Garbage(std::mt19937& rng, std::size_t n) {
  std::vector<std::uint8_t> g(n);
  for (std::size_t i = 0; i < n; ++i) {
    g[i] = static_cast<std::uint8_t>(rng());
    if (i > 0 && rng() % 50 == 0) {
      g[i - 1] = 0xFF;
      g[i] = 0xFD;
    }
  }
  return g;
}

std::vector<std::vector<std::uint8_t>> SplitClean(const std::vector<std::uint8_t>& stream) {
  return Split(stream, stream.size());
}

const DamagedStream kDamagedStreams[] = {
    {"Clean",
     [](std::mt19937& rng, auto& stream, auto& want) {
       stream = Frames(Layer2Stereo(), 12, rng);
       want = SplitClean(stream);
       ASSERT_EQ(want.size(), 12U);
     }},
    {"GarbageFirst",
     [](std::mt19937& rng, auto& stream, auto& want) {
       const auto frames = Frames(Layer2Stereo(), 8, rng);
       want = SplitClean(frames);
       stream = Concat({Garbage(rng, 3000), frames});
     }},
    {"GarbageBetweenFrames",
     [](std::mt19937& rng, auto& stream, auto& want) {
       const auto a = Frames(Layer2Stereo(), 5, rng);
       const auto b = Frames(Layer2Stereo(), 5, rng);
       want = SplitClean(a);
       const auto rest = SplitClean(b);
       want.insert(want.end(), rest.begin(), rest.end());
       stream = Concat({a, Garbage(rng, 777), b});
     }},
    {"FrameCutShortInside",
     [](std::mt19937& rng, auto& stream, auto& want) {
       auto frames = SplitClean(Frames(Layer2Stereo(), 9, rng));
       std::vector<std::uint8_t> cut = frames[4];
       cut.resize(cut.size() / 2);
       for (std::size_t i = 0; i < frames.size(); ++i) {
         if (i == 4) {
           stream.insert(stream.end(), cut.begin(), cut.end());
         } else {
           stream.insert(stream.end(), frames[i].begin(), frames[i].end());
           want.push_back(frames[i]);
         }
       }
     }},
    {"HeaderDamaged",
     [](std::mt19937& rng, auto& stream, auto& want) {
       auto frames = SplitClean(Frames(Layer2Stereo(), 9, rng));
       frames[3][1] = 0x00;  // no sync
       for (std::size_t i = 0; i < frames.size(); ++i) {
         stream.insert(stream.end(), frames[i].begin(), frames[i].end());
         if (i != 3) want.push_back(frames[i]);
       }
     }},
    {"LastFrameCutByTheEnd",
     [](std::mt19937& rng, auto& stream, auto& want) {
       stream = Frames(Layer2Stereo(), 6, rng);
       want = SplitClean(stream);
       want.pop_back();
       stream.resize(stream.size() - 100);
     }},
    {"OtherRateAfterGarbage",
     [](std::mt19937& rng, auto& stream, auto& want) {
       const auto a = Frames(Layer2Stereo(), 4, rng);
       FrameLayout layer1 = {.layer = 1, .rateIndex = 1, .bitRateIndex = 6, .mode = 3};
       const auto b = Frames(layer1, 6, rng);
       want = SplitClean(a);
       const auto rest = SplitClean(b);
       want.insert(want.end(), rest.begin(), rest.end());
       stream = Concat({a, Garbage(rng, 100), b});
     }},
    {"FreeFormatWithPadding",
     [](std::mt19937& rng, auto& stream, auto& want) {
       auto frames = SplitClean(Frames(Layer2Stereo(), 10, rng));
       for (auto& f : frames) {
         f[2] &= 0x0F;  // bit rate index 0
         want.push_back(f);
       }
       stream = Concat({Garbage(rng, 50), Concat(frames)});
     }},
    {"FreeFormatSizeChangesAfterGarbage",
     [](std::mt19937& rng, auto& stream, auto& want) {
       FrameLayout higher = Layer2Stereo();
       higher.bitRateIndex = 12;  // 256 kbit/s
       for (const FrameLayout& layout : {Layer2Stereo(), higher}) {
         auto frames = SplitClean(Frames(layout, 5, rng));
         for (auto& f : frames) {
           f[2] &= 0x0F;
           want.push_back(f);
         }
         stream = Concat({stream, Garbage(rng, 300), Concat(frames)});
       }
     }},
};

class MpegAudioFrameSplitterTest : public ::testing::TestWithParam<DamagedStream> {};

// Every intact frame comes out whole and in order, whatever the chunks;
// garbage, a cut frame and a broken header cost only themselves.
TEST_P(MpegAudioFrameSplitterTest, GivesEveryIntactFrameWhateverTheChunks) {
  std::mt19937 rng(11);
  std::vector<std::uint8_t> stream;
  std::vector<std::vector<std::uint8_t>> want;
  GetParam().make(rng, stream, want);
  ASSERT_FALSE(want.empty());
  for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, std::size_t{417}, stream.size()}) {
    std::uint64_t skipped = 0;
    const auto got = Split(stream, chunk, &skipped);
    ASSERT_EQ(got.size(), want.size()) << "chunks of " << chunk;
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i], want[i]) << "frame " << i << ", chunks of " << chunk;
    }
    std::size_t taken = 0;
    for (const auto& f : got) taken += f.size();
    EXPECT_EQ(taken + skipped, stream.size()) << "every byte is a frame's or skipped";
  }
}

INSTANTIATE_TEST_SUITE_P(Streams, MpegAudioFrameSplitterTest, ::testing::ValuesIn(kDamagedStreams),
                         [](const auto& p) { return std::string(p.param.name); });

std::vector<std::int16_t> DecodeAll(MpegAudioDecoder& decoder,
                                    const std::vector<std::vector<std::uint8_t>>& frames) {
  std::vector<std::int16_t> out;
  std::vector<std::int16_t> buffer(MpegAudioDecoder::kMaxFrameSamples);
  for (const auto& f : frames) {
    auto info = decoder.Decode(f, buffer);
    if (!info) ADD_FAILURE() << info.error().description;
    if (!info) continue;
    out.insert(out.end(), buffer.begin(),
               buffer.begin() + static_cast<std::ptrdiff_t>(info->samples * info->outputChannels));
  }
  return out;
}

struct Refusal {
  const char* name;
  std::function<std::vector<std::uint8_t>(std::vector<std::uint8_t>)> damage;  // of a good frame
  const char* says;
  FrameLayout layout = Layer2Stereo();
};

const Refusal kRefusals[] = {
    {"ShorterThanAHeader",
     [](auto f) { return std::vector<std::uint8_t>(f.begin(), f.begin() + 3); },
     "shorter than a header"},
    {"NoSync",
     [](auto f) {
       f[0] = 0x7F;
       return f;
     },
     "does not start with a frame header"},
    {"ReservedRate",
     [](auto f) {
       f[2] |= 0x0C;
       return f;
     },
     "does not start with a frame header"},
    {"LayerThree",
     [](auto f) {
       f[1] = static_cast<std::uint8_t>((f[1] & 0xF9) | 0x02);
       return f;
     },
     "layer III"},
    {"CutShort",
     [](auto f) {
       f.resize(f.size() - 1);
       return f;
     },
     "cut short"},
    {"ForbiddenLayer1Allocation",
     [](auto f) {
       f[4] |= 0xF0;
       return f;
     },
     "forbidden allocation", FrameLayout{.layer = 1, .rateIndex = 1, .bitRateIndex = 8, .mode = 3}},
    {"ChecksumMismatch",
     [](auto f) {
       f[6] ^= 0x10;
       return f;
     },
     "checksum", FrameLayout{.layer = 2, .rateIndex = 1, .bitRateIndex = 10, .mode = 1, .crc = true}},
};

class MpegAudioRefusalTest : public ::testing::TestWithParam<Refusal> {};

// A frame that cannot be decoded is refused with a reason, and the frames
// after it decode as if it had not been there.
TEST_P(MpegAudioRefusalTest, RefusesAndLeavesTheFilterbankAlone) {
  std::mt19937 rng(5);
  const FrameLayout layout = GetParam().layout;
  const auto good = SplitClean(Frames(layout, 4, rng));
  ASSERT_EQ(good.size(), 4U);
  mpeg1::MpegAudioOptions options;
  options.checkCrc = true;
  MpegAudioDecoder plain(options);
  const auto want = DecodeAll(plain, good);

  MpegAudioDecoder decoder(options);
  std::vector<std::int16_t> buffer(MpegAudioDecoder::kMaxFrameSamples);
  auto got = DecodeAll(decoder, {good[0], good[1]});
  const auto refused = decoder.Decode(GetParam().damage(good[2]), buffer);
  ASSERT_FALSE(refused.has_value());
  EXPECT_NE(refused.error().description.find(GetParam().says), std::string::npos)
      << refused.error().description;
  const auto rest = DecodeAll(decoder, {good[2], good[3]});
  got.insert(got.end(), rest.begin(), rest.end());
  EXPECT_EQ(got, want);
}

INSTANTIATE_TEST_SUITE_P(Faults, MpegAudioRefusalTest, ::testing::ValuesIn(kRefusals),
                         [](const auto& p) { return std::string(p.param.name); });

// The checksum covers the header's second half, the allocation and (layer
// II) the scale factor selection: good frames of every layout pass, a bit
// flipped there fails, one flipped in the samples does not.
TEST(MpegAudioChecksum, CoversExactlyTheProtectedBits) {
  const std::uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  ASSERT_EQ(testing::Crc16(check, 0, 72), 0xAEE7) << "the catalogued check value of this CRC";
  const FrameLayout layouts[] = {
      {.layer = 1, .rateIndex = 0, .bitRateIndex = 12, .mode = 0, .crc = true},
      {.layer = 1, .rateIndex = 1, .bitRateIndex = 12, .mode = 1, .modeExtension = 2, .crc = true},
      {.layer = 1, .version = 2, .rateIndex = 2, .bitRateIndex = 5, .mode = 3, .crc = true},
      {.layer = 2, .rateIndex = 1, .bitRateIndex = 13, .mode = 1, .modeExtension = 1, .crc = true},
      {.layer = 2, .rateIndex = 2, .bitRateIndex = 4, .mode = 3, .crc = true},
      {.layer = 2, .version = 2, .rateIndex = 0, .bitRateIndex = 9, .mode = 2, .crc = true},
  };
  std::mt19937 rng(3);
  mpeg1::MpegAudioOptions options;
  options.checkCrc = true;
  std::vector<std::int16_t> buffer(MpegAudioDecoder::kMaxFrameSamples);
  for (const FrameLayout& layout : layouts) {
    SCOPED_TRACE("layer " + std::to_string(layout.layer) + " mode " + std::to_string(layout.mode));
    auto frame = RandomFrame(layout, rng);
    MpegAudioDecoder decoder(options);
    const auto ok = decoder.Decode(frame, buffer);
    EXPECT_TRUE(ok.has_value()) << (ok ? "" : ok.error().description);
    auto allocationFlipped = frame;
    allocationFlipped[6] ^= 0x01;  // inside the allocation of every layout here
    EXPECT_FALSE(decoder.Decode(allocationFlipped, buffer).has_value());
    auto sampleFlipped = frame;
    sampleFlipped[sampleFlipped.size() * 3 / 4] ^= 0x01;
    EXPECT_TRUE(decoder.Decode(sampleFlipped, buffer).has_value());
  }
}

// Free format: the same frames with the bit rate index cleared decode to the
// same samples (the layer II table then follows from the rate alone).
TEST(MpegAudioFreeFormat, DecodesLikeTheStatedBitRate) {
  const FrameLayout layouts[] = {
      {.layer = 2, .rateIndex = 0, .bitRateIndex = 11, .mode = 0},  // 44.1 kHz, 224: table b
      {.layer = 2, .rateIndex = 1, .bitRateIndex = 13, .mode = 2},  // 48 kHz, 320: table a
      {.layer = 1, .rateIndex = 0, .bitRateIndex = 9, .mode = 1},   // layer I, padded by 4
      {.layer = 2, .version = 2, .rateIndex = 1, .bitRateIndex = 8, .mode = 3},  // 24 kHz
  };
  std::mt19937 rng(9);
  for (const FrameLayout& layout : layouts) {
    SCOPED_TRACE("layer " + std::to_string(layout.layer) + " rate " + std::to_string(layout.rateIndex));
    const auto stream = RandomStream(layout, 10, rng);
    auto free = stream;
    for (std::size_t at = 0; at < free.size();) {
      const auto h = probe::DecodeMpegHeader((std::uint32_t{free[at]} << 24) |
                                             (std::uint32_t{free[at + 1]} << 16) |
                                             (std::uint32_t{free[at + 2]} << 8) | free[at + 3]);
      ASSERT_TRUE(h.has_value());
      free[at + 2] &= 0x0F;
      at += static_cast<std::size_t>(h->frameBytes);
    }
    const auto freeFrames = Split(free, 100);
    ASSERT_EQ(freeFrames.size(), 10U);
    MpegAudioDecoder stated;
    MpegAudioDecoder measured;
    EXPECT_EQ(DecodeAll(measured, freeFrames), DecodeAll(stated, SplitClean(stream)));
  }
}

// Whatever a frame's bytes, decoding ends with samples or a reason: every
// cut and random damage of frames of each kind.
TEST(MpegAudioDamage, NeverReadsBeyondAFrame) {
  const FrameLayout layouts[] = {
      {.layer = 1, .rateIndex = 2, .bitRateIndex = 14, .mode = 1, .modeExtension = 3, .crc = true},
      {.layer = 2, .rateIndex = 1, .bitRateIndex = 14, .mode = 0},
      {.layer = 2, .rateIndex = 2, .bitRateIndex = 1, .mode = 3},
      {.layer = 2, .version = 0, .rateIndex = 2, .bitRateIndex = 14, .mode = 1},
  };
  std::mt19937 rng(13);
  std::vector<std::int16_t> buffer(MpegAudioDecoder::kMaxFrameSamples);
  for (const FrameLayout& layout : layouts) {
    const auto frame = RandomFrame(layout, rng);
    ASSERT_FALSE(frame.empty());
    MpegAudioDecoder decoder;
    for (std::size_t n = 0; n <= frame.size(); ++n) {
      // A cut frame's own bytes, with nothing readable behind them.
      std::vector<std::uint8_t> cut(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(n));
      const auto info = decoder.Decode(cut, buffer);
      EXPECT_EQ(info.has_value(), n == frame.size()) << n << " bytes";
    }
    for (int round = 0; round < 300; ++round) {
      auto damaged = frame;
      for (int i = 0; i < 1 + round % 8; ++i) {
        damaged[rng() % damaged.size()] = static_cast<std::uint8_t>(rng());
      }
      const auto info = decoder.Decode(damaged, buffer);
      if (info) {
        EXPECT_TRUE(info->samples == 384 || info->samples == 1152);
        EXPECT_EQ(info->outputChannels, 2);
      }
    }
  }
}

}  // namespace
}  // namespace vistel
