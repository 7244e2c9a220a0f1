#include "imaging/bitmap_ops.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "imaging_test_support.hpp"

namespace vistel {
namespace {

using testing::RandomImage;
using testing::Rgb;

TEST(MultiplyChannel, IsTheNearestIntegerToTheProductOver255ForEveryPair) {
  for (unsigned a = 0; a < 256; ++a) {
    for (unsigned b = 0; b < 256; ++b) {
      const auto exact = std::lround(static_cast<double>(a * b) / 255.0);
      ASSERT_EQ(MultiplyChannel(a, b), static_cast<unsigned>(exact))
          << "expected round(" << a << "*" << b << "/255)";
    }
  }
  EXPECT_EQ(MultiplyChannel(255, 255), 255U);
  EXPECT_EQ(MultiplyChannel(1, 127), 0U);  // 0.498 rounds down
  EXPECT_EQ(MultiplyChannel(1, 128), 1U);  // 0.502 rounds up
}

TEST(FillImage, SetsEveryPixelAndKeepsTheUnusedByteZero) {
  Image image(5, 3, MakePixel(1, 2, 3));
  FillImage(image, 0xFF123456U);
  for (Pixel p : image.Pixels()) ASSERT_EQ(p, 0x00123456U);
}

TEST(CombineImages, MultiplyAndAddFollowTheirFormulasPerChannel) {
  std::mt19937 rng(7);
  const Image a = RandomImage(9, 6, rng);
  const Image b = RandomImage(9, 6, rng);
  Image product = a, sum = a;
  ASSERT_TRUE(CombineImages(product, {0, 0, 9, 6}, b, {0, 0}, 1536));
  ASSERT_TRUE(CombineImages(sum, {0, 0, 9, 6}, b, {0, 0}, 768));
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 9; ++x) {
      const Pixel pa = a.At(x, y), pb = b.At(x, y);
      const auto mul = [](unsigned u, unsigned v) { return (u * v + 127U) / 255U; };
      const auto add = [](unsigned u, unsigned v) { return std::min(u + v, 255U); };
      ASSERT_EQ(product.At(x, y),
                MakePixel(mul(PixelRed(pa), PixelRed(pb)), mul(PixelGreen(pa), PixelGreen(pb)),
                          mul(PixelBlue(pa), PixelBlue(pb))));
      ASSERT_EQ(sum.At(x, y),
                MakePixel(add(PixelRed(pa), PixelRed(pb)), add(PixelGreen(pa), PixelGreen(pb)),
                          add(PixelBlue(pa), PixelBlue(pb))));
    }
  }
}

TEST(CombineImages, AddSaturatesEachChannelOnItsOwn) {
  Image d(1, 1, MakePixel(200, 10, 255));
  const Image s(1, 1, MakePixel(100, 20, 0));
  ASSERT_TRUE(CombineImages(d, {0, 0, 1, 1}, s, {0, 0}, 768));
  EXPECT_EQ(d.At(0, 0), MakePixel(255, 30, 255));
}

// Adds a source whose pixel tells its coordinates (blue 1) to a black
// destination, so each touched pixel shows where it was read from.
struct ClipCase {
  IntRect area;
  IntPoint sourceOrigin;
};

class CombineClipping : public ::testing::TestWithParam<ClipCase> {};

TEST_P(CombineClipping, TouchesOnlyPixelsInsideBothBitmaps) {
  const ClipCase c = GetParam();
  Image dest(8, 6);
  Image source(5, 7);
  for (int y = 0; y < 7; ++y) {
    for (int x = 0; x < 5; ++x) source.At(x, y) = Rgb(10 + x, 20 + y, 1);
  }
  ASSERT_TRUE(CombineImages(dest, c.area, source, c.sourceOrigin, 768));
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 8; ++x) {
      const int sx = x - c.area.left + c.sourceOrigin.x;
      const int sy = y - c.area.top + c.sourceOrigin.y;
      const bool inside = c.area.Contains({x, y}) && sx >= 0 && sy >= 0 && sx < 5 && sy < 7;
      const Pixel expected = inside ? Rgb(10 + sx, 20 + sy, 1) : 0;
      ASSERT_EQ(dest.At(x, y), expected) << "at " << x << "," << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    EveryEdge, CombineClipping,
    ::testing::Values(ClipCase{{0, 0, 8, 6}, {0, 0}},    // larger than the source
                      ClipCase{{-2, -3, 6, 6}, {0, 0}},  // off the destination's top left
                      ClipCase{{5, 4, 10, 10}, {0, 0}},  // off its bottom right
                      ClipCase{{1, 1, 4, 4}, {-2, -1}},  // source corner before the source
                      ClipCase{{0, 0, 8, 6}, {3, 4}},    // source runs out right and below
                      ClipCase{{2, 2, 0, 3}, {0, 0}},    // empty area
                      ClipCase{{9, 0, 3, 3}, {0, 0}}));  // wholly outside

TEST(CombineImages, WithItselfReadsThePixelsAsTheyWere) {
  Image image(4, 1);
  for (int x = 0; x < 4; ++x) image.At(x, 0) = Rgb(10 * (x + 1), 0, 0);
  ASSERT_TRUE(CombineImages(image, {1, 0, 3, 1}, image, {0, 0}, 768));
  EXPECT_EQ(image.At(1, 0), MakePixel(30, 0, 0));
  EXPECT_EQ(image.At(2, 0), MakePixel(50, 0, 0));
  EXPECT_EQ(image.At(3, 0), MakePixel(70, 0, 0));
}

TEST(CombineImages, RefusesUnknownModesAndMissingBitmaps) {
  Image d(2, 2, 0x00FFFFFFU);
  const Image s(2, 2, 0x00808080U);
  EXPECT_FALSE(CombineImages(d, {0, 0, 2, 2}, s, {0, 0}, 0));
  EXPECT_FALSE(CombineImages(d, {0, 0, 2, 2}, Image(), {0, 0}, 768));
  EXPECT_EQ(d.At(0, 0), 0x00FFFFFFU) << "a refused combine leaves the bitmap";
}

}  // namespace
}  // namespace vistel
