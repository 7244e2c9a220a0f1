// The MPEG-1 video decoder on its own, where there is no FFmpeg to compare
// with (these tests run in the Windows build too): the accuracy of its
// inverse DCT, and streams written by hand whose pictures are known.
// tests/media/mpeg1_video_test.cpp compares it with FFmpeg on Linux.
#include "media/mpeg1/video_decoder.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <span>
#include <vector>

#include "crafted_video.hpp"
#include "media/mpeg1/video_idct.hpp"

namespace vistel {
namespace {

// IEEE 1180: blocks of random samples in [-low, high] (negated for the
// second half of the runs) through a double-precision forward DCT, rounded
// and saturated to 12 bits, then inverse-transformed by the decoder and in
// double precision; the errors over 10000 blocks must stay within the
// standard's limits.
TEST(Mpeg1IdctTest, MeetsTheIeee1180Limits) {
  double basis[8][8];
  for (int k = 0; k < 8; ++k) {
    for (int n = 0; n < 8; ++n) {
      basis[k][n] =
          (k == 0 ? std::sqrt(0.125) : 0.5) * std::cos((2 * n + 1) * k * std::numbers::pi / 16);
    }
  }
  struct Run {
    int low, high, sign;
  };
  for (const Run run : {Run{256, 255, 1}, Run{5, 5, 1}, Run{300, 300, 1}, Run{256, 255, -1},
                        Run{5, 5, -1}, Run{300, 300, -1}}) {
    SCOPED_TRACE(::testing::Message()
                 << "range -" << run.low << ".." << run.high << " sign " << run.sign);
    std::uint32_t state = 1;
    auto random = [&] {
      state = state * 1103515245U + 12345U;
      const double x =
          static_cast<double>(state & 0x7FFFFFFEU) / 0x7FFFFFFF * (run.low + run.high + 1);
      return static_cast<int>(x) - run.low;
    };
    double sum[64] = {}, squares[64] = {};
    int peak = 0;
    constexpr int kBlocks = 10000;
    for (int b = 0; b < kBlocks; ++b) {
      double samples[64];
      for (double& v : samples) v = run.sign * random();
      std::int16_t coefficients[64];
      double exact[64];
      for (int u = 0; u < 8; ++u) {
        for (int v = 0; v < 8; ++v) {
          double c = 0;
          for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) c += basis[u][y] * basis[v][x] * samples[8 * y + x];
          }
          exact[8 * u + v] = std::clamp(std::round(c), -2048.0, 2047.0);
          coefficients[8 * u + v] = static_cast<std::int16_t>(exact[8 * u + v]);
        }
      }
      int out[64];
      mpeg1video::InverseDct(coefficients, out);
      for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
          double r = 0;
          for (int u = 0; u < 8; ++u) {
            for (int v = 0; v < 8; ++v) r += basis[u][y] * basis[v][x] * exact[8 * u + v];
          }
          const int reference = std::clamp(static_cast<int>(std::lround(r)), -256, 255);
          const int e = std::clamp(out[8 * y + x], -256, 255) - reference;
          peak = std::max(peak, std::abs(e));
          sum[8 * y + x] += e;
          squares[8 * y + x] += e * e;
        }
      }
    }
    double worstMean = 0, worstSquare = 0, allMean = 0, allSquare = 0;
    for (int i = 0; i < 64; ++i) {
      worstMean = std::max(worstMean, std::abs(sum[i]) / kBlocks);
      worstSquare = std::max(worstSquare, squares[i] / kBlocks);
      allMean += sum[i];
      allSquare += squares[i];
    }
    EXPECT_LE(peak, 1);
    EXPECT_LE(worstSquare, 0.06);
    EXPECT_LE(allSquare / (64.0 * kBlocks), 0.02);
    EXPECT_LE(worstMean, 0.015);
    EXPECT_LE(std::abs(allMean) / (64.0 * kBlocks), 0.0015);
  }
  std::int16_t zero[64] = {};
  int out[64];
  mpeg1video::InverseDct(zero, out);
  for (int v : out) EXPECT_EQ(v, 0);
}

struct Decoded {
  std::vector<Mpeg1VideoDecoder::PictureType> types;
  std::vector<std::vector<std::uint8_t>> luma, cb, cr;
  std::vector<Image> images;
  int errors = 0;
};

Decoded DecodeAll(std::span<const std::uint8_t> stream) {
  Decoded d;
  Mpeg1VideoDecoder decoder;
  decoder.Push(stream);
  decoder.Finish();
  while (true) {
    auto next = decoder.NextPicture();
    if (!next) {
      ++d.errors;
      continue;
    }
    if (!*next) break;
    const Yuv420View& v = (*next)->planes;
    d.types.push_back((*next)->type);
    auto copy = [](const std::uint8_t* plane, std::ptrdiff_t stride, int w, int h) {
      std::vector<std::uint8_t> out;
      for (int y = 0; y < h; ++y) out.insert(out.end(), plane + y * stride, plane + y * stride + w);
      return out;
    };
    d.luma.push_back(copy(v.y, v.yStride, v.width, v.height));
    d.cb.push_back(copy(v.cb, v.chromaStride, v.ChromaWidth(), v.ChromaHeight()));
    d.cr.push_back(copy(v.cr, v.chromaStride, v.ChromaWidth(), v.ChromaHeight()));
    d.images.emplace_back();
    Yuv420ToImage(v, d.images.back());
  }
  return d;
}

// What FFmpeg's encoder never writes: macroblock stuffing, D pictures, a
// quantiser change in an intra macroblock, both escape forms with levels
// that need them. Two macroblocks side by side, an I then a D picture; and
// the flat areas converted to the BT.601 colours they stand for.
TEST(Mpeg1CraftedTest, DecodesStuffingDPicturesAndEscapes) {
  testing::BitWriter w;
  testing::PutSequenceHeader(w, 32, 16);
  w.StartCode(0xB8);
  w.Put(0, 25);
  w.Put("1 0");  // a closed group, no broken link
  w.StartCode(0x00);
  w.Put("0000000000 001 1111111111111111 0");  // temporal reference 0, I
  w.StartCode(0x01);
  w.Put("01000 0");  // quantiser 8
  // Macroblock 0 after two stuffing codes: luma DC +20 (148), chroma 128 and 123.
  w.Put("00000001111 00000001111 1 1");
  w.Put("1110 10100 10  100 10  100 10  100 10");
  w.Put("00 10  110 010 10");
  // Macroblock 1, quantiser 1: luma DC -3 (145); its last luma block has
  // level 200 (16-bit escape) at scan position 1 and level -20 (8-bit
  // escape) after a run of 1.
  w.Put("1 01 00001");
  w.Put("01 00 10  100 10  100 10");
  w.Put("100 000001 000000 00000000 11001000  000001 000001 11101100  10");
  w.Put("00 10  00 10");
  w.StartCode(0x00);
  w.Put("0000000001 100 1111111111111111 0");  // temporal reference 1, D
  w.StartCode(0x01);
  w.Put("01000 0");
  // DC terms only: luma +1 (129), Cb -1 (127), Cr 128; then luma +2 (131).
  w.Put("1 1  00 1  100  100  100  01 0  00  1");
  w.Put("1 1  01 10  100  100  100  00  00  1");
  w.StartCode(0xB7);
  const std::vector<std::uint8_t> stream = w.Finish();

  const Decoded d = DecodeAll(stream);
  EXPECT_EQ(d.errors, 0);
  ASSERT_EQ(d.types.size(), 2U);
  EXPECT_EQ(d.types[0], Mpeg1VideoDecoder::PictureType::I);
  EXPECT_EQ(d.types[1], Mpeg1VideoDecoder::PictureType::D);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 32; ++x) {
      const auto at = static_cast<std::size_t>(32 * y + x);
      if (x < 16) {
        EXPECT_EQ(d.luma[0][at], 148);
        EXPECT_EQ(d.luma[1][at], 129);
      } else {
        EXPECT_EQ(d.luma[1][at], 131);
        if (x < 24 || y < 8) {
          EXPECT_EQ(d.luma[0][at], 145);
        }
      }
    }
  }
  // The block with the escaped levels: 145 plus the transform of the
  // dequantised levels (2 * level * quantiser * matrix / 16, made odd), 399
  // at (0, 1) and -47 at (2, 0), within one level.
  const double scale = 0.5 * std::sqrt(0.125);
  for (int y = 8; y < 16; ++y) {
    for (int x = 24; x < 32; ++x) {
      const double expected = 145 +
                              399 * scale * std::cos((2 * (x - 24) + 1) * std::numbers::pi / 16) -
                              47 * scale * std::cos((2 * (y - 8) + 1) * 2 * std::numbers::pi / 16);
      EXPECT_NEAR(d.luma[0][static_cast<std::size_t>(32 * y + x)], expected, 1.0) << x << "," << y;
    }
  }
  for (std::size_t i = 0; i < 16 * 8; ++i) {
    EXPECT_EQ(d.cb[0][i], 128);
    EXPECT_EQ(d.cr[0][i], 123);
    EXPECT_EQ(d.cb[1][i], 127);
    EXPECT_EQ(d.cr[1][i], 128);
  }
  // Y 148, Cb 128, Cr 123 in limited-range BT.601.
  const double luma = 255.0 / 219 * (148 - 16);
  const double red = luma + 255.0 / 224 * 1.402 * (123 - 128);
  const double green = luma - 255.0 / 224 * 0.714136 * (123 - 128);
  const Pixel p = d.images[0].At(4, 4);
  EXPECT_NEAR(PixelRed(p), red, 0.6);
  EXPECT_NEAR(PixelGreen(p), green, 0.6);
  EXPECT_NEAR(PixelBlue(p), luma, 0.6);
}

// The same stream cut short or with bytes changed anywhere decodes without
// a crash to pictures of its size, or to none.
TEST(Mpeg1CraftedTest, SurvivesEveryCutAndEveryByteChanged) {
  testing::BitWriter w;
  testing::PutSequenceHeader(w, 32, 16);
  w.StartCode(0x00);
  w.Put("0000000000 001 1111111111111111 0");
  w.StartCode(0x01);
  w.Put("01000 0");
  w.Put("1 1 1110 10100 10 100 10 100 10 100 10 00 10 110 010 10");
  w.Put("1 1 01 00 10 100 10 100 10 100 000001 000000 00000000 11001000 10 00 10 00 10");
  const std::vector<std::uint8_t> stream = w.Finish();
  for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
    const Decoded d = DecodeAll(std::span(stream).first(cut));
    for (const auto& luma : d.luma) EXPECT_EQ(luma.size(), 32U * 16U);
  }
  for (std::size_t at = 0; at < stream.size(); ++at) {
    for (const int value : {0x00, 0x01, 0x7F, 0xB3, 0xFF}) {
      std::vector<std::uint8_t> damaged = stream;
      damaged[at] = static_cast<std::uint8_t>(value);
      const Decoded d = DecodeAll(damaged);
      EXPECT_LE(d.luma.size(), 2U);
      for (std::size_t i = 0; i < d.luma.size(); ++i) {
        EXPECT_EQ(d.luma[i].size(), static_cast<std::size_t>(d.images[i].Width()) *
                                        static_cast<std::size_t>(d.images[i].Height()));
      }
    }
  }
}

}  // namespace
}  // namespace vistel
